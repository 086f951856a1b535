// "divxauto.exe": answers one codec dialog of the converter as a person would. Its arguments are the
// dialog's automation items ("WI00:ICCompressorChoose" "CB00:DivX Codec 4." "BT04:" ...); it hands
// them to the dialog over the codec-dialog channel and exits when the dialog has run them. A second
// automation for a dialog that already has one waiting is refused.
//
// The dialog answered is number 1, or the number in KESTROVA_CODEC_DIALOG ("delayer.exe" sets 2 for
// the converter's second dialog). The dialog may open before or after this program starts; one that
// has not opened within the channel's time limit (KESTROVA_CODEC_TIMEOUT milliseconds, 60 seconds by
// default) ends it with a message.
//
// Exit status: 0 when the dialog ran the script, 1 when no dialog came or it refused the script,
// 2 for a line that is no automation script.

#include "platform/vfw/codec_dialog_channel.h"
#include "platform/vfw/compressor_dialog.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitBadLine = 2;

} // namespace

int main(int argc, char** argv) {
    namespace vfw = platform::vfw;
    std::vector<std::string> texts(argv + 1, argv + argc);
    if (texts.empty()) {
        std::fprintf(stderr,
                     "divxauto: no automation items (for example WI00:ICCompressorChoose BT02: QU00:)\n");
        return ExitBadLine;
    }
    std::vector<vfw::AutomationItem> items;
    std::string error;
    if (!vfw::parseAutomationScript(texts, items, error)) {
        std::fprintf(stderr, "divxauto: %s\n", error.c_str());
        return ExitBadLine;
    }
    vfw::AutomationOffer offer;
    if (!offer.open(vfw::automationDialogNumber(), error) ||
        !offer.serve(texts, vfw::codecChannelTimeoutMs(), error)) {
        std::fprintf(stderr, "divxauto: %s\n", error.c_str());
        return ExitRefused;
    }
    return 0;
}
