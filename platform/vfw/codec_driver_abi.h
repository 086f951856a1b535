#pragma once

// The table a codec driver exports: a shared object in the system folder with the C function
// `kesCodecDriver` returning a pointer to a static CodecDriverApi. Only plain C types cross the
// boundary, so a driver may be built apart from its host. All texts are UTF-8, NUL-terminated.
//
// Every call that can fail returns 1 on success and 0 on failure, with a message written into the
// caller's buffer (error, errorSize; truncated to fit, always NUL-terminated).
//
// The controls text lists a driver's settings window, one control per line (LF-ended), fields split
// by TAB: id ("ED00", "CB01", "SB00"), label, current value, minimum, maximum, and the combo box's
// entries split by the unit separator (0x1F). The text stays valid until the next call on the
// same instance.

#include "platform/vfw/vfw_types.h"

#include <cstddef>
#include <cstdint>

extern "C" {

inline constexpr uint32_t CodecDriverAbiVersion = 2;
inline constexpr const char* CodecDriverEntry = "kesCodecDriver";

struct CodecDriverInfo {
    uint32_t handler;      // FourCC of the compressed stream
    char name[32];         // short name
    char description[128]; // the entry the compressor chooser lists
};

// InputFormat of video_compressor.h as an integer: 0 RGB24, 1 YV12, 2 YUY2.
struct CodecDriverFormat {
    int32_t width;
    int32_t height;
    uint32_t rateNum;
    uint32_t rateDen;
    int32_t format;
    int64_t frameCount;
    uint32_t aspectNum; // pixel aspect (width / height of one pixel); 0 / 0 when unknown
    uint32_t aspectDen;
};

struct CodecDriverPicture {
    const uint8_t* data[3];
    int32_t stride[3];
};

// A compressed frame; data belongs to the driver and stays valid until the next call on the instance.
struct CodecDriverPacket {
    const uint8_t* data;
    size_t size;
    int32_t keyFrame;
};

struct CodecDriverApi {
    uint32_t abiVersion; // CodecDriverAbiVersion
    void (*getInfo)(CodecDriverInfo* info);
    // An instance with the settings of the registry applied; null when out of memory.
    void* (*open)();
    void (*close)(void* instance);

    const char* (*controls)(void* instance);
    int (*setControl)(void* instance, const char* id, const char* value, char* error, size_t errorSize);

    int (*compressBegin)(void* instance, const CodecDriverFormat* input,
                         platform::vfw::BITMAPINFOHEADER* output, char* error, size_t errorSize);
    int (*compress)(void* instance, const CodecDriverPicture* picture, CodecDriverPacket* packet, char* error,
                    size_t errorSize);
    int (*compressEnd)(void* instance, char* error, size_t errorSize);

    int (*decompressBegin)(void* instance, int32_t width, int32_t height, char* error, size_t errorSize);
    // Writes width × height × 3 bytes of top-down B, G, R rows into rgb24.
    int (*decompress)(void* instance, const uint8_t* data, size_t size, uint8_t* rgb24, char* error,
                      size_t errorSize);
    void (*decompressEnd)(void* instance);
};

using CodecDriverEntryFunction = const CodecDriverApi* (*)();

} // extern "C"
