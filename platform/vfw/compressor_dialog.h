#pragma once

// The compressor chooser and the settings window as an engine, without widgets: the codec list, the
// chosen codec's controls, and the automation script that answers them as a person would. The Qt
// windows (compressor_choose.cpp) show this state and act on it.
//
// Automation items are "XXnn:value" texts: WI picks a window (00 the chooser, 01 the settings
// window; the value is its title, or empty), CB chooses a combo box entry (CB00 of the chooser: the
// first codec whose entry begins with the value), ED sets an edit box, SB moves a slider, BT presses
// a button (chooser: 02 OK, 03 Cancel, 04 Configure; settings window: 00 or 05 OK), QU00 ends the
// script.

#include "platform/vfw/video_compressor.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::vfw {

inline constexpr const char* ChooserTitle = "ICCompressorChoose";

struct AutomationItem {
    std::string kind; // "WI", "CB", "ED", "SB", "BT", "QU"
    int number = 0;
    std::string value;
    std::string text; // as written
};

// Parses one item; false with a message when it is not "XXnn:value" of a known kind.
bool parseAutomationItem(const std::string& text, AutomationItem& item, std::string& error);
// Parses a whole script (items as the command line gives them); false at the first bad item.
bool parseAutomationScript(const std::vector<std::string>& texts, std::vector<AutomationItem>& items,
                           std::string& error);

class CompressorDialog {
public:
    enum class Outcome { Open, Accepted, Cancelled };
    enum Window { Chooser = 0, Settings = 1 };

    // Lists the system folder's compressors; the first is chosen.
    explicit CompressorDialog(int number);
    CompressorDialog(int number, std::vector<CompressorInfo> codecs);

    int number() const { return number_; }
    const std::vector<CompressorInfo>& codecs() const { return codecs_; }
    int chosen() const { return chosen_; }
    bool settingsOpen() const { return settingsOpen_; }
    Outcome outcome() const { return outcome_; }

    // A person's actions.
    bool choose(int index, std::string& error);
    bool configure(std::string& error); // opens the settings window of the chosen codec
    void closeSettings() {
        settingsOpen_ = false;
        notify();
    }
    bool setControl(const std::string& id, const std::string& value, std::string& error);
    std::vector<CodecControl> controls() const;
    bool accept(std::string& error);
    void cancel();

    // Runs an automation script; false with a message naming the item that could not be done (what
    // went before it stays done). QU00 ends it; items after it are not run.
    bool run(const std::vector<AutomationItem>& items, std::string& error);

    // The accepted compressor (once).
    std::unique_ptr<VideoCompressor> take() { return std::move(compressor_); }

    // Called after every change, for the windows to show it.
    std::function<void()> changed;

private:
    bool openChosen(std::string& error);
    bool runItem(const AutomationItem& item, int& window, std::string& error);
    void notify() {
        if (changed)
            changed();
    }

    int number_;
    std::vector<CompressorInfo> codecs_;
    int chosen_ = -1;
    std::unique_ptr<VideoCompressor> compressor_;
    bool settingsOpen_ = false;
    Outcome outcome_ = Outcome::Open;
};

} // namespace platform::vfw
