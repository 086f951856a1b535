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
#include "tools/vobsub_adjuster/idx_index.h"
#include "tools/vobsub_adjuster/tvsub.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/ui/dialogs.h"

#include <memory>
#include <optional>
#include <vector>

namespace kes {

namespace core = platform::core;
using tools::muxer::TForm5;
using tools::vobsub_adjuster::part2IndexPath;
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

    // The automation of the codec dialog of output 1 or 2 for the next converter run; output 2 goes
    // through the delayer. A line that cannot be built ends the rip (it said why).
    bool startAutomation(int output) {
        if (!f_.SetAutoDivXParam(output)) {
            RipAborted = true;
            return false;
        }
        auto automation = startProgram(output == 1 ? ExtCommand : delayerLine(StartDir, ExtCommand));
        if (!automation)
            return false;
        automations_.push_back(std::move(automation));
        return true;
    }
    // The automations belong to one converter run: once it is over, one that is still waiting (its
    // dialog never opened) is ended, so that it can never answer a later run's dialog.
    void endAutomations() {
        for (auto& automation : automations_)
            endProgram(automation);
        automations_.clear();
    }

    // The converter on the current settings; true when it wrote its output (and the extra files). What
    // stands under its output's name goes first (an earlier run's, or the first pass's, which is no
    // movie), so that a run that does not finish leaves nothing to be taken for this rip's video.
    bool convert(const std::vector<std::string>& extra = {}) {
        if (RipAborted) {
            endAutomations();
            return false;
        }
        const std::string line = f_.TreatVidParams();
        if (RipAborted) {
            endAutomations();
            return false;
        }
        const std::string output = converterOutput();
        if (core::fileExists(output) && !core::deleteFile(output)) {
            endAutomations();
            failStep("Can't delete " + output + " !");
            return false;
        }
        std::vector<std::string> outputs{output};
        outputs.insert(outputs.end(), extra.begin(), extra.end());
        const bool converted = runProgram(line, outputs);
        endAutomations();
        return converted;
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
        const bool twoPasses = f_.proceed2.enabled() && f_.proceed2.checked();
        // An automated first pass writes the log that the second pass reads: the log an earlier rip
        // left is no log of this movie.
        std::vector<std::string> firstPassFiles;
        if (twoPasses && f_.DivxAuto.checked())
            firstPassFiles.push_back(firstPassLogName(avi, f_.FinalFile.text()));
        bool converted = convert(firstPassFiles);
        if (converted && twoPasses)
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

    // The converter names its output itself; it becomes the video AVI.
    void takeConverterOutput(const std::string& avi) {
        const std::string output = converterOutput();
        if (core::sameFile(output, avi))
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
    // secondPart tells whether a second part was written: a split by size whose movie fits the first
    // part has none, and a second part an earlier rip left under that name goes with the movie it
    // belonged to.
    bool muxMovie(TForm5& muxer, const std::string& audio, const std::string& target, bool mainMux,
                  bool& secondPart) {
        secondPart = false;
        const std::string video = f_.AVIFile.text();
        const std::string part2 = core::insertBeforeExt(target, PartSuffix);
        if (targetIsSource(target, {video, audio}) || targetIsSource(part2, {video, audio}))
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
        if (!stopped(muxer) && f_.Split.checked()) {
            muxer.MuxStreams(false);
            secondPart = !stopped(muxer) && muxer.PartWritten;
            if (!stopped(muxer) && !secondPart && core::fileExists(part2) && !core::deleteFile(part2)) {
                failStep("Can't delete " + part2 + " : it belongs to an earlier movie !");
                return false;
            }
        }
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
            bool secondPart = false;
            if (muxMovie(*muxer, f_.compaudiofile.text(), target, true, secondPart))
                secondPart_ = secondPart;
            RipRecord.freeAfter(FreeSlot::Mux) = DriveFreeText(target);
        }
        muxer.reset();
        RipRecord.MergeEnd = stepEnd();
    }

    // The second stream of a split movie: muxed into two parts whose audio is then taken back out, so
    // that each part of the final movie has the second stream's audio beside it (a movie that fits its
    // first part has one). The parts go only once the WAV files are written. The muxer window is
    // closed at the end.
    void secondStreamAudio(TForm5& muxer) {
        const std::string target = f_.AviSS2.text();
        RipRecord.freeBefore(FreeSlot::Mux2) = DriveFreeText(target);
        bool secondPart = false;
        const bool muxed = muxMovie(muxer, f_.compressedSS2.text(), target, false, secondPart);
        RipRecord.freeAfter(FreeSlot::Mux2) = DriveFreeText(target);
        if (!muxed)
            return;

        const std::string part2 = core::insertBeforeExt(target, PartSuffix);
        const std::string folder = core::extractFilePath(target);
        const std::string wav2 = folder + std::string(FinalAudio2Name);
        muxer.Split.setChecked(false);
        muxer.demux.setChecked(true);
        muxer.WavSourceEdit.setText("");
        muxer.Autosynch.setChecked(false);
        const bool first = demux(muxer, target, folder + std::string(FinalAudioName));
        bool second = first;
        if (first && secondPart)
            second = demux(muxer, part2, wav2);
        else if (first && core::fileExists(wav2))
            static_cast<void>(core::deleteFile(wav2)); // an earlier movie's second part
        muxer.close();
        RipRecord.freeAfter(FreeSlot::Mux2) = DriveFreeText(target);
        if (!second) {
            RipAborted = true;
            return;
        }
        // Parts that cannot be deleted cost only disk space.
        static_cast<void>(core::deleteFile(target));
        if (secondPart)
            static_cast<void>(core::deleteFile(part2));
    }

    // The demuxed WAV is this run's own: an earlier one under its name is moved aside meanwhile.
    bool demux(TForm5& muxer, const std::string& source, const std::string& wav) {
        if (targetIsSource(wav, {source}))
            return false;
        PreviousFiles previous;
        if (!previous.moveAside({wav})) {
            failStep("Can't move " + wav + " aside !");
            return false;
        }
        muxer.SourceEdit.setText(source);
        muxer.TargetEdit.setText(wav);
        muxer.SaveWave();
        if (stopped(muxer) || !core::fileExists(wav))
            return false;
        previous.drop();
        return true;
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

    // The extractor and the archiver tell little back: their exit status and the files they leave
    // say how they did. Files an earlier rip left under those names are moved aside while they run,
    // so a rip whose subtitles are missing fails and is not reported as done.
    void extractSubtitles() {
        const std::string vspIni = f_.externDir() + std::string(VspIniName);
        if (!core::writeFileAtomic(vspIni,
                                   vspIniText(f_.ifofile.text(), f_.destsub.text(), chosenStreams()))) {
            failStep("Can't write " + vspIni + " !");
            return;
        }
        const std::string base = core::changeFileExt(f_.destsub.text(), "");
        if (!runProgram(std::string(VobSubLine), {f_.destsub.text(), base + IndexExt}))
            return;
        // The archiver adds to an archive that exists: an earlier one would keep its old pictures.
        if (!runProgram(rarLine(f_.externDir(), base), {base + ArchiveExt}))
            return;
        if (f_.Split.checked())
            splitSubtitles(base);
    }

    // The index is cut for the two parts of the movie; the second part gets its own copies of this
    // rip's archive and IFO file, in place of any earlier ones. A movie without a second part, or
    // whose second part has no subtitle, gets none, and an earlier rip's copies go.
    void splitSubtitles(const std::string& base) {
        const std::string final = f_.FinalFile.text();
        const std::string part2 = secondPartBase(final);
        const std::string part2Index = part2IndexPath(base + IndexExt);
        const std::vector<std::string> copies{part2 + ArchiveExt, part2 + IfoExt};
        if (!secondPart_)
            secondPart_ = core::fileExists(core::insertBeforeExt(final, PartSuffix));
        for (const std::string& earlier : {part2Index, copies[0], copies[1]}) {
            if (core::fileExists(earlier) && !core::deleteFile(earlier)) {
                failStep("Can't delete " + earlier + " : it belongs to an earlier rip !");
                return;
            }
        }
        if (!*secondPart_)
            return;
        std::string problem;
        bool written = false;
        {
            auto adjuster = std::make_unique<TVSUB>();
            adjuster->BatchMode = true;
            adjuster->Edit1.setText(base + IndexExt);
            adjuster->f1.setText(final);
            // The logo clip after the first part's last frame is not the movie's time.
            adjuster->ClipSeconds = clipSeconds_;
            adjuster->show();
            adjuster->Button5Click();
            problem = adjuster->BatchProblem;
            written = adjuster->CutWritten;
            // It closes itself after the cut; a cut that never started leaves it open.
            if (adjuster->isShowing())
                adjuster->close();
        }
        if (!problem.empty()) {
            failStep("Can't cut the subtitles for the second part : " + problem);
            return;
        }
        if (!written)
            return;
        if (!core::copyFile(base + ArchiveExt, copies[0], false) ||
            !core::copyFile(f_.ifofile.text(), copies[1], false))
            failStep("Can't copy the subtitles for the second part to " + part2 + " !");
    }

    double clipSeconds_ = 0; // the logo clip the main mux appended to the first part
    // The final movie has a second part; without a mux in this rip, one that stands on disk.
    std::optional<bool> secondPart_;
    std::vector<std::unique_ptr<platform::core::Process>> automations_;
};

} // namespace

// The audio steps are in form1_audio_steps.cpp; the report that closes a rip in form1_report.cpp.
void TForm1::RipVideoSteps() {
    RipVideoRun(*this).run();
}

} // namespace kes
