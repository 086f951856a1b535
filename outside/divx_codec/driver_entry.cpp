// The exported driver table of one DivX codec file; KES_DIVX_FAMILY picks which (0 DivX 4,
// 1 DivX 3 Low-Motion, 2 DivX 3 Fast-Motion).

#include "outside/divx_codec/codec_settings.h"
#include "outside/divx_codec/driver_controls.h"
#include "outside/divx_codec/video_decoder.h"
#include "outside/divx_codec/video_encoder.h"
#include "platform/core/processors.h"
#include "platform/vfw/codec_driver_abi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace divx_codec {

namespace {

constexpr CodecFamily Family = static_cast<CodecFamily>(KES_DIVX_FAMILY);
constexpr uint16_t CompressedBitCount = 24;

struct Instance {
    RegistrySettings registry = readRegistrySettings();
    DialogSettings dialog = defaultDialogSettings(Family);
    VideoEncoder encoder;
    VideoDecoder decoder;
    std::string controlsText;
    std::vector<uint8_t> packet;
};

Instance* self(void* instance) {
    return static_cast<Instance*>(instance);
}

void report(const std::string& message, char* error, size_t size) {
    if (error && size > 0)
        std::snprintf(error, size, "%s", message.c_str());
}

constexpr uint32_t tag(const char* t) {
    return static_cast<uint32_t>(static_cast<unsigned char>(t[0])) |
           static_cast<uint32_t>(static_cast<unsigned char>(t[1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(t[2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(t[3])) << 24;
}

uint32_t handlerTag() {
    return Family == CodecFamily::DivX4 ? tag("DIVX") : tag("DIV3");
}

void getInfo(CodecDriverInfo* info) {
    *info = CodecDriverInfo{};
    const char* name = "DivX 4";
    const char* description = "DivX Codec 4.12";
    info->handler = handlerTag();
    if (Family == CodecFamily::DivX3Low) {
        name = "DivX 3 Low";
        description = "DivX ;-) MPEG-4 Low-Motion";
    } else if (Family == CodecFamily::DivX3Fast) {
        name = "DivX 3 Fast";
        description = "DivX ;-) MPEG-4 Fast-Motion";
    }
    std::snprintf(info->name, sizeof info->name, "%s", name);
    std::snprintf(info->description, sizeof info->description, "%s", description);
}

void* open() {
    return new (std::nothrow) Instance();
}

void close(void* instance) {
    delete self(instance);
}

const char* controls(void* instance) {
    Instance* in = self(instance);
    in->controlsText = describeControls(Family, in->dialog);
    return in->controlsText.c_str();
}

int setControlEntry(void* instance, const char* id, const char* value, char* error, size_t size) {
    std::string why;
    if (setControl(Family, self(instance)->dialog, id ? id : "", value ? value : "", why))
        return 1;
    report(why, error, size);
    return 0;
}

int compressBegin(void* instance, const CodecDriverFormat* input, platform::vfw::BITMAPINFOHEADER* output,
                  char* error, size_t size) {
    Instance* in = self(instance);
    if (input->format < 0 || input->format > 2) {
        report("The colour format cannot be compressed", error, size);
        return 0;
    }
    in->registry = readRegistrySettings();
    const double fps = input->rateDen ? static_cast<double>(input->rateNum) / input->rateDen : 0.0;
    const EncoderParams params =
        mapSettings(Family, in->registry, in->dialog, fps, platform::core::usableProcessors());
    FrameSpec spec{input->width,
                   input->height,
                   input->rateNum,
                   input->rateDen,
                   static_cast<PixelLayout>(input->format),
                   input->frameCount,
                   input->aspectNum,
                   input->aspectDen};
    std::string why;
    if (!in->encoder.begin(spec, params, why)) {
        report(why, error, size);
        return 0;
    }
    platform::vfw::BITMAPINFOHEADER header;
    header.biWidth = input->width;
    header.biHeight = input->height;
    header.biBitCount = CompressedBitCount;
    header.biCompression = handlerTag();
    header.biSizeImage = static_cast<uint32_t>(input->width) * static_cast<uint32_t>(input->height) * 3;
    *output = header;
    return 1;
}

int compress(void* instance, const CodecDriverPicture* picture, CodecDriverPacket* packet, char* error,
             size_t size) {
    Instance* in = self(instance);
    Planes planes;
    for (int i = 0; i < 3; ++i) {
        planes.data[i] = picture->data[i];
        planes.stride[i] = picture->stride[i];
    }
    bool key = false;
    std::string why;
    if (!in->encoder.compress(planes, in->packet, key, why)) {
        report(why, error, size);
        return 0;
    }
    packet->data = in->packet.data();
    packet->size = in->packet.size();
    packet->keyFrame = key ? 1 : 0;
    return 1;
}

int compressEnd(void* instance, char* error, size_t size) {
    std::string why;
    if (self(instance)->encoder.end(why))
        return 1;
    report(why, error, size);
    return 0;
}

int decompressBegin(void* instance, int32_t width, int32_t height, char* error, size_t size) {
    std::string why;
    if (self(instance)->decoder.begin(Family != CodecFamily::DivX4, width, height, why))
        return 1;
    report(why, error, size);
    return 0;
}

int decompress(void* instance, const uint8_t* data, size_t bytes, uint8_t* rgb24, char* error, size_t size) {
    std::string why;
    if (self(instance)->decoder.decode(data, bytes, rgb24, why))
        return 1;
    report(why, error, size);
    return 0;
}

void decompressEnd(void* instance) {
    self(instance)->decoder.end();
}

const CodecDriverApi Table = {
    CodecDriverAbiVersion, getInfo,  open,        close,           controls,   setControlEntry,
    compressBegin,         compress, compressEnd, decompressBegin, decompress, decompressEnd,
};

} // namespace

} // namespace divx_codec

extern "C" __attribute__((visibility("default"))) const CodecDriverApi* kesCodecDriver() {
    return &divx_codec::Table;
}
