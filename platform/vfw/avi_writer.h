#pragma once

// Writing an AVI 1.0 file: streams are declared, then chunks are appended in the order they come (the
// interleave is the caller's order of writes). The header area is reserved at the first write and
// written, with every length and size, when the file is finished; idx1 follows the movi list. The file
// is built under a temporary name and takes its own name only when it is finished whole.

#include "platform/mmio/riff_file.h"
#include "platform/vfw/vfw_types.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace platform::vfw {

class AviWriter {
public:
    // Null when the file cannot be created (a missing folder, no permission).
    static std::unique_ptr<AviWriter> create(std::string_view path);
    ~AviWriter(); // an unfinished file is discarded
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    HRESULT createStream(const AVISTREAMINFO& info, int& index);
    HRESULT setFormat(int stream, const void* format, LONG size);
    HRESULT write(int stream, LONG start, LONG samples, const void* data, LONG bytes, DWORD flags,
                  LONG* samplesWritten, LONG* bytesWritten);

    int streamCount() const { return static_cast<int>(streams_.size()); }
    AVISTREAMINFO streamInfo(int stream) const;
    const std::vector<uint8_t>& streamFormat(int stream) const;

    // Writes the headers and the index and gives the file its name. AVIERR_FILEWRITE when anything
    // could not be stored (the file is then removed). Later calls return the first result.
    HRESULT finish();
    bool finished() const { return finished_; }

private:
    struct Stream {
        AVISTREAMINFO info;
        std::vector<uint8_t> format;
        bool formatSet = false;
        bool started = false;
        int64_t length = 0;
        int64_t bytes = 0;
        uint32_t largest = 0;
        FOURCC ckid = 0;
    };
    struct IndexEntry {
        FOURCC ckid;
        DWORD flags;
        uint32_t offset; // of the chunk header, from the "movi" list type
        uint32_t size;
    };

    explicit AviWriter(std::unique_ptr<mmio::RiffFile> file) : file_(std::move(file)) {}
    int64_t headerSize() const;
    HRESULT startData();
    HRESULT fillGap(Stream& s, int stream, int64_t gap);
    HRESULT appendChunk(int stream, const void* data, uint32_t size, DWORD flags);
    std::vector<uint8_t> buildHeaders() const;
    void appendMainHeader(std::vector<uint8_t>& out) const;
    void appendStreamList(std::vector<uint8_t>& out, const Stream& s) const;
    bool put(const std::vector<uint8_t>& bytes, int64_t at);

    std::unique_ptr<mmio::RiffFile> file_;
    std::vector<Stream> streams_;
    std::vector<IndexEntry> index_;
    int64_t moviListOffset_ = -1; // the movi list's "LIST"; -1 until the first write
    int64_t pos_ = 0;             // end of the data written so far
    bool failed_ = false;
    bool finished_ = false;
    HRESULT finishResult_ = AVIERR_OK;
    std::vector<uint8_t> scratch_;
};

} // namespace platform::vfw
