// The audio page: the title's audio streams and their IFO attributes, compression, normalisation and
// the audio time range.
#include "kes/form1.h"
#include "kes/form1_layout.h"

namespace kes {

using namespace layout;

namespace {
constexpr int LeftWidth = 410;
constexpr int RightLeft = 428;
constexpr int RightWidth = 402;
constexpr int GainMin = 10;
constexpr int GainMax = 300;
constexpr int GainDefault = 100; // tenths of a decibel
} // namespace

void TForm1::buildAudioPage() {
    at(GroupBox11, 8, 8, LeftWidth, 136);
    int row = GroupTop;
    labelAt(Label7, 10, row, 110);
    at(SubStream, 125, row, 170);
    at(PreAud, 305, row - 1, 90, RowHeight + 2);
    row += 34;
    labelAt(Label14, 10, row, 110);
    at(SecSubStream, 125, row, 170);
    at(Audio2Play, 305, row - 1, 90, RowHeight + 2);
    row += 34;
    at(flip, 10, row, 250);
    for (ui::Control* off : std::initializer_list<ui::Control*>{&Label14, &SecSubStream, &Audio2Play})
        off->setEnabled(false);

    at(gba, 8, 152, LeftWidth, 420);
    at(audioinfo, 10, GroupTop, LeftWidth - 20, 384);
    audioinfo.setReadOnly(true);

    at(GroupBox6, RightLeft, 8, RightWidth, 156);
    row = GroupTop;
    for (auto [label, combo] : {std::pair{&Label23, &mp3wma}, std::pair{&Label31, &Mode},
                                std::pair{&Label32, &Samplerate}, std::pair{&Label33, &Bitrate}}) {
        labelAt(*label, 10, row, 160);
        at(*combo, 180, row, 110);
        row += RowStep;
    }
    fill(mp3wma, {"MP3", "WMA"}, "MP3");
    fill(Mode, {"Mono", "Stereo"}, "Stereo");
    fill(Samplerate, {"48", "44.1"}, "48");
    fill(Bitrate, {"96", "112", "128", "160", "192"}, "128");

    at(GroupBox12, RightLeft, 172, RightWidth, 110);
    row = GroupTop;
    labelAt(Label22, 10, row + 4, 50);
    at(GainTrack, 65, row, 240, 32);
    labelAt(Gain, 315, row + 4, 80);
    row += 44;
    at(Norm2Other, 10, row, 300);
    GainTrack.setRange(GainMin, GainMax);
    GainTrack.setPositionSilent(GainDefault);
    GainTrack.setFrequency(10);

    at(AudioRangeGB, RightLeft, 290, RightWidth, 66);
    row = GroupTop + 4;
    at(AudioRange, 10, row, 120);
    at(ARange1, 140, row, 80);
    labelAt(Label39, 228, row, 20);
    at(ARange2, 252, row, 80);
    ARange1.setEnabled(false);
    ARange2.setEnabled(false);
}

} // namespace kes
