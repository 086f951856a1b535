#include "outside/mpeg2avi/avi_output.h"

#include "platform/vfw/video_properties.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <climits>

namespace mpeg2avi {

namespace vfw = platform::vfw;

AviOutput::~AviOutput() = default;

std::unique_ptr<AviOutput> AviOutput::create(std::unique_ptr<vfw::VideoCompressor> compressor,
                                             const vfw::CompressorInput& input, const std::string& path,
                                             std::string& error) {
    std::unique_ptr<AviOutput> out(new AviOutput());
    out->compressor_ = std::move(compressor);
    out->path_ = path;
    if (!out->compressor_->begin(input, error))
        return nullptr;
    out->writer_ = vfw::AviWriter::create(path);
    if (!out->writer_) {
        error = "The file " + path + " cannot be created.";
        return nullptr;
    }
    vfw::AVISTREAMINFO info;
    info.fccType = vfw::streamtypeVIDEO;
    info.fccHandler = out->compressor_->handler();
    info.dwScale = input.rateDen;
    info.dwRate = input.rateNum;
    info.dwQuality = 0xFFFFFFFF;
    info.rcFrame.right = input.width;
    info.rcFrame.bottom = input.height;
    // The file keeps the picture's shape for every codec, also for one whose stream cannot hold it.
    info.aspect = vfw::displayAspectOf(input.aspectNum, input.aspectDen, static_cast<uint32_t>(input.width),
                                       static_cast<uint32_t>(input.height));
    const vfw::BITMAPINFOHEADER& format = out->compressor_->outputFormat();
    if (out->writer_->createStream(info, out->stream_) != vfw::AVIERR_OK ||
        out->writer_->setFormat(out->stream_, &format, sizeof format) != vfw::AVIERR_OK) {
        error = "The video stream of " + path + " cannot be created.";
        return nullptr;
    }
    return out;
}

bool AviOutput::write(const AVFrame* picture, std::string& error) {
    vfw::InputPicture in;
    for (int plane = 0; plane < 3; ++plane) {
        in.data[plane] = picture->data[plane];
        in.stride[plane] = picture->linesize[plane];
    }
    if (!compressor_->compress(in, packet_, error))
        return false;
    if (packet_.data.size() > static_cast<size_t>(LONG_MAX)) {
        error = "A compressed frame is too large.";
        return false;
    }
    const auto bytes = static_cast<vfw::LONG>(packet_.data.size());
    if (writer_->write(stream_, static_cast<vfw::LONG>(frames_), 1, packet_.data.data(), bytes,
                       packet_.keyFrame ? vfw::AVIIF_KEYFRAME : 0, nullptr, nullptr) != vfw::AVIERR_OK) {
        error = "Writing " + path_ + " failed (is the disk full?).";
        return false;
    }
    ++frames_;
    return true;
}

bool AviOutput::finish(std::string& error) {
    if (!compressor_->end(error))
        return false;
    if (writer_->finish() != vfw::AVIERR_OK) {
        error = "Writing " + path_ + " failed (is the disk full?).";
        return false;
    }
    return true;
}

} // namespace mpeg2avi
