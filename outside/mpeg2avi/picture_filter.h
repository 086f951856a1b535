#pragma once

// The picture work between the decoder and the codec, as one FFmpeg filter graph: inverse telecine
// (field matching, deinterlacing of what stays combed, removal of the repeated frame) or
// deinterlacing, the resize, the crop from the centre and the conversion to the codec's colour format.

#include "outside/mpeg2avi/geometry.h"
#include "outside/mpeg2avi/options.h"

#include <cstdint>
#include <memory>
#include <string>

struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;

namespace mpeg2avi {

struct SourceFormat {
    int width = 0, height = 0;
    int pixelFormat = 0; // FFmpeg's pixel format of the decoded pictures
    int sarNum = 1, sarDen = 1;
    FrameRate rate;
};

// The filter chain text for FFmpeg's graph parser (without source and sink), for a source of that
// frame rate.
std::string filterChain(const ConvertOptions& options, const Geometry& geometry, FrameRate source);

// FFmpeg's pixel format for a codec colour format.
int pixelFormatOf(ColourFormat colour);

class PictureFilter {
public:
    static std::unique_ptr<PictureFilter> create(const ConvertOptions& options, const Geometry& geometry,
                                                 const SourceFormat& source, std::string& error);
    ~PictureFilter();

    // Hands in a picture at a time in ticks (the graph takes its own reference; the caller keeps and
    // unrefs its own); null ends the input. False when the graph fails.
    bool push(AVFrame* frame, int64_t time);
    // The next filtered picture and its time in ticks; false when none is ready.
    bool pull(AVFrame* frame, int64_t& time);
    // The nominal rate of the filtered pictures (the source's, or film rate after inverse telecine).
    FrameRate outputRate() const;

private:
    PictureFilter() = default;
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
};

} // namespace mpeg2avi
