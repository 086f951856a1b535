// The video page's codec handlers: the first and second codec, the DivX 4 rate mode and its two-pass
// flow, the converter variants, the time range and preview start, the on-screen crop, the DivX 4
// settings page over the codec's registry key, and the settings description with the output names.
#include "kes/divx4_settings.h"
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/m2a_bat.h"
#include "kes/text_helpers.h"
#include "kes/video_page.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/key_filters.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr int MsgCodecMissing = 43;
constexpr int MsgNoFirstPassLog = 60;
constexpr int MsgFirstPassLogName = 61;
constexpr int MsgRunFirstPass = 62;
constexpr int MsgFirstPassAdvice = 63;
constexpr int MsgSettingsApplied = 66;
constexpr const char* CodecMissingPrefix = "V 4.x ";
constexpr const char* OnePassError = "1-pass Encoding parameters ERROR";
constexpr const char* SettingsNotSaved = "Cannot save the DivX4 codec settings !";
constexpr const char* DivX4Decoder = "divxdec.ax";
constexpr const char* DivX4Codec = "divx.dll";
constexpr const char* KeyFramesNone = "9999";
constexpr const char* KeyFramesDefault = "10";
constexpr const char* CrLf = "\r\n";
// "hh:mm:ss": eight characters with ":" at positions 3 and 6.
constexpr std::size_t TimeTextLength = 8;
constexpr std::size_t FirstColon = 2;
constexpr std::size_t SecondColon = 5;
constexpr ui::Color TimeOkColor = ui::Colors::Green;
constexpr ui::Color TimeBadColor = ui::Colors::Red;
constexpr uint32_t SlowestQuality = 5;
constexpr int PplPerLevel = 10;

bool divx4Installed() {
    return core::fileExists(core::joinPath(SystemDir, DivX4Decoder)) &&
           core::fileExists(core::joinPath(SystemDir, DivX4Codec));
}

bool looksLikeTime(const std::string& text) {
    return text.size() == TimeTextLength && text[FirstColon] == ':' && text[SecondColon] == ':';
}

uint32_t numberOf(const ui::Edit& box) {
    return static_cast<uint32_t>(core::strToInt(box.text()));
}

} // namespace

void TForm1::connectCodecHandlers() {
    Codec.onChange = [this] { CodecChange(); };
    pass2.onChange = [this] { pass2Change(); };
    D4VBR.onChange = [this] { D4VBRChange(); };
    dual.onClick = [this] { dualClick(); };
    ForceDeint.onClick = [this] { ForceDeintClick(); };
    px3gui.onClick = [this] { px3guiClick(); };
    IVTC.onClick = [this] { IVTCClick(); };
    vki.onClick = [this] { vkiClick(); };
    proceed2.onClick = [this] { setautoparam(); };
    DivFR.onChange = [this] { setautoparam(); };
    fps.onChange = [this] { setautoparam(); };
    Range.onClick = [this] { RangeClick(); };
    Range1.onChange = [this] { Range1Change(); };
    Range2.onChange = [this] { Range2Change(); };
    prevstart.onClick = [this] { prevstartClick(); };
    directadjust.onClick = [this] { directadjustClick(); };
    Descrip.onChange = [this] { DescripChange(); };
    Button9.onClick = [this] { Button9Click(); };
    encqual.onChange = [this] { encqualChange(); };
    ppl.onChange = [this] { pplChange(); };

    Range1.onKeyPress = [](char& key) { ui::timeKeyFilter(key); };
    Range2.onKeyPress = [](char& key) { ui::timeKeyFilter(key); };
    Descrip.onKeyPress = [](char& key) { ui::displayOnlyKeyFilter(key); };
}

// ---- Codecs and rate mode ----

void TForm1::CodecChange() {
    if (contains(Codec.text(), "Motion")) {
        Label36.setEnabled(false);
        D4VBR.setEnabled(false);
        proceed2.setChecked(false);
        proceed2.setEnabled(false);
        Button8.setEnabled(false);
        if (vki.checked())
            kframe.setText(KeyFramesNone);
    } else if (divx4Installed()) {
        if (vki.checked())
            kframe.setText(KeyFramesNone);
        if (contains(D4VBR.text(), "first")) {
            proceed2.setEnabled(true);
        } else {
            proceed2.setChecked(false);
            proceed2.setEnabled(false);
        }
        Button8.setEnabled(true);
        Label36.setEnabled(true);
        D4VBR.setEnabled(true);
    } else {
        codecMissingBox(CodecMissingPrefix);
    }
    setautoparam();
}

void TForm1::codecMissingBox(const char* prefix) {
    // A multi-rip loads a profile per entry: a rip that needs the codec fails in its converter, which
    // the list's log names.
    if (unattended())
        return;
    if (startingUp_) {
        if (codecBoxShownAtStart_)
            return;
        codecBoxShownAtStart_ = true;
    }
    ui::errorBox(prefix + MessageTable[MsgCodecMissing]);
}

void TForm1::pass2Change() {
    if (contains(pass2.text(), "Motion")) {
        Label36.setEnabled(false);
        D4VBR.setEnabled(false);
        if (vki.checked())
            kframe.setText(KeyFramesNone);
    } else if (divx4Installed()) {
        if (vki.checked())
            kframe.setText(KeyFramesNone);
        Label36.setEnabled(true);
        D4VBR.setEnabled(true);
    } else {
        codecMissingBox(CodecMissingPrefix);
    }
}

void TForm1::D4VBRChange() {
    const bool qualityBased = D4VBR.enabled() && contains(D4VBR.text(), "uality");
    DivFR.setEnabled(!qualityBased);
    if (dual.checked())
        DualBR.setEnabled(!qualityBased);

    writeRateModePresets(D4VBR.text());

    if (contains(D4VBR.text(), "first")) {
        proceed2.setEnabled(true);
        proceed2.setChecked(true);
    } else {
        const std::string logName = firstPassLogName(AVIFile.text(), FinalFile.text());
        if (contains(D4VBR.text(), "second") && !core::fileExists(logName)) {
            ui::informationBox(MessageTable[MsgNoFirstPassLog] + CrLf + MessageTable[MsgFirstPassLogName] +
                               logName + CrLf + MessageTable[MsgRunFirstPass] + CrLf +
                               MessageTable[MsgFirstPassAdvice] + CrLf);
        }
        proceed2.setChecked(false);
        proceed2.setEnabled(false);
    }
    setautoparam();
}

void TForm1::dualClick() {
    if (dual.checked()) {
        const bool divx4 = contains(Codec.text(), "4") || contains(pass2.text(), "4");
        Label36.setEnabled(divx4);
        D4VBR.setEnabled(divx4);
        for (ui::Control* second :
             std::initializer_list<ui::Control*>{&Label41, &pass2, &Label12, &DualBR, &br2})
            second->setEnabled(true);
        ForceDeint.setChecked(false);
        px3gui.setChecked(true);
    } else {
        const bool divx4 = contains(Codec.text(), "4");
        Label36.setEnabled(divx4);
        D4VBR.setEnabled(divx4);
        for (ui::Control* second :
             std::initializer_list<ui::Control*>{&Label41, &pass2, &br2, &Label12, &DualBR})
            second->setEnabled(false);
        br1.setChecked(true);
    }
}

// ---- Converter variants, range and preview ----

void TForm1::ForceDeintClick() {
    if (!ForceDeint.checked())
        return;
    for (ui::CheckBox* box : {&IVTC, &dual, &prevstart, &px3gui})
        box->setChecked(false);
}

void TForm1::px3guiClick() {
    if (px3gui.checked())
        ForceDeint.setChecked(false);
}

void TForm1::IVTCClick() {
    if (IVTC.checked())
        ForceDeint.setChecked(false);
    IVTCnb.setEnabled(IVTC.checked());
}

void TForm1::vkiClick() {
    kframe.setText(vki.checked() ? KeyFramesNone : KeyFramesDefault);
    setautoparam();
}

void TForm1::RangeClick() {
    AudioRange.setChecked(Range.checked());
    Range1.setEnabled(Range.checked());
    Range2.setEnabled(Range.checked());
}

void TForm1::Range1Change() {
    Range1.setFontColor(looksLikeTime(Range1.text()) ? TimeOkColor : TimeBadColor);
    ARange1.setText(Range1.text());
}

void TForm1::Range2Change() {
    Range2.setFontColor(looksLikeTime(Range2.text()) ? TimeOkColor : TimeBadColor);
    ARange2.setText(Range2.text());
}

void TForm1::prevstartClick() {
    Min.setEnabled(prevstart.checked());
}

void TForm1::directadjustClick() {
    JobGuard job(*this);
    if (!prepareOnScreenRun())
        return;
    SetPrevParam(1);
    ReadOnScreenSizes();
}

void TForm1::DescripChange() {
    curset.setText(Descrip.text());
}

// ---- DivX 4 settings page ----

void TForm1::readD4settings() {
    const auto values = readDivX4Values();
    if (!values)
        return;
    if (values->quality && *values->quality >= 1 && *values->quality <= SlowestQuality)
        perfqual.setItemIndex(static_cast<int>(*values->quality) - 1);
    if (values->deinterlace)
        DI.setChecked(*values->deinterlace == 1);
    if (values->haveCpuLimit)
        maxcpu.setChecked(*values->haveCpuLimit == 1);
    const std::pair<const std::optional<uint32_t>&, ui::Edit&> numbers[] = {
        {values->cpuLimit, cpuusage}, {values->maxQuantizer, MaxQ},      {values->minQuantizer, MinQ},
        {values->rcPeriod, rateavg},  {values->reactionPeriod, rperiod}, {values->reactionRatio, downup}};
    for (const auto& [value, box] : numbers) {
        if (value)
            box.setText(core::intToStr(*value));
    }
    if (values->vbrQuality)
        encqual.setPosition(static_cast<int>(*values->vbrQuality));
    if (values->postprocessing)
        ppl.setPosition(static_cast<int>(*values->postprocessing));
}

bool TForm1::setD4settings() {
    const bool missing = MaxQ.text().empty() || MinQ.text().empty() || rateavg.text().empty() ||
                         rperiod.text().empty() || downup.text().empty();
    if (missing || main.activePage() != &D4settings) {
        ui::errorBox(OnePassError);
        return false;
    }
    DivX4Values v;
    v.quality = perfqual.itemIndex() < 0 ? SlowestQuality : static_cast<uint32_t>(perfqual.itemIndex()) + 1;
    v.deinterlace = DI.checked() ? 1 : 0;
    v.haveCpuLimit = maxcpu.checked() ? 1 : 0;
    v.cpuLimit = numberOf(cpuusage);
    v.maxQuantizer = numberOf(MaxQ);
    v.minQuantizer = numberOf(MinQ);
    v.rcPeriod = numberOf(rateavg);
    v.reactionPeriod = numberOf(rperiod);
    v.reactionRatio = numberOf(downup);
    v.vbrQuality = static_cast<uint32_t>(encqual.position());
    v.postprocessing = static_cast<uint32_t>(ppl.position());
    if (!writeDivX4Values(v)) {
        ui::errorBox(SettingsNotSaved);
        return false;
    }
    return true;
}

void TForm1::Button9Click() {
    // Only settings that were written are reported as applied; otherwise the page stays for a fix.
    if (!setD4settings())
        return;
    ui::showMessage(MessageTable[MsgSettingsApplied]);
    OptionsButtonClick();
}

void TForm1::encqualChange() {
    eqtxt.setCaption(core::intToStr(encqual.position()) + "%");
}

void TForm1::pplChange() {
    if (const int snapped = pplSnap(ppl.position()); snapped != ppl.position()) {
        ppl.setPosition(snapped); // runs this handler again with the snapped position
        return;
    }
    Label58.setCaption(core::intToStr(ppl.position() / PplPerLevel));
}

// ---- Settings description and names ----

void TForm1::setautoparam() {
    MovieLengthChange();
    DescriptionInputs in;
    in.divFR = DivFR.text();
    in.lock1cd = lock1cd.checked();
    in.currentDescription = Descrip.text();
    in.kframe = kframe.text();
    in.fps = fps.text();
    in.halfres = Halfres.checked();
    in.crop = Crop.checked();
    in.xCrop = XCrop.text();
    in.yCrop = YCrop.text();
    in.downX = DownX.checked();
    in.downY = DownY.checked();
    in.xSize = XSize.text();
    in.ySize = YSize.text();
    in.audioCodec = mp3wma.text();
    in.sampleRate = Samplerate.text();
    in.audioBitrate = Bitrate.text();
    in.codec = Codec.text();
    in.proceed2 = proceed2.checked();
    in.rateMode = D4VBR.text();
    Descrip.setText(settingsDescription(in));
    if (const auto names = profileOutputNames(ProfileEdit.text(), FinalFile.text(), AviSS2.text())) {
        FinalFile.setText(names->finalFile);
        AviSS2.setText(names->aviSS2);
    }
    isfileok();
}

} // namespace kes
