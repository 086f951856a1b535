// The index adjuster's preview: the movie beside the index plays with the adjusted subtitles (the
// adjusted index stands in for the index while it plays), with a scroll bar to seek and the subtitle
// filter's settings pages.

#include "tools/vobsub_adjuster/tvsub.h"

#include "tools/vobsub_adjuster/index_swap.h"
#include "tools/vobsub_adjuster/tvsub_preview.h"

#include "platform/com/co_create.h"
#include "platform/com/wide_text.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/playback_filters.h"
#include "platform/dshow/filters/playback_report.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/property_frame.h"
#include "platform/ui/dialogs.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace tools::vobsub_adjuster {

namespace {

namespace core = platform::core;
namespace dshow = platform::dshow;
using namespace platform::com;

constexpr const char* PreviewCaption = "Preview";
constexpr const char* PlayCaption = "Play AVI";
constexpr const char* StopCaption = "STOP";
constexpr int Percent = 100;
constexpr const char* InstalledFilters[] = {"divxdec.ax", "dvobsub.ax"};

ComPtr<dshow::IBaseFilter> filterNamed(dshow::IGraphBuilder* graph, const char* name) {
    ComPtr<dshow::IBaseFilter> found;
    if (FAILED(graph->FindFilterByName(wideFromBytes(name).c_str(), found.put())))
        found.reset();
    return found;
}

void showPages(dshow::IBaseFilter* filter) {
    const std::vector<CLSID> pages = dshow::propertyPagesOf(filter);
    IUnknown* object = filter;
    dshow::OleCreatePropertyFrame(nullptr, SubtitleFilterName, 1, &object, static_cast<ULONG>(pages.size()),
                                  pages.data());
}

} // namespace

void TVSUB::Button8Click() {
    const std::string movie = core::changeFileExt(Edit1.text(), ".avi");
    if (!core::fileExists(movie)) {
        ui::errorBox("File : " + movie + " doesn't exist");
        return;
    }
    if (Previewing) {
        CloseDSPlayer();
        Button8.setCaption(PlayCaption);
        return;
    }
    // The filter loads the index beside the movie: the adjusted one stands in for it while it plays.
    swapInAdjustedIndex(core::resolvePath(Edit1.text()));
    CoInitialize(nullptr);
    dshow::filters::registerPlaybackFilters();
    const std::string system =
        dshow::filters::systemFolderOf(QCoreApplication::applicationDirPath().toStdString());
    for (const char* file : InstalledFilters)
        dshow::filters::registerFilterModule(core::joinPath(system, file));
    auto preview = std::make_unique<TvsubPreview>();
    if (FAILED(CoCreateInstance(dshow::CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                dshow::IID_IGraphBuilder, preview->graph.putVoid())) ||
        !preview->graph || FAILED(preview->graph.as(dshow::IID_IMediaControl, preview->control)) ||
        FAILED(preview->graph.as(dshow::IID_IMediaPosition, preview->position)) ||
        FAILED(preview->graph.as(dshow::IID_IMediaEventEx, preview->events)) ||
        FAILED(preview->graph.as(dshow::IID_IVideoWindow, preview->window))) {
        CoUninitialize();
        return;
    }
    preview_ = std::move(preview);
    Previewing = true;
    Button8.setCaption(StopCaption);
    DSPlayerPlayFile(core::resolvePath(movie));
}

bool TVSUB::DSPlayerPlayFile(const std::string& movie) {
    if (!preview_)
        return false;
    preview_->movie = movie;
    const HRESULT hr = preview_->graph->RenderFile(wideFromBytes(movie).c_str(), nullptr);
    for (const std::string& problem : dshow::filters::renderProblems(preview_->graph.get(), hr, movie))
        ui::errorBox(problem);
    preview_->rendered = SUCCEEDED(hr);
    if (!preview_->rendered)
        return false;
    preview_->decoder = filterNamed(preview_->graph.get(), PreviewDecoderName);
    preview_->subtitles = filterNamed(preview_->graph.get(), SubtitleFilterName);
    preview_->window->put_Caption(PreviewCaption);
    return SUCCEEDED(preview_->control->Run());
}

void TVSUB::CloseDSPlayer() {
    ScrollBar1.setPosition(0);
    const bool had = preview_ != nullptr;
    if (preview_) {
        if (preview_->control)
            preview_->control->Stop();
        preview_->subtitles.reset();
        preview_->decoder.reset();
        preview_->window.reset();
        preview_->events.reset();
        preview_->position.reset();
        preview_->control.reset();
        preview_->graph.reset();
    }
    preview_.reset();
    Previewing = false;
    if (had)
        CoUninitialize();
}

void TVSUB::stopPreview() {
    if (!Previewing)
        return;
    CloseDSPlayer();
    Button8.setCaption(PlayCaption);
}

void TVSUB::Timer1Timer() {
    if (!Previewing) {
        // The indexes go back to their own names once nothing plays.
        if (!Edit1.text().empty() &&
            core::fileExists(core::joinPath(core::extractFilePath(Edit1.text()), ParkedIndexName)))
            restoreIndexes(core::extractFilePath(Edit1.text()));
        return;
    }
    if (!preview_ || !preview_->rendered)
        return;
    double current = 0;
    double stop = 0;
    preview_->position->get_CurrentPosition(&current);
    preview_->position->get_StopTime(&stop);
    if (stop != 0)
        ScrollBar1.setPosition(static_cast<int>(current * Percent / stop));
    dshow::OABOOL visible = dshow::OAFALSE;
    preview_->window->get_Visible(&visible);
    if (visible == dshow::OAFALSE) {
        stopPreview(); // the user closed the video window
        return;
    }
    if (current >= stop)
        stopPreview();
}

void TVSUB::ScrollBar1Scroll() {
    if (!Previewing || !preview_ || !preview_->rendered)
        return;
    double stop = 0;
    preview_->position->get_StopTime(&stop);
    preview_->position->put_CurrentPosition(std::clamp(ScrollBar1.position() * stop / Percent, 0.0, stop));
}

void TVSUB::Button9Click() {
    if (!Previewing) {
        ui::errorBox("AVI is not playing !");
        return;
    }
    if (preview_ && preview_->subtitles)
        showPages(preview_->subtitles.get());
    // The settings take effect from a new start of the movie.
    CloseDSPlayer();
    Button8.setCaption(PlayCaption);
    Button8Click();
}

} // namespace tools::vobsub_adjuster
