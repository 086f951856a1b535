#pragma once

// The AC3 decoder's settings, written to the registry store before the decoder is created: where its
// two libraries lie (machine-wide, so the last program to build a graph wins), and the user's output
// choices (reduction, two channels, and whether to give 44.1 kHz instead of 48 kHz).

#include <string>

namespace tools::stream_graph {

inline constexpr const char* kAsmAc3Key = "Software\\Xing Technology Corp.\\SharedDLLs\\MPEG Decode\\ASMAC3";
inline constexpr const char* kAsmFloatKey =
    "Software\\Xing Technology Corp.\\SharedDLLs\\MPEG Decode\\ASMFLOATFULL";
inline constexpr const char* kLibraryPathValue = "path";
inline constexpr const char* kAsmAc3File = "AsmAc3.dll";
inline constexpr const char* kAsmFloatFile = "AsmFloatFull.dll";

inline constexpr const char* kPlayerKey = "Software\\Xing Technology Corp.\\XingDVD Player";
inline constexpr const char* kReductionValue = "nAudioDecodeReductionpath";
inline constexpr const char* kChannelsValue = "nAudioDecodeChannels";
inline constexpr const char* kMax441Value = "bMax441Khz";

// The sample-rate text that asks for 44.1 kHz output.
inline constexpr const char* kRate441Text = "44.1";

// Writes the five values; filterFolder ends with '/'. False when the store could not be written.
bool writeDecoderSettings(const std::string& filterFolder, const std::string& sampleRateText);

} // namespace tools::stream_graph
