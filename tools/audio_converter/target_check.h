#pragma once

// Whether the converter can make the target a "WF=" parameter names, asked before any work: the
// parameter must match a preset row, and a codec must encode that format (LAME for MP3, an ACM driver
// for the others, offered 16-bit stereo PCM at the target's rate as the converter would give it).

#include <string>

namespace tools::audio_converter {

bool targetCanBeMade(const std::string& wfParameter);

} // namespace tools::audio_converter
