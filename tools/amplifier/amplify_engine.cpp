#include "tools/amplifier/amplify_engine.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/volumes.h"
#include "platform/mmio/wave_layout.h"

#include <algorithm>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tools::amplifier {

namespace core = platform::core;

namespace {

constexpr int Bits8 = 8;
constexpr int Bits16 = 16;
constexpr int Bits24 = 24;
constexpr int32_t Midpoint8 = 128;
constexpr int32_t ClipHigh8 = 113; // the 16-bit limits over 256, rounded towards 0
constexpr int32_t ClipLow8 = -113;
constexpr int32_t Scale24 = 256;
constexpr double DecibelDivisor = 200.0;   // tenths of a dB on an amplitude: 10^(p / 10 / 20)
constexpr uint64_t CopyHeadroom = 1 << 20; // free space kept beyond the copy of an in-place job

class FileHandle {
public:
    // Only a regular file is opened, and never waited on (a pipe of that name is refused at once).
    FileHandle(const std::string& path, int flags) : fd_(core::openRegularFile(path, flags)) {}
    ~FileHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Reads up to length bytes at offset; the count read (short only at the end of the file) or -1.
int64_t readAt(int fd, uint8_t* buffer, size_t length, int64_t offset) {
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, buffer + done, length - done, offset + static_cast<int64_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

bool writeAt(int fd, const uint8_t* buffer, size_t length, int64_t offset) {
    size_t done = 0;
    while (done < length) {
        const ssize_t put = ::pwrite(fd, buffer + done, length - done, offset + static_cast<int64_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

std::optional<SampleFormat> sampleFormatOf(int bits) {
    switch (bits) {
    case Bits8:
        return SampleFormat::U8;
    case Bits16:
        return SampleFormat::S16;
    case Bits24:
        return SampleFormat::S24;
    default:
        return std::nullopt;
    }
}

// An in-place job goes through a copy unless the volume lacks room for it.
bool roomForCopy(const std::string& path, int64_t size) {
    const auto volume =
        core::volumeOf(core::extractFilePath(path).empty() ? "." : core::extractFilePath(path));
    return volume && volume->freeBytes >= static_cast<uint64_t>(std::max<int64_t>(size, 0)) + CopyHeadroom;
}

// Copies [from, to) of the source unchanged.
bool copyRange(int fd, core::AtomicFile& out, int64_t from, int64_t to, std::vector<uint8_t>& buffer) {
    while (from < to) {
        const auto want = static_cast<size_t>(std::min<int64_t>(std::ssize(buffer), to - from));
        const int64_t got = readAt(fd, buffer.data(), want, from);
        if (got <= 0)
            return got == 0;
        if (!out.write(
                std::string_view(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(got))))
            return false;
        from += got;
    }
    return true;
}

#if defined(__x86_64__)
// Whole groups of 16-bit samples scaled in vector registers: each sample widened to a double, multiplied
// by the gain and converted back with the processor's rounding (to nearest, halves to even, as
// std::nearbyint in the default mode), then saturated to 16 bits and clipped, as the table does. Returns
// the count of samples done; the caller finishes the rest.
constexpr size_t GroupSamples = 8;
constexpr size_t SampleSize = 2;

__m128i* asVector(uint8_t* p) {
    return static_cast<__m128i*>(static_cast<void*>(p));
}

__m128i clip16(__m128i wide) {
    return _mm_min_epi16(_mm_max_epi16(wide, _mm_set1_epi16(static_cast<short>(ClipLow))),
                         _mm_set1_epi16(static_cast<short>(ClipHigh)));
}

size_t scale16Sse2(uint8_t* bytes, size_t samples, double gain) {
    const __m128d g = _mm_set1_pd(gain);
    size_t i = 0;
    for (; i + GroupSamples <= samples; i += GroupSamples) {
        uint8_t* at = bytes + i * SampleSize;
        const __m128i v = _mm_loadu_si128(asVector(at));
        const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16); // sign-extended
        const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        const auto scaled = [&](__m128i four) {
            const __m128i a = _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(four), g));
            const __m128i b = _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(four, 8)), g));
            return _mm_unpacklo_epi64(a, b);
        };
        _mm_storeu_si128(asVector(at), clip16(_mm_packs_epi32(scaled(lo), scaled(hi))));
    }
    return i;
}

__attribute__((target("avx2"))) size_t scale16Avx2(uint8_t* bytes, size_t samples, double gain) {
    const __m256d g = _mm256_set1_pd(gain);
    size_t i = 0;
    for (; i + GroupSamples <= samples; i += GroupSamples) {
        uint8_t* at = bytes + i * SampleSize;
        const __m256i wide = _mm256_cvtepi16_epi32(_mm_loadu_si128(asVector(at)));
        const __m128i a =
            _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(wide)), g));
        const __m128i b =
            _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(wide, 1)), g));
        _mm_storeu_si128(asVector(at), clip16(_mm_packs_epi32(a, b)));
    }
    return i;
}

size_t scale16Vector(uint8_t* bytes, size_t samples, double gain) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? scale16Avx2(bytes, samples, gain) : scale16Sse2(bytes, samples, gain);
}
#endif

} // namespace

double gainFactor(int position) {
    return std::pow(10.0, position / DecibelDivisor);
}

GainTable::GainTable(double gain) {
    for (int32_t s = INT16_MIN; s <= INT16_MAX; ++s) {
        const auto v = static_cast<int64_t>(std::nearbyint(s * gain)); // the default mode: halves to even
        table_[static_cast<uint16_t>(s)] = static_cast<int16_t>(std::clamp<int64_t>(v, ClipLow, ClipHigh));
    }
}

void GainTable::apply(uint8_t* bytes, size_t length) const {
    for (size_t at = 0; at + 1 < length; at += 2) {
        const auto sample = static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
        const auto v = static_cast<uint16_t>(table_[sample]);
        bytes[at] = static_cast<uint8_t>(v);
        bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    }
}

int sampleBytes(SampleFormat format) {
    return format == SampleFormat::U8 ? 1 : format == SampleFormat::S16 ? 2 : 3;
}

SampleScaler::SampleScaler(SampleFormat format, double gain) : format_(format), gain_(gain), table16_(gain) {
    for (int32_t s = 0; s < 256; ++s) {
        const auto v = static_cast<int32_t>(std::nearbyint((s - Midpoint8) * gain));
        table8_[static_cast<size_t>(s)] =
            static_cast<uint8_t>(std::clamp(v, ClipLow8, ClipHigh8) + Midpoint8);
    }
}

void SampleScaler::apply(uint8_t* bytes, size_t length) const {
    switch (format_) {
    case SampleFormat::U8:
        for (size_t at = 0; at < length; ++at)
            bytes[at] = table8_[bytes[at]];
        return;
    case SampleFormat::S16: {
#if defined(__x86_64__)
        // The vector way rounds like the table only in the default rounding mode.
        const size_t done =
            std::fegetround() == FE_TONEAREST ? scale16Vector(bytes, length / 2, gain_) * 2 : 0;
        table16_.apply(bytes + done, length - done);
#else
        table16_.apply(bytes, length);
#endif
        return;
    }
    case SampleFormat::S24:
        for (size_t at = 0; at + 2 < length; at += 3) {
            // Sign-extended from the top byte.
            const int32_t sample = static_cast<int32_t>(static_cast<uint32_t>(bytes[at]) << 8 |
                                                        static_cast<uint32_t>(bytes[at + 1]) << 16 |
                                                        static_cast<uint32_t>(bytes[at + 2]) << 24) >>
                                   8;
            const auto v = static_cast<int32_t>(
                std::clamp<double>(std::nearbyint(sample * gain_), ClipLow * Scale24, ClipHigh * Scale24));
            bytes[at] = static_cast<uint8_t>(v);
            bytes[at + 1] = static_cast<uint8_t>(v >> 8);
            bytes[at + 2] = static_cast<uint8_t>(v >> 16);
        }
        return;
    }
}

AmplifyResult AmplifyEngine::run(const AmplifyRequest& request, bool& userBreak) {
    AmplifyResult result;
    if (running_) {
        result.failed = true;
        return result;
    }
    running_ = true;
    count_ = processed_ = 0;
    result.failed = !runSteps(request, userBreak, result);
    running_ = false;
    sink_.jobEnded();
    return result;
}

bool AmplifyEngine::runSteps(const AmplifyRequest& r, bool& userBreak, AmplifyResult& result) {
    // 1.
    userBreak = false;
    startMs_ = core::monotonicMs();
    const std::string source = core::resolvePath(r.source);
    if (!core::fileExists(source)) {
        sink_.errorBox("Source File Does not exist");
        return false;
    }
    // A destination that is the source file itself, under whatever name, is an in-place job.
    result.inPlace = r.same || core::sameFile(r.source, r.destination);
    if (!result.inPlace && r.destination.empty()) {
        sink_.errorBox("Please choose a destination file");
        return false;
    }
    // 2.-3.
    const int64_t size = core::fileSize(source);
    const bool direct =
        result.inPlace && !(roomCheck_ ? roomCheck_(source, size) : roomForCopy(source, size));
    FileHandle file(source, direct ? O_RDWR : O_RDONLY);
    if (file.fd() < 0 || size < 0) {
        sink_.errorBox("Cannot open " + r.source);
        return false;
    }
    // 4.-5. The chunks are walked: the audio is the "data" chunk wherever it lies, and no text in
    // another chunk (a title holding "data") is taken for it.
    const auto layout = platform::mmio::readWaveLayout(source);
    if (!layout) {
        sink_.errorBox("Invalid header in " + r.source);
        return false;
    }
    // Only the samples the job knows how to scale; anything else would be corrupted.
    if (layout->formatTag() != platform::mmio::WaveTagPcm) {
        sink_.errorBox(r.source + " is not a valid PCM WAV file");
        return false;
    }
    const std::optional<SampleFormat> format = sampleFormatOf(layout->bitsPerSample());
    if (!format) {
        sink_.errorBox(r.source + " holds " + std::to_string(layout->bitsPerSample()) +
                       "-bit samples: only 8, 16 and 24-bit PCM can be amplified");
        return false;
    }
    // 6.
    const int64_t d = layout->dataOffset;
    const int64_t count = std::min<int64_t>(layout->dataBytes, std::max<int64_t>(0, size - d));
    // In place through a symbolic link, the file the link names is replaced, not the link.
    std::error_code error;
    const std::string real = std::filesystem::canonical(source, error).string();
    const std::string target = result.inPlace ? (error ? source : real) : r.destination;
    std::optional<core::AtomicFile> out;
    // Whole samples in every block.
    const auto bytesPerSample = static_cast<size_t>(sampleBytes(*format));
    std::vector<uint8_t> block(AmplifyBlockBytes / bytesPerSample * bytesPerSample);
    if (!direct) {
        out.emplace(target);
        if (!out->isOpen()) {
            sink_.errorBox("Cannot create " + target);
            return false;
        }
        if (!copyRange(file.fd(), *out, 0, std::min(d, size), block)) {
            sink_.errorBox("Read or write error in " + target);
            return false;
        }
    }
    // 7.-8.
    count_ = count;
    const SampleScaler gain(*format, gainFactor(r.position));
    sink_.jobStarted(count);
    // 9.
    int64_t done = 0;
    while (done < count) {
        const auto want = static_cast<size_t>(std::min<int64_t>(std::ssize(block), count - done));
        const int64_t got = readAt(file.fd(), block.data(), want, d + done);
        if (got < 0) {
            sink_.errorBox("Read or write error in " + r.source);
            return false;
        }
        if (got == 0 || userBreak)
            break;
        gain.apply(block.data(), static_cast<size_t>(got));
        processed_ += got;
        sink_.progressStep(static_cast<int64_t>(AmplifyBlockBytes));
        sink_.processMessages();
        const bool written = direct ? writeAt(file.fd(), block.data(), static_cast<size_t>(got), d + done)
                                    : out->write(std::string_view(reinterpret_cast<const char*>(block.data()),
                                                                  static_cast<size_t>(got)));
        if (!written) {
            sink_.errorBox("Read or write error in " + target);
            return false;
        }
        done += got;
    }
    result.completed = done == count;
    // 10.-11. Anything after the audio is copied unchanged. A stopped in-place copy is dropped, so the
    // source stays as it was; a stopped separate destination keeps what was written.
    if (direct)
        return true;
    if (result.completed && !copyRange(file.fd(), *out, d + count, size, block)) {
        sink_.errorBox("Read or write error in " + target);
        return false;
    }
    if (result.inPlace && !result.completed)
        return true;
    if (!out->commit()) {
        sink_.errorBox("Read or write error in " + target);
        return false;
    }
    result.throughCopy = result.inPlace;
    return true;
}

} // namespace tools::amplifier
