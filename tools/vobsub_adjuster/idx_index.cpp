#include "tools/vobsub_adjuster/idx_index.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tools::vobsub_adjuster {

namespace core = platform::core;

namespace {

constexpr std::string_view IdTag = "id:";
constexpr std::string_view IndexTag = "index:";
constexpr std::string_view LangidxTag = "langidx:";
constexpr std::string_view VobCellTag = "Vob/Cell";
constexpr std::string_view IdxExtension = ".idx";
constexpr const char* LangidxPrefix = "langidx: ";
// The stream index of an "id:" line follows its first 15 characters ("id: en, index: 0"), the
// default language's follows the first 9 of the "langidx:" line ("langidx: 0").
constexpr std::size_t StreamIndexColumn = 15;
constexpr std::size_t LangidxColumn = 9;
// A comment line is "# " followed by the language name.
constexpr std::size_t NameColumn = 2;
constexpr int NoNumber = -1;
constexpr int MaxStreamIndexDigits = 9;

bool contains(std::string_view line, std::string_view tag) {
    return line.find(tag) != std::string_view::npos;
}

// The number that starts after the first `column` characters (blanks before it are skipped), or -1.
int numberAfter(std::string_view line, std::size_t column) {
    if (line.size() <= column)
        return NoNumber;
    std::string_view rest = line.substr(column);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    int value = 0;
    int digits = 0;
    while (digits < static_cast<int>(rest.size()) && std::isdigit(static_cast<unsigned char>(rest[digits]))) {
        if (digits == MaxStreamIndexDigits)
            return NoNumber;
        value = value * 10 + (rest[digits] - '0');
        ++digits;
    }
    return digits == 0 ? NoNumber : value;
}

bool isCommentLine(std::string_view line) {
    return !line.empty() && line.front() == '#';
}

// The code of an "id:" line ("id: en, index: 0" gives "en").
std::string languageCode(std::string_view line) {
    std::string_view rest = line.substr(line.find(IdTag) + IdTag.size());
    rest = rest.substr(0, rest.find(','));
    return core::trim(std::string(rest));
}

std::string insertBeforeIdx(std::string_view path, std::string_view text) {
    const std::string name = core::extractFileName(path);
    const std::string lower = core::lowerAscii(name);
    if (lower.size() >= IdxExtension.size() &&
        lower.compare(lower.size() - IdxExtension.size(), IdxExtension.size(), IdxExtension) == 0) {
        std::string result(path);
        result.insert(result.size() - IdxExtension.size(), text);
        return result;
    }
    return core::insertBeforeExt(path, text);
}

} // namespace

IdxLoadStatus VobSubIndex::load(std::string_view path) {
    const int64_t size = core::fileSize(path);
    if (size < 0)
        return IdxLoadStatus::CannotRead;
    if (size > MaxIndexBytes)
        return IdxLoadStatus::TooLarge;
    // The limit holds for the read too, should the file grow after its size was taken.
    auto lines = core::readLines(path, MaxIndexBytes);
    if (!lines)
        return IdxLoadStatus::CannotRead;
    setLines(std::move(*lines));
    return IdxLoadStatus::Ok;
}

bool VobSubIndex::save(std::string_view path) const {
    return core::writeLines(path, lines_);
}

void VobSubIndex::setLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    organize();
}

const std::string& VobSubIndex::line(int number) const {
    static const std::string none;
    return number >= 1 && number <= static_cast<int>(lines_.size()) ? lines_[number - 1] : none;
}

int VobSubIndex::organize() {
    languages_.clear();
    langidxLine_ = 0;
    defaultStreamIndex_.reset();
    const int count = static_cast<int>(lines_.size());
    for (int i = 1; i <= count; ++i) {
        const std::string& text = lines_[i - 1];
        if (isTimestampLine(text)) {
            if (languages_.empty() || languages_.back().startTime != NoStartTime)
                continue;
            // A timestamp whose time cannot be read does not count as the language's start.
            if (const auto seconds = timestampSeconds(text)) {
                IdxLanguage& language = languages_.back();
                language.startTime = core::copy(text, TimeFieldStart, TimeFieldLength);
                language.firstTimestampLine = i;
                language.firstTimestampSeconds = *seconds;
            }
        } else if (contains(text, LangidxTag)) {
            const int value = numberAfter(text, LangidxColumn);
            defaultStreamIndex_ = value == NoNumber ? std::nullopt : std::optional<int>(value);
            langidxLine_ = i;
        } else if (contains(text, IdTag) && contains(text, IndexTag)) {
            IdxLanguage language;
            // VobSub names the language in a comment line just before "id:"; other programs write none,
            // and the language code of the "id:" line names it then.
            if (i > 1 && isCommentLine(lines_[i - 2]) && !contains(lines_[i - 2], VobCellTag)) {
                language.name =
                    core::copy(lines_[i - 2], NameColumn + 1, static_cast<int>(lines_[i - 2].size()));
                language.firstLine = i - 1;
            } else {
                language.name = languageCode(text);
                language.firstLine = i;
            }
            if (!languages_.empty())
                languages_.back().lastLine = language.firstLine - 1;
            language.idLine = i;
            language.streamIndex = numberAfter(text, StreamIndexColumn);
            languages_.push_back(std::move(language));
        }
    }
    if (!languages_.empty())
        languages_.back().lastLine = count;
    if (!defaultStreamIndex_)
        return -1;
    for (std::size_t i = 0; i < languages_.size(); ++i)
        if (languages_[i].streamIndex == *defaultStreamIndex_)
            return static_cast<int>(i);
    return -1;
}

bool VobSubIndex::validLanguage(int language) const {
    return language >= 0 && language < static_cast<int>(languages_.size());
}

void VobSubIndex::setDefaultLanguage(int language) {
    if (!validLanguage(language) || langidxLine_ == 0)
        return;
    const int index = languages_[language].streamIndex;
    lines_[langidxLine_ - 1] = LangidxPrefix + std::to_string(index);
    defaultStreamIndex_ = index;
}

void VobSubIndex::adjustLanguage(int language, TimeOperation operation, double value) {
    if (!validLanguage(language))
        return;
    const IdxLanguage& record = languages_[language];
    const int last = std::min(record.lastLine, static_cast<int>(lines_.size()));
    for (int i = std::max(record.firstLine, 1); i <= last; ++i)
        if (isTimestampLine(lines_[i - 1]))
            lines_[i - 1] = adjust(lines_[i - 1], operation, value);
}

void VobSubIndex::shift(int language, double value) {
    adjustLanguage(language, TimeOperation::Add, value);
}

void VobSubIndex::scale(int language, double factor) {
    adjustLanguage(language, TimeOperation::Multiply, factor);
}

// One language block of the second part: the block without its subtitles before the cut and without
// the "Vob/Cell" comments among them, but for the last of those (an empty line when there is none),
// which goes before the first subtitle kept; the kept subtitles are moved back by the cut time.
void VobSubIndex::cutLanguage(const IdxLanguage& record, double cutSeconds,
                              std::vector<std::string>& out) const {
    const int last = std::min(record.lastLine, static_cast<int>(lines_.size()));
    int cellLine = 0;
    bool keeping = false;
    for (int i = std::max(record.firstLine, 1); i <= last; ++i) {
        const std::string& text = lines_[i - 1];
        if (!keeping) {
            if (i > record.idLine && contains(text, VobCellTag)) {
                cellLine = i;
                continue;
            }
            if (!isTimestampLine(text)) {
                out.push_back(text);
                continue;
            }
            const auto seconds = timestampSeconds(text);
            if (!seconds || *seconds < cutSeconds)
                continue;
            keeping = true;
            out.push_back(cellLine != 0 ? lines_[cellLine - 1] : std::string());
        }
        out.push_back(isTimestampLine(text) ? adjust(text, TimeOperation::Add, -cutSeconds) : text);
    }
}

// The second part of a movie cut at cutSeconds: the index's head as it stands, then every language
// block cut at that time (a language with nothing after the cut keeps its "id:" line and no subtitle).
// Refused when no language has a subtitle from the cut on; the given language need not be one of those
// that have.
CutResult VobSubIndex::cut(int language, double cutSeconds) const {
    CutResult result;
    if (!validLanguage(language))
        return result;
    if (!anySubtitleFrom(cutSeconds)) {
        result.status = CutStatus::NothingToKeep;
        return result;
    }
    std::vector<std::string>& out = result.lines;
    for (int i = 1; i < languages_.front().firstLine; ++i)
        out.push_back(lines_[i - 1]);
    for (const IdxLanguage& block : languages_)
        cutLanguage(block, cutSeconds, out);
    result.status = CutStatus::Ok;
    return result;
}

bool VobSubIndex::anySubtitleFrom(double cutSeconds) const {
    for (const IdxLanguage& record : languages_) {
        const int last = std::min(record.lastLine, static_cast<int>(lines_.size()));
        for (int i = std::max(record.firstLine, 1); i <= last; ++i) {
            if (!isTimestampLine(lines_[i - 1]))
                continue;
            const auto seconds = timestampSeconds(lines_[i - 1]);
            if (seconds && *seconds >= cutSeconds)
                return true;
        }
    }
    return false;
}

std::string adjustedIndexPath(std::string_view indexPath) {
    return insertBeforeIdx(indexPath, "_adjust");
}

std::string part2IndexPath(std::string_view indexPath) {
    return insertBeforeIdx(indexPath, "2");
}

} // namespace tools::vobsub_adjuster
