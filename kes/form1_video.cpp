// The video page's size, bit-rate and picture handlers: the suggested video bit rate and where it
// goes, the resize and crop presets and sizes, the user's presets, and the title's video information.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/ifo_video.h"
#include "kes/text_helpers.h"
#include "kes/video_page.h"

#include "platform/core/files.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/key_filters.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr int MsgLowBitrate = 40;
constexpr int MsgLowBitrateAdvice = 41;
constexpr int MsgFinalSizeLimit = 57;
constexpr int32_t MaxFinalSize = 2000;
// Between these bit rates a DivX 3 codec gives a poor picture; the user is told so.
constexpr int32_t LowBitrateFloor = 300;
constexpr int32_t LowBitrateCeiling = 650;
constexpr const char* UserPresetsFile = "profiles/user.res";
constexpr const char* Unknown = "???";
constexpr const char* DefaultMinutes = "120";
constexpr const char* DefaultSeconds = "00";
constexpr std::size_t SecondsDigits = 2;
constexpr int32_t MaxSeconds = 59;
constexpr ui::Color SizeOkColor = ui::Colors::Green;
constexpr ui::Color SizeOffColor = ui::Colors::Red;

// An empty size box reads as "0"; a value off the step of 8 is shown in red.
bool settleSizeBox(ui::Edit& box) {
    if (box.text().empty()) {
        box.setText("0"); // runs the box's handler again with the new value
        return false;
    }
    box.setFontColor(core::strToInt(box.text()) % SizeStep == 0 ? SizeOkColor : SizeOffColor);
    return true;
}

} // namespace

void TForm1::connectVideoHandlers() {
    finalsize.onChange = [this] { FinalSizeChange(); };
    movielength.onChange = [this] { MovieLengthChange(); };
    sec.onChange = [this] {
        // A typed two-digit value above 59 becomes 59.
        if (sec.text().size() == SecondsDigits && core::strToIntDef(sec.text(), 0) > MaxSeconds) {
            sec.setText(core::intToStr(MaxSeconds));
            return;
        }
        MovieLengthChange();
    };
    Bitrate.onChange = [this] { BitrateChange(); };
    RadioButton1.onClick = [this] { RadioButton1Click(); };
    wide.onClick = [this] { wideClick(); };
    SBitRate.onChange = [this] { SBitRateChange(); };
    lock1cd.onClick = [this] { lock1cdClick(); };
    presets.onChange = [this] { presetsChange(); };
    fix.onClick = [this] { FixClick(); };
    addres.onClick = [this] { addresClick(); };
    DownX.onClick = [this] { XSize.setEnabled(DownX.checked()); };
    DownY.onClick = [this] { YSize.setEnabled(DownY.checked()); };
    Crop.onClick = [this] {
        XCrop.setEnabled(Crop.checked());
        YCrop.setEnabled(Crop.checked());
    };
    Halfres.onClick = [this] { HalfresClick(); };
    XSize.onChange = [this] { XSizeChange(); };
    YSize.onChange = [this] { YSizeChange(); };
    XCrop.onChange = [this] { XCropChange(); };
    YCrop.onChange = [this] { YCropChange(); };

    for (ui::Edit* numeric : {&XSize, &YSize, &XCrop, &YCrop, &kframe, &DivFR, &movielength, &Crisp,
                              &cpuusage, &MaxQ, &MinQ, &rateavg, &rperiod, &downup})
        numeric->onKeyPress = [](char& key) { ui::numericKeyFilter(key); };
    sec.onKeyPress = [this](char& key) {
        ui::numericKeyFilter(key);
        if (static_cast<unsigned char>(key) >= ' ' && sec.text().size() >= SecondsDigits)
            key = 0;
    };
    SBitRate.onKeyPress = [](char& key) { ui::displayOnlyKeyFilter(key); };
    presets.onKeyPress = [](char& key) { ui::displayOnlyKeyFilter(key); };
}

// ---- Bit rate ----

int TForm1::bitratecalc(const std::string& sizeText, const std::string& minutesText, bool /*divx4*/,
                        bool /*aspect*/, const std::string& audioBitrate) {
    // The codec no longer matters: every codec is given the rate that fills the CD (suggestedBitrate).
    return suggestedBitrate({sizeText, minutesText, sec.text(), movielength.text(), audioBitrate});
}

void TForm1::MovieLengthChange() {
    const int v = bitratecalc(finalsize.text(), movielength.text(), contains(Codec.text(), "4"),
                              wide.checked(), Bitrate.text());
    if (v > 0)
        SBitRate.setText(core::intToStr(v));
}

void TForm1::FinalSizeChange() {
    if (!finalsize.text().empty() && core::strToInt(finalsize.text()) > MaxFinalSize) {
        ui::errorBox(MessageTable[MsgFinalSizeLimit]);
        finalsize.setText(core::intToStr(MaxFinalSize));
        return;
    }
    MovieLengthChange();
}

void TForm1::BitrateChange() {
    MovieLengthChange();
    setautoparam();
}

void TForm1::RadioButton1Click() {
    if (const auto v = aspectEstimate(finalsize.text(), movielength.text(), Bitrate.text(), wide.checked()))
        SBitRate.setText(core::intToStr(*v));
}

void TForm1::wideClick() {
    RadioButton1Click();
}

void TForm1::SBitRateChange() {
    (br1.checked() ? DivFR : DualBR).setText(SBitRate.text());
    const int32_t rate = core::strToInt(SBitRate.text());
    const bool divx3 = br1.checked() ? !contains(Codec.text(), "4") : !contains(pass2.text(), "4");
    if (rate > LowBitrateFloor && rate < LowBitrateCeiling && divx3)
        ui::informationBox(MessageTable[MsgLowBitrate] + "\r\n" + MessageTable[MsgLowBitrateAdvice]);
}

void TForm1::lock1cdClick() {
    setautoparam();
}

// ---- Presets and sizes ----

void TForm1::presetsChange() {
    changepres();
}

void TForm1::changepres() {
    const auto preset = parsePreset(presets.text());
    if (!preset) {
        DownX.setChecked(false);
        DownY.setChecked(false);
        Crop.setChecked(false);
        return;
    }
    DownX.setChecked(true);
    XSize.setText(preset->xSize);
    DownY.setChecked(true);
    YSize.setText(preset->ySize);
    Crop.setChecked(true);
    XCrop.setText(preset->xCrop);
    YCrop.setText(preset->yCrop);
}

void TForm1::fixval(int step) {
    for (ui::Edit* box : {&XSize, &YSize, &XCrop, &YCrop})
        box->setText(core::intToStr(roundToStep(core::strToInt(box->text()), step)));
}

void TForm1::FixClick() {
    fixval(SizeStep);
}

void TForm1::addresClick() {
    if (!DownX.checked() || !DownY.checked() || !Crop.checked())
        return;
    presets.addItem(userPresetText({XSize.text(), YSize.text(), XCrop.text(), YCrop.text()}));
    const std::string path = ProgDir + UserPresetsFile;
    if (!core::writeLines(path, userPresetLines(presets.items())))
        ui::errorBox("Can't write " + path + " !");
}

void TForm1::HalfresClick() {
    DownX.setChecked(false);
    DownY.setChecked(false);
    Crop.setChecked(false);
    setautoparam();
}

void TForm1::XSizeChange() {
    if (!settleSizeBox(XSize))
        return;
    if (!lockcrop.checked()) {
        XCrop.setText(XSize.text());
        YCrop.setText(YSize.text());
    }
    setautoparam();
}

void TForm1::YSizeChange() {
    if (!settleSizeBox(YSize))
        return;
    if (!lockcrop.checked()) {
        XCrop.setText(XSize.text());
        YCrop.setText(YSize.text());
    }
    setautoparam();
}

void TForm1::XCropChange() {
    settleSizeBox(XCrop);
}

void TForm1::YCropChange() {
    settleSizeBox(YCrop);
}

// ---- Title information ----

void TForm1::VidInfo(unsigned char attributeA, unsigned char attributeB) {
    const VideoInfoTexts t = videoInfoTexts(attributeA, attributeB);
    _v1.setCaption(t.coding);
    _v2.setCaption(t.standard);
    _V3.setCaption(t.aspect);
    (t.wide ? wide : RadioButton1).setChecked(true);
    _v4.setCaption(t.bitrateMode);
    _v5.setCaption(t.resolution);
    _v6.setCaption(t.letterboxed);
}

void TForm1::ShowIfoTitleInfo() {
    const std::string ifoPath = ifofile.text();
    for (ui::Label* label : {&_v1, &_v2, &_V3, &_v4, &_v5, &_v6})
        label->setCaption(Unknown);
    IfoTitleInfo info;
    info.minutes.clear();
    if (core::fileExists(ifoPath)) {
        // A damaged IFO is reported and its title shown as unknown; the pages read what they can.
        try {
            info = ReadIfoTitleInfo(ifoPath, {});
            VidInfo(info.attributeA, info.attributeB);
        } catch (const IfoReadError&) {
            info = IfoTitleInfo{};
            info.minutes.clear();
            reportDamagedIfo(ifoPath, "Can't read the title information of " + ifoPath + " !");
        }
    }
    const bool read = !info.minutes.empty();
    movielength.setText(read ? info.minutes : DefaultMinutes);
    sec.setText(read ? info.seconds : DefaultSeconds);
    if (info.standard == "PAL")
        fps.setText("25");
    else if (info.standard == "NTSC")
        fps.setText("23.976");
}

} // namespace kes
