// The video page: codec and bit rates, the size and bit-rate suggestion, the converter's options,
// resize and crop, the preview and the title's video information.
#include "kes/form1.h"
#include "kes/form1_layout.h"

namespace kes {

using namespace layout;

namespace {

constexpr int LeftWidth = 410;
constexpr int RightLeft = 428;
constexpr int RightWidth = 402;

const std::vector<std::string> CodecItems = {"Low Motion", "Fast Motion", "DivX 4.x"};

const std::vector<std::string> BuiltInPresets = {
    "512x216 => 512x160 [2.35]",  "512x216 => 512x216 [2.35]",  "512x272 => 512x208 [1.85*]",
    "512x272 => 512x232 [1.85*]", "512x272 => 512x272 [1.85]",  "512x304 => 512x304 [1.66]",
    "512x384 => 512x384 [4:3]",   "640x216 => 640x160 [2.35]",  "640x216 => 640x216 [2.35]",
    "640x344 => 640x264 [1.85*]", "640x344 => 640x304 [1.85*]", "640x344 => 640x344 [1.85]",
    "640x384 => 640x384 [1.66]",  "640x480 => 640x480 [4:3]",   "720x304 => 720x232 [2.35]",
    "720x304 => 720x304 [2.35]",  "720x384 => 720x288 [1.85*]", "720x384 => 720x304 [1.85*]",
    "720x384 => 720x384 [1.85]",  "720x432 => 720x432 [1.66]"};

} // namespace

void TForm1::buildVideoPage() {
    // Codec and bit rates.
    at(gbv, 8, 8, LeftWidth, 244);
    int row = GroupTop;
    labelAt(lblCodec, 10, row, 80);
    at(Codec, 100, row, 150);
    at(dual, 270, row, 130);
    row += RowStep;
    labelAt(Label41, 10, row, 90);
    at(pass2, 100, row, 150);
    row += RowStep;
    labelAt(Label36, 10, row, 100);
    at(D4VBR, 110, row, 170);
    at(Button8, 290, row - 1, 100, RowHeight + 2);
    row += RowStep;
    at(proceed2, 110, row, 250);
    row += RowStep;
    labelAt(lblBitrate, 10, row, 80);
    at(DivFR, 100, row, 70);
    at(br1, 180, row, 200);
    row += RowStep;
    labelAt(Label12, 10, row, 80);
    at(DualBR, 100, row, 70);
    at(br2, 180, row, 200);
    row += RowStep;
    labelAt(lblKframe, 10, row, 100);
    at(kframe, 110, row, 50);
    at(vki, 170, row, 60);
    labelAt(lblCrisp, 240, row, 80);
    at(Crisp, 320, row, 60);

    fill(Codec, CodecItems, "Low Motion");
    fill(pass2, CodecItems, "Low Motion");
    fill(D4VBR, {"1-pass", "1-pass quality-based", "2-pass, first pass", "2-pass, second pass"}, "1-pass");
    br1.setCheckedSilent(true);
    for (ui::Control* off : std::initializer_list<ui::Control*>{&Label41, &pass2, &Label36, &D4VBR, &proceed2,
                                                                &Label12, &DualBR, &br2})
        off->setEnabled(false);

    // Size and bit-rate suggestion.
    at(gbf, 8, 258, LeftWidth, 176);
    row = GroupTop;
    labelAt(Label1, 10, row, 140);
    at(finalsize, 160, row, 90);
    row += RowStep;
    labelAt(Label2, 10, row, 140);
    at(movielength, 160, row, 50);
    labelAt(lblMin, 215, row, 35);
    at(sec, 255, row, 40);
    labelAt(lblSec, 300, row, 40);
    row += RowStep;
    labelAt(Label3, 10, row, 140);
    at(SBitRate, 160, row, 70);
    row += RowStep;
    labelAt(Label4, 10, row, 140);
    at(RadioButton1, 160, row, 70);
    at(wide, 240, row, 70);
    row += RowStep;
    at(lock1cd, 10, row, 250);
    fill(finalsize, {"650", "700", "1300", "1400", "2000"}, "650");
    wide.setCheckedSilent(true);

    // Converter options.
    at(Video, 8, 440, LeftWidth, 196);
    row = GroupTop;
    at(px3gui, 10, row, 250);
    row += 26;
    at(ForceDeint, 10, row, 250);
    row += 26;
    at(IVTC, 10, row, 180);
    at(IVTCnb, 200, row, 50);
    row += RowStep;
    labelAt(Label26, 10, row, 100);
    at(fps, 110, row, 90);
    at(PostFilter, 210, row, 180);
    row += RowStep;
    labelAt(Label30, 10, row, 100);
    at(RefQuality, 110, row, 280);
    row += RowStep;
    at(Output, 110, row, 280);
    px3gui.setCheckedSilent(true);
    fill(IVTCnb, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, "2");
    IVTCnb.setEnabled(false);
    fill(fps, {"23.976", "24", "25", "29.970", "30"}, "25");
    fill(PostFilter, {"High Quality", "Fast"}, "High Quality");
    fill(RefQuality,
         {"64-bit D-FPU IDCT", "32-bit MMX32 IDCT", "16-bit MMX16 Chen IDCT", "16-bit MMX16 AAN IDCT",
          "3DNOW AP-922float IDCT", "SSE AP-922float IDCT", "Fast ASSP-32 iDCT", "64-bit FPU IDCT"},
         "32-bit MMX32 IDCT");
    fill(Output, {"AVI - RGB24 - 4:4:4", "AVI - YV12 - 4:2:0 ", "AVI - YUY2 - 4:2:2 "},
         "AVI - YV12 - 4:2:0 ");

    // Resize and crop.
    at(gbcropdown, RightLeft, 8, RightWidth, 212);
    row = GroupTop;
    at(presets, 10, row, RightWidth - 20);
    row += 32;
    at(DownX, 10, row, 140);
    at(XSize, 160, row, 60);
    row += RowStep;
    at(DownY, 10, row, 140);
    at(YSize, 160, row, 60);
    row += RowStep;
    at(Crop, 10, row, 140);
    at(XCrop, 160, row, 60);
    at(YCrop, 230, row, 60);
    row += RowStep;
    at(lockcrop, 10, row, 190);
    at(Halfres, 210, row, 180);
    row += RowStep;
    at(fix, 10, row, 90, ButtonHeight);
    at(addres, 110, row, 90, ButtonHeight);
    std::vector<std::string> presetItems = {"*user selection"};
    presetItems.insert(presetItems.end(), BuiltInPresets.begin(), BuiltInPresets.end());
    fill(presets, presetItems, "*user selection");
    presets.setItemIndexSilent(0);
    for (ui::Edit* size : {&XSize, &YSize, &XCrop, &YCrop})
        size->setEnabled(false);

    // Preview and time range.
    at(PreVid, RightLeft, 226, RightWidth, 132);
    row = GroupTop;
    at(PreviewVid, 10, row, 120, ButtonHeight);
    at(directadjust, 140, row, 120, ButtonHeight);
    row += 36;
    at(prevstart, 10, row, 180);
    at(Min, 200, row, 70);
    row += RowStep;
    at(Range, 10, row, 120);
    at(Range1, 140, row, 80);
    labelAt(Label8, 228, row, 20);
    at(Range2, 252, row, 80);
    for (ui::Control* off : std::initializer_list<ui::Control*>{&Min, &Range1, &Range2})
        off->setEnabled(false);

    // Video information of the title's IFO file.
    at(gbvinfo, RightLeft, 364, RightWidth, 204);
    row = GroupTop;
    ui::Label* names[] = {&vl1, &vl2, &vl3, &vl4, &vl5, &vl6};
    ui::Label* values[] = {&_v1, &_v2, &_V3, &_v4, &_v5, &_v6};
    for (size_t i = 0; i < std::size(names); ++i) {
        labelAt(*names[i], 10, row, 130);
        labelAt(*values[i], 150, row, 200);
        row += 28;
    }
}

} // namespace kes
