#pragma once

// The files of a list read as one stream: every file is held open while the reader is open, and a
// read at a 64-bit position of the joined stream crosses from one file into the next without a gap.
// Failures are shown through the message sink and leave the reader as it was.
//
// Invariant while open and after every successful seek or read: position = sizes of the files before
// fileIndex + fileOffset, and the current file's pointer stands at fileOffset.

#include "quillon/file_list.h"
#include "quillon/message_sink.h"

#include <cstdint>
#include <vector>

namespace quillon {

// The largest single read from one file: the size cat reads in, which keeps the per-call cost well
// below the copying cost (16 KiB pieces read a warm cache at about 0.7 of cat's rate).
inline constexpr int64_t kReadPiece = 128 * 1024;

class MultipleFileInputer {
public:
    explicit MultipleFileInputer(MessageSink& sink) : sink_(sink) {}
    ~MultipleFileInputer();
    MultipleFileInputer(const MultipleFileInputer&) = delete;
    MultipleFileInputer& operator=(const MultipleFileInputer&) = delete;

    // Closes, then opens every file of the list (which must outlive the reader while it is open).
    // An empty list, or a file that cannot be opened, leaves the reader closed.
    void open(const FileList& list);
    void close();
    void seek(int64_t pos);
    // Reads n bytes from the current position into buffer; returns the bytes delivered, which are
    // fewer than n only when a file fails or ends early.
    int64_t readBlock(void* buffer, int64_t n);
    void seekFileAndPosition(int32_t index, int64_t offset);

    bool isOpen() const { return isOpen_; }
    int64_t total() const { return total_; }
    int64_t position() const { return position_; }
    int32_t fileIndex() const { return fileIndex_; }
    int64_t fileOffset() const { return fileOffset_; }

private:
    // Moves to the file at index and offset; false (after a warning) when it cannot.
    bool moveTo(int32_t index, int64_t offset);
    // After the current file is read to its end: the next file that has bytes, if any.
    void enterNextFile();
    int32_t count() const { return static_cast<int32_t>(sizes_.size()); }

    MessageSink& sink_;
    bool isOpen_ = false;
    int64_t total_ = 0;
    int64_t position_ = 0;
    int32_t fileIndex_ = 0;
    std::vector<int64_t> sizes_; // the list's sizes at open
    std::vector<int> handles_;   // -1 until opened
    int64_t fileOffset_ = 0;
    int64_t fileSize_ = 0;
    int currentHandle_ = -1;
};

} // namespace quillon
