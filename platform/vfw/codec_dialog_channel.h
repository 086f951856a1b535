#pragma once

// The channel between a codec dialog and the automation program that answers it. Linux gives no way
// for one process to press another's buttons, so the automation offers its script and the dialog
// takes it:
//
//  - An automation for dialog number n listens on a local stream socket in the abstract namespace
//    named after the user, the channel folder and the number:
//    "kestrova-codec-offer/<uid>/<hash of the folder>/<n>". Nothing is left on disk, so a crashed
//    program leaves nothing stale behind, and a second automation for the same dialog is refused.
//  - The channel folder is KESTROVA_CODEC_CHANNEL when set, else the folder of the running program:
//    the converters and "divxauto.exe" both live in extern/, so they meet there and two program
//    folders never answer each other's dialogs.
//  - Each dialog of a converter is numbered (1, 2 for the second codec of a dual output). While it
//    is open it looks for the offer of its number: at once when it opens (an automation started
//    before it is found there), and again every tenth of a second (one started after it).
//  - The dialog connects, reads "KESTROVA-CODEC-AUTOMATION 1", one item per line (escaped: \\ \t
//    \r \n) and an empty line, runs the items and answers "OK" or "ERROR <message>". The automation
//    serves one dialog and ends, so every script is used once and by the dialog it names.
//  - Only processes of the same user are heard (the peer's credentials are checked on both ends).

#include <memory>
#include <string>
#include <vector>

namespace platform::vfw {

// The channel's time limit in milliseconds: KESTROVA_CODEC_TIMEOUT when set, else 60 seconds.
int codecChannelTimeoutMs();
// The dialog number an automation answers: KESTROVA_CODEC_DIALOG when set (1..99), else 1.
int automationDialogNumber();
inline constexpr const char* CodecDialogEnv = "KESTROVA_CODEC_DIALOG";
// How often an open dialog looks again for an automation.
inline constexpr int CodecChannelPollMs = 100;

// The script of an automation that a dialog took.
class AutomationRequest {
public:
    ~AutomationRequest();
    AutomationRequest(const AutomationRequest&) = delete;
    AutomationRequest& operator=(const AutomationRequest&) = delete;

    const std::vector<std::string>& items() const { return items_; }
    // Tells the automation how its script went (once; a request dropped unanswered says ERROR).
    void reply(bool ok, const std::string& message);

private:
    friend std::unique_ptr<AutomationRequest> takeAutomation(int number);
    explicit AutomationRequest(int fd) : fd_(fd) {}
    int fd_;
    bool replied_ = false;
    std::vector<std::string> items_;
};

// The dialog's end: the script offered for dialog number n, or null when no automation offers one.
// Does not wait for an automation to come (only for the script of one that is there).
std::unique_ptr<AutomationRequest> takeAutomation(int number);

// The automation's end.
class AutomationOffer {
public:
    AutomationOffer() = default;
    ~AutomationOffer();
    AutomationOffer(const AutomationOffer&) = delete;
    AutomationOffer& operator=(const AutomationOffer&) = delete;

    // Starts offering for dialog number n; false with a message when another automation does.
    bool open(int number, std::string& error);
    // Waits up to timeoutMs for the dialog, hands it the items and waits for its answer. False with a
    // message when no dialog came, or when it could not run the script.
    bool serve(const std::vector<std::string>& items, int timeoutMs, std::string& message);

private:
    int fd_ = -1;
    int number_ = 0;
};

} // namespace platform::vfw
