#include "tools/vobsub_adjuster/tvsub.h"

#include "tools/vobsub_adjuster/index_swap.h"
#include "tools/vobsub_adjuster/tvsub_preview.h"

#include "tools/avi_compare/tavic.h"
#include "tools/vobsub_adjuster/idx_time.h"
#include "tools/vobsub_adjuster/video_time.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialogs.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

namespace tools::vobsub_adjuster {

namespace core = platform::core;

TVSUB* VSUB = nullptr;

namespace {

constexpr const char* CrLf = "\r\n";
constexpr const char* FilePrefix = "File : ";
constexpr const char* NotNumerical = " is not a numerical value !";
constexpr int64_t CompareWaitMs = 2000;
constexpr int SleepSliceMs = 10;
constexpr std::size_t ThousandthsLength = 3;
constexpr unsigned char LastControlKey = 31;
// The "Copy" button takes hh, mm, ss and mmm out of "hh:mm:ss:mmm".
constexpr int StartTimeMinLength = 9;
const std::vector<std::string> FrameRates = {"23.976", "24", "25", "29.970", "30"};

bool isDigit(char key) {
    return key >= '0' && key <= '9';
}

bool isControl(char key) {
    return static_cast<unsigned char>(key) <= LastControlKey;
}

void digitsOnly(char& key) {
    if (!isControl(key) && !isDigit(key))
        key = 0;
}

ui::Form* mainWindow(const ui::Form* self) {
    ui::Application* app = ui::Application::instance();
    ui::Form* main = app != nullptr ? app->mainForm() : nullptr;
    return main != self ? main : nullptr;
}

// A numeric edit as the adjuster reads it; an invalid text is reported and counts as 0.
double numericValue(const std::string& text) {
    if (const auto value = decimalValue(text))
        return *value;
    ui::errorBox(text + NotNumerical);
    return 0;
}

} // namespace

TVSUB::TVSUB() {
    setCaption("VobSub index adjuster");
    layOut();
    connectHandlers();
    connectKeyFilters();
    VSUB = this;
    onCreate = [this] { FormCreate(); };
    create();
}

TVSUB::~TVSUB() {
    CloseDSPlayer();
    if (VSUB == this)
        VSUB = nullptr;
}

void TVSUB::layOut() {
    setClientSize(560, 470);
    setBorderStyle(ui::BorderStyle::Single);
    Label1.setBounds(8, 12, 90, 16);
    Edit1.setBounds(100, 8, 400, 22);
    Button1.setBounds(508, 6, 44, 26);
    layOutGroups();
    fps1.setItems(FrameRates);
    fps2.setItems(FrameRates);
    fps1.setTextSilent("23.976");
    fps2.setTextSilent("25");
    setEditButtons(false);
}

void TVSUB::layOutGroups() {
    GroupBox1.setBounds(8, 40, 544, 130);
    lng.setBounds(8, 20, 180, 100);
    deflng.setBounds(200, 24, 160, 16);
    stime.setBounds(200, 46, 160, 16);
    Button8.setBounds(200, 70, 90, 26);
    Button9.setBounds(300, 70, 90, 26);
    Button10.setBounds(400, 70, 90, 26);
    ScrollBar1.setBounds(200, 102, 330, 18);
    ScrollBar1.setRange(0, 100);

    GroupBox2.setBounds(8, 176, 544, 100);
    Sign.setBounds(8, 22, 24, 22);
    Hour.setBounds(40, 22, 32, 22);
    Min.setBounds(80, 22, 32, 22);
    Sec.setBounds(120, 22, 32, 22);
    mSec.setBounds(160, 22, 40, 22);
    newstarttime.setBounds(220, 20, 200, 20);
    itsdelay.setBounds(220, 44, 200, 20);
    itsdelay.setCheckedSilent(true);
    Button2.setBounds(8, 62, 80, 26);
    Button6.setBounds(96, 62, 80, 26);
    Button7.setBounds(184, 62, 80, 26);

    GroupBox3.setBounds(8, 282, 544, 120);
    f1.setBounds(8, 20, 470, 22);
    Button3.setBounds(486, 18, 44, 26);
    f2.setBounds(8, 48, 470, 22);
    Button4.setBounds(486, 46, 44, 26);
    t1.setBounds(8, 80, 200, 16);
    overlap.setBounds(220, 76, 150, 20);
    pcut.setBounds(220, 96, 150, 20);
    Button5.setBounds(440, 82, 90, 26);

    GroupBox4.setBounds(8, 408, 544, 56);
    fps1.setBounds(8, 22, 90, 22);
    fps2.setBounds(110, 22, 90, 22);
    changefps.setBounds(220, 20, 90, 26);
}

void TVSUB::connectHandlers() {
    onClose = [this](ui::CloseAction&) { FormClose(); };
    Edit1.onChange = [this] { Edit1Change(); };
    lng.onClick = [this] { lngClick(); };
    Button1.onClick = [this] { Button1Click(); };
    Button2.onClick = [this] { Button2Click(); };
    Button3.onClick = [this] { Button3Click(); };
    Button4.onClick = [this] { Button4Click(); };
    Button5.onClick = [this] { Button5Click(); };
    Button6.onClick = [this] { Button6Click(); };
    Button7.onClick = [this] { Button7Click(); };
    Button8.onClick = [this] { Button8Click(); };
    Button9.onClick = [this] { Button9Click(); };
    ScrollBar1.onScroll = [this] { ScrollBar1Scroll(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
    Button10.onClick = [this] { Button10Click(); };
    changefps.onClick = [this] { changefpsClick(); };
    f1.onChange = [this] { f1Change(); };
    overlap.onClick = [this] { overlapClick(); };
    pcut.onClick = [this] { pcutClick(); };
    newstarttime.onClick = [this] { newstarttimeClick(); };
    itsdelay.onClick = [this] { itsdelayClick(); };
}

void TVSUB::connectKeyFilters() {
    Sign.onKeyPress = [](char& key) {
        if (key != '+' && key != '-')
            key = 0;
    };
    Hour.onKeyPress = digitsOnly;
    Min.onKeyPress = digitsOnly;
    Sec.onKeyPress = digitsOnly;
    mSec.onKeyPress = [this](char& key) {
        digitsOnly(key);
        if (isDigit(key) && mSec.text().size() >= ThousandthsLength)
            key = 0;
    };
    const auto rateKeys = [](char& key) {
        if (!isControl(key) && !isDigit(key) && key != '.')
            key = 0;
    };
    fps1.onKeyPress = rateKeys;
    fps2.onKeyPress = rateKeys;
}

void TVSUB::FormCreate() {
    if (ui::Form* main = mainWindow(this))
        main->minimize();
    BatchMode = false;
    Timer1.setEnabled(true);
}

void TVSUB::FormClose() {
    // Closing stops the preview, and both indexes go back at once: no timer ticks after this.
    stopPreview();
    if (!Edit1.text().empty())
        restoreIndexes(core::extractFilePath(Edit1.text()));
    if (ui::Form* main = mainWindow(this))
        main->restore();
}

void TVSUB::setEditButtons(bool enabled) {
    changefps.setEnabled(enabled);
    Button2.setEnabled(enabled);
    Button5.setEnabled(enabled);
    Button6.setEnabled(enabled);
    Button7.setEnabled(enabled);
}

void TVSUB::Edit1Change() {
    stopPreview();
    current_ = -1;
    const std::string path = Edit1.text();
    // An index parked by a preview that was cut short goes back before the index is read.
    restoreIndexes(core::extractFilePath(path));
    if (!core::fileExists(path)) {
        index_.setLines({});
        setEditButtons(false);
        return;
    }
    if (index_.load(path) != IdxLoadStatus::Ok) {
        index_.setLines({});
        setEditButtons(false);
        Organize();
        problem(FilePrefix + path + CrLf + "is not a valid index !");
        return;
    }
    setEditButtons(true);
    Organize();
}

void TVSUB::Organize() {
    lng.clearItems();
    deflng.setCaption("-");
    const int found = index_.organize();
    for (const IdxLanguage& language : index_.languages())
        lng.addItem(language.name);
    if (found >= 0)
        current_ = found;
    else if (current_ >= static_cast<int>(index_.languages().size()))
        current_ = -1;
    if (found < 0)
        return;
    const IdxLanguage& language = index_.languages()[static_cast<std::size_t>(current_)];
    deflng.setCaption(language.name);
    stime.setCaption(language.startTime);
    Button6Click();
}

void TVSUB::lngClick() {
    stopPreview();
    const int selected = lng.itemIndex();
    if (selected < 0 || selected >= static_cast<int>(index_.languages().size()))
        return;
    current_ = selected;
    const IdxLanguage& language = index_.languages()[static_cast<std::size_t>(current_)];
    deflng.setCaption(language.name);
    stime.setCaption(language.startTime);
    index_.setDefaultLanguage(current_);
    if (newstarttime.checked())
        Button6Click();
}

void TVSUB::Button6Click() {
    const std::string text = stime.caption();
    if (static_cast<int>(text.size()) < StartTimeMinLength || text[StartTimeMinLength - 1] != ':')
        return;
    Hour.setText(core::copy(text, 1, 2));
    Min.setText(core::copy(text, 4, 2));
    Sec.setText(core::copy(text, 7, 2));
    mSec.setText(core::copy(text, 10, 3));
}

void TVSUB::Button7Click() {
    Hour.setText("0");
    Min.setText("0");
    Sec.setText("0");
    mSec.setText("000");
}

void TVSUB::newstarttimeClick() {
    Button6Click();
}

void TVSUB::itsdelayClick() {
    Button7Click();
}

bool TVSUB::requireLanguage() {
    if (current_ >= 0 && current_ < static_cast<int>(index_.languages().size()))
        return true;
    problem("No language selected !");
    return false;
}

void TVSUB::problem(const std::string& text) {
    if (!BatchMode) {
        ui::errorBox(text);
        return;
    }
    if (BatchProblem.empty())
        BatchProblem = text;
}

void TVSUB::Button2Click() {
    stopPreview();
    if (!requireLanguage())
        return;
    mSec.setText(thousandthsDigits(mSec.text()));
    // Texts that are not numbers raise the toolkit's conversion error: nothing is changed then.
    double value = time2real(Sign.text() == "-", core::strToInt(Hour.text()), core::strToInt(Min.text()),
                             core::strToInt(Sec.text()), core::strToInt(mSec.text()));
    const IdxLanguage& language = index_.languages()[static_cast<std::size_t>(current_)];
    if (newstarttime.checked())
        value -= language.firstTimestampSeconds;
    index_.shift(current_, value);
    savefile();
}

void TVSUB::Button10Click() {
    Button2Click();
}

void TVSUB::changefpsClick() {
    stopPreview();
    if (!requireLanguage())
        return;
    const double from = numericValue(fps1.text());
    const double to = numericValue(fps2.text());
    if (from == 0 || to == 0)
        return;
    index_.scale(current_, from / to);
    Organize();
    savefile();
}

void TVSUB::savefile() {
    const std::string path = adjustedIndexPath(Edit1.text());
    if (!index_.save(path)) {
        ui::errorBox(FilePrefix + path + CrLf + "can't be saved !");
        return;
    }
    ui::informationBox(FilePrefix + path + CrLf + "saved !");
}

double TVSUB::GetVideoTime(const std::string& path) {
    if (!core::fileExists(path))
        return 0;
    const auto time = measureVideo(path);
    if (!time) {
        problem("No video stream found !");
        return 0;
    }
    frameRate_ = time->frameRate;
    return time->seconds;
}

void TVSUB::f1Change() {
    t1.setCaption("-");
    part1Length_ = 0;
    if (!core::fileExists(f1.text()))
        return;
    part1Length_ = GetVideoTime(f1.text());
    t1.setCaption("Length : " + real2time(part1Length_));
}

void TVSUB::overlapClick() {
    f2.setEnabled(true);
    Button4.setEnabled(true);
}

void TVSUB::pcutClick() {
    f2.setEnabled(false);
    Button4.setEnabled(false);
}

// The frame of part 1 where part 2 begins, in seconds; ok is cleared when a part is missing.
double TVSUB::overlapCutTime(bool& ok) {
    ok = false;
    for (const std::string& part : {f1.text(), f2.text()})
        if (!core::fileExists(part)) {
            problem(FilePrefix + part + CrLf + "Does not exist !");
            return 0;
        }
    ok = true;
    auto compare = std::make_unique<avi_compare::Tavic>();
    compare->Edit1.setText(f1.text());
    compare->Edit2.setText(f2.text());
    compare->show();
    compare->cmpr();
    const int64_t until = core::monotonicMs() + CompareWaitMs;
    while (core::monotonicMs() < until) {
        ui::processMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(SleepSliceMs));
    }
    compare->close();
    if (!compare->Found || frameRate_ <= 0)
        return 0;
    return compare->FoundFrame / frameRate_;
}

void TVSUB::Button5Click() {
    if (cutting_)
        return;
    stopPreview();
    cutting_ = true;
    CutWritten = false;
    double cutTime = part1Length_ - ClipSeconds;
    if (overlap.checked()) {
        bool ok = false;
        cutTime = overlapCutTime(ok);
        if (!ok)
            return endCut();
    }
    if (!std::isfinite(cutTime) || cutTime <= 0) {
        problem("Can't find matching frames !");
        return endCut();
    }
    if (!requireLanguage())
        return endCut();
    const CutResult result = index_.cut(current_, cutTime);
    if (result.status != CutStatus::Ok) {
        if (!BatchMode)
            ui::errorBox("No subtitle found after the cut !");
        return endCut();
    }
    const std::string path = part2IndexPath(Edit1.text());
    if (!core::writeLines(path, result.lines)) {
        problem(FilePrefix + path + CrLf + "can't be saved !");
        return endCut();
    }
    CutWritten = true;
    if (!BatchMode)
        ui::informationBox(FilePrefix + path + CrLf + "saved !");
    endCut();
}

// In batch mode the window closes however the cut ended, so the rip never waits on it.
void TVSUB::endCut() {
    cutting_ = false;
    if (BatchMode)
        close();
}

void TVSUB::Button1Click() {
    ui::OpenDialog dialog;
    dialog.filter = "VobSub index|*.idx";
    if (dialog.execute(this))
        Edit1.setText(dialog.fileName);
}

void TVSUB::Button3Click() {
    ui::OpenDialog dialog;
    dialog.filter = "Avi Files|*.avi";
    if (dialog.execute(this))
        f1.setText(dialog.fileName);
}

void TVSUB::Button4Click() {
    ui::OpenDialog dialog;
    dialog.filter = "Avi Files|*.avi";
    if (dialog.execute(this))
        f2.setText(dialog.fileName);
}

} // namespace tools::vobsub_adjuster
