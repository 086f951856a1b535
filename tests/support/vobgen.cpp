#include "tests/support/vobgen.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace kes::test {

namespace {

constexpr int64_t kPtsRate = 90000;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kPaddingStream = 0xBE;
constexpr uint8_t kVideoId = 0xE0;
constexpr size_t kPesHeaderSize = 9; // start code, length, flags, header data length
constexpr size_t kPtsSize = 5;
constexpr size_t kAudioSubHeader = 4; // sub-stream id, frame count, first access unit pointer
constexpr size_t kLpcmHeader = 3;
constexpr size_t kPaddingPrefix = 6;
constexpr size_t kMaxHeaderStuffing = 16;
constexpr uint32_t kMuxRate = 25200; // 50-byte units per second: DVD's 10.08 Mbit/s
constexpr int kLpcmFramesPerSecond = 600;
constexpr int kPicturesPerSecond = 25;
constexpr double kToneLevel = 0.5;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("vobgen: " + what);
}

double toneSample(const VobAudioStream& s, int channel, int64_t index) {
    if (!s.beeps.empty()) {
        const double t = static_cast<double>(index) / s.sampleRate;
        if (std::none_of(s.beeps.begin(), s.beeps.end(),
                         [&](double b) { return t >= b && t < b + s.beepSeconds; }))
            return 0.0;
    }
    const double hz = s.toneHz * (1.0 + channel / 4.0);
    return kToneLevel * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(index) / s.sampleRate);
}

int16_t toS16(double v) {
    return static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
}

// Encodes the tone with FFmpeg's AC3 or MP2 encoder, frame by frame, bit-exact.
void encodeTone(VobAudioData& data, double seconds) {
    const VobAudioStream& s = data.stream;
    const bool ac3 = s.kind == VobAudioKind::Ac3;
    const AVCodec* codec = avcodec_find_encoder(ac3 ? AV_CODEC_ID_AC3 : AV_CODEC_ID_MP2);
    if (!codec)
        fail("no encoder");
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->sample_fmt = ac3 ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
    context->sample_rate = s.sampleRate;
    av_channel_layout_default(&context->ch_layout, s.channels);
    context->bit_rate = s.bitRate;
    context->flags |= AV_CODEC_FLAG_BITEXACT;
    if (avcodec_open2(context, codec, nullptr) < 0)
        fail("encoder does not open");
    const int frameSize = context->frame_size;
    const int64_t total = static_cast<int64_t>(std::ceil(seconds * s.sampleRate / frameSize)) * frameSize;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto receive = [&] {
        while (avcodec_receive_packet(context, packet) == 0) {
            data.frames.emplace_back(packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    };
    for (int64_t start = 0; start < total; start += frameSize) {
        frame->nb_samples = frameSize;
        frame->format = context->sample_fmt;
        frame->sample_rate = s.sampleRate;
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
        if (av_frame_get_buffer(frame, 0) < 0)
            fail("no frame buffer");
        for (int i = 0; i < frameSize; ++i) {
            for (int c = 0; c < s.channels; ++c) {
                const double v = toneSample(s, c, start + i);
                const int16_t q = toS16(v);
                data.pcm.push_back(q);
                if (ac3)
                    reinterpret_cast<float*>(frame->extended_data[c])[i] = static_cast<float>(q) / 32768.0f;
                else
                    reinterpret_cast<int16_t*>(frame->data[0])[i * s.channels + c] = q;
            }
        }
        frame->pts = start;
        if (avcodec_send_frame(context, frame) < 0)
            fail("encoding failed");
        av_frame_unref(frame);
        receive();
    }
    avcodec_send_frame(context, nullptr);
    receive();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    for (size_t i = 0; i < data.frames.size(); ++i) {
        const int64_t pts = s.startPts + static_cast<int64_t>(i) * frameSize * kPtsRate / s.sampleRate;
        data.units.push_back({data.elementary.size(), data.frames[i].size(), pts});
        data.elementary.insert(data.elementary.end(), data.frames[i].begin(), data.frames[i].end());
    }
}

// DVD LPCM: 16-bit samples big-endian; 24-bit samples in pairs of frames, the top 16 bits of each
// sample big-endian first, then the low bytes.
void makeLpcm(VobAudioData& data, double seconds) {
    const VobAudioStream& s = data.stream;
    if (s.bitsPerSample != 16 && s.bitsPerSample != 24)
        fail("LPCM bits");
    const int frameSamples = s.sampleRate / kLpcmFramesPerSecond;
    const int64_t total = static_cast<int64_t>(std::ceil(seconds * kLpcmFramesPerSecond)) * frameSamples;
    const size_t bytesPerFrame = static_cast<size_t>(s.channels * s.bitsPerSample / 8);
    for (int64_t i = 0; i < total; i += 2) {
        std::vector<int32_t> values; // two sample frames, 24-bit values
        for (int64_t k = i; k < i + 2; ++k)
            for (int c = 0; c < s.channels; ++c)
                values.push_back(static_cast<int32_t>(
                    std::lround(std::clamp(toneSample(s, c, k), -1.0, 1.0) * 8388607.0)));
        for (const int32_t v : values) {
            const auto top = static_cast<int16_t>(s.bitsPerSample == 16 ? toS16(v / 8388607.0) : (v >> 8));
            data.pcm.push_back(top);
            data.elementary.push_back(static_cast<uint8_t>(static_cast<uint16_t>(top) >> 8));
            data.elementary.push_back(static_cast<uint8_t>(top));
        }
        if (s.bitsPerSample == 24)
            for (const int32_t v : values)
                data.elementary.push_back(static_cast<uint8_t>(v));
    }
    const size_t unitBytes = bytesPerFrame * static_cast<size_t>(frameSamples);
    for (size_t offset = 0, n = 0; offset < data.elementary.size(); offset += unitBytes, ++n)
        data.units.push_back(
            {offset, unitBytes, s.startPts + static_cast<int64_t>(n) * kPtsRate / kLpcmFramesPerSecond});
}

std::vector<uint8_t> makeVideo(const VobSpec& spec, std::vector<VobUnit>& units) {
    std::vector<uint8_t> video;
    const size_t pictureBytes =
        static_cast<size_t>(std::max(spec.videoBytesPerSecond / kPicturesPerSecond, 8));
    const auto pictures = static_cast<int64_t>(std::ceil(spec.seconds * kPicturesPerSecond));
    for (int64_t i = 0; i < pictures; ++i) {
        units.push_back({video.size(), pictureBytes, i * kPtsRate / kPicturesPerSecond});
        const uint8_t code = i == 0 ? 0xB3 : 0x00; // sequence header first, then picture start codes
        const std::vector<uint8_t> start = {0, 0, 1, code};
        video.insert(video.end(), start.begin(), start.end());
        video.insert(video.end(), pictureBytes - start.size(), static_cast<uint8_t>(0x55 + (i & 0x0F)));
    }
    return video;
}

void put16(std::vector<uint8_t>& out, size_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void putTimeStamp(std::vector<uint8_t>& out, uint8_t prefix, int64_t t) {
    out.push_back(static_cast<uint8_t>(prefix | ((t >> 29) & 0x0E) | 1));
    put16(out, static_cast<size_t>(((t >> 14) & 0xFFFE) | 1));
    put16(out, static_cast<size_t>(((t << 1) & 0xFFFE) | 1));
}

void putPackHeader(std::vector<uint8_t>& out, int64_t scr) {
    const std::vector<uint8_t> code = {0, 0, 1, 0xBA};
    out.insert(out.end(), code.begin(), code.end());
    out.push_back(static_cast<uint8_t>(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03)));
    out.push_back(static_cast<uint8_t>(scr >> 20));
    out.push_back(static_cast<uint8_t>(((scr >> 12) & 0xF8) | 0x04 | ((scr >> 13) & 0x03)));
    out.push_back(static_cast<uint8_t>(scr >> 5));
    out.push_back(static_cast<uint8_t>(((scr << 3) & 0xF8) | 0x04)); // SCR extension 0
    out.push_back(0x01);
    out.push_back(static_cast<uint8_t>(kMuxRate >> 14));
    out.push_back(static_cast<uint8_t>(kMuxRate >> 6));
    out.push_back(static_cast<uint8_t>(((kMuxRate << 2) & 0xFC) | 0x03));
    out.push_back(0xF8); // no pack stuffing
}

void putSystemHeader(std::vector<uint8_t>& out, const std::vector<uint8_t>& streamIds, size_t audioCount) {
    const std::vector<uint8_t> code = {0, 0, 1, 0xBB};
    out.insert(out.end(), code.begin(), code.end());
    put16(out, 6 + 3 * streamIds.size());
    out.push_back(static_cast<uint8_t>(0x80 | (kMuxRate >> 15)));
    out.push_back(static_cast<uint8_t>(kMuxRate >> 7));
    out.push_back(static_cast<uint8_t>(((kMuxRate << 1) & 0xFE) | 1));
    out.push_back(static_cast<uint8_t>(audioCount << 2));
    out.push_back(0xE1); // audio and video locks, marker, one video stream
    out.push_back(0x7F);
    for (const uint8_t id : streamIds) {
        out.push_back(id);
        put16(out, 0xE000 | 58); // buffer bound: scale 1, 58 kB
    }
}

// One elementary stream being cut into PES packets.
struct Feed {
    uint8_t pesId = 0;
    int subId = -1; // private stream 1 sub-stream id
    bool lpcm = false;
    std::vector<uint8_t> lpcmHeader;
    const std::vector<uint8_t>* bytes = nullptr;
    const std::vector<VobUnit>* units = nullptr;
    size_t blockBytes = 1; // payloads are cut at whole blocks
    size_t sent = 0;
    size_t nextUnit = 0;     // first unit not yet begun
    bool subpicture = false; // one sub-stream byte; a packet never holds the end of one unit and more

    bool done() const { return sent >= bytes->size(); }
    int64_t nextTime() const {
        auto it = std::upper_bound(units->begin(), units->end(), sent,
                                   [](size_t at, const VobUnit& u) { return at < u.offset; });
        return std::prev(it)->pts;
    }
};

void putPes(std::vector<uint8_t>& pack, Feed& feed, const VobSpec& spec) {
    const size_t subHeader =
        feed.subId < 0 ? 0 : (feed.subpicture ? 1 : kAudioSubHeader + (feed.lpcm ? kLpcmHeader : 0));
    const size_t room = kVobPackSize - pack.size() - kPesHeaderSize - kPtsSize - subHeader;
    size_t take = std::min(room, feed.bytes->size() - feed.sent);
    if (take < feed.bytes->size() - feed.sent)
        take -= take % feed.blockBytes;
    if (feed.subpicture) {
        const auto unit =
            std::prev(std::upper_bound(feed.units->begin(), feed.units->end(), feed.sent,
                                       [](size_t at, const VobUnit& u) { return at < u.offset; }));
        take = std::min(take, unit->offset + unit->size - feed.sent);
    }
    // Units that begin inside this payload give the time stamp and the sub-stream header's counts.
    size_t first = feed.nextUnit, count = 0;
    while (feed.nextUnit < feed.units->size() && (*feed.units)[feed.nextUnit].offset < feed.sent + take) {
        ++count;
        ++feed.nextUnit;
    }
    const bool stamped = count > 0;
    const size_t used = kPesHeaderSize + (stamped ? kPtsSize : 0) + subHeader + take;
    const size_t gap = kVobPackSize - pack.size() - used;
    const size_t stuffing = gap < kPaddingPrefix ? gap : 0;
    if (stuffing > kMaxHeaderStuffing)
        fail("stuffing");
    const std::vector<uint8_t> code = {0, 0, 1, feed.pesId};
    pack.insert(pack.end(), code.begin(), code.end());
    put16(pack, used + stuffing - kPaddingPrefix);
    pack.push_back(0x81);
    pack.push_back(stamped ? 0x80 : 0x00);
    pack.push_back(static_cast<uint8_t>((stamped ? kPtsSize : 0) + stuffing));
    if (stamped)
        putTimeStamp(pack, 0x20, spec.firstPts + (*feed.units)[first].pts);
    pack.insert(pack.end(), stuffing, 0xFF);
    if (feed.subpicture) {
        pack.push_back(static_cast<uint8_t>(feed.subId));
    } else if (feed.subId >= 0) {
        pack.push_back(static_cast<uint8_t>(feed.subId));
        pack.push_back(static_cast<uint8_t>(count));
        // Counted from the byte after the pointer, which for LPCM is the start of its own header.
        const size_t after = feed.lpcm ? kLpcmHeader : 0;
        put16(pack, stamped ? (*feed.units)[first].offset - feed.sent + after + 1 : 0);
        if (feed.lpcm)
            pack.insert(pack.end(), feed.lpcmHeader.begin(), feed.lpcmHeader.end());
    }
    pack.insert(pack.end(), feed.bytes->begin() + static_cast<std::ptrdiff_t>(feed.sent),
                feed.bytes->begin() + static_cast<std::ptrdiff_t>(feed.sent + take));
    feed.sent += take;
    if (const size_t left = kVobPackSize - pack.size(); left > 0) {
        const std::vector<uint8_t> padding = {0, 0, 1, kPaddingStream};
        pack.insert(pack.end(), padding.begin(), padding.end());
        put16(pack, left - kPaddingPrefix);
        pack.insert(pack.end(), left - kPaddingPrefix, 0xFF);
    }
}

std::vector<uint8_t> lpcmHeaderOf(const VobAudioStream& s) {
    const int rateCode = s.sampleRate == 96000   ? 1
                         : s.sampleRate == 44100 ? 2
                         : s.sampleRate == 32000 ? 3
                                                 : 0;
    const int quant = s.bitsPerSample == 24 ? 2 : 0;
    return {0, static_cast<uint8_t>((quant << 6) | (rateCode << 4) | (s.channels - 1)), 0x80};
}

// The NAV pack of the VOBU that begins at a time (90 kHz from the first picture).
VobNavInfo navInfo(const VobSpec& spec, int64_t start, int64_t length, size_t pack, int64_t packTicks) {
    VobNavInfo info;
    info.scr = static_cast<int64_t>(pack) * packTicks;
    info.sector = static_cast<uint32_t>(pack);
    info.startPts = spec.firstPts + start;
    info.endPts = spec.firstPts + start + length;
    int64_t cellStart = 0;
    for (size_t k = 0; k + 1 < spec.cellSeconds.size(); ++k) {
        const auto cellEnd = cellStart + static_cast<int64_t>(std::llround(spec.cellSeconds[k] * kPtsRate));
        if (start < cellEnd)
            break;
        cellStart = cellEnd;
        ++info.cellId;
    }
    info.cellElapsed = start - cellStart;
    return info;
}

} // namespace

VobVideoMaker variableRateVideo(std::vector<VideoRatePart> parts) {
    return [parts](const VobSpec& spec, std::vector<VobUnit>& units) {
        std::vector<uint8_t> video;
        const auto pictures = static_cast<int64_t>(std::ceil(spec.seconds * kPicturesPerSecond));
        double cycle = 0.0;
        for (const auto& part : parts)
            cycle += part.seconds;
        for (int64_t i = 0; i < pictures; ++i) {
            double at = cycle > 0.0 ? std::fmod(static_cast<double>(i) / kPicturesPerSecond, cycle) : 0.0;
            int rate = parts.empty() ? spec.videoBytesPerSecond : parts.back().bytesPerSecond;
            for (const auto& part : parts) {
                if (at < part.seconds) {
                    rate = part.bytesPerSecond;
                    break;
                }
                at -= part.seconds;
            }
            const auto pictureBytes = static_cast<size_t>(std::max(rate / kPicturesPerSecond, 8));
            units.push_back({video.size(), pictureBytes, i * kPtsRate / kPicturesPerSecond});
            const std::vector<uint8_t> start = {0, 0, 1, static_cast<uint8_t>(i == 0 ? 0xB3 : 0x00)};
            video.insert(video.end(), start.begin(), start.end());
            video.insert(video.end(), pictureBytes - start.size(), static_cast<uint8_t>(0x55 + (i & 0x0F)));
        }
        return video;
    };
}

VobSet makeProgramStream(const VobSpec& spec) {
    for (const auto& stream : spec.audio)
        if (spec.firstPts + stream.startPts < 0)
            fail("an audio stream starts before time 0");
    VobSet set;
    std::vector<VobUnit> videoUnits;
    std::vector<Feed> feeds;
    if (spec.video) {
        set.video = spec.videoMaker ? spec.videoMaker(spec, videoUnits) : makeVideo(spec, videoUnits);
    }
    for (const auto& stream : spec.audio) {
        VobAudioData data;
        data.stream = stream;
        if (stream.kind == VobAudioKind::Lpcm)
            makeLpcm(data, spec.seconds);
        else
            encodeTone(data, spec.seconds);
        set.audio.push_back(std::move(data));
    }
    if (spec.video)
        feeds.push_back({kVideoId, -1, false, {}, &set.video, &videoUnits});
    std::vector<uint8_t> streamIds;
    if (spec.video)
        streamIds.push_back(kVideoId);
    for (const auto& data : set.audio) {
        const auto& s = data.stream;
        Feed feed{s.kind == VobAudioKind::Mpeg ? s.id : kPrivateStream1,
                  -1,
                  false,
                  {},
                  &data.elementary,
                  &data.units};
        if (s.kind != VobAudioKind::Mpeg)
            feed.subId = s.id;
        if (s.kind == VobAudioKind::Lpcm) {
            feed.lpcm = true;
            feed.lpcmHeader = lpcmHeaderOf(s);
            feed.blockBytes =
                static_cast<size_t>(s.channels * s.bitsPerSample / 8) * (s.bitsPerSample == 24 ? 2 : 1);
        }
        feeds.push_back(feed);
        if (std::find(streamIds.begin(), streamIds.end(), feed.pesId) == streamIds.end())
            streamIds.push_back(feed.pesId);
    }
    std::vector<std::vector<VobUnit>> subpictureUnits;
    for (const auto& stream : spec.subpictures)
        set.subpictures.push_back(makeSubpictureData(stream));
    for (const auto& data : set.subpictures) {
        std::vector<VobUnit>& units = subpictureUnits.emplace_back();
        for (size_t i = 0, offset = 0; i < data.units.size(); offset += data.units[i].size(), ++i)
            units.push_back({offset, data.units[i].size(), data.pts[i]});
    }
    for (size_t i = 0; i < set.subpictures.size(); ++i) {
        if (set.subpictures[i].elementary.empty())
            continue;
        Feed feed{kPrivateStream1,    set.subpictures[i].stream.id, false, {}, &set.subpictures[i].elementary,
                  &subpictureUnits[i]};
        feed.subpicture = true;
        feeds.push_back(feed);
        if (std::find(streamIds.begin(), streamIds.end(), kPrivateStream1) == streamIds.end())
            streamIds.push_back(kPrivateStream1);
    }
    constexpr int64_t kPackTicks = static_cast<int64_t>(kVobPackSize) * kPtsRate / (kMuxRate * 50);
    const auto navTicks = static_cast<int64_t>(std::llround(spec.navSeconds * kPtsRate));
    int64_t nextNav = 0;
    for (;;) {
        Feed* next = nullptr;
        for (auto& feed : feeds)
            if (!feed.done() && (!next || feed.nextTime() < next->nextTime()))
                next = &feed;
        if (!next)
            break;
        while (navTicks > 0 && next->nextTime() >= nextNav) {
            std::vector<uint8_t> header;
            putPackHeader(header, static_cast<int64_t>(set.packs) * kPackTicks);
            set.navPacks.push_back(set.packs);
            const auto nav = makeNavPack(header, navInfo(spec, nextNav, navTicks, set.packs, kPackTicks));
            set.bytes.insert(set.bytes.end(), nav.begin(), nav.end());
            ++set.packs;
            nextNav += navTicks;
        }
        std::vector<uint8_t> pack;
        putPackHeader(pack, static_cast<int64_t>(set.packs) * kPackTicks);
        const bool firstOfFile = spec.packsPerFile ? set.packs % spec.packsPerFile == 0 : set.packs == 0;
        if (spec.systemHeader && firstOfFile)
            putSystemHeader(pack, streamIds, set.audio.size());
        putPes(pack, *next, spec);
        set.bytes.insert(set.bytes.end(), pack.begin(), pack.end());
        ++set.packs;
    }
    return set;
}

VobSet writeVobSet(const std::filesystem::path& folder, const VobSpec& spec) {
    VobSet set = makeProgramStream(spec);
    const size_t fileBytes = spec.packsPerFile ? spec.packsPerFile * kVobPackSize : set.bytes.size();
    std::string list;
    for (size_t start = 0, n = 1; start < set.bytes.size(); start += fileBytes, ++n) {
        const auto path = folder / (spec.namePrefix + std::to_string(n) + ".VOB");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const size_t count = std::min(fileBytes, set.bytes.size() - start);
        out.write(reinterpret_cast<const char*>(set.bytes.data() + start),
                  static_cast<std::streamsize>(count));
        if (!out)
            fail("cannot write " + path.string());
        set.files.push_back(path);
        list += path.string() + "\r\n";
    }
    set.list = folder / "vob.lst";
    std::ofstream out(set.list, std::ios::binary | std::ios::trunc);
    out << list;
    if (!out)
        fail("cannot write vob.lst");
    return set;
}

} // namespace kes::test
