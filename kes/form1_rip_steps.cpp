// The work steps of a rip after its audio steps: the video conversion (one or two passes, with the
// codec dialog's automation started beside the converter), the mux of video and audio into the final
// AVI (with split, logo clip and a second audio stream) and the subtitle extraction. Each step runs
// only while RipAborted is clear and records its start, end and free space in RipRecord. A program
// that cannot be started, a stop or a failure in the muxer set RipAborted, so that no later step runs
// and no report is made. Work files are deleted only once what was taken out of them is written.
#include "kes/form1.h"

#include "kes/form1_rip_steps_common.h"
#include "kes/form1_unit.h"
#include "kes/free_space.h"
#include "kes/rip_record.h"
#include "kes/rip_video_lines.h"
#include "kes/text_helpers.h"
#include "kes/video_page.h"
#include "kes/vsp_ini.h"

#include "tools/muxer/tform5.h"
#include "tools/vobsub_adjuster/tvsub.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/ui/dialogs.h"

#include <memory>
#include <vector>

namespace kes {

namespace core = platform::core;
using tools::muxer::TForm5;
using tools::vobsub_adjuster::TVSUB;

namespace {

constexpr const char* SecondPassText = "2-pass, second pass";
constexpr const char* FirstPassText = "2-pass, first pass";
constexpr const char* LogoClipPrefix = "Vexlor/Vexlor";
constexpr const char* IndexExt = ".idx";
constexpr const char* ArchiveExt = ".rar";
constexpr const char* IfoExt = ".ifo";
constexpr const char* PartSuffix = "2";

// A muxer job that the user stopped or that ended on an error box.
bool stopped(const TForm5& muxer) {
    return muxer.UserBreak || muxer.JobFailed;
}

class RipVideoRun : RipStepRun {
public:
    explicit RipVideoRun(TForm1& form) : RipStepRun(form) {}

    void run() {
        if (f_.RipVid.checked() && !RipAborted)
            video();
        if (f_.Merge.checked() && !RipAborted)
            mux();
        if (f_.extractsub.checked() && !RipAborted)
            subtitles();
    }

private:
    // ---- Video ----

    // The automation of the codec dialog of output 1 or 2; output 2 goes through the delayer. A line
    // that cannot be built ends the rip (a single rip has shown why).
    bool startAutomation(int output) {
        if (!f_.SetAutoDivXParam(output)) {
            RipAborted = true;
            return false;
        }
        return startProgram(output == 1 ? ExtCommand : delayerLine(StartDir, ExtCommand));
    }

    // The converter on the current settings; true when it ran. What stands under its output's name
    // goes first (an earlier run's, or the first pass's, which is no movie), so that a run that does
    // not finish leaves nothing to be taken for this rip's video.
    bool convert() {
        if (RipAborted)
            return false;
        const std::string line = f_.TreatVidParams();
        if (RipAborted)
            return false;
        const std::string output = converterOutput();
        if (core::fileExists(output) && !core::deleteFile(output)) {
            failStep("Can't delete " + output + " !");
            return false;
        }
        return runProgram(line);
    }
    std::string converterOutput() const {
        return core::extractFilePath(f_.AVIFile.text()) +
               converterOutputName(f_.dual.checked(), f_.px3gui.checked());
    }

    void video() {
        const std::string avi = f_.AVIFile.text();
        RipRecord.freeBefore(FreeSlot::Video) = DriveFreeText(avi);
        if (f_.DivxAuto.checked() && startAutomation(1) && f_.dual.checked())
            startAutomation(2);
        RipRecord.VideoStart = stepStart();
        bool converted = convert();
        const bool twoPasses = converted && f_.proceed2.enabled() && f_.proceed2.checked();
        if (twoPasses)
            converted = secondPass();
        if (converted)
            takeConverterOutput(avi);
        // The first pass's log is a work file like the WAV: once the second pass has made the movie
        // from it, it goes with the others.
        if (twoPasses && converted && !RipAborted && f_.DelWav.checked() && core::fileExists(avi))
            deleteFirstPassLog();
        RipRecord.freeAfter(FreeSlot::Video) = DriveFreeText(avi);
        RipRecord.VideoEnd = stepEnd();
    }

    // As the work WAV files: one that cannot be deleted costs only disk space.
    void deleteFirstPassLog() {
        static_cast<void>(core::deleteFile(firstPassLogName(f_.AVIFile.text(), f_.FinalFile.text())));
    }

    // The second pass of a two-pass rip. The rate-mode box's own handler sets the codec for each pass.
    bool secondPass() {
        f_.D4VBR.setText(SecondPassText);
        // Only two DivX 4 outputs make a second pass each; otherwise it makes one output only.
        if (f_.dual.checked() && contains(f_.Codec.text(), "4") && contains(f_.pass2.text(), "4")) {
            f_.dual.setChecked(true);
            startAutomation(2);
        } else {
            f_.dual.setChecked(false);
        }
        if (!RipAborted)
            startAutomation(1);
        const bool converted = convert();
        f_.D4VBR.setText(FirstPassText);
        return converted;
    }

    // The converter names its output itself; it becomes the video AVI. Nothing to do when the
    // converter left none (the mux or the report shows that).
    void takeConverterOutput(const std::string& avi) {
        const std::string output = converterOutput();
        if (!core::fileExists(output) || core::sameFile(output, avi))
            return;
        if (!core::renameFile(output, avi))
            failStep("Can't rename " + output + " to " + avi + " !");
    }

    // ---- Mux ----

    std::unique_ptr<TForm5> newMuxer() const {
        auto muxer = std::make_unique<TForm5>();
        muxer->Split.setChecked(f_.Split.checked());
        if (f_.Saft.checked())
            muxer->saft.setChecked(true);
        else if (f_.sih.checked())
            muxer->sih.setChecked(true);
        muxer->splitsize.setText(f_.splitsize.text());
        muxer->Vexlor.setChecked(f_.Vexlor.checked());
        muxer->Vexlor.setEnabled(f_.Vexlor.checked());
        muxer->Autosynch.setChecked(f_.Autosynch.checked());
        muxer->LogoPrefix = f_.progDir() + LogoClipPrefix;
        // A stopped mux must not leave a cut-short movie in place of the user's previous one.
        muxer->KeepStoppedTarget = false;
        muxer->show();
        return muxer;
    }

    // A mux that would write over one of its own sources loses the user's files: refused.
    bool targetIsSource(const std::string& target, const std::vector<std::string>& sources) {
        for (const std::string& source : sources) {
            if (core::fileExists(source) && core::sameFile(source, target)) {
                failStep("The destination " + target + " is also a source of the mux !");
                return true;
            }
        }
        return false;
    }

    // Muxes the movie (and its second part with a split) into target; false when the muxer stopped.
    bool muxMovie(TForm5& muxer, const std::string& audio, const std::string& target, bool mainMux) {
        const std::string video = f_.AVIFile.text();
        if (targetIsSource(target, {video, audio}) ||
            targetIsSource(core::insertBeforeExt(target, PartSuffix), {video, audio}))
            return false;
        muxer.SourceEdit.setText(video);
        muxer.WavSourceEdit.setText(audio);
        muxer.TargetEdit.setText(target);
        muxer.MuxStreams(true);
        if (mainMux) {
            RipRecord.LogoClipOk = muxer.Label9.caption().empty();
            clipSeconds_ = muxer.VideoFps > 0 ? static_cast<double>(muxer.ClipFrames) / muxer.VideoFps : 0;
            RipRecord.MuxVideoLen = muxer.VideoSeconds;
            RipRecord.MuxAudioLen = muxer.AudioSeconds;
        } else {
            RipRecord.Mux2AudioLen = muxer.AudioSeconds;
        }
        if (!stopped(muxer) && f_.Split.checked())
            muxer.MuxStreams(false);
        if (stopped(muxer))
            RipAborted = true;
        return !RipAborted;
    }

    void mux() {
        RipRecord.MergeStart = stepStart();
        RipRecord.Mux2Ran = false;
        std::unique_ptr<TForm5> muxer = newMuxer();
        if (f_.twostreams.checked() && f_.Split.checked() && !RipAborted) {
            RipRecord.Mux2Ran = true;
            secondStreamAudio(*muxer);
            if (!RipAborted)
                muxer = newMuxer();
        }
        if (!RipAborted) {
            const std::string target = f_.FinalFile.text();
            RipRecord.freeBefore(FreeSlot::Mux) = DriveFreeText(target);
            muxMovie(*muxer, f_.compaudiofile.text(), target, true);
            RipRecord.freeAfter(FreeSlot::Mux) = DriveFreeText(target);
        }
        muxer.reset();
        RipRecord.MergeEnd = stepEnd();
    }

    // The second stream of a split movie: muxed into two parts whose audio is then taken back out, so
    // that each part of the final movie has the second stream's audio beside it. The two parts go only
    // once both WAV files are written. The muxer window is closed at the end.
    void secondStreamAudio(TForm5& muxer) {
        const std::string target = f_.AviSS2.text();
        RipRecord.freeBefore(FreeSlot::Mux2) = DriveFreeText(target);
        const bool muxed = muxMovie(muxer, f_.compressedSS2.text(), target, false);
        RipRecord.freeAfter(FreeSlot::Mux2) = DriveFreeText(target);
        if (!muxed)
            return;

        const std::string part2 = core::insertBeforeExt(target, PartSuffix);
        const std::string folder = core::extractFilePath(target);
        muxer.Split.setChecked(false);
        muxer.demux.setChecked(true);
        muxer.WavSourceEdit.setText("");
        muxer.Autosynch.setChecked(false);
        const bool first = demux(muxer, target, folder + std::string(FinalAudioName));
        const bool second = first && demux(muxer, part2, folder + std::string(FinalAudio2Name));
        muxer.close();
        RipRecord.freeAfter(FreeSlot::Mux2) = DriveFreeText(target);
        if (!second) {
            RipAborted = true;
            return;
        }
        // Parts that cannot be deleted cost only disk space.
        static_cast<void>(core::deleteFile(target));
        static_cast<void>(core::deleteFile(part2));
    }

    bool demux(TForm5& muxer, const std::string& source, const std::string& wav) {
        if (targetIsSource(wav, {source}))
            return false;
        muxer.SourceEdit.setText(source);
        muxer.TargetEdit.setText(wav);
        muxer.SaveWave();
        return !stopped(muxer) && core::fileExists(wav);
    }

    // ---- Subtitles ----

    void subtitles() {
        RipRecord.SubStart = stepStart();
        extractSubtitles();
        RipRecord.SubEnd = stepEnd();
    }

    // The index in the IFO's list of each chosen language, in the chosen order.
    std::vector<int> chosenStreams() const {
        std::vector<int> streams;
        for (const std::string& language : f_.selectedlng.items())
            streams.push_back(f_.IFOlngList.indexOf(language));
        return streams;
    }

    void extractSubtitles() {
        const std::string vspIni = f_.externDir() + std::string(VspIniName);
        if (!core::writeFileAtomic(vspIni,
                                   vspIniText(f_.ifofile.text(), f_.destsub.text(), chosenStreams()))) {
            failStep("Can't write " + vspIni + " !");
            return;
        }
        if (!runProgram(std::string(VobSubLine)))
            return;
        // The extractor and the archiver tell nothing back: what they leave says how they did. A rip
        // whose subtitles are missing has failed and is not reported as done.
        const std::string base = core::changeFileExt(f_.destsub.text(), "");
        for (const std::string& written : {f_.destsub.text(), base + IndexExt}) {
            if (!core::fileExists(written)) {
                failStep("Can't extract the subtitles : " + written + " was not written !");
                return;
            }
        }
        if (!runProgram(rarLine(f_.externDir(), base)))
            return;
        if (!core::fileExists(base + ArchiveExt)) {
            failStep("Can't pack the subtitles : " + base + ArchiveExt + " was not written !");
            return;
        }
        if (f_.Split.checked())
            splitSubtitles(base);
    }

    // The index is cut for the two parts of the movie; the second part gets its own copies of the
    // archive and of the IFO file. Existing copies are kept.
    void splitSubtitles(const std::string& base) {
        {
            auto adjuster = std::make_unique<TVSUB>();
            adjuster->Edit1.setText(base + IndexExt);
            adjuster->BatchMode = true;
            adjuster->f1.setText(f_.FinalFile.text());
            // The logo clip after the first part's last frame is not the movie's time.
            adjuster->ClipSeconds = clipSeconds_;
            adjuster->show();
            adjuster->Button5Click();
            // It closes itself after the cut; a cut that never started leaves it open.
            if (adjuster->isShowing())
                adjuster->close();
        }
        const std::string part2 = secondPartBase(f_.FinalFile.text());
        // A missing source or an existing copy leaves nothing to copy.
        static_cast<void>(core::copyFile(base + ArchiveExt, part2 + ArchiveExt, true));
        static_cast<void>(core::copyFile(f_.ifofile.text(), part2 + IfoExt, true));
    }

    double clipSeconds_ = 0; // the logo clip the main mux appended to the first part
};

} // namespace

// The audio steps are in form1_audio_steps.cpp; the report that closes a rip in form1_report.cpp.
void TForm1::RipVideoSteps() {
    RipVideoRun(*this).run();
}

} // namespace kes
