#pragma once

// The report of a finished rip, built without a window from the choices of the rip and what the rip
// sequence recorded: the profile and its description, the codec settings, each ticked step's duration,
// free space and stream lengths with their warnings, and the total time. Also the log file's name, the
// encoding speed of the video step and what the end of the report does.

#include "kes/form1_unit.h"
#include "kes/rip_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kes {

// The choices of the rip that the report shows, as the main window's controls hold them.
struct ReportChoices {
    std::string profileName; // "None" leaves the name out
    std::string description;
    bool ripVid = false;
    bool divxAuto = false;
    bool ripAudio = false;
    bool twostreams = false;
    bool normal = false;
    bool norm2Other = false;
    bool compress = false;
    bool audioRange = false;
    bool merge = false;
    std::string divFR;
    std::string kframe;
    std::string crisp;
    std::string encodingSpeed;
    std::string secondStreamHeading; // the caption of the second-stream check box
};

// Labels are padded with blanks to this many characters, so that values start in the next column.
inline constexpr int ReportLabelWidth = 40;

// The label followed by blanks up to width characters; a label of width characters or more is cut
// to its first width. Characters are counted as UTF-8 characters, and a cut never splits one.
std::string PadLabel(std::string_view label, int width);

// A step's duration as a time of day, "hh:mm:ss".
std::string durationText(DateTime start, DateTime end);
// A length in seconds in the shortest general form, followed by " sec.".
std::string lengthText(double seconds);

// The whole report; every line ends with CR LF except the last (the total time).
std::string buildRipReport(const ReportChoices& choices, const TRipRecord& record, const TextTable& messages);

// The log file's path: logsFolder (with its trailing "/") + profile name + "_D" + date + "_T" + time +
// ".log", where every ":" and "/" of the file name (the profile name included) becomes "_". The
// folder part is kept as it is.
std::string logFilePath(const std::string& logsFolder, const std::string& profileName,
                        const std::string& dateText, const std::string& timeText);

// What the report step does once the report is written.
enum class ReportEnd { Shutdown, Nothing, ShowBox };
ReportEnd reportEnd(bool shutdownAsked, bool multiRip);

// Frames per second of the finished video: the AVI's total frame count (scaled to 29.97 fps for a
// 23.976 fps source, as the converter counts frames) over the whole seconds of the rip, with one
// decimal. Empty when there is no count or the rip took less than a second.
std::string encodingSpeedText(std::optional<uint32_t> frameCount, const std::string& fps, DateTime ripStart,
                              DateTime ripEnd);

// The byte offset of the total-frames field of an AVI file's main header.
inline constexpr int64_t AviTotalFramesOffset = 48;

} // namespace kes
