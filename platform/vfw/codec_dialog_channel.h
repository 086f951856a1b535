#pragma once

// The channel between a codec dialog and the automation program that answers it. Linux gives no way
// for one process to press another's buttons, so the dialog listens and the automation talks to it:
//
//  - Each dialog of a process is numbered (1, 2, ...) and listens, while it is open, on a local
//    stream socket in the abstract namespace named after the user, the channel folder and the
//    number: "kestrova-codec-dialog/<uid>/<hash of the folder>/<n>". Nothing is left on disk, so a
//    crashed converter leaves nothing stale behind.
//  - The channel folder is KESTROVA_CODEC_CHANNEL when set, else the folder of the running program:
//    the converters and "divxauto.exe" both live in extern/, so they meet there and two program
//    folders never answer each other's dialogs.
//  - An automation offers its script for one dialog number: it connects, retrying until its time
//    limit, so it may start before or after the dialog; a dialog that is not there yet simply has no
//    listener. It sends "KESTROVA-CODEC-AUTOMATION 1", one item per line (escaped: \\ \t \r \n), and
//    an empty line; the dialog runs the items and answers "OK" or "ERROR <message>".
//  - Only processes of the same user are heard (the peer's credentials are checked).

#include <memory>
#include <string>
#include <vector>

namespace platform::vfw {

// The channel's time limit in milliseconds: KESTROVA_CODEC_TIMEOUT when set, else 60 seconds.
int codecChannelTimeoutMs();
// The dialog number an automation answers: KESTROVA_CODEC_DIALOG when set (1..99), else 1.
int automationDialogNumber();
inline constexpr const char* CodecDialogEnv = "KESTROVA_CODEC_DIALOG";

// One automation that has connected to a dialog.
class AutomationRequest {
public:
    ~AutomationRequest();
    AutomationRequest(const AutomationRequest&) = delete;
    AutomationRequest& operator=(const AutomationRequest&) = delete;

    const std::vector<std::string>& items() const { return items_; }
    // Tells the automation how its script went (once; a request closed unanswered says ERROR).
    void reply(bool ok, const std::string& message);

private:
    friend class DialogListener;
    explicit AutomationRequest(int fd) : fd_(fd) {}
    int fd_;
    bool replied_ = false;
    std::vector<std::string> items_;
};

// The dialog's end.
class DialogListener {
public:
    DialogListener() = default;
    ~DialogListener();
    DialogListener(const DialogListener&) = delete;
    DialogListener& operator=(const DialogListener&) = delete;

    // Starts listening for dialog number n; false with a message when another dialog of that number
    // in the same channel is open.
    bool listen(int number, std::string& error);
    // The listening descriptor, for an event loop to watch (-1 when not listening).
    int descriptor() const { return fd_; }
    // Waits up to timeoutMs (0: only looks) for an automation and reads its script; null when none
    // came or its script could not be read.
    std::unique_ptr<AutomationRequest> accept(int timeoutMs);
    void close();

private:
    int fd_ = -1;
};

// The automation's end: offers the items to dialog number n and waits for its answer. False with a
// message when no dialog of that number was found within timeoutMs, or when it refused the script.
bool offerAutomation(int number, const std::vector<std::string>& items, int timeoutMs, std::string& message);

} // namespace platform::vfw
