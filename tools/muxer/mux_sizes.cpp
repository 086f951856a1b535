#include "tools/muxer/mux_sizes.h"

#include "tools/muxer/avi_refs.h"
#include "tools/muxer/mux_engine.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/mmio/avi_movi.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tools::muxer {

namespace core = platform::core;

namespace {

constexpr int64_t ListSizeBytes = 4;
constexpr const char* MoviId = "movi";
constexpr size_t MoviIdLength = 4;

// The size of the "LIST" that holds the "movi" list type, or -1 when there is none in the head.
int64_t moviListSize(const std::string& path) {
    // A match may start at any offset below the limit; the byte after it is read as well. Only the
    // head of a regular file is read: a pipe of that name is not waited on.
    const auto bytes = core::readFileHead(path, static_cast<int64_t>(MoviSearchBytes) + MoviIdLength);
    if (!bytes)
        return -1;
    const std::string& head = *bytes;
    const size_t got = head.size();
    for (size_t at = 0; at < static_cast<size_t>(MoviSearchBytes) && at + MoviIdLength <= got; ++at) {
        if (std::memcmp(head.data() + at, MoviId, MoviIdLength) != 0)
            continue;
        if (at + MoviIdLength < got && head[at + MoviIdLength] == 'e')
            continue;
        if (at < static_cast<size_t>(ListSizeBytes))
            continue; // no size stands before it
        uint32_t size = 0;
        for (size_t i = 0; i < static_cast<size_t>(ListSizeBytes); ++i)
            size |= static_cast<uint32_t>(static_cast<uint8_t>(head[at - ListSizeBytes + i])) << (8 * i);
        return size;
    }
    return -1;
}

int streamCount(const std::string& path) {
    AviLibrary library;
    FileRef file;
    if (vfw::AVIFileOpen(file.out(), path, vfw::OF_READ) != vfw::AVIERR_OK)
        return 0;
    vfw::AVIFILEINFO info;
    if (vfw::AVIFileInfo(file.get(), &info, sizeof info) != vfw::AVIERR_OK)
        return 0;
    return static_cast<int>(info.dwStreams);
}

} // namespace

int64_t getVideoSize(const std::string& path) {
    if (!core::fileExists(path))
        return 0;
    // Every "movi" list counts: an AVI over 1 GB holds its frames in several.
    int64_t size = platform::mmio::aviMoviBytes(path).value_or(-1);
    if (size < 0)
        size = moviListSize(path);
    if (size < 0)
        size = std::max<int64_t>(0, core::fileSize(path));
    if (streamCount(path) > 1)
        size -= getAudioSize(path);
    return size;
}

int64_t getAudioSize(const std::string& path) {
    AviLibrary library;
    StreamRef audio;
    if (vfw::AVIStreamOpenFromFile(audio.out(), path, vfw::streamtypeAUDIO, 0, vfw::OF_READ) !=
        vfw::AVIERR_OK)
        return 0;
    vfw::AVISTREAMINFO info;
    if (vfw::AVIStreamInfo(audio.get(), &info, sizeof info) != vfw::AVIERR_OK)
        return 0;
    const int64_t length = std::max<vfw::LONG>(0, vfw::AVIStreamLength(audio.get()));
    if (info.dwSampleSize > 0)
        return length * info.dwSampleSize;
    // Chunks of differing sizes (MP3 in AVI): the sum of their sizes.
    int64_t bytes = 0;
    const vfw::LONG start = vfw::AVIStreamStart(audio.get());
    for (int64_t i = 0; i < length; ++i) {
        vfw::LONG chunkBytes = 0;
        if (vfw::AVIStreamRead(audio.get(), static_cast<vfw::LONG>(start + i), 1, nullptr, 0, &chunkBytes,
                               nullptr) != vfw::AVIERR_OK)
            break;
        bytes += std::max<vfw::LONG>(0, chunkBytes);
    }
    return bytes;
}

bool measureAudioSource(const std::string& path, int64_t& bytes) {
    const std::string ext = core::upperAscii(core::extractFileExt(path));
    if (ext == ".AVI" || !core::fileExists(path))
        return false;
    if (ext != ".MP3") {
        bytes = getAudioSize(path);
        return true;
    }
    TemporaryName renamed(path, SizeWavName);
    bytes = getAudioSize(renamed.current());
    renamed.restore();
    return true;
}

} // namespace tools::muxer
