#pragma once

// The settings window of each driver as a list of numbered controls, and setting them from text as a
// person would type into an edit box, pick a combo entry or move a slider.

#include "outside/divx_codec/codec_settings.h"

#include <string>

namespace divx_codec {

// The controls text of codec_driver_abi.h for the family's window with the current values.
std::string describeControls(CodecFamily family, const DialogSettings& settings);

// Sets one control; false with a message when the id is not a control of the window or the value does
// not fit it (an edit box of numbers given letters, a combo choice that is not among its entries). A
// slider value beyond its range stops at the end, as a dragged slider does.
bool setControl(CodecFamily family, DialogSettings& settings, const std::string& id, const std::string& value,
                std::string& error);

} // namespace divx_codec
