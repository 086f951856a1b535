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
#include <string>

namespace platform::dshow::filters {

inline constexpr CLSID CLSID_AviDecompressor = makeGuid("{CF49D4E0-1115-11CE-B03A-0020AF0BA770}");
inline constexpr char kAviDecompressorName[] = "AVI Decompressor";

// False when the registration data could not be stored (the classes are creatable all the same).
bool registerPlaybackFilters();

std::span<const AMOVIESETUP_FILTER> playbackFilters();

// Registers the filters of an installed filter module (a codec's decoder filter in the system folder,
// say) so that graphs find them; false when the file is missing or its registration failed.
bool registerFilterModule(const std::string& path);

// The system folder where codec files are installed: KESTROVA_SYSTEM_DIR when set, else "system" in
// the program folder given.
std::string systemFolderOf(const std::string& programFolder);

} // namespace platform::dshow::filters
