// What the stream extractor window does: source choice and stream search, extraction, Stop, "Fix",
// play and the file choosers.

#include "tools/stream_extractor/tform8.h"

#include "tools/stream_extractor/lpcm_repack.h"
#include "tools/stream_extractor/pcm_header_fix.h"
#include "tools/stream_extractor/wav_byte_swap.h"

#include "platform/com/wide_text.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialogs.h"

#include <limits>

namespace tools::stream_extractor {

namespace {

namespace core = platform::core;

constexpr const char* kVobExt = ".VOB";
constexpr const char* kSourceFilter = "VOB files|*.vob|All files|*.*";
constexpr const char* kWavFilter = "Wav file|*.wav";
constexpr const char* kWavExt = ".wav";
constexpr const char* kVobsFolder = "vobs";
constexpr const char* kWorkFolder = "wtemp";
// The stream text is "0x8", "0xB" or "0xA" followed by the stream digit.
constexpr size_t kStreamDigitPosition = 3;
constexpr const char* kPlayCaption = "Play";
constexpr const char* kStopCaption = "Stop";

constexpr const char* kNoDestinationText = "Please choose a destination file !";
constexpr const char* kNoStreamText = "Please choose a stream to extract !";
constexpr const char* kNoSourceText = "Source file not found !";
constexpr const char* kNoWavText = "Please choose a WAV file !";

} // namespace

sg::GraphMode TForm8::searchMode() const {
    if (Method2.checked())
        return sg::GraphMode::SearchMp2;
    // The PCM table is used only when PCM is chosen and AC3 is not.
    if (Method3.checked() && !Method1.checked())
        return sg::GraphMode::SearchPcm;
    return sg::GraphMode::SearchAc3;
}

void TForm8::SourceFNChange() {
    const std::string path = SourceFN.text();
    if (!core::fileExists(path))
        return;
    if (core::upperAscii(core::extractFileExt(path)) == kVobExt) {
        // The list becomes the source, and its own change runs the search. A list that could not be
        // made (its box was shown) ends here: the VOB itself is no list.
        const auto list = graph_.makelist(path);
        if (!list)
            return;
        if (*list != path) {
            SourceFN.setText(*list);
            return;
        }
    }
    Method1.setCheckedSilent(true);
    findaudiostreams();
}

void TForm8::MethodClick() {
    findaudiostreams();
}

void TForm8::findaudiostreams() {
    breakExtraction();
    endPlay();
    graph_.Mode = searchMode();
    graph_.SourcePath = SourceFN.text();
    // A search is never run: it needs no destination, and a bad one must not spoil the count.
    graph_.DestinationPath.clear();
    graph_.StreamSearchOnly = true;
    graph_.findaudiostreams();
    graph_.StreamSearchOnly = false;
    pinlist.setItems(graph_.streamLabels());
    nbstreams.setCaption(std::to_string(graph_.AudioPinCount));
    AC3Choose.setText({});
    Button3.setEnabled(graph_.AudioPinCount >= 1);
}

void TForm8::pinlistClick() {
    const int index = pinlist.itemIndex();
    if (index >= 0)
        AC3Choose.setText(pinlist.item(index));
}

void TForm8::Button3Click() {
    // The destination may be the file that "Fix" is rewriting.
    if (swapping_)
        return;
    const std::string source = SourceFN.text();
    const std::string destination = DestFN.text();
    const std::string stream = AC3Choose.text();
    if (destination.empty()) {
        ui::errorBox(kNoDestinationText);
        return;
    }
    // A stream text without a digit in its place names no stream.
    if (stream.size() <= kStreamDigitPosition || stream[kStreamDigitPosition] < '0' ||
        stream[kStreamDigitPosition] > '9') {
        ui::errorBox(kNoStreamText);
        return;
    }
    if (!core::fileExists(source)) {
        ui::errorBox(kNoSourceText);
        return;
    }
    breakExtraction();
    endPlay();
    graph_.Mode = searchMode();
    graph_.SourcePath = source;
    graph_.DestinationPath = destination;
    graph_.StreamIndex = stream[kStreamDigitPosition] - '0';
    if (graph_.GO() == sg::GoResult::Running) {
        extracting_ = true;
        Timer1.setEnabled(true);
    }
}

void TForm8::Timer1Timer() {
    const sg::GoResult result = graph_.PollCompletion();
    if (result == sg::GoResult::Running)
        return;
    Timer1.setEnabled(false);
    extracting_ = false;
    switch (result) {
    case sg::GoResult::Completed:
        log("Process Completed !");
        graph_.CloseDSPlayer();
        if (graph_.Mode == sg::GraphMode::SearchPcm)
            setpcm();
        break;
    case sg::GoResult::Aborted:
        // A graph that gave up is not reported as completed, and its file is not patched.
        log("Process aborted !");
        graph_.CloseDSPlayer();
        break;
    case sg::GoResult::Running:
    case sg::GoResult::Failed:
    case sg::GoResult::Stopped:
        graph_.CloseDSPlayer();
        break;
    }
}

void TForm8::setpcm() {
    const std::string& path = graph_.DestinationPath;
    // 20 and 24-bit samples come in the disc's own layout: they are rewritten as plain PCM.
    switch (repackDvdLpcm(path)) {
    case RepackStatus::NotNeeded:
        break;
    case RepackStatus::Repacked:
        log("24-bit PCM written to " + core::extractFileName(path));
        return;
    case RepackStatus::NotAWav:
        log("Invalid header in " + core::extractFileName(path));
        return;
    case RepackStatus::WriteFailed:
        log("Cannot write " + core::extractFileName(path) + " !");
        return;
    }
    switch (setPcmHeader(path)) {
    case PcmHeaderStatus::Patched:
        break;
    case PcmHeaderStatus::NotAWav:
        log("Invalid header in " + core::extractFileName(path));
        break;
    case PcmHeaderStatus::WriteFailed:
        log("Cannot write " + core::extractFileName(path) + " !");
        break;
    }
}

void TForm8::StopClick() {
    graph_.StopRequested = true;
    Timer1.setEnabled(false);
    extracting_ = false;
    if (graph_.GraphBuilder) {
        log("Break !");
        graph_.CloseDSPlayer();
    }
}

void TForm8::breakExtraction() {
    if (!extracting_)
        return;
    Timer1.setEnabled(false);
    extracting_ = false;
    log("Break !");
    graph_.CloseDSPlayer();
}

void TForm8::endPlay() {
    if (!playing_)
        return;
    playing_ = false;
    Button5.setEnabled(true);
    Button6.setCaption(kPlayCaption);
}

void TForm8::Button5Click() {
    if (DestFN.text().empty()) {
        ui::errorBox(kNoDestinationText);
        return;
    }
    Timer1.setEnabled(false);
    flip();
}

void TForm8::PlayBoxClick() {
    if (!core::fileExists(DestFN.text())) {
        ui::errorBox(kNoWavText);
        return;
    }
    flip();
}

void TForm8::flip() {
    if (swapping_)
        return;
    // The file must not be swapped while the graph still writes it.
    breakExtraction();
    swapping_ = true;
    graph_.StopRequested = false;
    const std::string path = DestFN.text();
    SwapProgress progress;
    progress.started = [this](int64_t size) {
        progressShift_ = 0;
        while ((size >> progressShift_) > std::numeric_limits<int>::max())
            ++progressShift_;
        pb.setMax(static_cast<int>(size >> progressShift_));
        pb.setPosition(0);
    };
    progress.blockDone = [this](int64_t) { pb.stepBy(static_cast<int>(kSwapBlockSize >> progressShift_)); };
    progress.stopRequested = [this] { return graph_.StopRequested; };
    progress.processMessages = [] { ui::processMessages(); };
    const SwapStatus status = swapWavBytes(path, progress);
    swapping_ = false;

    const std::string name = core::extractFileName(path);
    switch (status) {
    case SwapStatus::Finished:
        ui::informationBox("Job finished");
        break;
    case SwapStatus::UserBreak:
        ui::informationBox("User break");
        break;
    case SwapStatus::InvalidHeader:
        ui::errorBox("Invalid header in " + name);
        break;
    case SwapStatus::NotPcm:
        ui::errorBox(name + " is not a valid PCM WAV file");
        break;
    case SwapStatus::NotSixteenBits:
        ui::errorBox(name + " does not hold 16-bit samples: only those are swapped");
        break;
    case SwapStatus::CannotOpen:
        ui::errorBox("Cannot open " + name + " !");
        break;
    case SwapStatus::WriteFailed:
        ui::errorBox("Cannot write " + name + " !");
        break;
    }
}

void TForm8::Button6Click() {
    if (Button6.caption() == kStopCaption) {
        Button5.setEnabled(true);
        Button6.setCaption(kPlayCaption);
        playing_ = false;
        graph_.StopRequested = true;
        if (graph_.GraphBuilder) {
            graph_.CloseDSPlayer();
            graph_.InitGraph();
            graph_.CloseDSPlayer();
        }
        return;
    }
    const std::string path = DestFN.text();
    if (swapping_)
        return;
    if (!core::fileExists(path)) {
        ui::errorBox(kNoWavText);
        return;
    }
    breakExtraction();
    Button5.setEnabled(false);
    Button6.setCaption(kStopCaption);
    playing_ = true;
    bool started = graph_.InitGraph();
    if (started) {
        graph_.FilterCount = 0;
        started = sg::SUCCEEDED(
            graph_.GraphBuilder->RenderFile(platform::com::wideFromBytes(path).c_str(), nullptr));
        if (!started)
            log("Cannot play " + path + " !");
    } else {
        log("DirectShow Initialisation failed !");
    }
    if (started) {
        const sg::HRESULT hr = graph_.MediaControl->Run();
        started = hr == platform::com::S_OK || hr == platform::com::S_FALSE;
        if (!started)
            log("Incorrect Graph return value !");
    }
    // A file that cannot be played leaves the button as it was.
    if (!started) {
        graph_.CloseDSPlayer();
        endPlay();
    }
}

void TForm8::Button4Click() {
    graph_.CloseDSPlayer();
    close();
}

std::string TForm8::programSubfolder(const char* name) const {
    // The work folders are found as every other path is, whatever the case of their names on disk.
    return core::withTrailingDelim(core::resolvePath(core::joinPath(programFolder_, name)));
}

void TForm8::Button1Click() {
    ui::OpenDialog dialog;
    dialog.filter = kSourceFilter;
    dialog.initialDir = programSubfolder(kVobsFolder);
    if (dialog.execute(this))
        SourceFN.setText(dialog.fileName);
}

void TForm8::Button2Click() {
    ui::SaveDialog dialog;
    dialog.filter = kWavFilter;
    dialog.defaultExt = kWavExt;
    dialog.initialDir = programSubfolder(kWorkFolder);
    if (dialog.execute(this))
        DestFN.setText(dialog.fileName);
}

} // namespace tools::stream_extractor
