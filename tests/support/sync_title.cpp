#include "tests/support/sync_title.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kes::test {

namespace {

constexpr double kPtsRate = 90000.0;
constexpr double kFlashSeconds = 0.12;
constexpr double kBeepSeconds = 0.1;

std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("sync_title: cannot write " + path.string());
}

// The file that holds the offset and the offset within it.
std::pair<std::filesystem::path, int64_t> locate(const VobSet& set, int64_t offset) {
    for (const auto& file : set.files) {
        const auto size = static_cast<int64_t>(std::filesystem::file_size(file));
        if (offset < size)
            return {file, offset};
        offset -= size;
    }
    throw std::runtime_error("sync_title: offset beyond the set");
}

} // namespace

double SyncTitle::frameSeconds() const {
    if (spec.film)
        return 1001.0 / 24000;
    const VideoGeometry g = videoGeometry({spec.standard});
    return static_cast<double>(g.rateDen) / g.rateNum;
}

std::vector<double> SyncTitle::soundMarks() const {
    const double start = static_cast<double>(spec.audioStartPts) / kPtsRate;
    std::vector<double> sound;
    std::copy_if(marks.begin(), marks.end(), std::back_inserter(sound), [&](double m) {
        return m >= start + kAc3EncoderDelay && m - start + kBeepSeconds <= spec.seconds;
    });
    return sound;
}

SyncTitle writeSyncTitle(const std::filesystem::path& folder, const SyncTitleSpec& spec) {
    SyncTitle title;
    title.spec = spec;
    const double frame = title.frameSeconds();
    for (int f = spec.firstMarkFrame; f * frame + kFlashSeconds < spec.seconds; f += spec.markEveryFrames)
        title.marks.push_back(f * frame);

    VobVideoSpec video;
    video.standard = spec.standard;
    video.scan = spec.film ? VideoScan::SoftTelecined : VideoScan::Progressive;
    video.bitRate = spec.videoBitRate;
    video.flashes = title.marks;
    video.flashSeconds = kFlashSeconds;
    video.intraFlashes = true;
    title.vob.videoMaker = mpeg2Video(video);
    title.vob.seconds = spec.seconds;
    // Room before the first picture for sound that starts up to a second earlier.
    title.vob.firstPts = 2 * static_cast<int64_t>(kPtsRate);

    // Beeps counted from each stream's first sample. FFmpeg's AC3 encoder delays its input by its
    // transform's 256 samples, so the AC3 stream's beeps are put that much earlier: decoded, the
    // title sounds exactly at its marks.
    std::vector<double> beeps;
    const double start = static_cast<double>(spec.audioStartPts) / kPtsRate;
    for (const double m : title.soundMarks())
        beeps.push_back(m - start);
    VobAudioStream ac3;
    ac3.id = 0x80;
    ac3.toneHz = 1000.0;
    for (const double b : beeps)
        ac3.beeps.push_back(b - kAc3EncoderDelay);
    ac3.beepSeconds = kBeepSeconds;
    ac3.startPts = spec.audioStartPts;
    title.vob.audio = {ac3};
    if (spec.lpcm) {
        VobAudioStream lpcm = ac3;
        lpcm.kind = VobAudioKind::Lpcm;
        lpcm.id = 0xA0;
        lpcm.beeps = beeps;
        title.vob.audio.push_back(lpcm);
    }
    const size_t packs = makeProgramStream(title.vob).packs;
    title.vob.packsPerFile =
        (packs + static_cast<size_t>(spec.vobFiles) - 1) / static_cast<size_t>(spec.vobFiles);
    std::filesystem::create_directories(folder);
    title.set = writeVobSet(folder, title.vob);
    return title;
}

int64_t packAtTime(const VobSet& set, const VobSpec& spec, double seconds) {
    const auto wanted = spec.firstPts + static_cast<int64_t>(std::llround(seconds * kPtsRate));
    for (size_t p = 0; p < set.packs; ++p) {
        const uint8_t* pack = set.bytes.data() + p * kVobPackSize;
        size_t at = 14; // the pack header, without stuffing
        if (pack[at + 3] == 0xBB)
            at += 6 + static_cast<size_t>((pack[at + 4] << 8) | pack[at + 5]);
        if (at + 14 > kVobPackSize || pack[at] != 0 || pack[at + 1] != 0 || pack[at + 2] != 1)
            continue;
        if ((pack[at + 7] & 0x80) == 0)
            continue;
        const uint8_t* t = pack + at + 9;
        const int64_t pts = (int64_t{t[0] & 0x0E} << 29) | (int64_t{t[1]} << 22) |
                            (int64_t{t[2] & 0xFE} << 14) | (int64_t{t[3]} << 7) | (t[4] >> 1);
        if (pts >= wanted)
            return static_cast<int64_t>(p);
    }
    return static_cast<int64_t>(set.packs);
}

MarkedTitle writeMarkedTitle(const std::filesystem::path& folder, int64_t startPts) {
    constexpr double kSeconds = 3.0;
    MarkedTitle title;
    const double start = static_cast<double>(startPts) / kPtsRate;
    VobSpec spec;
    spec.seconds = kSeconds;
    spec.firstPts = static_cast<int64_t>(kPtsRate);
    spec.packsPerFile = 40;
    VobAudioStream audio;
    audio.toneHz = 1000.0;
    audio.startPts = startPts;
    audio.beepSeconds = kBeepSeconds;
    for (const double mark : {0.3, 1.2, 2.1, 2.7}) {
        if (mark < start + kAc3EncoderDelay || mark - start + audio.beepSeconds > kSeconds)
            continue;
        title.marks.push_back(mark);
        audio.beeps.push_back(mark - start - kAc3EncoderDelay);
    }
    spec.audio = {audio};
    std::filesystem::create_directories(folder);
    title.set = writeVobSet(folder, spec);
    return title;
}

std::vector<double> toneStarts(const std::vector<int16_t>& samples, int channels, int rate) {
    std::vector<double> starts;
    if (rate <= 0 || channels <= 0)
        return starts;
    constexpr int kThreshold = 1000;
    const auto quietRun = static_cast<size_t>(rate / 20);
    size_t quiet = quietRun;
    for (size_t i = 0; i * static_cast<size_t>(channels) < samples.size(); ++i) {
        if (std::abs(samples[i * static_cast<size_t>(channels)]) < kThreshold) {
            ++quiet;
            continue;
        }
        if (quiet >= quietRun)
            starts.push_back(static_cast<double>(i) / rate);
        quiet = 0;
    }
    return starts;
}

void zeroStretch(const VobSet& set, int64_t offset, int64_t bytes) {
    while (bytes > 0) {
        const auto [file, at] = locate(set, offset);
        std::vector<uint8_t> data = readAll(file);
        const int64_t n = std::min<int64_t>(bytes, static_cast<int64_t>(data.size()) - at);
        std::fill_n(data.begin() + at, n, uint8_t{0});
        writeAll(file, data);
        offset += n;
        bytes -= n;
    }
}

void cutStretch(const VobSet& set, int64_t offset, int64_t bytes) {
    const auto [file, at] = locate(set, offset);
    std::vector<uint8_t> data = readAll(file);
    if (at + bytes > static_cast<int64_t>(data.size()))
        throw std::runtime_error("sync_title: the cut runs past " + file.string());
    data.erase(data.begin() + at, data.begin() + at + bytes);
    writeAll(file, data);
}

} // namespace kes::test
