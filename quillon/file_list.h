#pragma once

// The list file of a VOB set: one path per line (CR, LF or both, blank lines ignored), and the size
// of every file it names, learnt when the list is loaded.

#include "quillon/message_sink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A list file above this size is questioned before it is read.
inline constexpr int64_t kListQuestionSize = 1024;
// A list file above this size is not read at all: no list of paths comes near it.
inline constexpr int64_t kListMaxSize = 64 * 1024 * 1024;

class FileList {
public:
    explicit FileList(MessageSink& sink) : sink_(sink) {}

    // Replaces the contents with the list at path; without a path, or on any failure, the list is empty.
    // A list file of acceptedSize bytes was already let through the question: it is not asked again.
    void load(std::optional<std::string_view> path, int64_t acceptedSize = -1);
    void free();
    // Takes the contents of another list (loaded without a lock held), leaving it empty.
    void takeFrom(FileList& other);

    int32_t count() const { return static_cast<int32_t>(names_.size()); }
    int64_t total() const { return total_; }
    const std::vector<std::string>& names() const { return names_; }
    // 0 for a file that could not be opened when the list was loaded.
    const std::vector<int64_t>& sizes() const { return sizes_; }

    // The size of the list file the last load read, -1 when it read none.
    int64_t fileSize() const { return fileSize_; }

    // The lines of a list text: runs of bytes other than CR, LF and NUL; the text ends at its first NUL.
    static std::vector<std::string> splitLines(std::string_view text);

private:
    std::optional<std::string> readListFile(std::string_view path, int64_t acceptedSize);

    MessageSink& sink_;
    std::vector<std::string> names_;
    std::vector<int64_t> sizes_;
    int64_t total_ = 0;
    int64_t fileSize_ = -1;
};

} // namespace quillon
