// Walks everything a file offers through the same code the interface uses, from bytes in memory.

#include "platform/vfw/avi_fuzz.h"

#include "platform/vfw/avi_handles.h"
#include "platform/vfw/avi_reader.h"
#include "platform/vfw/avifile.h"
#include "platform/vfw/getframe.h"

#include <algorithm>
#include <vector>

namespace platform::vfw {

namespace {
// Enough to reach every branch without letting a fuzzer's input take long.
constexpr LONG MaxSamplesRead = 4096;
constexpr LONG FramesDecoded = 8;
constexpr LONG ReadBufferSize = 1 << 16;
} // namespace

int exerciseAviBytes(const uint8_t* data, size_t size) {
    auto file = std::make_unique<AviFile>();
    file->source = memorySource(data, size);
    if (parseMediaFile(*file->source, file->parsed) != AVIERR_OK)
        return -1;
    PAVIFILE pfile = file.release();
    const int streams = pfile->streamCount();
    std::vector<uint8_t> buffer(ReadBufferSize);
    for (int i = 0; i < streams; ++i) {
        PAVISTREAM s = nullptr;
        if (AVIFileGetStream(pfile, &s, 0, i) != AVIERR_OK)
            continue;
        AVISTREAMINFO info;
        AVIStreamInfo(s, &info, sizeof info);
        LONG formatSize = 0;
        AVIStreamFormatSize(s, 0, &formatSize);
        std::vector<uint8_t> format(static_cast<size_t>(std::max<LONG>(formatSize, 0)));
        AVIStreamReadFormat(s, 0, format.data(), &formatSize);
        const LONG end = AVIStreamEnd(s);
        LONG reads = 0;
        for (LONG pos = AVIStreamStart(s); pos < end && reads < MaxSamplesRead; ++reads) {
            LONG got = 0;
            if (AVIStreamRead(s, pos, AVISTREAMREAD_CONVENIENT, buffer.data(), ReadBufferSize, nullptr,
                              &got) != AVIERR_OK ||
                got <= 0)
                ++pos;
            else
                pos += got;
            AVIStreamIsKeyFrame(s, pos);
            AVIStreamNextKeyFrame(s, pos);
            AVIStreamPrevKeyFrame(s, pos);
            AVIStreamSampleToTime(s, pos);
        }
        if (PGETFRAME g = AVIStreamGetFrameOpen(s, nullptr); g != nullptr) {
            for (LONG f = 0; f < FramesDecoded; ++f)
                AVIStreamGetFrame(g, AVIStreamStart(s) + f);
            AVIStreamGetFrame(g, end - 1);
            AVIStreamGetFrameClose(g);
        }
        AVIStreamRelease(s);
    }
    AVIFileRelease(pfile);
    return streams;
}

} // namespace platform::vfw
