#include "platform/vfw/compressor_dialog.h"

#include <cctype>

namespace platform::vfw {

namespace {

constexpr const char* Kinds[] = {"WI", "CB", "ED", "SB", "BT", "QU"};

std::string twoDigits(int n) {
    return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

} // namespace

bool parseAutomationItem(const std::string& text, AutomationItem& item, std::string& error) {
    const bool shaped = text.size() >= 5 && std::isupper(static_cast<unsigned char>(text[0])) &&
                        std::isupper(static_cast<unsigned char>(text[1])) &&
                        std::isdigit(static_cast<unsigned char>(text[2])) &&
                        std::isdigit(static_cast<unsigned char>(text[3])) && text[4] == ':';
    bool known = false;
    if (shaped)
        for (const char* kind : Kinds)
            known = known || text.compare(0, 2, kind) == 0;
    if (!known) {
        error = "\"" + text + "\" is not an automation item (WInn:, CBnn:, EDnn:, SBnn:, BTnn: or QU00:)";
        return false;
    }
    item.kind = text.substr(0, 2);
    item.number = (text[2] - '0') * 10 + (text[3] - '0');
    item.value = text.substr(5);
    item.text = text;
    return true;
}

bool parseAutomationScript(const std::vector<std::string>& texts, std::vector<AutomationItem>& items,
                           std::string& error) {
    items.clear();
    for (const std::string& text : texts) {
        AutomationItem item;
        if (!parseAutomationItem(text, item, error))
            return false;
        items.push_back(std::move(item));
    }
    return true;
}

CompressorDialog::CompressorDialog(int number) : CompressorDialog(number, listCompressors()) {}

CompressorDialog::CompressorDialog(int number, std::vector<CompressorInfo> codecs)
    : number_(number), codecs_(std::move(codecs)) {
    if (!codecs_.empty())
        chosen_ = 0;
}

bool CompressorDialog::choose(int index, std::string& error) {
    if (index < 0 || index >= static_cast<int>(codecs_.size())) {
        error = "There is no codec number " + std::to_string(index + 1);
        return false;
    }
    if (index != chosen_)
        compressor_.reset();
    chosen_ = index;
    notify();
    return true;
}

bool CompressorDialog::openChosen(std::string& error) {
    if (compressor_)
        return true;
    if (chosen_ < 0) {
        error = "No video compressor is installed in " + codecSystemFolder();
        return false;
    }
    compressor_ = VideoCompressor::openFile(codecs_[static_cast<size_t>(chosen_)].file, error);
    return compressor_ != nullptr;
}

bool CompressorDialog::configure(std::string& error) {
    if (!openChosen(error))
        return false;
    settingsOpen_ = true;
    notify();
    return true;
}

bool CompressorDialog::setControl(const std::string& id, const std::string& value, std::string& error) {
    if (!openChosen(error))
        return false;
    const bool ok = compressor_->setControl(id, value, error);
    notify();
    return ok;
}

std::vector<CodecControl> CompressorDialog::controls() const {
    return compressor_ ? compressor_->controls() : std::vector<CodecControl>{};
}

bool CompressorDialog::accept(std::string& error) {
    if (!openChosen(error))
        return false;
    settingsOpen_ = false;
    outcome_ = Outcome::Accepted;
    notify();
    return true;
}

void CompressorDialog::cancel() {
    settingsOpen_ = false;
    compressor_.reset();
    outcome_ = Outcome::Cancelled;
    notify();
}

bool CompressorDialog::runItem(const AutomationItem& item, int& window, std::string& error) {
    const std::string where = item.text + ": ";
    if (item.kind == "WI") {
        if (item.number > Settings || (item.number == Settings && !settingsOpen_)) {
            error = where + "there is no such window open";
            return false;
        }
        if (item.number == Chooser && !item.value.empty() && item.value != ChooserTitle) {
            error = where + "the chooser's title is " + ChooserTitle;
            return false;
        }
        window = item.number;
        return true;
    }
    if (window == Settings && !settingsOpen_) {
        error = where + "the settings window is closed";
        return false;
    }
    if (item.kind == "CB" && window == Chooser) {
        if (item.number != 0) {
            error = where + "the chooser has no combo box " + twoDigits(item.number);
            return false;
        }
        for (size_t i = 0; i < codecs_.size(); ++i)
            if (codecs_[i].description.rfind(item.value, 0) == 0)
                return choose(static_cast<int>(i), error);
        error = where + "no codec entry begins with \"" + item.value + "\"";
        return false;
    }
    if (item.kind == "BT" && window == Chooser) {
        switch (item.number) {
        case 2:
            return accept(error);
        case 3:
            cancel();
            return true;
        case 4:
            return configure(error);
        default:
            error = where + "the chooser has no button " + twoDigits(item.number);
            return false;
        }
    }
    if (item.kind == "BT") {
        if (item.number != 0 && item.number != 5) {
            error = where + "the settings window has no button " + twoDigits(item.number);
            return false;
        }
        closeSettings();
        return true;
    }
    if (window == Settings && (item.kind == "CB" || item.kind == "ED" || item.kind == "SB")) {
        if (!setControl(item.kind + twoDigits(item.number), item.value, error)) {
            error = where + error;
            return false;
        }
        return true;
    }
    error = where + "the chooser has no such control";
    return false;
}

bool CompressorDialog::run(const std::vector<AutomationItem>& items, std::string& error) {
    int window = settingsOpen_ ? Settings : Chooser;
    for (const AutomationItem& item : items) {
        if (item.kind == "QU")
            return true;
        if (outcome_ != Outcome::Open) {
            error = item.text + ": the dialog is already closed";
            return false;
        }
        if (!runItem(item, window, error))
            return false;
    }
    return true;
}

} // namespace platform::vfw
