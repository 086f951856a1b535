#include "kes/converter_command.h"

#include "kes/text_helpers.h"
#include "kes/vob_list.h"

#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <array>
#include <cstdint>

namespace kes {

namespace core = platform::core;

namespace {

constexpr char Q = '"';
constexpr char AtSign = '@';

// 29.97 frames per second as a fraction, so that the rounding of a frame number is exact.
constexpr long long NtscFramesPer100s = 2997;
constexpr long long HundredSeconds = 100;
constexpr long long PalFramesPerSecond = 25;
// A key frame every n seconds is given to the DivX 4 codec as a frame count at 25 per second.
constexpr long long KeyFrameRate = 25;
// The preview start is counted in units of 5000 sectors.
constexpr long long PreviewStartUnit = 5000;

struct TextItem {
    std::string_view contains;
    std::string_view item;
};

// Frame rates: every matching item is appended, in this order.
constexpr std::array<TextItem, 5> FpsItems = {{
    {"23.976", "-f5 "},
    {"24", "-f3 "},
    {"25", "-f2 "},
    {"29.970", "-f6 "},
    {"30", "-f4 "},
}};

constexpr std::array<TextItem, 2> PostFilterItems = {{
    {"High Quality", "-q0 "},
    {"Fast", "-q1 "},
}};

constexpr std::array<TextItem, 8> IdctItems = {{
    {"64-bit D-FPU IDCT", "-r0 "},
    {"32-bit MMX32 IDCT", "-r1 "},
    {"16-bit MMX16 Chen IDCT", "-r2 "},
    {"16-bit MMX16 AAN IDCT", "-r3 "},
    {"3DNOW AP-922float IDCT", "-r4 "},
    {"SSE AP-922float IDCT", "-r5 "},
    {"Fast ASSP-32 iDCT", "-r6 "},
    {"64-bit FPU IDCT", "-r7 "},
}};

constexpr std::array<TextItem, 3> OutputItems = {{
    {"RGB24", "-o7 "},
    {"YV12", "-o8 "},
    {"YUY2", "-o9 "},
}};

template <size_t N>
void appendMatches(std::string& line, std::string_view text, const std::array<TextItem, N>& items) {
    for (const auto& [part, item] : items) {
        if (contains(text, part))
            line += item;
    }
}

// "vob.lst" in the folder of the first VOB, with the quote that opens it already written by the caller.
std::string listPath(std::string_view vobFile) {
    return core::extractFilePath(vobFile) + std::string(VobListName);
}

std::string folderWithoutDelim(std::string_view path) {
    std::string folder = core::extractFilePath(path);
    if (!folder.empty() && folder.back() == core::PathDelim)
        folder.pop_back();
    return folder;
}

std::string rangeItem(const ConverterSettings& s) {
    return "-# " + std::to_string(frameNumber(s.rangeStart, s.fps)) + " " +
           std::to_string(frameNumber(s.rangeEnd, s.fps)) + " ";
}

// The frame-rate, decoding, size and filter items the rip and the preview share.
void appendPictureItems(std::string& line, const ConverterSettings& s) {
    appendMatches(line, s.fps, FpsItems);
    appendMatches(line, s.postFilter, PostFilterItems);
    appendMatches(line, s.refQuality, IdctItems);
    if (s.crop)
        line += "-1 " + s.xCrop + " " + s.yCrop + " ";
    if (s.halfres)
        line += "-2 ";
    if (s.downX)
        line += "-3X " + s.xSize + " ";
    if (s.downY)
        line += "-3Y " + s.ySize + " ";
    if (s.forceDeint)
        line += "-df ";
    if (s.ivtc)
        line += "-s" + s.ivtcNb + " ";
}

std::string converterProgram(const ConverterSettings& s) {
    if (s.forceDeint)
        return "mpeg2aviSVE.exe -b ";
    if (s.px3gui && s.dual)
        return "m2apx3go.exe -b ";
    if (s.px3gui)
        return "m2apx3g.exe -b ";
    return "mpeg2avipx3.exe -b ";
}

std::string previewProgram(const PreviewSettings& s, PreviewKind kind) {
    if (kind == PreviewKind::Adjust)
        return "m2aPX3g.exe -b ";
    if (s.prevstart)
        return "mpeg2v12.exe -b ";
    if (s.video.forceDeint)
        return "Mpeg2AviSVE.exe -b ";
    return "m2aPX3g.exe -b ";
}

} // namespace

long long frameNumber(long long seconds, std::string_view fps) {
    if (contains(fps, "25"))
        return seconds * PalFramesPerSecond;
    // seconds × 2997 / 100, rounded half to even.
    const long long scaled = seconds * NtscFramesPer100s;
    long long whole = scaled / HundredSeconds;
    long long rest = scaled % HundredSeconds;
    if (rest < 0) {
        rest += HundredSeconds;
        --whole;
    }
    if (rest * 2 > HundredSeconds || (rest * 2 == HundredSeconds && whole % 2 != 0))
        ++whole;
    return whole;
}

std::string converterLine(const ConverterSettings& s, std::string_view externDir) {
    std::string line = std::string(externDir) + converterProgram(s) + Q + listPath(s.vobFile) + Q + " -a ";
    // The rip's checks refuse an unreadable range before any line is built; should one come here
    // all the same, the whole title is converted rather than a range of negative frames.
    if (s.range && s.rangeStart >= 0 && s.rangeEnd >= 0)
        line += rangeItem(s);
    appendPictureItems(line, s);
    if (s.dual)
        line += "-7 ";
    appendMatches(line, s.output, OutputItems);
    line += Q + folderWithoutDelim(s.aviFile) + Q;
    return line;
}

PreviewPlan previewLine(const PreviewSettings& s, PreviewKind kind, std::string_view externDir) {
    PreviewPlan plan;
    const ConverterSettings& v = s.video;
    plan.rangeUnreadable = v.range && (v.rangeStart < 0 || v.rangeEnd < 0);

    std::string line = std::string(externDir) + previewProgram(s, kind) + Q + listPath(v.vobFile) + Q + "  ";
    if (v.range && !plan.rangeUnreadable) {
        if (v.rangeEnd < v.rangeStart) {
            plan.rangeReversed = true;
            return plan;
        }
        line += rangeItem(v);
    }
    appendPictureItems(line, v);
    if (s.prevstart) {
        int32_t start = 0;
        try {
            start = core::strToInt(s.min);
        } catch (const core::ConvertError& error) {
            plan.conversionError = error.what();
            return plan;
        }
        line += std::string(" -") + AtSign + " " + std::to_string(start * PreviewStartUnit) + " ";
    }
    line += "-o6";
    plan.line = std::move(line);
    return plan;
}

std::string ac3DecLine(const Ac3DecSettings& s, std::string_view subStream) {
    std::string line = "ac3dec.exe " + std::string(1, Q) + s.vobFile + Q;
    if (s.ripAll)
        line += " -allvob";
    line += " -substream " + std::string(subStream) + " -overwrite";
    if (s.samplerate == "44.1")
        line += " -44100 ";
    line += " -pcmwav " + std::string(1, Q) + s.wavFile + Q;
    return line;
}

std::string divx4LogPath(std::string_view aviFile, std::string_view finalFile) {
    std::string name = core::extractFileName(finalFile);
    const std::string upper = core::upperAscii(name);
    if (const size_t at = upper.find(".AVI"); at != std::string::npos)
        name.erase(at, 4);
    return core::extractFilePath(aviFile) + name + ".log";
}

std::string autoDivXLine(const AutoDivXSettings& s) {
    std::string line = s.startDir + "/extern/divxauto.exe WI00:ICCompressorChoose " + Q + "CB00:DivX ";
    if (contains(s.codec, "Motion")) {
        line += contains(s.codec, "Low") ? ";-) MPEG-4 Low-Motion" : ";-) MPEG-4 Fast-Motion";
        line += std::string(1, Q) + " BT04: WI01: ED00:" + s.kframe + " SB00:" + s.crisp + " SB01:" + s.rate +
                " BT05: WI00: BT02: QU00:";
        return line;
    }
    const long long keyFrames = static_cast<long long>(core::strToInt(s.kframe)) * KeyFrameRate;
    line += std::string("Codec 4.") + Q + " BT04: WI01: ED00:" + s.rate +
            " ED06:" + std::to_string(keyFrames) + " " + Q + "CB01:" + s.d4vbr + Q + " " + " " + Q +
            "ED07:" + divx4LogPath(s.aviFile, s.finalFile) + Q + " " + "BT00: WI00: BT02: QU00:";
    return line;
}

} // namespace kes
