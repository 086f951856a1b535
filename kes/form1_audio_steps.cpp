// The audio steps of a rip: the chosen AC3 stream (and the second one when "2nd audio" is ticked)
// decoded to WAV by one of three paths, normalised by the amplifier and compressed by the audio
// converter. Each step runs only while RipAborted is clear; a stop pressed in a tool window, a tool
// job that failed, and an outside program that could not be started, was ended, failed or wrote
// nothing all set it, so that no later step runs and no report is made. A decoder's WAV is this
// run's own: an earlier rip's under the same name is moved aside while the decoder runs. The WAV
// files are deleted only after their conversion succeeded.
#include "kes/form1.h"

#include "kes/ac3_join.h"
#include "kes/form1_rip_steps_common.h"
#include "kes/form1_unit.h"
#include "kes/free_space.h"
#include "kes/merging.h"
#include "kes/rip_audio_lines.h"
#include "kes/rip_record.h"
#include "kes/wav_rate_patch.h"

#include "tools/amplifier/tform3.h"
#include "tools/audio_converter/tform2.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

#include <algorithm>

namespace kes {

namespace core = platform::core;
using tools::amplifier::TForm3;
using tools::audio_converter::TForm2;

namespace {

constexpr const char* NormalizedName = "Normalized.wav";
constexpr const char* Normalized2Name = "Normalized2.wav";
constexpr const char* Rate441Text = "44.1";
constexpr long double HundredthsPerSecond = 100;

enum class DecodePath { Ac3Dec, Azid, BuiltIn, None };

// "AC3Dec" and "Azid" name their paths; a text holding neither "AC3" nor "Azid" is the built-in
// path; any other text runs no decoder.
DecodePath decodePathFor(const std::string& method) {
    if (method == "AC3Dec")
        return DecodePath::Ac3Dec;
    if (method == "Azid")
        return DecodePath::Azid;
    if (method.find("AC3") == std::string::npos && method.find("Azid") == std::string::npos)
        return DecodePath::BuiltIn;
    return DecodePath::None;
}

// Lengths are kept to the hundredth of a second for the report.
double toHundredths(double seconds) {
    return static_cast<double>(core::roundHalfEven(static_cast<long double>(seconds) * HundredthsPerSecond) /
                               HundredthsPerSecond);
}

// What a step needs of one audio stream.
struct AudioStream {
    int number = 1;
    std::string subStream;
    std::string wav;
    std::string folder;     // of the WAV, with its trailing "/"
    std::string normalized; // the normalised copy beside the WAV
    std::string compressed;
    FreeSlot audioSlot = FreeSlot::Audio1;
    FreeSlot normSlot = FreeSlot::Norm1;
    FreeSlot compSlot = FreeSlot::Comp1;
};

// A file of the rip that the user asked to delete. One that cannot be deleted costs only disk space,
// and nothing in the rip depends on its absence, so the rip goes on without a word.
void deleteWorkFile(const std::string& path) {
    static_cast<void>(core::deleteFile(path));
}

class RipAudioRun : RipStepRun {
public:
    explicit RipAudioRun(TForm1& form) : RipStepRun(form), streams_{streamOf(1), streamOf(2)} {}

    void run() {
        if (f_.RipAudio.checked() && !RipAborted)
            decode();
        if (f_.normal.checked() && !RipAborted)
            normalise();
        if (f_.compress.checked() && !RipAborted)
            compress();
    }

private:
    AudioStream streamOf(int number) const {
        AudioStream s;
        s.number = number;
        const bool first = number == 1;
        s.subStream = first ? f_.SubStream.text() : f_.SecSubStream.text();
        s.wav = first ? f_.WavFileEdit.text() : f_.Wav2.text();
        s.folder = core::extractFilePath(s.wav);
        s.normalized = s.folder + (first ? NormalizedName : Normalized2Name);
        s.compressed = first ? f_.compaudiofile.text() : f_.compressedSS2.text();
        s.audioSlot = first ? FreeSlot::Audio1 : FreeSlot::Audio2;
        s.normSlot = first ? FreeSlot::Norm1 : FreeSlot::Norm2;
        s.compSlot = first ? FreeSlot::Comp1 : FreeSlot::Comp2;
        return s;
    }

    // The streams a step works on: the first, then the second while nothing stopped the rip.
    template <typename Work>
    void forEachStream(Work work) {
        work(streams_[0]);
        if (f_.twostreams.checked() && !RipAborted)
            work(streams_[1]);
    }

    // ---- Decoding ----

    void decode() {
        const DecodePath path = decodePathFor(f_.arip.text());
        if (path == DecodePath::None)
            return;
        RipRecord.AudioStart = stepStart();
        forEachStream([&](const AudioStream& s) {
            RipRecord.freeBefore(s.audioSlot) = DriveFreeText(s.wav);
            if (path == DecodePath::Ac3Dec)
                runProgram(f_.externDir() + f_.TreatAC3Dec(s.subStream, s.number), {s.wav});
            else if (path == DecodePath::Azid)
                decodeWithAzid(s);
            else
                decodeBuiltIn(s);
            RipRecord.freeAfter(s.audioSlot) = DriveFreeText(s.wav);
        });
        RipRecord.AudioEnd = stepEnd();
    }

    void decodeWithAzid(const AudioStream& s) {
        const int count = std::clamp(VobCount, 0, VobTableSize);
        for (int i = 1; i <= count; ++i)
            if (!runProgram(bbdmuxLine(f_.externDir(), VobTable[static_cast<size_t>(i - 1)], s.folder, i,
                                       s.subStream),
                            {s.folder + ac3PieceName(i)}))
                return;
        if (!joinPieces(s, count) ||
            !runProgram(azidLine(f_.externDir(), s.folder, s.wav, s.number), {s.wav}))
            return;
        // The joined stream is kept when the decoder failed, so that it can be decoded again.
        if (f_.DelWav.checked())
            deleteWorkFile(s.folder + std::string(JoinedAc3Name));
    }

    bool joinPieces(const AudioStream& s, int count) {
        Ac3JoinResult result;
        {
            TMerging window;
            window.show();
            result = joinAc3Pieces(s.folder, count, window);
            window.close();
        }
        switch (result.status) {
        case Ac3JoinStatus::Joined:
            return true;
        case Ac3JoinStatus::MissingPiece:
            failStep("The AC3 piece " + result.path + " is missing : the audio can't be joined !");
            return false;
        case Ac3JoinStatus::ReadFailed:
            failStep("Can't read " + result.path + " !");
            return false;
        case Ac3JoinStatus::WriteFailed:
            failStep("Can't write " + result.path + " !");
            return false;
        }
        return false;
    }

    void decodeBuiltIn(const AudioStream& s) {
        const std::string rate = f_.Samplerate.text();
        if (!runProgram(
                tonegrabLine(f_.externDir(), f_.Vobfile.text(), s.wav, s.subStream, rate, f_.flip.checked()),
                {s.wav}))
            return;
        if (rate != Rate441Text)
            return;
        switch (patchWavRate(s.wav, Rate44100)) {
        case WavPatchResult::Patched:
            break;
        case WavPatchResult::Missing:
            failStep("Can't read " + s.wav + " !");
            break;
        case WavPatchResult::NotCanonical:
            failStep(s.wav + " is not a plain WAV file : its sample rate can't be set to 44100 Hz !");
            break;
        case WavPatchResult::WriteFailed:
            failStep("Can't write " + s.wav + " !");
            break;
        }
    }

    // ---- Normalisation ----

    void normalise() {
        RipRecord.NormStart = stepStart();
        {
            TForm3 amplifier;
            forEachStream([&](const AudioStream& s) { normaliseStream(amplifier, s); });
        }
        RipRecord.NormEnd = stepEnd();
    }

    void normaliseStream(TForm3& amplifier, const AudioStream& s) {
        const bool toOther = f_.Norm2Other.checked();
        amplifier.Edit1.setText(s.wav);
        amplifier.same.setChecked(!toOther);
        if (toOther)
            amplifier.Edit2.setText(s.normalized);
        amplifier.TB.setPosition(f_.GainTrack.position());
        amplifier.show();
        const std::string output = toOther ? s.normalized : s.wav;
        RipRecord.freeBefore(s.normSlot) = DriveFreeText(output);
        amplifier.AmplifyWav();
        if (amplifier.UserBreak || amplifier.JobFailed)
            RipAborted = true;
        RipRecord.freeAfter(s.normSlot) = DriveFreeText(output);
    }

    // ---- Compression ----

    // The converter's preset: codec, first letter of the mode, rate and bit rate.
    std::string wfParameter() const {
        return "WF=" + f_.mp3wma.text() + "/" + f_.Mode.text().substr(0, 1) + "/" + f_.Samplerate.text() +
               "/" + f_.Bitrate.text();
    }

    void compress() {
        TForm2 converter(f_.externDir());
        RipRecord.CompStart = stepStart();
        forEachStream([&](const AudioStream& s) { compressStream(converter, s); });
        RipRecord.CompEnd = stepEnd();
    }

    void compressStream(TForm2& converter, const AudioStream& s) {
        const bool normalized = f_.Norm2Other.checked() && f_.normal.checked();
        // The second stream takes its normalised copy without looking for it; the first only when
        // it is there.
        const bool fromNormalized = normalized && (s.number == 2 || core::fileExists(s.normalized));
        converter.Edit1.setText(fromNormalized ? s.normalized : s.wav);
        converter.Edit2.setText(s.compressed);
        converter.ACMParams[1] = wfParameter();
        // The range is set for the first stream; the second keeps it.
        if (s.number == 1 && f_.AudioRange.enabled()) {
            converter.Range.setChecked(f_.AudioRange.checked());
            converter.Range1.setText(f_.ARange1.text());
            converter.Range2.setText(f_.ARange2.text());
        }
        converter.show();
        RipRecord.freeBefore(s.compSlot) = DriveFreeText(s.compressed);
        converter.Conversion();
        RipRecord.freeAfter(s.compSlot) = DriveFreeText(s.compressed);
        recordLengths(converter, s.number);
        if (converter.UserBreak || converter.JobFailed) {
            RipAborted = true;
            return;
        }
        if (f_.DelWav.checked()) {
            if (normalized)
                deleteWorkFile(s.normalized);
            deleteWorkFile(s.wav);
        }
    }

    static void recordLengths(const TForm2& converter, int stream) {
        const double source = toHundredths(converter.SourceSeconds);
        const double target = toHundredths(converter.TargetSeconds);
        if (stream == 1) {
            RipRecord.CompSource1 = source;
            RipRecord.CompTarget1 = target;
            RipRecord.CompByteRate1 = converter.TargetByteRate;
        } else {
            RipRecord.CompSource2 = source;
            RipRecord.CompTarget2 = target;
            RipRecord.CompByteRate2 = converter.TargetByteRate;
        }
    }

    AudioStream streams_[2];
};

} // namespace

void TForm1::RipAudioSteps() {
    RipAudioRun(*this).run();
}

} // namespace kes
