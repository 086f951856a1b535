#include "kes/rip_report.h"

#include "kes/text_helpers.h"

#include "platform/core/clock.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* LineEnd = "\r\n";
constexpr const char* NoProfile = "None";
constexpr const char* LengthUnit = " sec.";
constexpr const char* FreeLabelPrefix = "...";
// Two stream lengths further apart than this many hundredths of a second get a warning. Lengths are
// kept to the hundredth, so they are compared in whole hundredths: 10.15 against 10.00 is exactly at
// the limit, whatever the binary fractions make of their difference.
constexpr long long LengthToleranceHundredths = 15;
constexpr double HundredthsPerSecond = 100.0;
// A 23.976 fps source is counted by the converter at the NTSC rate.
constexpr const char* FilmRate = "23.976";
constexpr long double FilmFps = 23.976L;
constexpr long double NtscFps = 29.97L;

enum Msg {
    MsgVideoTime = 3,
    MsgEncodingSpeed = 4,
    MsgAudioTime = 5,
    MsgNormTime = 6,
    MsgCompTime = 7,
    MsgCompSource1 = 8,
    MsgCompTarget1 = 9,
    MsgLengthsDiffer = 10,
    MsgCompSource2 = 11,
    MsgCompTarget2 = 12,
    MsgMuxTime = 13,
    MsgMuxVideo = 14,
    MsgMuxAudio = 15,
    MsgMuxLengthsDiffer = 16,
    MsgMux2Audio = 17,
    MsgNoLogoClip = 18,
    MsgTotalTime = 19,
    MsgFreeBefore = 50,
    MsgFreeAfter = 51,
};

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool differ(double a, double b) {
    return std::llabs(std::llround(a * HundredthsPerSecond) - std::llround(b * HundredthsPerSecond)) >
           LengthToleranceHundredths;
}

class ReportWriter {
public:
    ReportWriter(const ReportChoices& choices, const TRipRecord& record, const TextTable& messages)
        : c_(choices), r_(record), m_(messages) {}

    std::string build() {
        if (c_.profileName != NoProfile)
            line(c_.profileName);
        line(c_.description);
        if (c_.ripVid)
            video();
        if (c_.ripAudio)
            audio();
        if (c_.normal)
            normalisation();
        if (c_.compress)
            compression();
        if (c_.merge)
            mux();
        line({});
        text_ += PadLabel(m_[MsgTotalTime], ReportLabelWidth) + durationText(r_.RipStart, r_.RipEnd);
        return text_;
    }

private:
    void line(const std::string& text) { text_ += text + LineEnd; }
    void labelled(int message, const std::string& value) {
        line(PadLabel(m_[message], ReportLabelWidth) + value);
    }
    void freePair(FreeSlot slot) {
        const auto index = static_cast<std::size_t>(slot);
        line(PadLabel(FreeLabelPrefix + m_[MsgFreeBefore], ReportLabelWidth) + r_.FreeBefore[index]);
        line(PadLabel(FreeLabelPrefix + m_[MsgFreeAfter], ReportLabelWidth) + r_.FreeAfter[index]);
    }
    void secondStreamPair(FreeSlot slot) {
        line(c_.secondStreamHeading);
        freePair(slot);
    }

    void video() {
        if (c_.divxAuto) {
            line("Bitrate = " + c_.divFR + " / KF = " + c_.kframe + " / Crispness = " + c_.crisp);
            line({});
        }
        labelled(MsgVideoTime, durationText(r_.VideoStart, r_.VideoEnd));
        labelled(MsgEncodingSpeed, c_.encodingSpeed);
        freePair(FreeSlot::Video);
    }

    void audio() {
        labelled(MsgAudioTime, durationText(r_.AudioStart, r_.AudioEnd));
        freePair(FreeSlot::Audio1);
        if (c_.twostreams)
            secondStreamPair(FreeSlot::Audio2);
    }

    void normalisation() {
        labelled(MsgNormTime, durationText(r_.NormStart, r_.NormEnd));
        if (!c_.norm2Other)
            return;
        freePair(FreeSlot::Norm1);
        if (c_.twostreams)
            secondStreamPair(FreeSlot::Norm2);
    }

    void compression() {
        labelled(MsgCompTime, durationText(r_.CompStart, r_.CompEnd));
        labelled(MsgCompSource1, lengthText(r_.CompSource1));
        labelled(MsgCompTarget1, lengthText(r_.CompTarget1));
        // A range converts only part of the WAV, so its lengths differ on purpose.
        if (differ(r_.CompSource1, r_.CompTarget1) && !c_.audioRange)
            line(m_[MsgLengthsDiffer]);
        if (c_.twostreams) {
            labelled(MsgCompSource2, lengthText(r_.CompSource2));
            labelled(MsgCompTarget2, lengthText(r_.CompTarget2));
            if (differ(r_.CompSource2, r_.CompTarget2) && !c_.audioRange)
                line(m_[MsgLengthsDiffer]);
        }
        freePair(FreeSlot::Comp1);
        if (c_.twostreams)
            secondStreamPair(FreeSlot::Comp2);
    }

    void mux() {
        labelled(MsgMuxTime, durationText(r_.MergeStart, r_.MergeEnd));
        labelled(MsgMuxVideo, lengthText(r_.MuxVideoLen));
        labelled(MsgMuxAudio, lengthText(r_.MuxAudioLen));
        if (differ(r_.MuxVideoLen, r_.MuxAudioLen))
            line(m_[MsgMuxLengthsDiffer]);
        // Two streams without a split share one mux: there is no second length to show.
        const bool secondMux = c_.twostreams && r_.Mux2Ran;
        if (secondMux) {
            labelled(MsgMux2Audio, lengthText(r_.Mux2AudioLen));
            if (differ(r_.Mux2AudioLen, r_.MuxVideoLen))
                line(m_[MsgMuxLengthsDiffer]);
        }
        freePair(FreeSlot::Mux);
        if (secondMux)
            secondStreamPair(FreeSlot::Mux2);
        if (!r_.LogoClipOk)
            line(m_[MsgNoLogoClip]);
    }

    const ReportChoices& c_;
    const TRipRecord& r_;
    const TextTable& m_;
    std::string text_;
};

} // namespace

std::string PadLabel(std::string_view label, int width) {
    std::string padded;
    int characters = 0;
    for (std::size_t i = 0; i < label.size();) {
        std::size_t next = i + 1;
        while (next < label.size() && isContinuationByte(label[next]))
            ++next;
        if (characters == width)
            break;
        padded.append(label.substr(i, next - i));
        ++characters;
        i = next;
    }
    if (characters < width)
        padded.append(static_cast<std::size_t>(width - characters), ' ');
    return padded;
}

std::string durationText(DateTime start, DateTime end) {
    return core::timeText(end - start);
}

std::string lengthText(double seconds) {
    return core::floatToStr(seconds) + LengthUnit;
}

std::string buildRipReport(const ReportChoices& choices, const TRipRecord& record,
                           const TextTable& messages) {
    return ReportWriter(choices, record, messages).build();
}

std::string logFilePath(const std::string& logsFolder, const std::string& profileName,
                        const std::string& dateText, const std::string& timeText) {
    std::string name = fileNameOfTitle(profileName + "_D" + dateText + "_T" + timeText + ".log");
    std::replace(name.begin(), name.end(), ':', '_');
    return logsFolder + name;
}

ReportEnd reportEnd(bool shutdownAsked, bool multiRip) {
    if (shutdownAsked)
        return ReportEnd::Shutdown;
    return multiRip ? ReportEnd::Nothing : ReportEnd::ShowBox;
}

std::string encodingSpeedText(std::optional<uint32_t> frameCount, const std::string& fps, DateTime ripStart,
                              DateTime ripEnd) {
    if (!frameCount)
        return {};
    long double count = *frameCount;
    if (fps == FilmRate)
        count = static_cast<long double>(core::roundHalfEven(count * NtscFps / FilmFps));
    const int seconds = TimeToSeconds(core::timeText(ripEnd - ripStart));
    if (seconds <= 0)
        return {};
    return core::formatFixed(count / seconds, 1);
}

} // namespace kes
