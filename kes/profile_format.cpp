#include "kes/profile_format.h"

#include "kes/text_helpers.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <array>

namespace kes {

namespace core = platform::core;

namespace {

constexpr std::string_view SubLanguagesKey = "slng=";
constexpr char LanguageSeparator = '/';

// The lines of a profile, in order. Values never hold a line break: a CR or LF in a control's text
// (a comment of several lines) is written as a blank, so that it cannot start a line of its own.
class ProfileWriter {
public:
    void line(std::string_view text) {
        out_ += text;
        out_ += ProfileLineEnd;
    }
    void section(std::string_view heading, bool emptyLineBefore) {
        if (emptyLineBefore)
            out_ += ProfileLineEnd;
        line(heading);
    }
    void key(std::string_view name, std::string_view value) {
        out_ += name;
        out_ += '=';
        for (const char c : value)
            out_ += (c == '\r' || c == '\n') ? ' ' : c;
        out_ += ProfileLineEnd;
    }
    void tick(std::string_view name, bool ticked) { key(name, ticked ? "1" : "0"); }
    // The last line of the file, without a line end.
    void lastKey(std::string_view name, std::string_view value) {
        key(name, value);
        out_.resize(out_.size() - ProfileLineEnd.size());
    }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
};

// The first character of a UTF-8 text (all of its bytes), empty for an empty text.
std::string firstCharacter(std::string_view text) {
    if (text.empty())
        return {};
    size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        ++length;
    return std::string(text.substr(0, length));
}

void writeOptions(ProfileWriter& w, const ProfileSettings& s, bool exportOnly) {
    w.section("[Options]", false);
    w.key("ProfileTitle", profileTitleFromName(s.title));
    w.key("Description", s.description);
    if (!s.comment.empty())
        w.key("Comment", s.comment);
    if (!exportOnly) {
        w.key("vobpath", s.vobPath);
        w.key("avipath", s.aviPath);
        w.key("WavPath", s.wavPath);
        w.key("Compresspath", s.compressPath);
        w.key("finalpath", s.finalPath);
        if (s.twoStreams) {
            w.key("Wav2Path", s.wav2Path);
            w.key("Compresspath2", s.compressPath2);
            w.key("finalpathss2", s.finalPathSS2);
        }
    }
    w.tick("RipVid", s.ripVideo);
    w.tick("RipAud", s.ripAudio);
    if (s.ripAudio) {
        if (s.audioMethod == "AC3Dec")
            w.key("UseAC3Dec", "1");
        else if (s.audioMethod == "Azid")
            w.key("UseAzid", "1");
        else // the built-in method: the loader turns anything but "1" into the list's first item
            w.key("UseAC3Dec", "0");
    }
    w.tick("CompressAudio", s.compress);
    w.tick("DelWav", s.delWav);
    w.tick("Normalize", s.normalize);
    w.tick("Merge", s.merge);
    w.tick("RipAll", s.ripAll);
    w.tick("2streams", s.twoStreams);
    w.tick("log", s.log);
    w.tick("Vexlor", s.vexlor);
    w.tick("SDown", s.shutdown);
    w.tick("Sub", s.extractSub);
    w.tick("Split", s.split);
    if (s.split && s.splitAfter)
        w.key("Cut@", s.splitSize);
    if (s.lockCd && !s.description.empty())
        w.key("lock1cd", firstCharacter(s.description));
}

void writeDivX(ProfileWriter& w, const ProfileSettings& s) {
    w.section("[DivX]", true);
    w.key("DivXauto", "1");
    const std::string codec = codecCode(s.codec);
    w.key("VCodec", codec);
    if (codec == "4")
        w.key("VVBR", s.vbr);
    if (s.dual) {
        const std::string codec2 = codecCode(s.codec2);
        w.key("VCodec2", codec2);
        if (codec2 == "4")
            w.key("VVBR", s.vbr);
    }
    w.key("kf", s.keyFrames);
    if (s.vki)
        w.key("VKI", "1");
    w.key("crisp", s.crisp);
    w.key("FinalSize", s.finalSize);
    w.key("MovieLength", s.movieLength);
    w.key("Moviesec", s.movieSeconds);
    w.key("MovieFormat", s.wide ? "16/9" : "4/3");
    w.key("frate", s.bitrate);
    if (s.dual)
        w.key("frate2", s.bitrate2);
    if (s.continuePass2)
        w.key("Continuepass2", "1");
}

void writeVideo(ProfileWriter& w, const ProfileSettings& s) {
    w.section("[Video]", true);
    if (s.dual)
        w.key("dualV", "1");
    if (s.forceDeint)
        w.key("forceD", "1");
    if (s.px3)
        w.key("PX3", "1");
    w.key("fps", s.fps);
    w.key("Postq", postFilterCode(s.postFilter));
    w.key("Refq", refQualityCode(s.refQuality));
    w.key("output", outputCode(s.output));
    if (s.crop) {
        w.key("cropx", s.xCrop);
        w.key("cropy", s.yCrop);
    }
    if (s.ivtc)
        w.key("IVTC", s.ivtcFrames);
    if (s.downX)
        w.key("downxsize", s.xSize);
    if (s.downY)
        w.key("downysize", s.ySize);
    w.tick("halfres", s.halfRes);
    if (s.range) {
        w.key("Range1", s.range1);
        w.key("Range2", s.range2);
    }
}

void writeAudio(ProfileWriter& w, const ProfileSettings& s) {
    w.section("[Audio]", true);
    w.key("ACodec", s.audioCodec == "MP3" ? "MP3" : "WMA");
    w.key("Substream", s.subStream);
    if (s.twoStreams)
        w.key("Sub2", s.subStream2);
    w.tick("Flip", s.flip);
    w.key("SampleRate", s.sampleRate);
    w.key("Bitrate", s.audioBitrate);
    w.key("Mode", firstCharacter(s.mode));
    if (s.audioRange) {
        w.key("ARange1", s.aRange1);
        w.key("ARange2", s.aRange2);
    } else {
        w.key("AudioRange", "0");
    }
    if (s.normalize) {
        w.tick("Norm2Other", s.norm2Other);
        w.key("Gain", core::intToStr(s.gain));
    }
}

} // namespace

std::string writeProfile(const ProfileSettings& settings, bool exportOnly) {
    ProfileWriter writer;
    writeOptions(writer, settings, exportOnly);
    if (settings.divxAuto)
        writeDivX(writer, settings);
    writeVideo(writer, settings);
    writeAudio(writer, settings);
    if (settings.extractSub) {
        writer.section("[SUB]", false);
        std::string languages;
        for (const auto& language : settings.subtitleLanguages)
            languages += language + LanguageSeparator;
        writer.lastKey(SubLanguagesKey.substr(0, SubLanguagesKey.size() - 1), languages);
    }
    return writer.take();
}

std::string profileTitleFromName(std::string_view name) {
    const size_t paren = name.rfind('(');
    // A "(" at the first character (or none at all) cuts nothing; otherwise the blank before it goes too.
    if (contains(name, ProfileExtension) && paren != std::string_view::npos && paren > 0)
        return std::string(name.substr(0, paren - 1));
    return std::string(name);
}

std::string codecCode(std::string_view codecText) {
    if (contains(codecText, "Fast"))
        return "F";
    if (contains(codecText, "Low"))
        return "L";
    return "4";
}

std::string postFilterCode(std::string_view postText) {
    return contains(postText, "High") ? "hq" : "fast";
}

std::string refQualityCode(std::string_view refText) {
    // Tested in this order; a text matching none of them (the default "32bit mmx iDCT") stores "2".
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> Codes = {{
        {"D-FPU", "1"},
        {"Chen", "3"},
        {"AAN", "4"},
        {"3DNOW", "5"},
        {"SSE", "6"},
        {"Fast", "7"},
        {" FPU", "8"},
    }};
    for (const auto& [part, code] : Codes)
        if (contains(refText, part))
            return std::string(code);
    return "2";
}

std::string outputCode(std::string_view output) {
    if (contains(output, "RGB24"))
        return "1";
    if (contains(output, "YV12"))
        return "2";
    return "3";
}

std::optional<std::string> refQualityText(int code) {
    static constexpr std::array<std::string_view, 8> Texts = {
        "64-bit D-FPU IDCT",      "32-bit MMX32 IDCT",    "16-bit MMX16 Chen IDCT", "16-bit MMX16 AAN IDCT",
        "3DNOW AP-922float IDCT", "SSE AP-922float IDCT", "Fast ASSP-32 iDCT",      "64-bit FPU IDCT"};
    if (code < 1 || code > static_cast<int>(Texts.size()))
        return std::nullopt;
    return std::string(Texts[static_cast<size_t>(code - 1)]);
}

std::optional<std::string> outputText(int code) {
    // The last two keep the trailing blank of the list's items.
    static constexpr std::array<std::string_view, 3> Texts = {"AVI - RGB24 - 4:4:4", "AVI - YV12 - 4:2:0 ",
                                                              "AVI - YUY2 - 4:2:2 "};
    if (code < 1 || code > static_cast<int>(Texts.size()))
        return std::nullopt;
    return std::string(Texts[static_cast<size_t>(code - 1)]);
}

ProfileContent profileContent(std::string_view bytes) {
    ProfileContent content;
    size_t start = 0;
    size_t i = 0;
    const auto take = [&](size_t end) { content.lines.emplace_back(bytes.substr(start, end - start)); };
    while (i < bytes.size() && content.lines.size() < MaxProfileLines) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        take(i);
        i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < bytes.size() && content.lines.size() < MaxProfileLines)
        take(bytes.size());
    for (const auto& line : content.lines) {
        content.text += line;
        content.text += ProfileLineEnd;
    }
    content.upper = UpperCopy(content.text);
    return content;
}

std::optional<std::string> readProfileBytes(std::string_view path) {
    const std::string resolved = core::resolvePath(path);
    if (!core::fileExists(resolved))
        return std::nullopt;
    // At most MaxProfileBytes, and only of a regular file: a pipe is not waited on.
    return core::readFileHead(resolved, MaxProfileBytes);
}

std::string seekProfileItem(std::string_view text, std::string_view upper, std::string_view key) {
    const std::string upperKey = UpperCopy(key);
    if (upperKey.empty() || upper.size() != text.size())
        return {};
    size_t at = 0;
    while (at < upper.size()) {
        if (upper.substr(at, upperKey.size()) == upperKey) {
            const size_t valueStart = at + upperKey.size();
            const size_t valueEnd = text.find('\r', valueStart);
            return std::string(text.substr(valueStart, valueEnd == std::string_view::npos
                                                           ? std::string_view::npos
                                                           : valueEnd - valueStart));
        }
        const size_t lineFeed = upper.find('\n', at);
        if (lineFeed == std::string_view::npos)
            break;
        at = lineFeed + 1;
    }
    return {};
}

std::vector<std::string> subtitleLanguagesOf(std::string_view value) {
    std::vector<std::string> languages;
    size_t start = 0;
    for (size_t slash = value.find(LanguageSeparator); slash != std::string_view::npos;
         slash = value.find(LanguageSeparator, start)) {
        if (slash > start)
            languages.emplace_back(value.substr(start, slash - start));
        start = slash + 1;
    }
    return languages;
}

std::string firstTitleVob(std::string_view folder) {
    constexpr int LastDigit = 9;
    const std::vector<std::string> entries = core::listDirectory(folder);
    const auto isFile = [&](const std::string& name) {
        return core::fileExists(core::joinPath(folder, name));
    };
    for (int titleSet = 1; titleSet <= LastDigit; ++titleSet) {
        for (int part = 1; part <= LastDigit; ++part) {
            const std::string wanted =
                "vts_0" + std::to_string(titleSet) + "_" + std::to_string(part) + ".vob";
            for (const auto& entry : entries)
                if (core::equalsIgnoreCase(entry, wanted) && isFile(entry))
                    return entry;
        }
    }
    const std::vector<std::string> vobs = core::listFilesWithExt(folder, ".vob");
    return vobs.empty() ? std::string() : vobs.front();
}

} // namespace kes
