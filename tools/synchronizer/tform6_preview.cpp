// The synchronizer window's "Preview" tab: the preview of the file in work in its own video window,
// with position, seeking, zoom, full screen and a list of time ranges.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/core/files.h"
#include "platform/core/text.h"

#include <algorithm>
#include <limits>

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr const char* PreviewCaption = "Synchronizer Preview";
constexpr const char* NoRange = "***";
constexpr size_t TimeTextLength = 11;
constexpr size_t RangeStopOffset = 17; // "hh:mm:ss.cc <==> " before the range's end
constexpr int64_t UnitsPerHundredth = PreviewUnitsPerSecond / 100;
constexpr int ZoomNormal = 100;
constexpr int PercentScale = 100;
constexpr char LastControlKey = 31;

// hh:mm:ss.cc of a position in 100-ns units (rounded to hundredths).
std::string hundredthsText(int64_t position) {
    const int64_t hundredths = core::roundHalfEven(static_cast<long double>(position) / UnitsPerHundredth);
    return CentisecondsToText(
        static_cast<int32_t>(std::clamp<int64_t>(hundredths, 0, std::numeric_limits<int32_t>::max())));
}

// hh:mm:ss of a position in 100-ns units.
std::string secondsText(int64_t position) {
    const std::string text = hundredthsText(position);
    return text.substr(0, text.size() - 3);
}

// A range text's time in 100-ns units; 0 for a text that is no time.
int64_t rangeTime(const std::string& text) {
    const double seconds = synchronizer::converttosec(text);
    return seconds < 0 ? 0 : core::roundHalfEven(static_cast<long double>(seconds) * PreviewUnitsPerSecond);
}

// The last selected item of a list, -1 when none is.
int lastSelected(const ui::ListBox& list) {
    for (int i = list.itemCount() - 1; i >= 0; --i)
        if (list.selected(i))
            return i;
    return -1;
}

int firstSelected(const ui::ListBox& list) {
    for (int i = 0; i < list.itemCount(); ++i)
        if (list.selected(i))
            return i;
    return -1;
}

} // namespace

bool TForm6::CreatePreviewGraph() {
    preview_ = std::make_unique<PreviewPlayer>();
    return true;
}

bool TForm6::DSPlayerPlayFile(const std::string& fileName) {
    const std::string range = sel.caption();
    if (!freeplay.checked() && range != NoRange) {
        RangeStart = rangeTime(range.substr(0, TimeTextLength));
        RangeStop = range.size() > RangeStopOffset ? rangeTime(range.substr(RangeStopOffset)) : 0;
    }
    tb2.setPosition(ZoomNormal);
    if (!core::fileExists(fileName) || !preview_)
        return false;
    if (!preview_->renderFile(fileName))
        return true;
    preview_->setCaption(PreviewCaption);
    preview_->setWindowPosition(PreviewLeft, PreviewTop);
    preview_->run();
    PreviewHeight = preview_->windowHeight();
    PreviewWidth = preview_->windowWidth();
    const int64_t duration = preview_->duration();
    avil.setCaption(secondsText(duration));
    if (RangeStop == 0)
        RangeStop = duration;
    if (!freeplay.checked())
        preview_->setPositions(RangeStart, RangeStop);
    return true;
}

void TForm6::CloseDSPlayer() {
    Previewing = false;
    ScrollBar1.setPosition(0);
    tb2.setPosition(ZoomNormal);
    if (preview_)
        preview_->stop();
    preview_.reset();
}

void TForm6::PlayClick() {
    if (Edit1.text().empty())
        Button1Click();
    StopFlag = false;
    Autotest.AutotestDone = false;
    if (preview_) {
        preview_->stop();
        CloseDSPlayer();
    }
    if (!preview_ && CreatePreviewGraph()) {
        Previewing = true;
        DSPlayerPlayFile(Edit1.text());
    }
}

void TForm6::StopClick() {
    if (!preview_)
        return;
    preview_->stop();
    if (preview_->rendered()) {
        PreviewLeft = preview_->windowLeft();
        PreviewTop = preview_->windowTop();
    }
    CloseDSPlayer();
}

void TForm6::Timer1Timer() {
    if (preview_ && preview_->rendered()) {
        if (!preview_->fullScreen())
            preview_->setMessageDrain({});
        if (!preview_->windowVisible())
            StopClick();
    }
    if (!Previewing || !preview_)
        return;
    const int64_t current = preview_->currentPosition();
    const int64_t stop = preview_->stopPosition();
    curp.setCaption(secondsText(current));
    if (stop != 0)
        ScrollBar1.setPosition(static_cast<int>(current * PercentScale / stop));
    if ((!freeplay.checked() && RangeStop <= current) || current == stop) {
        preview_->stop();
        CloseDSPlayer();
    }
}

void TForm6::ScrollBar1Scroll() {
    if (!Previewing || !preview_)
        return;
    const int64_t stop = preview_->stopPosition();
    const int64_t wanted =
        core::roundHalfEven(static_cast<long double>(ScrollBar1.position()) * stop / PercentScale);
    preview_->setPositions(std::clamp<int64_t>(wanted, 0, stop), std::nullopt);
}

void TForm6::tb2Change() {
    if (!preview_ || !preview_->rendered())
        return;
    const int zoom = tb2.position();
    preview_->setWindowSize(
        static_cast<int>(core::roundHalfEven(static_cast<long double>(PreviewWidth) * zoom / PercentScale)),
        static_cast<int>(core::roundHalfEven(static_cast<long double>(PreviewHeight) * zoom / PercentScale)));
    Label28.setCaption("+" + std::to_string(zoom - ZoomNormal) + "%");
}

void TForm6::fullClick() {
    if (!preview_ || !preview_->rendered())
        return;
    preview_->bringToFront();
    preview_->setMessageDrain([this](char& key) { msKeyPress(key); });
    preview_->setFullScreen(true);
}

void TForm6::msKeyPress(char& key) {
    if (!preview_ || key > LastControlKey || key < 0)
        return;
    preview_->setMessageDrain({});
    preview_->setFullScreen(false);
}

void TForm6::Button18Click() {
    // The preview decodes its frames itself: there is no decoder filter with property pages to show.
}

void TForm6::range1Click() {
    if (!Previewing || !preview_)
        return;
    RangeStart = preview_->currentPosition();
    Label10.setCaption(hundredthsText(RangeStart) + " <=");
}

void TForm6::range2Click() {
    if (!Previewing || !preview_)
        return;
    RangeStop = preview_->currentPosition();
    Label11.setCaption("=> " + hundredthsText(RangeStop));
}

void TForm6::bResetClick() {
    RangeStart = 0;
    RangeStop = 0;
    Label10.setCaption("00:00:00.00 <=");
    Label11.setCaption("=> 00:00:00.00");
}

void TForm6::Button14Click() {
    const std::string range = Label10.caption() + Label11.caption();
    ranges.addItem(range);
    copyranges.addItem(range);
}

void TForm6::rangesClick() {
    freeplay.setChecked(false);
    const int index = lastSelected(ranges);
    if (index < 0)
        return;
    sel.setCaption(ranges.item(index));
    csel.setCaption(ranges.item(index));
}

void TForm6::copyrangesClick() {
    freeplay.setChecked(false);
    const int index = lastSelected(copyranges);
    if (index < 0 || index >= ranges.itemCount())
        return;
    sel.setCaption(ranges.item(index));
    csel.setCaption(ranges.item(index));
}

void TForm6::Button15Click() {
    const int index = firstSelected(ranges);
    if (index < 0)
        return;
    ranges.deleteItem(index);
    if (index < copyranges.itemCount())
        copyranges.deleteItem(index);
    if (ranges.itemCount() == 0)
        sel.setCaption(NoRange);
}

void TForm6::Button16Click() {
    ranges.clearItems();
    copyranges.clearItems();
    sel.setCaption(NoRange);
}

} // namespace tools::synchronizer
