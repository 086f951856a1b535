#include "platform/dshow/filters/media_types.h"

#include "platform/dshow/filters/byte_cursor.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"

#include <algorithm>
#include <limits>

namespace platform::dshow::filters {

namespace {

constexpr size_t kPcmFormatSize = 16; // WAVEFORMAT and wBitsPerSample
constexpr size_t kFormatExSize = 18;  // and cbSize
constexpr int kCompressedChannels = 2;
constexpr int kDvdRate = 48000;

uint16_t le16(ByteCursor& in) {
    const uint16_t low = in.u8();
    return static_cast<uint16_t>(low | (in.u8() << 8));
}
uint32_t le32(ByteCursor& in) {
    const uint32_t low = le16(in);
    return low | (static_cast<uint32_t>(le16(in)) << 16);
}
void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value));
    put16(out, static_cast<uint16_t>(value >> 16));
}

WaveFormat compressedFormat(uint16_t tag) {
    WaveFormat format;
    format.formatTag = tag;
    format.channels = kCompressedChannels;
    format.samplesPerSec = kDvdRate;
    return format;
}

} // namespace

std::vector<uint8_t> waveFormatBytes(const WaveFormat& format) {
    const size_t extra = std::min<size_t>(format.extra.size(), std::numeric_limits<uint16_t>::max());
    std::vector<uint8_t> out;
    out.reserve(kFormatExSize + extra);
    put16(out, format.formatTag);
    put16(out, format.channels);
    put32(out, format.samplesPerSec);
    put32(out, format.avgBytesPerSec);
    put16(out, format.blockAlign);
    put16(out, format.bitsPerSample);
    put16(out, static_cast<uint16_t>(extra));
    out.insert(out.end(), format.extra.begin(), format.extra.begin() + static_cast<std::ptrdiff_t>(extra));
    return out;
}

std::optional<WaveFormat> waveFormatOf(const AM_MEDIA_TYPE& type) {
    if (type.formattype != FORMAT_WaveFormatEx || !type.pbFormat)
        return std::nullopt;
    return parseWaveFormat(std::span<const uint8_t>(type.pbFormat, type.cbFormat));
}

GUID audioSubtypeOf(uint16_t formatTag) {
    GUID subtype = MEDIASUBTYPE_PCM;
    subtype.Data1 = formatTag;
    return subtype;
}

std::optional<WaveFormat> parseWaveFormat(std::span<const uint8_t> block) {
    if (block.size() < kPcmFormatSize)
        return std::nullopt;
    ByteCursor in(block);
    WaveFormat format;
    format.formatTag = le16(in);
    format.channels = le16(in);
    format.samplesPerSec = le32(in);
    format.avgBytesPerSec = le32(in);
    format.blockAlign = le16(in);
    format.bitsPerSample = le16(in);
    if (in.has(2)) {
        const uint16_t extra = le16(in);
        const auto bytes = in.rest().first(std::min<size_t>(extra, in.remaining()));
        format.extra.assign(bytes.begin(), bytes.end());
    }
    return format;
}

CMediaType audioMediaType(const GUID& subtype, const WaveFormat& format) {
    CMediaType type(MEDIATYPE_Audio, subtype);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    const auto bytes = waveFormatBytes(format);
    type.SetFormat(bytes.data(), static_cast<ULONG>(bytes.size()));
    type.bFixedSizeSamples = format.formatTag == kWaveFormatPcm ? TRUE : FALSE;
    type.lSampleSize = format.formatTag == kWaveFormatPcm ? format.blockAlign : 0;
    return type;
}

CMediaType pcmMediaType(const WaveFormat& format) {
    return audioMediaType(MEDIASUBTYPE_PCM, format);
}

CMediaType parserOutputType(const ParserOutput& output) {
    switch (output.format.kind) {
    case StreamKind::Video: {
        CMediaType type(MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO);
        type.SetFormatType(&FORMAT_None);
        return type;
    }
    case StreamKind::Ac3:
        return audioMediaType(MEDIASUBTYPE_DOLBY_AC3, compressedFormat(kWaveFormatAc3));
    case StreamKind::MpegAudio:
        return audioMediaType(MEDIASUBTYPE_MPEG2_AUDIO, compressedFormat(kWaveFormatMpeg));
    case StreamKind::Lpcm:
        return audioMediaType(MEDIASUBTYPE_DVD_LPCM_AUDIO, lpcmWaveFormat(output.format.lpcm));
    }
    return CMediaType();
}

std::optional<StreamFormat> decoderInputFormat(const CMediaType& type) {
    if (*type.Type() != MEDIATYPE_Audio)
        return std::nullopt;
    const GUID& sub = *type.Subtype();
    if (sub == MEDIASUBTYPE_DOLBY_AC3)
        return StreamFormat{StreamKind::Ac3, {}};
    if (sub == MEDIASUBTYPE_MPEG2_AUDIO || sub == MEDIASUBTYPE_MPEG1AudioPayload ||
        sub == MEDIASUBTYPE_MPEG1Payload)
        return StreamFormat{StreamKind::MpegAudio, {}};
    if (sub != MEDIASUBTYPE_DVD_LPCM_AUDIO)
        return std::nullopt;
    const auto wave = waveFormatOf(type);
    if (!wave)
        return std::nullopt;
    LpcmFormat lpcm{static_cast<int>(wave->samplesPerSec), wave->channels, wave->bitsPerSample};
    // Only layouts a DVD can carry: the LPCM header must be able to describe them.
    if (!makeLpcmHeader(lpcm))
        return std::nullopt;
    return StreamFormat{StreamKind::Lpcm, lpcm};
}

} // namespace platform::dshow::filters
