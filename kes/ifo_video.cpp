#include "kes/ifo_video.h"

#include "kes/text_helpers.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <functional>

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* ReadPastEnd = "Read beyond end of file";
constexpr const char* CannotOpen = "File not found";

// Offsets inside a program chain: its playback time follows the first 4 bytes.
constexpr int64_t ChainTableEntrySize = 8;
constexpr int64_t ChainOffsetField = 4;
constexpr int64_t ChainTimeField = 4;
// Bits 7-6 of the fourth time byte: the frame-rate code.
constexpr int FrameRateShift = 6;
constexpr int FrameRatePal = 1;
constexpr int FrameRateNtsc = 3;
constexpr int SecondsPerMinute = 60;

// Reads n bytes at an offset into out; false when they are not all there.
using ByteSource = std::function<bool(int64_t offset, std::size_t n, uint8_t* out)>;

class IfoReader {
public:
    explicit IfoReader(ByteSource source) : source_(std::move(source)) {}

    uint8_t byteAt(int64_t offset) const {
        uint8_t b = 0;
        need(offset, 1, &b);
        return b;
    }
    uint32_t be16(int64_t offset) const {
        std::array<uint8_t, 2> b{};
        need(offset, b.size(), b.data());
        return static_cast<uint32_t>(b[0]) << 8 | b[1];
    }
    uint32_t be32(int64_t offset) const {
        std::array<uint8_t, 4> b{};
        need(offset, b.size(), b.data());
        return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
               static_cast<uint32_t>(b[2]) << 8 | b[3];
    }
    std::array<uint8_t, 4> bytes4(int64_t offset) const {
        std::array<uint8_t, 4> b{};
        need(offset, b.size(), b.data());
        return b;
    }

private:
    void need(int64_t offset, std::size_t n, uint8_t* out) const {
        if (offset < 0 || !source_(offset, n, out))
            throw IfoReadError(ReadPastEnd);
    }
    ByteSource source_;
};

std::string twoHexDigits(uint8_t value) {
    std::array<char, 3> text{};
    std::snprintf(text.data(), text.size(), "%02X", value);
    return text.data();
}

IfoTitleInfo readTitleInfo(const IfoReader& in, const std::string& standard) {
    IfoTitleInfo info;
    info.standard = standard;
    info.attributeA = in.byteAt(IfoVideoAttributeOffset);
    info.attributeB = in.byteAt(IfoVideoAttributeOffset + 1);
    const int64_t table = static_cast<int64_t>(in.be32(IfoChainTableSectorOffset)) * IfoSectorSize;
    const uint32_t chains = in.be16(table);
    int best = 0;
    for (uint32_t i = 1; i <= chains; ++i) {
        const int64_t chain = table + in.be32(table + ChainTableEntrySize * i + ChainOffsetField);
        const auto time = in.bytes4(chain + ChainTimeField);
        // The hours, minutes and seconds are BCD: their hexadecimal digits are the decimal ones.
        const int seconds =
            TimeToSeconds(twoHexDigits(time[0]) + ":" + twoHexDigits(time[1]) + ":" + twoHexDigits(time[2]));
        if (seconds <= best)
            continue;
        best = seconds;
        const int rate = time[3] >> FrameRateShift;
        if (rate == FrameRatePal)
            info.standard = "PAL";
        else if (rate == FrameRateNtsc)
            info.standard = "NTSC";
    }
    const int minutes = best / SecondsPerMinute;
    info.minutes = std::to_string(minutes);
    info.seconds = std::to_string(best - SecondsPerMinute * minutes);
    return info;
}

} // namespace

IfoTitleInfo readIfoTitleInfo(std::string_view ifo, const std::string& standard) {
    const IfoReader reader([ifo](int64_t offset, std::size_t n, uint8_t* out) {
        const auto start = static_cast<uint64_t>(offset);
        if (start > ifo.size() || n > ifo.size() - start)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<uint8_t>(ifo[start + i]);
        return true;
    });
    return readTitleInfo(reader, standard);
}

IfoTitleInfo ReadIfoTitleInfo(const std::string& path, const std::string& standard) {
    // Only a regular file, never waited on: a pipe of that name cannot be opened.
    const int fd = core::openForReading(path);
    if (fd < 0)
        throw IfoReadError(CannotOpen);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } const closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw IfoReadError(ReadPastEnd);
    const int64_t size = st.st_size;
    const IfoReader reader([fd, size](int64_t offset, std::size_t n, uint8_t* out) {
        if (offset < 0 || offset > size || static_cast<int64_t>(n) > size - offset)
            return false;
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(fd, out + done, n - done, offset + static_cast<int64_t>(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    });
    return readTitleInfo(reader, standard);
}

VideoInfoTexts videoInfoTexts(uint8_t a, uint8_t b) {
    static constexpr std::array<const char*, 4> NtscSizes = {"720x480", "704x480", "352x480", "352x240"};
    static constexpr std::array<const char*, 4> PalSizes = {"720x576", "704x576", "352x576", "352x288"};
    VideoInfoTexts t;
    const bool pal = (a >> 4 & 1) != 0;
    t.coding = (a >> 6 & 3) == 0 ? "Mpeg-1" : "Mpeg-2";
    t.standard = pal ? "PAL" : "NTSC";
    t.wide = (a >> 2 & 3) != 0;
    t.aspect = t.wide ? "16:9" : "4:3";
    t.bitrateMode = (b >> 4 & 1) != 0 ? "CBR" : "VBR";
    t.resolution = (pal ? PalSizes : NtscSizes)[b >> 2 & 3];
    t.letterboxed = (a & 1) != 0 ? "No" : "Yes";
    return t;
}

} // namespace kes
