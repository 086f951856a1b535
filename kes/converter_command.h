#pragma once

// Command lines of the outside programs that convert the video and decode the AC3 audio of a rip,
// and of the automation program that fills in the codec dialog. Window-free: the main window copies
// its controls into the plain settings below, as texts and ticks exactly as they stand. Nothing is
// quoted unless the line says so, and the blanks between the items are part of each item.

#include <string>
#include <string_view>

namespace kes {

// The options the converters of the mpeg2avi family share, for the rip and for the preview.
struct ConverterSettings {
    std::string vobFile; // the first VOB: the list "vob.lst" stands in its folder
    std::string aviFile; // the video AVI: the converter writes into its folder
    bool forceDeint = false;
    bool px3gui = false;
    bool dual = false;
    // The time range; a negative second count is a time text that could not be read.
    bool range = false;
    int rangeStart = 0;
    int rangeEnd = 0;
    std::string fps;
    std::string postFilter;
    std::string refQuality;
    bool crop = false;
    std::string xCrop;
    std::string yCrop;
    bool halfres = false;
    bool downX = false;
    std::string xSize;
    bool downY = false;
    std::string ySize;
    bool ivtc = false;
    std::string ivtcNb;
    std::string output;
};

// The frame number of a time: seconds × 25 when the frame-rate text contains "25", else seconds ×
// 29.97 rounded to the nearest integer with halves to the even neighbour (computed exactly).
long long frameNumber(long long seconds, std::string_view fps);

// The complete converter line of the rip; externDir ends with "/".
std::string converterLine(const ConverterSettings& s, std::string_view externDir);

// The preview programs.
enum class PreviewKind {
    AsOptions, // the options choose the program
    Adjust,    // always the on-screen adjusting program
};

struct PreviewSettings {
    ConverterSettings video;
    bool prevstart = false;
    std::string min; // the start position in units of 5000 sectors
};

struct PreviewPlan {
    // The range was asked for but a time could not be read: the preview runs without it.
    bool rangeUnreadable = false;
    // The end of the range lies before its start: nothing runs.
    bool rangeReversed = false;
    // The start position is not an integer: the conversion error's text, and nothing runs.
    std::string conversionError;
    // The line to run; empty when nothing runs.
    std::string line;
};

PreviewPlan previewLine(const PreviewSettings& s, PreviewKind kind, std::string_view externDir);

// The AC3 decoder line without its folder.
struct Ac3DecSettings {
    std::string vobFile;
    bool ripAll = false;
    std::string samplerate;
    std::string wavFile; // the WAV of the stream the line is for
};
std::string ac3DecLine(const Ac3DecSettings& s, std::string_view subStream);

// The codec-dialog automation line for one output of the rip.
struct AutoDivXSettings {
    std::string startDir; // the program folder, without a trailing "/"
    std::string codec;    // the codec of this output
    std::string rate;     // the bit rate of this output
    std::string kframe;
    std::string crisp;
    std::string d4vbr;
    std::string aviFile;
    std::string finalFile;
};

// The first-pass log of the DivX 4 codec: the folder of the video AVI, then the name of the final AVI
// without its first ".avi" (any case), then ".log".
std::string divx4LogPath(std::string_view aviFile, std::string_view finalFile);

// Raises platform::core::ConvertError when the DivX 4 line needs a key-frame text that is no integer.
std::string autoDivXLine(const AutoDivXSettings& s);

} // namespace kes
