#include "tests/tools/synchronizer/tiny_avi.h"

namespace kes::test {

namespace {

constexpr uint32_t KeyFrameFlag = 0x10;
constexpr uint32_t HasIndexFlag = 0x10;

void put32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(value >> (8 * i));
}

void put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value);
    out += static_cast<char>(value >> 8);
}

std::string chunk(const std::string& id, const std::string& data) {
    std::string out = id;
    put32(out, static_cast<uint32_t>(data.size()));
    out += data;
    if (data.size() % 2 != 0)
        out += '\0';
    return out;
}

std::string list(const std::string& type, const std::string& data) {
    return chunk("LIST", type + data);
}

std::string streamHeader(const std::string& type, uint32_t scale, uint32_t rate, uint32_t start,
                         uint32_t length, uint32_t sampleSize) {
    std::string h = type;
    put32(h, 0); // handler
    put32(h, 0); // flags
    put32(h, 0); // priority, language
    put32(h, 0); // initial frames
    put32(h, scale);
    put32(h, rate);
    put32(h, start);
    put32(h, length);
    put32(h, 0);          // suggested buffer size
    put32(h, 0xFFFFFFFF); // quality
    put32(h, sampleSize);
    put32(h, 0); // frame rectangle
    put32(h, 0);
    return chunk("strh", h);
}

} // namespace

std::string tinyAvi(const TinyAviSpec& spec) {
    const auto frameCount = static_cast<uint32_t>(spec.frames.size());
    std::string avih;
    put32(avih, spec.videoRate == 0 ? 0 : 1000000u * spec.videoScale / spec.videoRate);
    put32(avih, 0);
    put32(avih, 0);
    put32(avih, HasIndexFlag);
    put32(avih, frameCount);
    put32(avih, 0);
    put32(avih, spec.withAudio ? 2 : 1);
    put32(avih, 0);
    put32(avih, static_cast<uint32_t>(spec.width));
    put32(avih, static_cast<uint32_t>(spec.height));
    avih += std::string(16, '\0');

    std::string bitmap;
    put32(bitmap, 40);
    put32(bitmap, static_cast<uint32_t>(spec.width));
    put32(bitmap, static_cast<uint32_t>(spec.height));
    put16(bitmap, 1);
    put16(bitmap, 8);
    put32(bitmap, 0);
    put32(bitmap, static_cast<uint32_t>(spec.width * spec.height));
    bitmap += std::string(16, '\0');

    std::string headers =
        chunk("avih", avih) +
        list("strl", streamHeader("vids", spec.videoScale, spec.videoRate, spec.videoStart, frameCount, 0) +
                         chunk("strf", bitmap));
    if (spec.withAudio) {
        std::string wave;
        put16(wave, 1); // PCM
        put16(wave, 2);
        put32(wave, 48000);
        put32(wave, 192000);
        put16(wave, 4);
        put16(wave, 16);
        headers += list("strl", streamHeader("auds", spec.audioScale, spec.audioRate,
                                             static_cast<uint32_t>(spec.audioStart),
                                             static_cast<uint32_t>(spec.audioData.size() / 4), 4) +
                                    chunk("strf", wave));
    }

    std::string movi;
    std::string index;
    auto addChunk = [&](const std::string& id, const std::string& data, bool key) {
        index += id;
        put32(index, key ? KeyFrameFlag : 0);
        put32(index, static_cast<uint32_t>(4 + movi.size())); // from the "movi" type
        put32(index, static_cast<uint32_t>(data.size()));
        movi += chunk(id, data);
    };
    for (std::size_t i = 0; i < spec.frames.size(); ++i)
        addChunk("00dc", spec.frames[i], i >= spec.keyFrames.size() || spec.keyFrames[i]);
    if (spec.withAudio && !spec.audioData.empty())
        addChunk("01wb", spec.audioData, true);

    const std::string body = "AVI " + list("hdrl", headers) + list("movi", movi) + chunk("idx1", index);
    return chunk("RIFF", body);
}

} // namespace kes::test
