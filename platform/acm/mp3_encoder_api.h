#pragma once

// The MP3 encoder interface: a shared object that exports four C functions and takes a packed
// little-endian configuration record. The converter loads it at run time from the program folder's
// extern/ folder; the library itself is built over libmp3lame.
//
// Input is always interleaved 16-bit stereo PCM. With mode MP3_MODE_MONO the encoder mixes it down and
// writes mono frames. beInitStream tells how many 16-bit samples (both channels counted) one
// beEncodeChunk call takes at most and how large its output buffer must be.

#include <cstddef>
#include <cstdint>

namespace platform::acm {

inline constexpr uint32_t MP3_CONFIG_LAME = 256;
inline constexpr uint32_t MP3_CONFIG_VERSION = 1;
inline constexpr uint32_t MP3_CONFIG_SIZE = 331;

inline constexpr int32_t MP3_MODE_STEREO = 0;
inline constexpr int32_t MP3_MODE_JOINT_STEREO = 1;
inline constexpr int32_t MP3_MODE_DUAL_CHANNEL = 2;
inline constexpr int32_t MP3_MODE_MONO = 3;

inline constexpr int32_t MP3_PRESET_NORMAL_QUALITY = 0;
inline constexpr int32_t MP3_PRESET_LOW_QUALITY = 1;
inline constexpr int32_t MP3_PRESET_HIGH_QUALITY = 2;

inline constexpr uint32_t MP3_MPEG2 = 0;
inline constexpr uint32_t MP3_MPEG1 = 1;

inline constexpr uint32_t MP3_ERR_SUCCESSFUL = 0;
inline constexpr uint32_t MP3_ERR_INVALID_FORMAT = 1;
inline constexpr uint32_t MP3_ERR_INVALID_FORMAT_PARAMETERS = 2;
inline constexpr uint32_t MP3_ERR_NO_MORE_HANDLES = 3;
inline constexpr uint32_t MP3_ERR_INVALID_HANDLE = 4;
inline constexpr uint32_t MP3_ERR_BUFFER_TOO_SMALL = 5;

#pragma pack(push, 1)
// The configuration record, zeroed before use. Fields after dwMpegVersion exist for the record's
// layout; the library reads only the ones it uses.
struct Mp3Config {
    uint32_t dwConfig;        // MP3_CONFIG_LAME
    uint32_t dwStructVersion; // MP3_CONFIG_VERSION
    uint32_t dwStructSize;    // MP3_CONFIG_SIZE
    uint32_t dwSampleRate;    // input samples per second
    uint32_t dwReSampleRate;  // output samples per second (0: as the input)
    int32_t nMode;            // MP3_MODE_...
    uint32_t dwBitrate;       // kbit/s
    uint32_t dwMaxBitrate;
    int32_t nPreset; // MP3_PRESET_...
    uint32_t dwMpegVersion;
    uint32_t dwPsyModel;
    uint32_t dwEmphasis;
    int32_t bPrivate;
    int32_t bCRC;
    int32_t bCopyright;
    int32_t bOriginal;
    int32_t bWriteVBRHeader;
    int32_t bEnableVBR;
    int32_t nVBRQuality;
    uint32_t dwVbrAbrBps;
    int32_t nVbrMethod;
    int32_t bNoBitReservoir;
    int32_t bStrictIso;
    uint16_t nQuality;
    uint8_t reserved[MP3_CONFIG_SIZE - 94];
};
#pragma pack(pop)
static_assert(sizeof(Mp3Config) == MP3_CONFIG_SIZE);

using Mp3Stream = uintptr_t;

// The exported functions (C linkage, these names).
using BeInitStreamFn = uint32_t (*)(const Mp3Config* config, uint32_t* samplesPerChunk,
                                    uint32_t* minOutputBytes, Mp3Stream* stream);
using BeEncodeChunkFn = uint32_t (*)(Mp3Stream stream, uint32_t samples, const int16_t* input,
                                     uint8_t* output, uint32_t* outputBytes);
using BeDeinitStreamFn = uint32_t (*)(Mp3Stream stream, uint8_t* output, uint32_t* outputBytes);
using BeCloseStreamFn = uint32_t (*)(Mp3Stream stream);

inline constexpr const char* Mp3EncoderFileName = "LAME_ENC.DLL";

} // namespace platform::acm
