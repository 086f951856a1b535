#pragma once

// The VobSub pair as FFmpeg reads it: libavformat's index demuxer, and libavcodec's DVD subtitle
// decoder for the bitmaps. An independent reader of what the extractor writes.

#include <cstdint>
#include <string>
#include <vector>

namespace kes::test {

struct DecodedSubtitle {
    int64_t startMs = 0; // the packet's time
    int64_t durationMs = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> indexes;  // colour indexes 0-3, row by row
    std::vector<uint32_t> colours; // the four colours (0xAARRGGBB as the decoder gives them)
};

struct FfmpegSubtitleStream {
    int id = -1; // the "index:" of the block
    std::string language;
    int width = 0, height = 0;
    std::vector<DecodedSubtitle> subtitles;
};

// Empty when FFmpeg cannot open the index; error gets its reason.
std::vector<FfmpegSubtitleStream> readWithFfmpeg(const std::string& idxPath, std::string* error);

// The subpicture streams of a VOB file (the generator's output) as FFmpeg's program stream demuxer
// and DVD subtitle decoder see them; id is the sub-stream id.
std::vector<FfmpegSubtitleStream> readVobWithFfmpeg(const std::string& vobPath, std::string* error);

} // namespace kes::test
