// What Tonegrab's window does: find mode, extract mode and the buttons.

#include "trovel/tform1.h"

#include "trovel/exit_status.h"
#include "trovel/picture_start.h"
#include "trovel/stream_count_file.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialogs.h"

#include <algorithm>
#include <system_error>

namespace trovel {

namespace {

constexpr const char* kVobExt = ".VOB";
constexpr const char* kSourceFilter = "LST files|*.lst|VOB files|*.vob|All files|*.*";
constexpr const char* kWavFilter = "Wav file|*.wav";
constexpr const char* kWavExt = ".wav";
// The stream text is "0x8" followed by the stream digit.
constexpr size_t kStreamDigitPosition = 3;
// A seek moves by this fraction of the stream's duration.
constexpr double kSeekParts = 40.0;

} // namespace

void TForm1::SourceFNChange() {
    const std::string path = SourceFN.text();
    if (!platform::core::fileExists(path) ||
        platform::core::upperAscii(platform::core::extractFileExt(path)) != kVobExt)
        return;
    // A list that cannot be made ends the run once the window is up: the VOB is no list.
    if (const auto list = graph_.makelist(path))
        SourceFN.setText(*list);
    else
        listFailed_ = true;
}

void TForm1::findaudiostreams() {
    graph_.SourcePath = SourceFN.text();
    const bool wasWriting = WriteFile.checked();
    const bool wasRendering = Render.checked();
    Render.setChecked(true);
    ac3choose.clearItems();

    graph_.Mode = sg::GraphMode::RenderStream;
    graph_.SampleRateText = sampleRate_;
    // The count is all that is wanted: a stream index is not checked.
    graph_.StreamSearchOnly = true;
    const bool built = graph_.findaudiostreams();
    graph_.StreamSearchOnly = false;
    if (built) {
        nbstreams.setCaption(std::to_string(graph_.AudioPinCount));
        ac3choose.setItems(graph_.streamLabels());
        ac3choose.setText(kFirstStreamText);
    }

    if (wasWriting)
        WriteFile.setChecked(true);
    else if (!wasRendering)
        Render.setChecked(false);

    if (const auto error = writeStreamCount(ownFolder_, graph_.AudioPinCount)) {
        // The window stays open with the box: the caller's console can end it.
        ui::errorBox(*error);
        ExitStatus = kExitFailed;
        return;
    }
    ExitStatus = kExitDone;
    if (DestFN.text().empty())
        close();
}

void TForm1::Timer2Timer() {
    Timer2.setEnabled(false);
    GO();
}

void TForm1::GO() {
    if (running_)
        return;
    running_ = true;
    graph_.Mode = Render.checked() ? sg::GraphMode::RenderStream : sg::GraphMode::WriteFile;
    graph_.SampleRateText = sampleRate_;
    if (!pictureSearch_.valid() || pictureSearchSource_ != graph_.SourcePath)
        startPictureSearch(graph_.SourcePath);
    graph_.FindStartSeconds = [this] { return pictureSearch_.get(); };
    const sg::GoResult result = graph_.GO();
    graph_.FindStartSeconds = nullptr;
    // A run that ended before it asked leaves the search to finish here.
    if (pictureSearch_.valid())
        pictureSearch_.wait();
    pictureSearch_ = {};
    running_ = false;
    switch (result) {
    case sg::GoResult::Completed:
        finish(kExitDone);
        break;
    case sg::GoResult::Stopped:
        finish(kExitStopped);
        break;
    case sg::GoResult::Running:
    case sg::GoResult::Failed:
    case sg::GoResult::Aborted:
        finish(kExitFailed);
        break;
    }
}

void TForm1::startPictureSearch(const std::string& source) {
    pictureSearchSource_ = source;
    try {
        pictureSearch_ = std::async(std::launch::async, pictureStartSeconds, source);
    } catch (const std::system_error&) {
        // No thread to be had: the run searches when it asks.
        pictureSearch_ = std::async(std::launch::deferred, pictureStartSeconds, source);
    }
}

void TForm1::StopClick() {
    graph_.StopRequested = true;
    if (!graph_.GraphBuilder)
        return;
    graph_.CloseDSPlayer();
    if (WriteFile.checked())
        finish(kExitStopped);
}

void TForm1::Button4Click() {
    graph_.StopRequested = true;
    graph_.CloseDSPlayer();
    if (running_)
        ExitStatus = kExitStopped;
    close();
}

void TForm1::Button3Click() {
    if (running_)
        return;
    graph_.SourcePath = SourceFN.text();
    graph_.DestinationPath = DestFN.text();
    if (!platform::core::fileExists(graph_.SourcePath))
        return;
    const std::string stream = ac3choose.text();
    // A stream text without a digit in its place names no stream.
    if (stream.size() <= kStreamDigitPosition || stream[kStreamDigitPosition] < '0' ||
        stream[kStreamDigitPosition] > '9')
        return;
    graph_.StreamIndex = stream[kStreamDigitPosition] - '0';
    GO();
}

void TForm1::Button1Click() {
    ui::OpenDialog dialog;
    dialog.filter = kSourceFilter;
    if (dialog.execute(this))
        SourceFN.setText(dialog.fileName);
}

void TForm1::Button2Click() {
    ui::SaveDialog dialog;
    dialog.filter = kWavFilter;
    dialog.defaultExt = kWavExt;
    if (dialog.execute(this))
        DestFN.setText(dialog.fileName);
}

void TForm1::dwClick() {
    setClientSize(clientWidth(), dw.checked() ? kHeightWithDebug : kHeightWithoutDebug);
}

void TForm1::WriteFileClick() {
    bck.setEnabled(false);
    fwd.setEnabled(false);
}

void TForm1::RenderClick() {
    bck.setEnabled(true);
    fwd.setEnabled(true);
}

void TForm1::bckClick() {
    seek(-1);
}

void TForm1::fwdClick() {
    seek(1);
}

void TForm1::seek(int direction) {
    if (!graph_.MediaPosition)
        return;
    platform::dshow::REFTIME duration = 0;
    platform::dshow::REFTIME current = 0;
    if (sg::FAILED(graph_.MediaPosition->get_Duration(&duration)) ||
        sg::FAILED(graph_.MediaPosition->get_CurrentPosition(&current)))
        return;
    const auto step = static_cast<double>(platform::core::roundHalfEven(duration / kSeekParts));
    const double wanted = std::clamp(current + direction * step, 0.0, std::max(duration, 0.0));
    graph_.MediaPosition->put_CurrentPosition(wanted);
}

} // namespace trovel
