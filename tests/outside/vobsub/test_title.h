#pragma once

// A small DVD title on disk for the subtitle extractor's tests: "VTS_01_0.IFO" with three subpicture
// languages (English, French, German) and two cells of 3 s, and two VOB files with NAV packs every
// 0.5 s, a dummy video stream and the three subpicture streams (one subtitle spans several packs).

#include "tests/support/ifogen.h"
#include "tests/support/vobgen.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

struct TestTitle {
    IfoSpec ifo;
    VobSpec vob;
    VobSet set;
    std::filesystem::path ifoPath;
};

inline IfoSpec testIfoSpec() {
    IfoSpec spec;
    spec.subtitles = {"en", "fr", "de"};
    for (uint32_t k = 0; k < 16; ++k)
        spec.palette[k] = (k * 0x101010u + (k & 1 ? 0x400000u : 0x000040u)) & 0xFFFFFF;
    spec.palette[1] = 0xF0F0F0;
    spec.palette[2] = 0x202020;
    spec.palette[3] = 0xE04010;
    IfoCell first;
    first.seconds = 3.0;
    IfoCell second = first;
    second.cellId = 2;
    spec.cells = {first, second};
    spec.shorterChains = {1.0};
    return spec;
}

inline VobSpec testVobSpec() {
    VobSpec spec;
    spec.seconds = 6.0;
    spec.navSeconds = 0.5;
    spec.cellSeconds = {3.0, 3.0};
    spec.packsPerFile = 120;
    VobSubpictureStream english;
    english.id = 0x20;
    for (const double start : {0.5, 2.0, 3.5, 5.0})
        english.subtitles.push_back({start, 1.2, 100, 400, 160, 32, false});
    VobSubpictureStream french;
    french.id = 0x21;
    french.subtitles.push_back({1.0, 1.0, 80, 380, 200, 40, false});
    VobSubpictureStream german;
    german.id = 0x22;
    german.subtitles.push_back({1.5, 2.0, 60, 360, 240, 60, true});
    german.subtitles.push_back({4.5, 0.8, 120, 420, 100, 20, false});
    spec.subpictures = {english, french, german};
    return spec;
}

inline TestTitle writeTestTitle(const std::filesystem::path& folder, const IfoSpec& ifo = testIfoSpec(),
                                const VobSpec& vob = testVobSpec()) {
    TestTitle title;
    title.ifo = ifo;
    title.vob = vob;
    title.set = writeVobSet(folder, vob);
    title.ifoPath = writeIfo(folder, ifo);
    return title;
}

// The text of "vsp.ini" as the main window writes it.
inline std::string vspIni(const std::string& ifo, const std::string& destination,
                          const std::vector<int>& streams) {
    std::string text = ifo + "\r\n" + destination + "\r\n";
    for (const int s : streams)
        text += std::to_string(s) + " ";
    return text + "\r\nBLIND\r\nCLOSE\r\n";
}

} // namespace kes::test
