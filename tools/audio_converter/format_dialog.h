#pragma once

// The format-choice dialog: a format tag and one of the formats the audio compression drivers can
// make with it. Under a test script it takes its answer from the script (kind "format", the chosen
// format's description, or "Cancel").

#include "platform/acm/wave_format.h"

#include <string>

namespace tools::audio_converter {

struct ChosenFormat {
    platform::acm::WaveFormat format;
    std::string description; // "64 kBit/s, 44100 Hz, Stereo"
    std::string tagName;     // "WMA v2"
};

// Shows the dialog with the title, preselecting initial when it is among the choices. False on cancel.
bool runFormatDialog(const std::string& title, const platform::acm::WaveFormat& initial,
                     ChosenFormat& chosen);

} // namespace tools::audio_converter
