#pragma once

// The filters that play AVI files, as built-in classes of the host: the AVI splitter, the stock video
// decompressor ("AVI Decompressor", MPEG-4 and DivX 3 frames; the DivX decoder module, when it is
// registered, ranks above it), the audio decoder and the video renderer. Together with the sound
// renderer of registerStockBuiltins() (called here too) they let RenderFile build
//   AVI Splitter -> video decoder -> Video Renderer
//                -> [Audio Decoder] -> Sound Renderer
// for an ".avi" file. Call once before building graphs, on the window thread; repeated calls do no harm.

#include "platform/dshow/filter_registration.h"

#include <span>

namespace platform::dshow::filters {

inline constexpr CLSID CLSID_AviDecompressor = makeGuid("{CF49D4E0-1115-11CE-B03A-0020AF0BA770}");
inline constexpr char kAviDecompressorName[] = "AVI Decompressor";

// False when the registration data could not be stored (the classes are creatable all the same).
bool registerPlaybackFilters();

std::span<const AMOVIESETUP_FILTER> playbackFilters();

} // namespace platform::dshow::filters
