#pragma once

// A VobSub index (".idx") as the adjuster edits it: its lines, its language blocks and its default
// language line, with the shift, the frame-rate change and the cut for the second part of a split
// movie. Line numbers are 1-based; 0 means "none".

#include "tools/vobsub_adjuster/idx_time.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools::vobsub_adjuster {

// Text of the start time of a language before its first timestamp line is seen.
inline constexpr const char* NoStartTime = "---";

struct IdxLanguage {
    std::string name;
    int streamIndex = -1; // -1 when the "index:" number cannot be read
    int firstLine = 0;    // the comment line before the "id:" line, or the "id:" line when there is none
    int idLine = 0;       // the "id:" line
    int lastLine = 0;     // the line before the next language's first line, or the last line
    std::string startTime = NoStartTime;
    int firstTimestampLine = 0;
    double firstTimestampSeconds = 0;
};

enum class IdxLoadStatus { Ok, CannotRead, TooLarge };

enum class CutStatus {
    Ok,
    NoLanguage,    // no current language to cut
    NothingToKeep, // no timestamp of any language reaches the cut time
};

struct CutResult {
    CutStatus status = CutStatus::NoLanguage;
    std::vector<std::string> lines; // the part-2 index when Ok
};

class VobSubIndex {
public:
    // Reads the whole file (line ends CR LF, LF or CR) and builds the language records.
    IdxLoadStatus load(std::string_view path);
    // Writes every line, each ended by CR LF, through a temporary file.
    bool save(std::string_view path) const;

    void setLines(std::vector<std::string> lines);
    const std::vector<std::string>& lines() const { return lines_; }
    const std::string& line(int number) const; // an empty text outside the file

    // Rebuilds the language records in one pass; returns the default language (the first whose stream
    // index equals the "langidx:" value), or -1 when there is none.
    int organize();
    const std::vector<IdxLanguage>& languages() const { return languages_; }
    int langidxLine() const { return langidxLine_; }
    std::optional<int> defaultStreamIndex() const { return defaultStreamIndex_; }

    // Makes a language the default: the "langidx:" line reads "langidx: " and its stream index.
    void setDefaultLanguage(int language);

    // Adds value seconds to every timestamp of a language (times below 0 become 0).
    void shift(int language, double value);
    // Multiplies every timestamp of a language by factor.
    void scale(int language, double factor);
    // The index of the second part of a movie cut at cutSeconds: every language's subtitles from the
    // cut on, moved back by it; refused when no language has any (see the .cpp).
    CutResult cut(int language, double cutSeconds) const;

private:
    bool anySubtitleFrom(double cutSeconds) const;
    void cutLanguage(const IdxLanguage& record, double cutSeconds, std::vector<std::string>& out) const;
    bool validLanguage(int language) const;
    void adjustLanguage(int language, TimeOperation operation, double value);

    std::vector<std::string> lines_;
    std::vector<IdxLanguage> languages_;
    int langidxLine_ = 0;
    std::optional<int> defaultStreamIndex_;
};

// The adjusted index: "_adjust" inserted before the ".idx" extension (movie.IDX -> movie_adjust.IDX).
std::string adjustedIndexPath(std::string_view indexPath);
// The index of the second part: "2" inserted the same way (movie.idx -> movie2.idx).
std::string part2IndexPath(std::string_view indexPath);

// Largest index file the adjuster reads whole.
inline constexpr int64_t MaxIndexBytes = 64 * 1024 * 1024;

} // namespace tools::vobsub_adjuster
