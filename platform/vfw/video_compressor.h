#pragma once

// Installable video compressors: codec drivers are shared objects in the system folder ("divx.dll",
// "divxc32.dll", ...) that export the driver table of codec_driver_abi.h. A VideoCompressor is one
// opened driver: its settings (the controls of its settings window), then begin, one compress call per
// frame, end.
//
// Every frame handed in gives exactly one compressed frame back, in order (the drivers make no
// B-frames), so a caller writes each result as the next AVI chunk with AVIIF_KEYFRAME when keyFrame
// is set. The compressed stream's format for the AVI stream header is outputFormat() after begin():
// fccHandler and biCompression are handler().
//
// The system folder is KESTROVA_SYSTEM_DIR when set, else "system" beside the folder of the running
// program (a program in extern/ finds the program folder's system/).

#include "platform/vfw/vfw_types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CodecDriverApi;

namespace platform::vfw {

// Colour formats a compressor accepts.
enum class InputFormat {
    RGB24, // one plane, 3 bytes per pixel in B, G, R order (DIB byte order)
    YV12,  // planar 4:2:0: plane 0 Y, plane 1 U (Cb), plane 2 V (Cr), chroma at half width and height
    YUY2,  // one plane, packed 4:2:2: Y0 U Y1 V per pixel pair
};

// What begin() is told about the frames to come.
struct CompressorInput {
    int width = 0;         // even, > 0
    int height = 0;        // even, > 0
    uint32_t rateNum = 25; // frames per second = rateNum / rateDen (25/1, 24000/1001, 30000/1001, ...)
    uint32_t rateDen = 1;
    InputFormat format = InputFormat::YV12;
    // Frames the caller means to compress (0 when unknown). The second pass of a two-pass encode uses it
    // to check the first pass's log.
    int64_t frameCount = 0;
    // The pixel aspect of the pictures (a pixel's width over its height: 64/45 for a 16:9 PAL picture
    // of 720x576), written into the stream where its format carries one; 0/0 when unknown, which
    // players take as square pixels.
    uint32_t aspectNum = 0;
    uint32_t aspectDen = 0;
};

// One picture: rows top-down; a plane's stride is the byte distance between the starts of two rows
// (a negative stride with data at the last row's start hands in bottom-up rows). Planes a format does
// not use are ignored.
struct InputPicture {
    const uint8_t* data[3] = {nullptr, nullptr, nullptr};
    int stride[3] = {0, 0, 0};
};

struct CompressedFrame {
    std::vector<uint8_t> data;
    bool keyFrame = false;
};

// One control of a compressor's settings window, named as the codec-dialog automation names it:
// "ED00" (edit box), "CB01" (combo box), "SB00" (slider).
struct CodecControl {
    std::string id;
    std::string label;
    std::string value;              // current value as text
    std::vector<std::string> items; // combo box entries
    int minimum = 0;                // slider range
    int maximum = 0;
};

// A driver found in the system folder.
struct CompressorInfo {
    std::string file;        // driver file name as found ("divxc32.dll")
    FOURCC handler = 0;      // FourCC it compresses to ("DIV3")
    std::string name;        // short name ("DivX 3 Low")
    std::string description; // the chooser's entry ("DivX ;-) MPEG-4 Low-Motion")
};

// The system folder that drivers are looked up in (see above).
std::string codecSystemFolder();
// The drivers of the system folder, in file-name order (files that are not drivers are skipped).
std::vector<CompressorInfo> listCompressors();

class VideoCompressor {
public:
    // The first driver (in listCompressors() order) that compresses to the FourCC (any letter case);
    // null with a message when there is none.
    static std::unique_ptr<VideoCompressor> open(FOURCC handler, std::string& error);
    // The driver file of that name in the system folder (matched without regard to case).
    static std::unique_ptr<VideoCompressor> openFile(const std::string& fileName, std::string& error);
    ~VideoCompressor();
    VideoCompressor(const VideoCompressor&) = delete;
    VideoCompressor& operator=(const VideoCompressor&) = delete;

    const CompressorInfo& info() const { return info_; }
    FOURCC handler() const { return info_.handler; }

    // The settings window's controls with their current values (registry settings already applied).
    std::vector<CodecControl> controls() const;
    // Sets one control ("ED00", ...) from its text as a person would type or choose it; false with a
    // message when the control does not exist or the value does not fit it.
    bool setControl(const std::string& id, const std::string& value, std::string& error);
    std::string control(const std::string& id) const;

    // Starts a compression run; false with a message when the input cannot be compressed (odd size,
    // a second pass without a usable first-pass log, ...).
    bool begin(const CompressorInput& input, std::string& error);
    // The compressed stream's format, valid after begin().
    const BITMAPINFOHEADER& outputFormat() const { return format_; }
    // Compresses the next frame.
    bool compress(const InputPicture& picture, CompressedFrame& out, std::string& error);
    // Ends the run (a first pass writes its log here); false with a message when that fails. A
    // compressor destroyed before end() drops its run and writes no log.
    bool end(std::string& error);

    // Decompression of this driver's own stream, for checks and previews: begin with the stream's
    // size, then one call per compressed frame, giving top-down B, G, R rows (width × 3 bytes each).
    bool beginDecompress(int width, int height, std::string& error);
    bool decompress(const uint8_t* data, size_t size, std::vector<uint8_t>& rgb24, std::string& error);
    void endDecompress();

private:
    VideoCompressor() = default;
    static std::unique_ptr<VideoCompressor> load(const std::string& path, std::string& error);

    void* library_ = nullptr;
    const ::CodecDriverApi* api_ = nullptr;
    void* instance_ = nullptr;
    CompressorInfo info_;
    BITMAPINFOHEADER format_;
    bool running_ = false;
    bool decompressing_ = false;
    int decodeWidth_ = 0;
    int decodeHeight_ = 0;
};

} // namespace platform::vfw
