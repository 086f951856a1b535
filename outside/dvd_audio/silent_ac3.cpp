#include "outside/dvd_audio/silent_ac3.h"

#include "platform/dshow/filters/ps_packet.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/crc.h>
}

#include <algorithm>
#include <array>

namespace outside::dvd_audio {

namespace {

constexpr int kFrameSamples = 1536;
constexpr size_t kHeaderBytes = 7;
// The note: 64 auxiliary bits (the magic, the samples to keep, two zero bytes) right before the
// auxiliary data length, which stands before the auxiliary flag, the reserved CRC bit and the CRC.
constexpr std::array<uint8_t, 4> kMagic = {'K', 'S', 'I', 'L'};
constexpr size_t kNoteBytes = 8;
constexpr size_t kTailBytes = 4 + kNoteBytes; // note, then 14 + 1 + 1 + 16 bits
constexpr int kAuxBits = 64;
constexpr uint16_t kSyncWord = 0x0B77;

uint64_t channelMaskOf(int acmod, bool lfe) {
    uint64_t mask = 0;
    switch (acmod) {
    case 1:
        mask = AV_CH_LAYOUT_MONO;
        break;
    case 3:
        mask = AV_CH_LAYOUT_SURROUND;
        break;
    case 4:
        mask = AV_CH_LAYOUT_2_1;
        break;
    case 5:
        mask = AV_CH_LAYOUT_4POINT0;
        break;
    case 6:
        mask = AV_CH_LAYOUT_2_2;
        break;
    case 7:
        mask = AV_CH_LAYOUT_5POINT0;
        break;
    default:
        mask = AV_CH_LAYOUT_STEREO;
        break;
    }
    return lfe ? mask | AV_CH_LOW_FREQUENCY : mask;
}

size_t frameSize58(size_t size) {
    return ((size >> 2) + (size >> 4)) << 1;
}

constexpr unsigned kCrcPoly = (1u << 0) | (1u << 2) | (1u << 15) | (1u << 16);

unsigned mulPoly(unsigned a, unsigned b) {
    unsigned c = 0;
    while (a) {
        if (a & 1)
            c ^= b;
        a >>= 1;
        b <<= 1;
        if (b & (1u << 16))
            b ^= kCrcPoly;
    }
    return c;
}

unsigned powPoly(unsigned a, unsigned n) {
    unsigned r = 1;
    while (n) {
        if (n & 1)
            r = mulPoly(r, a);
        a = mulPoly(a, a);
        n >>= 1;
    }
    return r;
}

uint16_t swap16(uint32_t v) {
    return static_cast<uint16_t>(((v & 0xFF) << 8) | ((v >> 8) & 0xFF));
}

// Writes both CRCs of the frame, as the encoder does: the first over its first five eighths (stored
// at their start, so it is solved for), the second over the rest.
void writeCrcs(std::vector<uint8_t>& f) {
    const AVCRC* table = av_crc_get_table(AV_CRC_16_ANSI);
    const size_t n = f.size();
    const size_t f58 = frameSize58(n);
    const unsigned crc1 = swap16(av_crc(table, 0, f.data() + 4, f58 - 4));
    const unsigned inverse = powPoly(kCrcPoly >> 1, static_cast<unsigned>(8 * f58 - 16));
    const unsigned solved = mulPoly(inverse, crc1);
    f[2] = static_cast<uint8_t>(solved >> 8);
    f[3] = static_cast<uint8_t>(solved);
    const uint32_t partial = av_crc(table, 0, f.data() + f58, n - f58 - 3);
    uint32_t crc2 = av_crc(table, partial, f.data() + n - 3, 1);
    if (crc2 == kSyncWord) {
        f[n - 3] |= 1;
        crc2 = av_crc(table, partial, f.data() + n - 3, 1);
    }
    const uint16_t swapped = swap16(crc2);
    f[n - 2] = static_cast<uint8_t>(swapped >> 8);
    f[n - 1] = static_cast<uint8_t>(swapped);
}

// A silent frame encoded at a bit rate and sample rate; empty when the encoder refuses them.
std::vector<uint8_t> encodeSilence(int sampleRate, uint64_t channelMask, int bitRate) {
    std::vector<uint8_t> bytes;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AC3);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!context)
        return bytes;
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = sampleRate;
    av_channel_layout_from_mask(&context->ch_layout, channelMask);
    context->bit_rate = bitRate;
    context->flags |= AV_CODEC_FLAG_BITEXACT;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (frame && packet && avcodec_open2(context, codec, nullptr) >= 0) {
        frame->nb_samples = kFrameSamples;
        frame->format = context->sample_fmt;
        frame->sample_rate = sampleRate;
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
        if (av_frame_get_buffer(frame, 0) >= 0) {
            for (int c = 0; c < frame->ch_layout.nb_channels; ++c)
                std::fill_n(reinterpret_cast<float*>(frame->extended_data[c]), kFrameSamples, 0.0f);
            if (avcodec_send_frame(context, frame) >= 0 && avcodec_send_frame(context, nullptr) >= 0 &&
                avcodec_receive_packet(context, packet) >= 0)
                bytes.assign(packet->data, packet->data + packet->size);
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return bytes;
}

} // namespace

std::optional<Ac3Layout> ac3Layout(std::span<const uint8_t> frame) {
    const auto sync = platform::dshow::filters::ac3Frame(frame);
    if (!sync || frame.size() < kHeaderBytes)
        return std::nullopt;
    constexpr int kKbits[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                              192, 224, 256, 320, 384, 448, 512, 576, 640};
    Ac3Layout layout;
    layout.sampleRate = sync->sampleRate;
    layout.bitRate = kKbits[(frame[4] & 0x3F) / 2] * 1000;
    // bsid (5 bits), bsmod (3), acmod (3), the mix levels the mode has, then the LFE flag.
    const uint32_t bits =
        (uint32_t{frame[5]} << 16) | (uint32_t{frame[6]} << 8) | (frame.size() > 7 ? frame[7] : 0u);
    int at = 24 - 8; // bits left after bsid and bsmod
    layout.acmod = static_cast<int>((bits >> (at - 3)) & 7);
    at -= 3;
    if ((layout.acmod & 1) && layout.acmod != 1)
        at -= 2;
    if (layout.acmod & 4)
        at -= 2;
    if (layout.acmod == 2)
        at -= 2;
    layout.lfe = at >= 1 && ((bits >> (at - 1)) & 1) != 0;
    return layout;
}

bool SilentAc3::make(const Ac3Layout& layout, std::string& error) {
    // The stream's frame size, with its bit rate code.
    constexpr int kKbits[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                              192, 224, 256, 320, 384, 448, 512, 576, 640};
    int code = -1;
    for (int i = 0; i < static_cast<int>(std::size(kKbits)); ++i)
        if (kKbits[i] * 1000 == layout.bitRate)
            code = i;
    // Silence encoded at the lowest bit rate the encoder takes for the layout, then given the stream's
    // frame size: the decoder reads the same audio blocks, and the rest of the frame is free (zero),
    // room for the note of a shorter silence.
    const uint64_t mask = channelMaskOf(layout.acmod, layout.lfe);
    std::vector<uint8_t> low;
    for (int i = 0; i <= code && low.empty(); ++i)
        low = encodeSilence(layout.sampleRate, mask, kKbits[i] * 1000);
    const auto sizeAt = [&](int c) {
        std::vector<uint8_t> header = {0x0B, 0x77, 0, 0,
                                       static_cast<uint8_t>((low.empty() ? 0 : low[4] & 0xC0) | (c * 2))};
        const auto f = platform::dshow::filters::ac3Frame(header);
        return f ? f->size : size_t{0};
    };
    if (code < 0 || low.size() < kHeaderBytes || sizeAt(code) < low.size() + kTailBytes + 4) {
        error = "A silent AC3 frame could not be made.";
        return false;
    }
    frame_ = low;
    frame_[4] = static_cast<uint8_t>((low[4] & 0xC0) | (code * 2));
    // The low-rate frame's own CRC bytes become zero; the new frame gets its own.
    frame_[frame_.size() - 2] = 0;
    frame_[frame_.size() - 1] = 0;
    frame_[frame_.size() - 3] &= 0xFE;
    frame_.resize(sizeAt(code), 0);
    writeCrcs(frame_);
    layout_ = layout;
    return true;
}

bool SilentAc3::append(const Ac3Layout& layout, int64_t samples, std::vector<uint8_t>& out,
                       std::string& error) {
    if (samples <= 0)
        return true;
    if (layout_ != layout && !make(layout, error))
        return false;
    for (; samples >= kFrameSamples; samples -= kFrameSamples)
        out.insert(out.end(), frame_.begin(), frame_.end());
    if (samples == 0)
        return true;
    std::vector<uint8_t> part = frame_;
    const size_t n = part.size();
    // The encoder leaves the end of a silent frame zero; the note goes there when it is free.
    if (!std::all_of(part.end() - static_cast<std::ptrdiff_t>(kTailBytes + 4), part.end() - 3,
                     [](uint8_t b) { return b == 0; })) {
        out.insert(out.end(), part.begin(), part.end());
        return true;
    }
    uint8_t* note = part.data() + n - kTailBytes;
    std::copy(kMagic.begin(), kMagic.end(), note);
    note[4] = static_cast<uint8_t>(samples >> 8);
    note[5] = static_cast<uint8_t>(samples);
    // auxdatal = 64 (14 bits over bytes n-4 and n-3), then auxdatae = 1.
    part[n - 4] = static_cast<uint8_t>(kAuxBits >> 6);
    part[n - 3] = static_cast<uint8_t>(((kAuxBits & 0x3F) << 2) | 0x02);
    writeCrcs(part);
    out.insert(out.end(), part.begin(), part.end());
    return true;
}

std::optional<int> keptSamples(std::span<const uint8_t> frame) {
    const size_t n = frame.size();
    if (n < kTailBytes + kHeaderBytes || !platform::dshow::filters::ac3Frame(frame))
        return std::nullopt;
    const uint8_t* note = frame.data() + n - kTailBytes;
    const int auxLength = (frame[n - 4] << 6) | (frame[n - 3] >> 2);
    const bool auxPresent = (frame[n - 3] & 0x02) != 0;
    if (!auxPresent || auxLength != kAuxBits || !std::equal(kMagic.begin(), kMagic.end(), note))
        return std::nullopt;
    const int kept = (note[4] << 8) | note[5];
    if (kept <= 0 || kept >= kFrameSamples)
        return std::nullopt;
    return kept;
}

} // namespace outside::dvd_audio
