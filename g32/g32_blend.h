#pragma once

// The eight colour-mixing operations, in a plain 32-bit integer form and an MMX form; one set is chosen
// once (the MMX form when the processor has MMX) and every caller goes through the chosen table.
// Weights are 0..255 (larger values count as 255). The plain form weighs the background with 255 - W,
// the MMX form with 256 - W, so the two can differ by one unit per channel.

#include "g32/color32.h"

namespace g32 {

using TBlendReg = TColor32 (*)(TColor32 F, TColor32 B);
using TBlendMem = void (*)(TColor32 F, TColor32& B);
using TBlendRegEx = TColor32 (*)(TColor32 F, TColor32 B, TColor32 M);
using TBlendMemEx = void (*)(TColor32 F, TColor32& B, TColor32 M);
using TBlendLine = void (*)(const TColor32* Src, TColor32* Dst, int Count);
using TBlendLineEx = void (*)(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

// The slots, in their fixed order.
struct TBlendTable {
    TBlendRegEx ColorMix;            // F weighted W against B
    TBlendMemEx ColorMixInto;        // B := ColorMix(F, B, W)
    TBlendReg ColorOver;             // F over B, F's alpha as the weight
    TBlendMem ColorOverInto;         // B := ColorOver(F, B)
    TBlendRegEx ColorOverScaled;     // weight (Fa * M) div 256
    TBlendMemEx ColorOverScaledInto; // the same into B
    TBlendLine RowOver;              // ColorOverInto over Count pixel pairs
    TBlendLineEx RowOverScaled;      // ColorOverScaledInto over Count pixel pairs
};

// The two forms (for tests and benchmarks; the system uses BlendTable()).
const TBlendTable& PlainBlendTable();
const TBlendTable& MmxBlendTable();

// The table chosen at first use, and whether it is the MMX one.
const TBlendTable& BlendTable();
bool MMXActive();

inline TColor32 ColorMix(TColor32 F, TColor32 B, TColor32 W) {
    return BlendTable().ColorMix(F, B, W);
}
inline void ColorMixInto(TColor32 F, TColor32& B, TColor32 W) {
    BlendTable().ColorMixInto(F, B, W);
}
inline TColor32 ColorOver(TColor32 F, TColor32 B) {
    return BlendTable().ColorOver(F, B);
}
inline void ColorOverInto(TColor32 F, TColor32& B) {
    BlendTable().ColorOverInto(F, B);
}
inline TColor32 ColorOverScaled(TColor32 F, TColor32 B, TColor32 M) {
    return BlendTable().ColorOverScaled(F, B, M);
}
inline void ColorOverScaledInto(TColor32 F, TColor32& B, TColor32 M) {
    BlendTable().ColorOverScaledInto(F, B, M);
}
inline void RowOver(const TColor32* Src, TColor32* Dst, int Count) {
    BlendTable().RowOver(Src, Dst, Count);
}
inline void RowOverScaled(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    BlendTable().RowOverScaled(Src, Dst, Count, M);
}

// Ends MMX use when the MMX forms are active; loops over the mixing slots call it once at their end.
void EndMMX();

} // namespace g32
