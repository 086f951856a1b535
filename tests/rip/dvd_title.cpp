#include "tests/rip/dvd_title.h"

#include "tests/support/vobgen_video.h"

#include <cmath>

namespace kes::test {

namespace {

constexpr double NavSeconds = 0.5;
constexpr double SubtitleSeconds = 1.0;

std::vector<double> everyFrom(double first, double step, double seconds) {
    std::vector<double> starts;
    for (double t = first; t + SubtitleSeconds < seconds; t += step)
        starts.push_back(t);
    return starts;
}

VobSubpictureStream subpictureStream(uint8_t id, const std::vector<double>& starts, int y) {
    VobSubpictureStream stream;
    stream.id = id;
    for (const double start : starts)
        stream.subtitles.push_back({start, SubtitleSeconds, 100, y, 160, 32, false});
    return stream;
}

} // namespace

std::vector<double> englishSubtitleStarts(double seconds) {
    return everyFrom(0.5, 2.0, seconds);
}
std::vector<double> frenchSubtitleStarts(double seconds) {
    return everyFrom(1.5, 3.0, seconds);
}

VobSpec dvdTitleVobSpec(const DvdTitleSpec& spec) {
    VobSpec vob;
    vob.seconds = spec.seconds;
    if (spec.video) {
        VobVideoSpec video;
        video.bitRate = 4000000;
        video.flashes = spec.beeps;
        vob.videoMaker = mpeg2Video(video);
    }
    VobAudioStream english;
    english.id = 0x80;
    english.toneHz = 1000.0;
    english.beeps = spec.beeps;
    VobAudioStream french;
    french.id = 0x81;
    french.toneHz = 660.0;
    VobAudioStream german;
    german.kind = VobAudioKind::Lpcm;
    german.id = 0xA0;
    german.toneHz = 550.0;
    vob.audio = {english, french, german};
    vob.navSeconds = NavSeconds;
    vob.cellSeconds = {spec.seconds / 2, spec.seconds / 2};
    vob.subpictures = {subpictureStream(0x20, englishSubtitleStarts(spec.seconds), 400),
                       subpictureStream(0x21, frenchSubtitleStarts(spec.seconds), 440)};
    return vob;
}

IfoSpec dvdTitleIfoSpec(const DvdTitleSpec& spec) {
    IfoSpec ifo;
    ifo.audio = {{0, "en", 1, false, 2}, {0, "fr", 1, false, 2}, {4, "de", 1, false, 2}};
    ifo.subtitles = {"en", "fr"};
    for (uint32_t k = 0; k < 16; ++k)
        ifo.palette[k] = (k * 0x101010u) & 0xFFFFFF;
    ifo.palette[1] = 0xF0F0F0;
    ifo.palette[2] = 0x202020;
    ifo.palette[3] = 0xE04010;
    IfoCell first;
    first.seconds = spec.seconds / 2;
    IfoCell second = first;
    second.cellId = 2;
    ifo.cells = {first, second};
    return ifo;
}

DvdTitle writeDvdTitle(const std::filesystem::path& folder, const DvdTitleSpec& spec) {
    DvdTitle title;
    title.spec = spec;
    title.folder = folder;
    title.vob = dvdTitleVobSpec(spec);
    title.ifo = dvdTitleIfoSpec(spec);
    // The same spec gives the same stream: its pack count sets the size of each file.
    const size_t packs = makeProgramStream(title.vob).packs;
    title.vob.packsPerFile =
        (packs + static_cast<size_t>(spec.vobFiles) - 1) / static_cast<size_t>(spec.vobFiles);
    std::filesystem::create_directories(folder);
    title.set = writeVobSet(folder, title.vob);
    title.ifoPath = writeIfo(folder, title.ifo);
    return title;
}

} // namespace kes::test
