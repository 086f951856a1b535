// The synchronizer window's "Preview" tab: the preview of the file in work in its own video window,
// with position, seeking, zoom, full screen and a list of time ranges.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/com/co_create.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

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
    auto state = std::make_unique<PreviewGraphState>();
    if (!synchronizer::CreatePreviewGraph(*state, programFolder_))
        return false;
    preview_ = std::move(state);
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
    const bool rendered = renderPreviewFile(*preview_, core::resolvePath(fileName));
    // What could not be played is said once; a file that rendered in part plays what it can.
    for (const std::string& problem : preview_->problems)
        ui::errorBox(problem);
    if (!rendered)
        return true;
    preview_->window->put_Caption(PreviewCaption);
    preview_->window->put_Left(PreviewLeft);
    preview_->window->put_Top(PreviewTop);
    preview_->control->Run();
    platform::dshow::LONG height = 0;
    platform::dshow::LONG width = 0;
    preview_->window->get_Height(&height);
    preview_->window->get_Width(&width);
    PreviewHeight = height;
    PreviewWidth = width;
    preview_->DecoderFilter = findFilter(preview_->PreviewGraph.get(), DivXDecoderName, DivXDecoderAltName);
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
    if (preview_ && preview_->control)
        preview_->control->Stop();
    // The interfaces go in the order they came, the graph (and its video window) last.
    if (preview_) {
        preview_->DecoderFilter.reset();
        preview_->window.reset();
        preview_->seeking.reset();
        preview_->control.reset();
        preview_->PreviewGraph.reset();
    }
    preview_.reset();
    platform::com::CoUninitialize();
}

void TForm6::PlayClick() {
    if (Edit1.text().empty())
        Button1Click();
    StopFlag = false;
    Autotest.AutotestDone = false;
    if (preview_) {
        preview_->control->Stop();
        CloseDSPlayer();
    }
    if (!preview_ && CreatePreviewGraph()) {
        Previewing = true;
        DSPlayerPlayFile(Edit1.text());
    }
}

void TForm6::StopClick() {
    if (!preview_ || !preview_->control)
        return;
    preview_->control->Stop();
    if (preview_->rendered) {
        platform::dshow::LONG left = 0;
        platform::dshow::LONG top = 0;
        preview_->window->get_Left(&left);
        preview_->window->get_Top(&top);
        PreviewLeft = left;
        PreviewTop = top;
    }
    CloseDSPlayer();
}

void TForm6::Timer1Timer() {
    if (preview_ && preview_->rendered) {
        if (!preview_->fullScreen())
            preview_->window->put_MessageDrain(0);
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
        preview_->control->Stop();
        CloseDSPlayer();
    }
}

void TForm6::ScrollBar1Scroll() {
    if (!Previewing || !preview_)
        return;
    const int64_t stop = preview_->stopPosition();
    const int64_t wanted =
        core::roundHalfEven(static_cast<long double>(ScrollBar1.position()) * stop / PercentScale);
    preview_->setCurrent(std::clamp<int64_t>(wanted, 0, stop));
}

void TForm6::tb2Change() {
    if (!preview_ || !preview_->rendered)
        return;
    const int zoom = tb2.position();
    preview_->window->put_Height(static_cast<platform::dshow::LONG>(
        core::roundHalfEven(static_cast<long double>(PreviewHeight) * zoom / PercentScale)));
    preview_->window->put_Width(static_cast<platform::dshow::LONG>(
        core::roundHalfEven(static_cast<long double>(PreviewWidth) * zoom / PercentScale)));
    Label28.setCaption("+" + std::to_string(zoom - ZoomNormal) + "%");
}

void TForm6::fullClick() {
    if (!preview_ || !preview_->rendered)
        return;
    preview_->window->SetWindowForeground(-1);
    preview_->window->put_MessageDrain(reinterpret_cast<platform::dshow::OAHWND>(ms.widget()));
    preview_->window->put_FullScreenMode(platform::dshow::OATRUE);
}

void TForm6::msKeyPress(char& key) {
    if (!preview_ || !preview_->rendered || key > LastControlKey || key < 0)
        return;
    preview_->window->put_MessageDrain(0);
    preview_->window->put_FullScreenMode(platform::dshow::OAFALSE);
}

void TForm6::Button18Click() {
    if (preview_ && preview_->DecoderFilter)
        ShowFilterProperties(preview_->DecoderFilter.get());
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
