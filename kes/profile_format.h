#pragma once

// Profile files (".pfl"): one rip's configuration as text. "[Options]", "[DivX]" (only with DivX Auto),
// "[Video]", "[Audio]" and "[SUB]" (only with subtitle extraction), each line "key=value" ended by
// CR LF, an empty line before "[DivX]", "[Video]" and "[Audio]", and no line end after the "[SUB]"
// section's "slng=" line. This file holds the window-free part: the writer from a set of control values,
// the codes some keys store, the loaded text and its key lookup, and the search for the first VOB.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

inline constexpr std::string_view ProfileExtension = ".pfl";
inline constexpr std::string_view ProfileLineEnd = "\r\n";
// Only the first lines of a profile are read; a real profile has about 70.
inline constexpr size_t MaxProfileLines = 100;
// A profile is a few kilobytes; only this much of a larger file is looked at.
inline constexpr int64_t MaxProfileBytes = 1024 * 1024;

// The control values a profile is written from: texts as the controls show them, ticks as booleans.
struct ProfileSettings {
    // [Options]
    std::string title; // ProfileEdit text; the writer cuts a list suffix " (name.pfl)"
    std::string description;
    std::string comment;
    std::string vobPath;
    std::string aviPath;
    std::string wavPath;
    std::string compressPath;
    std::string finalPath;
    std::string wav2Path;
    std::string compressPath2;
    std::string finalPathSS2;
    bool ripVideo = false;
    bool ripAudio = false;
    std::string audioMethod; // arip text
    bool compress = false;
    bool delWav = false;
    bool normalize = false;
    bool merge = false;
    bool ripAll = false;
    bool twoStreams = false;
    bool log = false;
    bool vexlor = false;
    bool shutdown = false;
    bool extractSub = false;
    bool split = false;
    bool splitAfter = false; // Saft
    std::string splitSize;
    bool lockCd = false;
    // [DivX]
    bool divxAuto = false;
    std::string codec;
    std::string vbr; // D4VBR
    bool dual = false;
    std::string codec2; // pass2
    std::string keyFrames;
    bool vki = false;
    std::string crisp;
    std::string finalSize;
    std::string movieLength;
    std::string movieSeconds;
    bool wide = false;
    std::string bitrate;        // DivFR
    std::string bitrate2;       // DualBR
    bool continuePass2 = false; // proceed2 ticked and enabled
    // [Video]
    bool forceDeint = false;
    bool px3 = false;
    std::string fps;
    std::string postFilter;
    std::string refQuality;
    std::string output;
    bool crop = false;
    std::string xCrop;
    std::string yCrop;
    bool ivtc = false;
    std::string ivtcFrames;
    bool downX = false;
    std::string xSize;
    bool downY = false;
    std::string ySize;
    bool halfRes = false;
    bool range = false;
    std::string range1;
    std::string range2;
    // [Audio]
    std::string audioCodec; // mp3wma
    std::string subStream;
    std::string subStream2;
    bool flip = false;
    std::string sampleRate;
    std::string audioBitrate;
    std::string mode;
    bool audioRange = false;
    std::string aRange1;
    std::string aRange2;
    bool norm2Other = false;
    int gain = 0; // GainTrack position, tenths of a decibel
    // [SUB]
    std::vector<std::string> subtitleLanguages;
};

// The bytes of a profile. With exportOnly the eight path keys are left out.
std::string writeProfile(const ProfileSettings& settings, bool exportOnly);

// The title stored for a profile name: a list entry "Movie (movie.pfl)" gives "Movie"; a name without
// ".pfl", or whose last "(" is its first character, stays as it is.
std::string profileTitleFromName(std::string_view name);

// Codes of the keys that store a choice rather than a text.
std::string codecCode(std::string_view codecText);     // "F", "L" or "4"
std::string postFilterCode(std::string_view postText); // "hq" or "fast"
std::string refQualityCode(std::string_view refText);  // "1" to "8"
std::string outputCode(std::string_view outputText);   // "1", "2" or "3"
// The list texts a loaded code stands for; nothing for a code without one.
std::optional<std::string> refQualityText(int code);
std::optional<std::string> outputText(int code);

inline constexpr std::string_view PostFilterHigh = "High Quality";
inline constexpr std::string_view PostFilterFast = "Fast";
inline constexpr std::string_view CodecFastMotion = "Fast Motion";
inline constexpr std::string_view CodecLowMotion = "Low Motion";
inline constexpr std::string_view CodecDivX4 = "DivX 4.x";

// The text of a profile last read: its lines (at most MaxProfileLines), the lines joined with CR LF
// after each, and that text upper-cased (ASCII letters only, so both have the same byte offsets).
struct ProfileContent {
    std::vector<std::string> lines;
    std::string text;
    std::string upper;
};

// The content of a profile's bytes; lines are split at CR LF, LF or a lone CR, and lines beyond
// MaxProfileLines are dropped.
ProfileContent profileContent(std::string_view bytes);

// The bytes of a profile file (at most MaxProfileBytes of them), or nothing when it cannot be read.
std::optional<std::string> readProfileBytes(std::string_view path);

// The value of a key given with its "=" ("profiletitle=") in a profile's text and its upper-cased
// copy: the rest of the first line that begins with the key, without regard to case; empty when no
// line does.
std::string seekProfileItem(std::string_view text, std::string_view upper, std::string_view key);

// The languages of an "slng=" value: the non-empty pieces before each "/"; the text after the last "/"
// is not a language.
std::vector<std::string> subtitleLanguagesOf(std::string_view value);

// The name of the first title VOB in a folder: "vts_01_1.vob" to "vts_09_9.vob", the part digit changing
// fastest, then the first "*.vob" by name; in the spelling of the file system. Empty when none.
std::string firstTitleVob(std::string_view folder);

} // namespace kes
