// "Launch rip !" and the checks that run before any work of a rip. Each failed check shows its
// message and sets RipAborted, and the remaining checks still run, so that every problem is reported
// at once; in multi-rip mode a check that would stop the rip ends it instead (its message goes into
// the list's log, not into a box), so that an unattended list goes on with its next entry.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/rip_record.h"
#include "kes/text_helpers.h"
#include "kes/wav_format.h"

#include "tools/audio_converter/target_check.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* CrLf = "\r\n";
constexpr const char* AviExt = ".avi";
constexpr const char* OldAviName = "old.avi";
constexpr int SizeStep = 8;
constexpr int GainAskAbove = 150;
constexpr int MaxSplitSizeMb = 800;
constexpr long double HzPerKHz = 1000;

constexpr int MsgTimeFormat = 2;
constexpr int MsgFirstVobMissing = 20;
constexpr int MsgAviExists = 22;
constexpr int MsgDeleteAvi = 23;
constexpr int MsgGainHigh = 24;
constexpr int MsgGoOnWithGain = 25;
constexpr int MsgAviRenamed = 26;
constexpr int MsgWavMissing = 27;
constexpr int MsgWavRate = 28; // 28 to 32: the sample-rate question
constexpr int MsgChosenRate = 29;
constexpr int MsgRateLine1 = 30;
constexpr int MsgRateLine2 = 31;
constexpr int MsgRateLine3 = 32;
constexpr int MsgLogoMissing = 33;
constexpr int MsgSplitSize = 34;
constexpr int MsgMuxAviMissing = 35;
constexpr int MsgMuxAudioMissing = 36;
constexpr int MsgMuxAudio2Missing = 37;
constexpr int MsgVideoRange = 47;
constexpr int MsgAudioRange = 48;
constexpr int MsgNoIfo = 57;
constexpr int MsgNoSubLanguage = 58;

const std::string& msg(int number) {
    return MessageTable[number];
}

bool exists(const ui::Edit& edit) {
    return core::fileExists(edit.text());
}

// The checks of one rip, in their order. Every method that can end a multi-rip returns false then.
class RipCheckRun {
public:
    explicit RipCheckRun(TForm1& form) : f_(form), multi_(form.unattended()) {}

    bool run() {
        addAviExtensions();
        RipAborted = false;
        if (!roundSizesToStep())
            return false;
        if (!f_.AreSoftsThere().empty())
            RipAborted = true; // the missing helpers were listed at start
        putDivX4First();
        if (!checkSubtitles() || !checkVideoRange() || !checkAudioRange() || !checkAudioFormat())
            return false;
        askGain();
        askExistingAvi();
        if (!checkFirstVob() || !checkWavToTreat())
            return false;
        askSampleRate();
        if (f_.Merge.checked() && !checkMerge())
            return false;
        return settleExistingAvi();
    }

private:
    // A check that stops the rip: its error box (an unattended list takes it into its log), then in
    // multi-rip mode the rip ends; otherwise the abort flag is set and the checks go on.
    bool fail(const std::string& message) {
        ui::errorBox(message);
        RipAborted = true;
        return !multi_;
    }
    // The same for the checks that set the abort flag in multi-rip mode too.
    bool abortAndFail(const std::string& message) {
        RipAborted = true;
        return fail(message);
    }

    void addAviExtensions() {
        for (ui::Edit* edit : {&f_.AVIFile, &f_.FinalFile}) {
            if (!core::equalsIgnoreCase(core::extractFileExt(edit->text()), AviExt))
                edit->setText(edit->text() + AviExt);
        }
    }

    // The sizes go down to a multiple of 8, towards zero; a box is rewritten only when its value
    // changes. A box that holds no integer fails the check.
    bool roundSizesToStep() {
        for (ui::Edit* edit : {&f_.XSize, &f_.YSize, &f_.XCrop, &f_.YCrop}) {
            int32_t value = 0;
            try {
                value = core::strToInt(edit->text());
            } catch (const core::ConvertError& error) {
                if (!fail(error.what()))
                    return false;
                continue;
            }
            const int32_t rounded = value / SizeStep * SizeStep;
            if (rounded != value)
                edit->setText(core::intToStr(rounded));
        }
        return true;
    }

    // The DivX 4 codec always encodes the first output of a dual rip.
    void putDivX4First() {
        if (!f_.dual.checked() || f_.Codec.text().find('4') != std::string::npos ||
            f_.pass2.text().find('4') == std::string::npos)
            return;
        const std::string codec = f_.Codec.text();
        f_.Codec.setText(f_.pass2.text());
        f_.pass2.setText(codec);
        const std::string rate = f_.DivFR.text();
        f_.DivFR.setText(f_.DualBR.text());
        f_.DualBR.setText(rate);
    }

    bool checkSubtitles() {
        if (!f_.extractsub.checked())
            return true;
        if (f_.ifofile.text() == "NONE")
            return fail(msg(MsgNoIfo));
        if (f_.selectedlng.itemCount() == 0)
            return fail(msg(MsgNoSubLanguage));
        return true;
    }

    bool checkVideoRange() {
        if (!f_.Range.checked())
            return true;
        const int start = TimeToSeconds(f_.Range1.text());
        const int end = TimeToSeconds(f_.Range2.text());
        if (start < 0 || end < 0 || start > end)
            return fail(msg(MsgVideoRange) + " - " + msg(MsgTimeFormat));
        return true;
    }

    // The audio range is not tested for order.
    bool checkAudioRange() {
        if (!f_.AudioRange.checked() || !f_.AudioRange.enabled())
            return true;
        if (TimeToSeconds(f_.ARange1.text()) < 0 || TimeToSeconds(f_.ARange2.text()) < 0)
            return fail(msg(MsgAudioRange) + " - " + msg(MsgTimeFormat));
        return true;
    }

    // A compression the converter cannot make would fail only after the whole decode.
    bool checkAudioFormat() {
        if (!f_.compress.checked())
            return true;
        const std::string mode = f_.Mode.text();
        const std::string parameter = "WF=" + f_.mp3wma.text() + "/" + mode.substr(0, 1) + "/" +
                                      f_.Samplerate.text() + "/" + f_.Bitrate.text();
        if (tools::audio_converter::targetCanBeMade(parameter))
            return true;
        return fail("The audio format " + f_.mp3wma.text() + " " + mode + " " + f_.Samplerate.text() +
                    " kHz " + f_.Bitrate.text() +
                    " kbit/s cannot be made. Please choose another one on the audio page.");
    }

    void askGain() {
        if (!f_.normal.checked() || f_.GainTrack.position() <= GainAskAbove || multi_)
            return;
        const std::string text = msg(MsgGainHigh) + f_.Gain.caption() + CrLf + msg(MsgGoOnWithGain);
        if (ui::messageBox(ui::MessageKind::Warning, text, ui::Buttons::YesNo) != ui::Answer::Yes)
            RipAborted = true;
    }

    // The question is asked here; the file is deleted or renamed only once every check has passed.
    void askExistingAvi() {
        if (!f_.RipVid.checked() || !exists(f_.AVIFile))
            return;
        const std::string avi = f_.AVIFile.text();
        if (!multi_ && ui::askYesNo(avi + msg(MsgAviExists) + CrLf + msg(MsgDeleteAvi)))
            aviAction_ = AviAction::Delete;
        else
            aviAction_ = AviAction::RenameToOld;
    }

    bool checkFirstVob() {
        if ((f_.RipVid.checked() || f_.RipAudio.checked()) && !exists(f_.Vobfile))
            return abortAndFail(msg(MsgFirstVobMissing));
        return true;
    }

    bool checkWavToTreat() {
        if (!f_.RipAudio.checked() && !exists(f_.WavFileEdit) &&
            (f_.compress.checked() || f_.normal.checked()))
            return abortAndFail(msg(MsgWavMissing));
        return true;
    }

    // The chosen rate: the kHz text of the sample-rate box times 1000, rounded.
    int64_t chosenRate() const {
        return core::roundHalfEven(static_cast<long double>(TextToNumber(f_.Samplerate.text())) * HzPerKHz);
    }

    // A WAV file whose header cannot be read counts as one of rate 0.
    void askSampleRate() {
        if (f_.RipAudio.checked() || !f_.compress.checked() || !exists(f_.WavFileEdit) || multi_)
            return;
        const int64_t fileRate = wavSampleRate(f_.WavFileEdit.text()).value_or(0);
        const int64_t chosen = chosenRate();
        if (fileRate == chosen)
            return;
        const std::string text = msg(MsgWavRate) + core::intToStr(fileRate) + " Hz." + CrLf +
                                 msg(MsgChosenRate) + core::intToStr(chosen) + " Hz." + CrLf +
                                 msg(MsgRateLine1) + CrLf + msg(MsgRateLine2) + CrLf + msg(MsgRateLine3);
        if (ui::messageBox(ui::MessageKind::Warning, text, ui::Buttons::YesNo) != ui::Answer::Yes)
            RipAborted = true;
    }

    bool checkMerge() {
        const bool ripVid = f_.RipVid.checked();
        const bool ripAudio = f_.RipAudio.checked();
        if (f_.Split.checked() && ripVid && f_.Crop.checked() && f_.Vexlor.checked()) {
            const std::string clip =
                f_.progDir() + "Vexlor/Vexlor" + f_.XCrop.text() + "x" + f_.YCrop.text() + AviExt;
            // Without the clip the muxer works on; only a multi-rip ends here.
            if (!core::fileExists(clip)) {
                ui::errorBox(msg(MsgLogoMissing));
                if (multi_) {
                    RipAborted = true;
                    return false;
                }
            }
        }
        if (!checkSplitSize())
            return false;
        if (!ripVid && !exists(f_.AVIFile) && !abortAndFail(msg(MsgMuxAviMissing)))
            return false;
        if (!ripAudio && !exists(f_.WavFileEdit) && !exists(f_.compaudiofile) &&
            !fail(msg(MsgMuxAudioMissing)))
            return false;
        if (f_.twostreams.checked() && !ripAudio && !exists(f_.Wav2) && !exists(f_.compressedSS2) &&
            !fail(msg(MsgMuxAudio2Missing)))
            return false;
        return true;
    }

    // A size out of range is reported and the rip goes on; a size that is no integer fails.
    bool checkSplitSize() {
        if (!f_.Split.checked() || !f_.Saft.checked())
            return true;
        int32_t megabytes = 0;
        try {
            megabytes = core::strToInt(f_.splitsize.text());
        } catch (const core::ConvertError& error) {
            return fail(error.what());
        }
        if (!multi_ && (megabytes == 0 || megabytes > MaxSplitSizeMb))
            ui::errorBox(msg(MsgSplitSize) + f_.splitsize.text() + " MB");
        return true;
    }

    // The answer to the existing video AVI's question, carried out now that nothing stops the rip.
    bool settleExistingAvi() {
        if (aviAction_ == AviAction::None || RipAborted)
            return true;
        const std::string avi = f_.AVIFile.text();
        if (aviAction_ == AviAction::Delete)
            return core::deleteFile(avi) || fail("Can't delete " + avi + " !");
        const std::string old = core::extractFilePath(avi) + OldAviName;
        if (core::sameFile(avi, old) || (core::fileExists(old) && !core::deleteFile(old)) ||
            !core::renameFile(avi, old))
            return fail("Can't rename " + avi + " to " + old + " !");
        // The one notice an unattended list shows too.
        const ui::BoxDiversion::Shown shown;
        ui::showMessage(avi + msg(MsgAviRenamed) + old);
        return true;
    }

    enum class AviAction { None, Delete, RenameToOld };

    TForm1& f_;
    const bool multi_;
    AviAction aviAction_ = AviAction::None;
};

} // namespace

void TForm1::LaunchClick() {
    // A missing first VOB is left to the rip's own checks; a list that could not be written ends the
    // rip here, since the converter would read the old one.
    if (!MakeList(Vobfile.text()))
        return;
    RipRecord.RipStart = 0;
    RipRecord.RipEnd = 0;
    Launchrip();
}

void TForm1::Launchrip() {
    JobGuard job(*this);
    if (!RipCheckRun(*this).run()) {
        RipAborted = true;
        return; // a multi-rip ends this rip and goes on with its next entry
    }
    RipAudioSteps();
    RipVideoSteps();
    // A rip that ended early (a stop, a missing piece, a tool that failed) reports nothing.
    if (!RipAborted)
        Statistics();
}

} // namespace kes
