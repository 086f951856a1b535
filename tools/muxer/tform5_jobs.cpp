// The muxer window's jobs: the mux and demux runs, the Go button and the timer.

#include "tools/muxer/mux_text.h"
#include "tools/muxer/tform5.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

namespace tools::muxer {

namespace core = platform::core;

namespace {

constexpr int FullGauge = 100;
constexpr const char* OldAviName = "old.avi";

} // namespace

MuxSettings TForm5::settings() {
    MuxSettings s;
    s.source = SourceEdit.text();
    s.wavSource = WavSourceEdit.text();
    s.target = TargetEdit.text();
    s.split = Split.checked();
    s.splitAfterSize = saft.checked();
    s.splitSizeText = splitsize.text();
    s.clip = Vexlor.enabled() && Vexlor.checked();
    s.logoPrefix = LogoPrefix;
    s.autosynch = Autosynch.checked();
    s.keepStopped = KeepStoppedTarget;
    s.videoBytes = VideoBytes;
    s.audioBytes = AudioBytes;
    const DelayNumber delay = signedDelayOf(temps.text(), sens.text());
    if (!delay.valid)
        ui::errorBox(temps.text() + NotNumericalSuffix);
    s.delaySeconds = delay.value;
    s.preloadSeconds = preloadSecondsOf(PreloadTB.position());
    return s;
}

void TForm5::MuxStreams(bool firstPart) {
    if (busy())
        return;
    const MuxSettings s = settings();
    go.setEnabled(false);
    if (firstPart)
        ElapsedTicks = 0;
    vpb.setProgress(0);
    apb.setProgress(0);
    SourcePath = s.source;
    const MuxResult result = muxEngine_.run(s, firstPart, UserBreak);
    TargetPath = result.targetPath;
    if (result.valuesSet) {
        VideoSeconds = result.values.videoSeconds;
        VideoFps = result.values.videoFps;
        AudioRate = result.values.audioRate;
        AudioSeconds = result.values.audioSeconds;
        NewFps = result.values.newFps;
        AudioByteRate = result.values.audioByteRate;
    }
    if (firstPart)
        ClipFrames = result.clipFrames;
    JobFailed = result.outcome == MuxOutcome::Failed;
    PartWritten = result.outcome == MuxOutcome::Done;
    go.setEnabled(true);
}

void TForm5::SaveWave() {
    if (busy())
        return;
    go.setEnabled(false);
    ElapsedTicks = 0;
    apb.setProgress(0);
    const DemuxResult result = demuxEngine_.run(SourceEdit.text(), TargetEdit.text(), UserBreak);
    JobFailed = result.outcome == MuxOutcome::Failed;
    if (UserBreak)
        ui::showMessage("UserBreak !");
    go.setEnabled(true);
}

void TForm5::goClick() {
    if (busy())
        return;
    const std::string target = TargetEdit.text();
    if (core::fileExists(target) && !core::equalsIgnoreCase(core::extractFileName(target), OldAviName)) {
        const std::string old = core::extractFilePath(target) + OldAviName;
        if (core::fileExists(old))
            core::deleteFile(old);
        if (!core::renameFile(target, old)) {
            ui::errorBox("Cannot rename the existing target file to OLD.AVI !");
            return;
        }
        ui::showMessage("Target file already exists and renamed to OLD.AVI !");
    }
    if (!core::fileExists(SourceEdit.text())) {
        ui::errorBox("Video source file does not exists");
        return;
    }
    if (demux.checked()) {
        SaveWave();
        return;
    }
    if (!core::fileExists(WavSourceEdit.text())) {
        ui::errorBox("Audio source file does not exists");
        return;
    }
    MuxStreams(true);
    if (!JobFailed && Split.checked() && !UserBreak)
        MuxStreams(false);
    if (JobFailed)
        return;
    ui::showMessage(UserBreak ? "User break !" : "End of process");
}

void TForm5::Timer1Timer() {
    ++ElapsedTicks;
    if (apb.progress() < FullGauge)
        AudioTime.setCaption(elapsedText(ElapsedTicks, totalSecondsDown(ElapsedTicks, AudioPercent)));
    if (mux.checked() && vpb.progress() < FullGauge)
        VideoTime.setCaption(elapsedText(ElapsedTicks, totalSecondsDown(ElapsedTicks, VideoPercent)));
}

} // namespace tools::muxer
