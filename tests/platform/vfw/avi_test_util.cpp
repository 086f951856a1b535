#include "tests/platform/vfw/avi_test_util.h"

#include <cstring>

using namespace platform::vfw;

namespace kes::test {

AVISTREAMINFO videoInfo(uint32_t rate, uint32_t scale, uint32_t handler) {
    AVISTREAMINFO info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = handler;
    info.dwRate = rate;
    info.dwScale = scale;
    info.dwQuality = 0xFFFFFFFF;
    std::strcpy(info.szName, "Video");
    return info;
}

BITMAPINFOHEADER bitmapFormat(int width, int height, uint32_t compression, int bits) {
    BITMAPINFOHEADER h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<WORD>(bits);
    h.biCompression = compression;
    h.biSizeImage = static_cast<DWORD>(width * height * 3);
    return h;
}

AVISTREAMINFO audioInfo(uint32_t rate, uint32_t scale, uint32_t sampleSize) {
    AVISTREAMINFO info;
    info.fccType = streamtypeAUDIO;
    info.dwRate = rate;
    info.dwScale = scale;
    info.dwSampleSize = sampleSize;
    info.dwQuality = 0xFFFFFFFF;
    return info;
}

std::vector<uint8_t> waveFormat(uint16_t tag, uint16_t channels, uint32_t samplesPerSec, uint32_t avgBytes,
                                uint16_t blockAlign, uint16_t bits) {
    const std::string s = le16(tag) + le16(channels) + le32(samplesPerSec) + le32(avgBytes) +
                          le16(blockAlign) + le16(bits) + le16(0);
    return {s.begin(), s.end()};
}

std::string testFrame(int i, bool key) {
    std::string f("\x00\x00\x01\xB6", 4);
    f += static_cast<char>(key ? 0x00 : 0x40);
    // Sizes vary and are odd now and then, so padding is exercised.
    f += std::string(static_cast<size_t>(100 + 37 * i), static_cast<char>('a' + i % 26));
    return f;
}

bool writeTestMovie(const std::string& path, int frames, int keyEvery) {
    PAVIFILE file = nullptr;
    if (AVIFileOpen(&file, path, OF_CREATE | OF_WRITE) != AVIERR_OK)
        return false;
    PAVISTREAM video = nullptr;
    PAVISTREAM audio = nullptr;
    AVISTREAMINFO vi = videoInfo(25, 1, mmioFOURCC('D', 'I', 'V', 'X'));
    AVISTREAMINFO ai = audioInfo(176400, 4, 4);
    const BITMAPINFOHEADER bmp = bitmapFormat(64, 48, mmioFOURCC('D', 'I', 'V', 'X'));
    const auto wf = waveFormat(1, 2, 44100, 176400, 4, 16);
    bool ok = AVIFileCreateStream(file, &video, &vi) == AVIERR_OK &&
              AVIStreamSetFormat(video, 0, &bmp, sizeof bmp) == AVIERR_OK &&
              AVIFileCreateStream(file, &audio, &ai) == AVIERR_OK &&
              AVIStreamSetFormat(audio, 0, wf.data(), static_cast<LONG>(wf.size())) == AVIERR_OK;
    std::vector<uint8_t> pcm(441 * 4);
    for (int i = 0; ok && i < frames; ++i) {
        for (size_t b = 0; b < pcm.size(); ++b)
            pcm[b] = static_cast<uint8_t>(i * 7 + b);
        const std::string f = testFrame(i, i % keyEvery == 0);
        ok = AVIStreamWrite(audio, i * 441, 441, pcm.data(), static_cast<LONG>(pcm.size()), AVIIF_KEYFRAME,
                            nullptr, nullptr) == AVIERR_OK &&
             AVIStreamWrite(video, i, 1, f.data(), static_cast<LONG>(f.size()),
                            i % keyEvery == 0 ? AVIIF_KEYFRAME : 0, nullptr, nullptr) == AVIERR_OK;
    }
    AVIStreamRelease(audio);
    AVIStreamRelease(video);
    AVIFileRelease(file);
    return ok;
}

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string le16(uint16_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
}

std::string chunk(const std::string& id, const std::string& data) {
    std::string s = id + le32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0)
        s += '\0';
    return s;
}

std::string list(const std::string& type, const std::string& body, const std::string& id) {
    return chunk(id, type + body);
}

uint32_t readLE32(const std::string& bytes, size_t offset) {
    if (offset + 4 > bytes.size())
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
    return v;
}

size_t findText(const std::string& bytes, const std::string& text, size_t from) {
    return bytes.find(text, from);
}

} // namespace kes::test
