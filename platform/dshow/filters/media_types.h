#pragma once

// Media types of the stock filters: WAVEFORMATEX blocks in and out of AM_MEDIA_TYPE, the type of each
// parser output, and the stream format the decoder reads from the type it is offered.

#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/ps_parser.h"
#include "platform/dshow/media_type.h"

#include <optional>
#include <span>
#include <vector>

namespace platform::dshow::filters {

constexpr uint16_t kWaveFormatMpeg = 0x0050;
constexpr uint16_t kWaveFormatAc3 = 0x2000;

// A WAVEFORMATEX: the 18 bytes up to cbSize, then the extra bytes.
std::vector<uint8_t> waveFormatBytes(const WaveFormat& format);
// The format block of an audio type (FORMAT_WaveFormatEx), read within its stated size; a block of 16
// bytes (no cbSize) is taken as plain PCM. Nothing for another format type or a short block.
std::optional<WaveFormat> waveFormatOf(const AM_MEDIA_TYPE& type);
// The same from the bytes of a block (a "fmt " chunk).
std::optional<WaveFormat> parseWaveFormat(std::span<const uint8_t> block);
// The audio subtype of a format tag (MEDIASUBTYPE_PCM for PCM).
GUID audioSubtypeOf(uint16_t formatTag);
// MEDIATYPE_Audio, the subtype, FORMAT_WaveFormatEx and the format as its block.
CMediaType audioMediaType(const GUID& subtype, const WaveFormat& format);
// 16-bit integer PCM, as the decoder puts out and the sound renderer takes.
CMediaType pcmMediaType(const WaveFormat& format);

// The type a parser output offers: MPEG-2 video, AC3, MPEG audio or DVD LPCM (whose PCM fields give
// its rate, channels and bits; the samples stay big-endian).
CMediaType parserOutputType(const ParserOutput& output);
// What the decoder makes of an offered type: AC3, MPEG audio or LPCM; nothing for anything else.
std::optional<StreamFormat> decoderInputFormat(const CMediaType& type);

} // namespace platform::dshow::filters
