#pragma once

// What the rip sequence records for the report of a rip: the start and end of each step and of the
// whole rip, the free space before and after each step, the lengths the tools read back and whether
// the logo clip was found. Overwritten by the next rip.

#include "platform/core/clock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kes {

using platform::core::DateTime;

// The places whose free space is recorded before and after their step.
enum class FreeSlot { Audio1, Audio2, Norm1, Norm2, Comp1, Comp2, Video, Mux, Mux2 };
inline constexpr std::size_t FreeSlotCount = 9;

struct TRipRecord {
    // Start of the first step and end of the latest; zero until a step has started (ended).
    DateTime RipStart = 0;
    DateTime RipEnd = 0;
    DateTime VideoStart = 0, VideoEnd = 0;
    DateTime AudioStart = 0, AudioEnd = 0;
    DateTime NormStart = 0, NormEnd = 0;
    DateTime CompStart = 0, CompEnd = 0;
    DateTime MergeStart = 0, MergeEnd = 0;
    DateTime SubStart = 0, SubEnd = 0;
    std::array<std::string, FreeSlotCount> FreeBefore{};
    std::array<std::string, FreeSlotCount> FreeAfter{};
    // Lengths in seconds.
    double CompSource1 = 0, CompTarget1 = 0;
    double CompSource2 = 0, CompTarget2 = 0;
    // The compressed file's bytes per second of source, per stream, as the converter counts them.
    int32_t CompByteRate1 = 0, CompByteRate2 = 0;
    double MuxVideoLen = 0, MuxAudioLen = 0;
    double Mux2AudioLen = 0;
    // The second stream had a mux of its own (two streams and a split movie).
    bool Mux2Ran = false;
    bool LogoClipOk = false;

    std::string& freeBefore(FreeSlot slot) { return FreeBefore[static_cast<std::size_t>(slot)]; }
    std::string& freeAfter(FreeSlot slot) { return FreeAfter[static_cast<std::size_t>(slot)]; }

    // A step starts: the rip's start is taken from the first one.
    void stepStarted(DateTime when) {
        if (RipStart == 0)
            RipStart = when;
    }
    // A step ends: the rip ends with the latest one.
    void stepEnded(DateTime when) { RipEnd = when; }
};

// The record of the current (or last) rip.
extern TRipRecord RipRecord;

} // namespace kes
