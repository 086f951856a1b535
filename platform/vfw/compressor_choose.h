#pragma once

// The compressor chooser "ICCompressorChoose" (window WI00: the codec list CB00, "Configure" BT04,
// "OK" BT02, "Cancel" BT03) and the chosen codec's settings window (WI01: the codec's own ED, CB and
// SB controls, closed by BT00 or BT05). Library platform_vfw_dialogs (Qt Widgets).
//
// The dialogs of a converter are numbered: dialog 1 for its codec, dialog 2 for the second codec of
// a dual output. Each is answered, in this order, by
//  - the platform/ui dialog script, when it holds an answer: an automation line (the items of
//    "divxauto.exe", e.g. "WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: WI01: ED00:900 BT00:
//    WI00: BT02: QU00:") or "Cancel" (recorded as kind "codec", caption "ICCompressorChoose", text
//    the dialog number);
//  - an automation that offers its script for this dialog number on the codec-dialog channel
//    (codec_dialog_channel.h): one started before the dialog is found when it opens;
//  - OK with the first codec, when a dialog script is given but holds no answer for it (as for any
//    box of a script);
//  - the person at the screen, or an automation started after the dialog opened. Without a display
//    the dialog waits only for an automation, up to the channel's time limit, then fails with a
//    message rather than wait for nobody.

#include "platform/vfw/video_compressor.h"

#include <memory>
#include <string>

namespace platform::vfw {

// Shows dialog dialogNumber and returns the chosen compressor with its settings applied; null with a
// message when the dialog was cancelled, failed or could not be answered.
std::unique_ptr<VideoCompressor> chooseCompressor(int dialogNumber, std::string& error);

} // namespace platform::vfw
