#pragma once

// The objects behind the interface's handles: a file being read (its bytes and what the reader found)
// or being written (its writer), and a stream of either, each reference counted.

#include "platform/vfw/avi_writer.h"
#include "platform/vfw/byte_source.h"
#include "platform/vfw/stream_data.h"

#include <memory>

namespace platform::vfw {

class AviFile {
public:
    ULONG refs = 1;
    std::unique_ptr<ByteSource> source; // reading
    ParsedFile parsed;
    std::unique_ptr<AviWriter> writer; // writing

    bool writing() const { return writer != nullptr; }
    int streamCount() const;
};

class AviStream {
public:
    AviStream(AviFile* owner, int stream) : file(owner), index(stream) {}

    ULONG refs = 1;
    AviFile* file; // holds one reference
    int index;

    // The stream of a file being read; null for one being written.
    const StreamData* data() const;
    AVISTREAMINFO info() const;
};

} // namespace platform::vfw
