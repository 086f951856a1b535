// The multi-rip list of the extras page: profiles added from the profile list, moved, removed, and
// ripped one after the other, unattended.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/rip_record.h"
#include "kes/rip_report.h"
#include "kes/vob_list.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"

#include "platform/ui/dialogs.h"

#include <stdexcept>

namespace kes {

namespace core = platform::core;

namespace {

constexpr int MsgEmptyList = 54;
constexpr const char* NotRippedHeading = "These entries of the multi-rip list were not ripped :";
constexpr const char* MessagesHeading =
    "These entries of the multi-rip list were ripped, with these messages :";
constexpr const char* NotListed = "not in the profile list any more";
constexpr const char* NoReason = "the rip was stopped";
constexpr const char* LogsFolder = "logs/";
constexpr const char* MultiRipLogName = "Multi-rip";

// A box's text on one line of the log.
std::string oneLine(const std::string& text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        line += ' ';
    }
    return line;
}

} // namespace

TForm1::Unattended::Unattended(TForm1& form)
    : form_(form),
      diversion_([this](ui::MessageKind, const std::string& text) { said_.push_back(oneLine(text)); }) {
    ++form_.unattended_;
}

TForm1::Unattended::~Unattended() {
    --form_.unattended_;
}

void TForm1::addtomultiClick() {
    if (const int selected = memo1.itemIndex(); selected >= 0)
        memo2.addItem(memo1.item(selected));
    usemulti.setEnabled(true);
}

// Moving and deleting select another entry without loading a profile, as a click in the list would.
void TForm1::SpeedButton2Click() {
    const int i = memo2.itemIndex();
    if (i <= 0)
        return;
    const std::string above = memo2.item(i - 1);
    memo2.setItem(i - 1, memo2.item(i));
    memo2.setItem(i, above);
    memo2.setItemIndexSilent(i - 1);
}

void TForm1::SpeedButton3Click() {
    const int i = memo2.itemIndex();
    if (i < 0 || i >= memo2.itemCount() - 1)
        return;
    const std::string below = memo2.item(i + 1);
    memo2.setItem(i + 1, memo2.item(i));
    memo2.setItem(i, below);
    memo2.setItemIndexSilent(i + 1);
}

void TForm1::eraseClick() {
    const int i = memo2.itemIndex();
    if (i < 0)
        return;
    memo2.deleteItem(i);
    if (memo2.itemCount() > 0) {
        memo2.setItemIndexSilent(i > 0 ? i - 1 : 0);
        return;
    }
    LaunchMulti.setEnabled(false);
    usemulti.setChecked(false);
    usemulti.setEnabled(false);
}

void TForm1::usemultiClick() {
    if (!usemulti.checked()) {
        LaunchMulti.setEnabled(false);
        return;
    }
    if (memo2.itemCount() == 0) {
        ui::errorBox(MessageTable[MsgEmptyList]);
        usemulti.setChecked(false);
        LaunchMulti.setEnabled(false);
        return;
    }
    LaunchMulti.setEnabled(true);
}

bool TForm1::ripMultiEntry(const std::string& entry, bool last, std::string& why) {
    // An entry that is no longer listed is not ripped: the settings on screen belong to another one.
    const int listed = memo1.indexOf(entry);
    if (listed < 0) {
        why = NotListed;
        return false;
    }
    ProfileEdit.setText(memo1.item(listed));
    const ProfileListItem* item = findProfileItem(profileTable_, ProfileEdit.text());
    if (!item) {
        why = NotListed;
        return false;
    }
    const std::string path = item->path;
    InitPath();
    InitFields();
    ReadProFile(path);
    Descrip.setText({});
    CopyFromProfile();
    setautoparam();

    // Every entry leaves a log and no work WAV files; only the last one switches the machine off.
    log.setChecked(true);
    DelWav.setChecked(true);
    Shut.setChecked(last);

    // A list that cannot be written would leave the converter the previous entry's title (the list
    // said why).
    if (!MakeList(Vobfile.text()))
        return false;
    RipRecord.RipStart = 0;
    RipRecord.RipEnd = 0;
    Launchrip();
    return !RipAborted;
}

void TForm1::logMultiRip(const std::string& notRipped, const std::string& messages) {
    const core::DateTime now = core::now();
    const std::string path =
        logFilePath(ProgDir + LogsFolder, MultiRipLogName, core::shortDateText(now), core::timeText(now));
    std::string text;
    if (!notRipped.empty())
        text = NotRippedHeading + notRipped;
    if (!messages.empty())
        text += (text.empty() ? "" : "\r\n") + std::string(MessagesHeading) + messages;
    // Nobody may be there to answer a box: a log that cannot be written is left at that.
    if (!core::writeFileAtomic(path, text))
        return;
}

void TForm1::LaunchMultiClick() {
    std::string notRipped;
    std::string messages;
    shutdownRequested_ = false;
    {
        // One job for the whole list: profile loads pump the window between the rips.
        JobGuard job(*this);
        const std::vector<std::string> entries = memo2.items();
        for (size_t k = 0; k < entries.size(); ++k) {
            const std::string& entry = entries[k];
            // Nothing may wait for a person: what a box of this entry would say goes into the log.
            Unattended unattended(*this);
            std::string why;
            bool ripped = false;
            // A failure inside one entry (a profile that cannot be read, a value that is no number)
            // ends that entry only; the list goes on and the failures are named at its end.
            try {
                ripped = ripMultiEntry(entry, k + 1 == entries.size(), why);
            } catch (const std::exception& error) {
                why = oneLine(error.what());
            }
            std::vector<std::string> said = unattended.said();
            if (!why.empty())
                said.push_back(why);
            if (!ripped && said.empty())
                said.push_back(NoReason);
            for (const std::string& text : said)
                (ripped ? messages : notRipped) += "\r\n" + entry + " : " + text;
        }
    }
    // The list runs unattended: what it could not rip goes into a log, not into a box that waits.
    if (!notRipped.empty() || !messages.empty())
        logMultiRip(notRipped, messages);
    // The list ends with the shutdown, also when its last entry never reached its report.
    if (!memo2.items().empty() && !shutdownRequested_) {
        shutdownRequested_ = true;
        ShutdownWindows();
    }
}

} // namespace kes
