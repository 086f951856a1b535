#pragma once

// The "WF=" audio preset parameter: "WF=" + codec + "/" + mode letter + "/" + rate text + "/" +
// bit-rate text, turned into a preset string (the target format field by field, "/"-separated) by the
// preset table, and that string into the 30-byte target format.

#include "platform/acm/wave_format.h"

#include <optional>
#include <string>

namespace tools::audio_converter {

inline constexpr const char* WfPrefix = "WF=";

// The texts of a "WF=" parameter.
struct WfTexts {
    std::string codec;   // "MP3" or "WMA"
    std::string mode;    // "S" for stereo, any other letter for mono
    std::string rate;    // "48", "44.1", "32", "22.05"
    std::string bitRate; // "192", ...
};

// Takes the next "/"-separated text off the front of entry: the text before the first "/" (which
// goes, with its "/"), or, when the entry holds no "/", the whole entry (which stays).
std::string GetNext(std::string& entry);

// The preset string of the table row for the four texts; nothing when no row matches. The row for
// 22.05 kHz at 16 kbit/s is tried last, for every codec and mode.
std::optional<std::string> presetStringFor(const WfTexts& texts);

// The seven header fields and cbSize extra bytes of a preset string; nothing when a field is not a
// number in its field's range or cbSize exceeds the 12 extra bytes the format area holds.
std::optional<platform::acm::WaveFormat> parsePresetString(std::string preset);

// Splits a "WF=" parameter into its four texts (the first "WF=" is removed first).
WfTexts splitWfParameter(std::string parameter);

// The target details text: bit rate, " kBit/s, ", rate, " kHz, " and " Stereo" or " Mono".
std::string targetDetailsText(const WfTexts& texts);

} // namespace tools::audio_converter
