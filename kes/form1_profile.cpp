// Profiles in the main window: writing the controls into a profile, reading a profile back into the
// controls, and the defaults a load starts from. The text format itself is in profile_format.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/profile_format.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <stdexcept>

namespace kes {

namespace core = platform::core;

namespace {

constexpr int MsgProfileName = 21;
constexpr const char* NameBoxCaption = "Oops !";
constexpr const char* DefaultProfileTitle = "None";
constexpr const char* CodecMissingPrefix = "V. 4.x ";
constexpr const char* DivX4Decoder = "divxdec.ax";
constexpr const char* DivX4Codec = "divx.dll";
constexpr const char* KeyFramesNone = "9999";
constexpr int GainDefault = 100; // tenths of a decibel
constexpr long double TenthsPerDecibel = 10;

// Check rule: a value ticks the box when it is "1" and clears it otherwise; no value leaves the box.
void checkRule(ui::CheckBox& box, const std::string& value) {
    if (!value.empty())
        box.setChecked(value == "1");
}

// Strict check rule: ticked only by "1"; anything else, and no value, clears the box.
void strictRule(ui::CheckBox& box, const std::string& value) {
    box.setChecked(value == "1");
}

std::optional<int> integerValue(const std::string& value) {
    int32_t number = 0;
    if (!core::tryStrToInt(value, number))
        return std::nullopt;
    return number;
}

std::string firstCharacterReplaced(const std::string& text, const std::string& by) {
    if (text.empty())
        return by;
    size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        ++length;
    return by + text.substr(length);
}

} // namespace

// ---- Writing

ProfileSettings TForm1::gatherProfileSettings() {
    ProfileSettings s;
    s.title = ProfileEdit.text();
    s.description = Descrip.text();
    s.comment = Comment.text();
    s.vobPath = Vobfile.text();
    s.aviPath = AVIFile.text();
    s.wavPath = WavFileEdit.text();
    s.compressPath = compaudiofile.text();
    s.finalPath = FinalFile.text();
    s.wav2Path = Wav2.text();
    s.compressPath2 = compressedSS2.text();
    s.finalPathSS2 = AviSS2.text();
    s.ripVideo = RipVid.checked();
    s.ripAudio = RipAudio.checked();
    s.audioMethod = arip.text();
    s.compress = compress.checked();
    s.delWav = DelWav.checked();
    s.normalize = normal.checked();
    s.merge = Merge.checked();
    s.ripAll = RipAll.checked();
    s.twoStreams = twostreams.checked();
    s.log = log.checked();
    s.vexlor = Vexlor.checked();
    s.shutdown = Shut.checked();
    s.extractSub = extractsub.checked();
    s.split = Split.checked();
    s.splitAfter = Saft.checked();
    s.splitSize = splitsize.text();
    s.lockCd = lock1cd.checked();

    s.divxAuto = DivxAuto.checked();
    s.codec = Codec.text();
    s.vbr = D4VBR.text();
    s.dual = dual.checked();
    s.codec2 = pass2.text();
    s.keyFrames = kframe.text();
    s.vki = vki.checked();
    s.crisp = Crisp.text();
    s.finalSize = finalsize.text();
    s.movieLength = movielength.text();
    s.movieSeconds = sec.text();
    s.wide = wide.checked();
    s.bitrate = DivFR.text();
    s.bitrate2 = DualBR.text();
    s.continuePass2 = proceed2.checked() && proceed2.enabled();

    s.forceDeint = ForceDeint.checked();
    s.px3 = px3gui.checked();
    s.fps = fps.text();
    s.postFilter = PostFilter.text();
    s.refQuality = RefQuality.text();
    s.output = Output.text();
    s.crop = Crop.checked();
    s.xCrop = XCrop.text();
    s.yCrop = YCrop.text();
    s.ivtc = IVTC.checked();
    s.ivtcFrames = IVTCnb.text();
    s.downX = DownX.checked();
    s.xSize = XSize.text();
    s.downY = DownY.checked();
    s.ySize = YSize.text();
    s.halfRes = Halfres.checked();
    s.range = Range.checked();
    s.range1 = Range1.text();
    s.range2 = Range2.text();

    s.audioCodec = mp3wma.text();
    s.subStream = SubStream.text();
    s.subStream2 = SecSubStream.text();
    s.flip = flip.checked();
    s.sampleRate = Samplerate.text();
    s.audioBitrate = Bitrate.text();
    s.mode = Mode.text();
    s.audioRange = AudioRange.checked();
    s.aRange1 = ARange1.text();
    s.aRange2 = ARange2.text();
    s.norm2Other = Norm2Other.checked();
    s.gain = GainTrack.position();
    s.subtitleLanguages = selectedlng.items();
    return s;
}

void TForm1::CreateProfile(bool exportOnly) {
    // The target is taken first: naming the profile below renames the save dialog's proposal.
    std::string target = SaveDialog1.fileName;
    if (!target.empty() && target.front() != core::PathDelim && !SaveDialog1.initialDir.empty())
        target = core::joinPath(SaveDialog1.initialDir, target);
    while (ProfileEdit.text().empty())
        ProfileEdit.setText(ui::inputBox(NameBoxCaption, MessageTable[MsgProfileName], DefaultProfileTitle));
    const std::string bytes = writeProfile(gatherProfileSettings(), exportOnly);
    // Written whole or not at all: a failure leaves the file that was there.
    if (target.empty() || !core::writeFileAtomic(target, bytes))
        throw std::runtime_error("Cannot create file \"" + target + "\"");
}

// ---- Reading

void TForm1::ReadProFile(const std::string& path) {
    const auto bytes = readProfileBytes(path);
    if (!bytes)
        throw std::runtime_error("Cannot open file \"" + path + "\"");
    ProfileContent content = profileContent(*bytes);
    ProfileLines = std::move(content.lines);
    ProfileText = std::move(content.text);
    ProfileTextUpper = std::move(content.upper);
}

std::string TForm1::SeekItem(const std::string& key) const {
    return seekProfileItem(ProfileText, ProfileTextUpper, key);
}

std::string TForm1::FindPflName(const std::string& path) {
    ReadProFile(path);
    return SeekItem("profiletitle=");
}

void TForm1::loadCodec(ui::ComboBox& codecList, const std::string& value) {
    if (value == "F") {
        codecList.setText(std::string(CodecFastMotion));
    } else if (value == "L") {
        codecList.setText(std::string(CodecLowMotion));
    } else if (core::fileExists(core::joinPath(SystemDir, DivX4Decoder)) &&
               core::fileExists(core::joinPath(SystemDir, DivX4Codec))) {
        codecList.setText(std::string(CodecDivX4));
        Label36.setEnabled(true);
        D4VBR.setEnabled(true);
    } else {
        codecMissingBox(CodecMissingPrefix);
    }
}

void TForm1::CopyFromProfile() {
    const auto item = [this](const char* key) { return SeekItem(key); };
    std::string v;

    ui::processMessages();                 // 1
    Descrip.setText(item("Description=")); // 2

    // 3. Paths; a later key for the same edit wins.
    const auto path = [&](const char* key, ui::Edit& edit, ui::FileDialog* dialog) {
        if (const std::string value = item(key); !value.empty()) {
            edit.setText(value);
            if (dialog)
                dialog->initialDir = core::extractFilePath(value);
        }
    };
    path("vobpath=", Vobfile, &OpenDialog1);
    path("avipath=", AVIFile, &OpenDialog2);
    path("MP3Path=", WavFileEdit, &OpenDialog3);
    path("WavPath=", WavFileEdit, &OpenDialog3);
    path("Wav2Path=", Wav2, &OpenDialog3);
    path("CompressPath2=", compressedSS2, nullptr);
    path("CompressPath=", compaudiofile, nullptr);
    path("finalpath=", FinalFile, &OpenDialog5);
    path("finalpathss2=", AviSS2, nullptr);

    if (v = item("profiletitle="); !v.empty()) // 4
        ProfileEdit.setText(v);
    if (v = item("Comment="); !v.empty())
        Comment.setText(v);

    checkRule(RipVid, item("ripvid=")); // 5
    checkRule(twostreams, item("2Streams="));
    if (v = item("ripaud="); !v.empty()) {
        RipAudio.setChecked(v == "1");
        arip.setEnabled(RipAudio.checked());
    }

    if (v = item("UseAC3Dec="); !v.empty()) // 6
        arip.setText(v == "1" ? std::string("AC3Dec") : arip.item(0));
    if (v = item("UseAzid="); !v.empty())
        arip.setText(v == "1" ? std::string("Azid") : arip.item(0));

    checkRule(compress, item("compressaudio=")); // 7
    checkRule(DelWav, item("DelWav="));
    checkRule(normal, item("Normalize="));
    checkRule(Merge, item("merge="));
    checkRule(RipAll, item("ripall="));
    checkRule(log, item("Log="));
    checkRule(Split, item("Split="));

    if (v = item("Cut@="); !v.empty()) { // 8
        Saft.setChecked(true);
        splitsize.setText(v);
    }

    checkRule(Vexlor, item("Vexlor=")); // 9
    checkRule(Shut, item("SDown="));

    if (v = item("fps="); !v.empty()) // 10
        fps.setText(v);
    if (v = item("postq="); !v.empty())
        PostFilter.setText(std::string(v == "hq" ? PostFilterHigh : PostFilterFast));

    // 11, 12. A value that is no number counts as missing.
    if (const auto code = integerValue(item("refq=")))
        if (const auto text = refQualityText(*code))
            RefQuality.setText(*text);
    if (const auto code = integerValue(item("output=")))
        if (const auto text = outputText(*code))
            Output.setText(*text);

    if (v = item("IVTC="); !v.empty()) { // 13
        IVTC.setChecked(true);
        IVTCnb.setEnabled(true);
        IVTCnb.setText(v);
    } else {
        IVTCnb.setEnabled(false);
        IVTC.setChecked(false);
    }

    if (v = item("downxsize="); !v.empty()) { // 14
        DownX.setChecked(true);
        XSize.setText(v);
    } else {
        XSize.setText({});
        DownX.setChecked(false);
    }
    if (v = item("downysize="); !v.empty()) {
        DownY.setChecked(true);
        YSize.setText(v);
    } else {
        YSize.setText({});
        DownY.setChecked(false);
    }

    if (v = item("cropX="); !v.empty()) { // 15
        Crop.setChecked(true);
        XCrop.setText(v);
    } else {
        Crop.setChecked(false);
        XCrop.setText({});
        YCrop.setText({});
    }
    if (v = item("cropy="); !v.empty()) {
        Crop.setChecked(true);
        YCrop.setText(v);
    }

    checkRule(Halfres, item("halfres=")); // 16

    if (v = item("range1="); !v.empty()) // 17
        Range1.setText(v);
    if (v = item("range2="); !v.empty()) {
        Range.setChecked(true);
        Range2.setText(v);
    }

    if (v = item("VCodec="); !v.empty()) // 18
        loadCodec(Codec, v);
    if (v = item("VCodec2="); !v.empty())
        loadCodec(pass2, v);

    if (v = item("VVBR="); !v.empty()) // 19
        D4VBR.setText(v);
    proceed2.setEnabled(D4VBR.text().find("first") != std::string::npos);

    if (item("Continuepass2=") == "1") { // 20
        proceed2.setEnabled(true);
        proceed2.setChecked(true);
    }

    if (v = item("crisp="); !v.empty()) // 21
        Crisp.setText(v);

    vki.setChecked(false); // 22
    if (v = item("kf="); !v.empty()) {
        kframe.setText(v);
        if (v == KeyFramesNone)
            vki.setChecked(true);
    }
    if (item("VKI=") == "1")
        vki.setChecked(true);

    if (v = item("MovieLength="); !v.empty()) // 23
        movielength.setText(v);
    if (v = item("Moviesec="); !v.empty())
        sec.setText(v);
    if (v = item("FinalSize="); !v.empty())
        finalsize.setText(v);

    if (v = item("MovieFormat="); !v.empty()) { // 24
        if (v.find('4') != std::string::npos)
            RadioButton1.setChecked(true);
        else
            wide.setChecked(true);
    }

    if (v = item("ACodec="); !v.empty()) // 25
        mp3wma.setText(v == "WMA" ? "WMA" : "MP3");

    strictRule(flip, item("Flip=")); // 26

    if (v = item("Substream="); !v.empty()) // 27
        SubStream.setText(v);
    if (twostreams.checked())
        if (v = item("Sub2="); !v.empty())
            SecSubStream.setText(v);

    if (v = item("Mode="); !v.empty()) // 28
        Mode.setText(v.front() == 'S' || v.front() == 's' ? "Stereo" : "Mono");
    DispatchSampleBitParams();
    DispatchBitParams();

    if (v = item("Samplerate="); !v.empty()) { // 29
        Samplerate.setText(v);
        DispatchBitParams();
    }
    if (v = item("Bitrate="); !v.empty())
        Bitrate.setText(v);

    if (v = item("Arange1="); !v.empty()) // 30
        ARange1.setText(v);
    if (v = item("Arange2="); !v.empty()) {
        AudioRange.setChecked(true);
        ARange2.setText(v);
    }

    if (const auto gain = integerValue(item("Gain="))) { // 31; a value that is no number counts as missing
        normal.setChecked(true);
        Gain.setCaption(core::intToStr(core::roundHalfEven(*gain / TenthsPerDecibel)) + " dB");
        GainTrack.setPosition(*gain);
    }

    strictRule(Norm2Other, item("Norm2Other=")); // 32
    strictRule(DivxAuto, item("divxauto="));     // 33
    strictRule(ForceDeint, item("forceD="));     // 34
    strictRule(px3gui, item("PX3="));
    strictRule(dual, item("dualV="));

    const bool extract = item("Sub=") == "1"; // 35
    extractsub.setChecked(extract);
    extractsub.setEnabled(extract);

    if (v = item("Slng="); !v.empty()) { // 36
        selectedlng.clearItems();
        for (const auto& language : subtitleLanguagesOf(v))
            selectedlng.addItem(language);
    }

    if (v = item("frate="); !v.empty()) // 37
        DivFR.setText(v);
    if (v = item("frate2="); !v.empty())
        DualBR.setText(v);

    if (v = item("Lock1CD="); v.empty() || v == "0") { // 38
        lock1cd.setChecked(false);
    } else {
        lock1cd.setChecked(true);
        Descrip.setText(firstCharacterReplaced(Descrip.text(), v));
    }
}

// ---- Defaults

void TForm1::InitFields() {
    extractsub.setEnabled(selectedlng.itemCount() > 0);
    extractsub.setChecked(false);
    Codec.setText(std::string(CodecDivX4));
    proceed2.setEnabled(false);
    proceed2.setChecked(false);
    Label36.setEnabled(false);
    D4VBR.setEnabled(false);
    px3gui.setChecked(true);
    for (ui::CheckBox* box : {&dual, &lock1cd, &ForceDeint, &Autosynch})
        box->setChecked(false);
    ProfileEdit.setText(DefaultProfileTitle);
    Comment.setText({});
    RipVid.setChecked(true);
    RipAudio.setChecked(true);
    Split.setChecked(false);
    sih.setChecked(true);
    splitsize.setText("650");
    arip.setEnabled(true);
    arip.setText("Azid");
    compress.setChecked(true);
    DelWav.setChecked(false);
    normal.setChecked(false);
    Merge.setChecked(true);
    Vexlor.setChecked(false);
    RipAll.setChecked(true);
    twostreams.setChecked(false);
    for (ui::Control* secondStream : std::initializer_list<ui::Control*>{
             &Label11, &Wav2, &compressedSS2, &Label20, &AviSS2, &Audio2Play, &Label14, &SecSubStream})
        secondStream->setEnabled(false);
    log.setChecked(true);
    Shut.setChecked(false);
    fps.setText("25");
    PostFilter.setText(std::string(PostFilterHigh));
    RefQuality.setText("32bit mmx iDCT"); // not a list item: the writer stores it as "Refq=2"
    Output.setText("AVI - YV12 - 4:2:0");
    IVTC.setChecked(false);
    IVTCnb.setEnabled(false);
    IVTCnb.setText("2");
    Range.setChecked(false);
    Range1.setText("00:00:00");
    Range2.setText("00:00:00");
    Crop.setChecked(false);
    XCrop.setText("0");
    YCrop.setText("0");
    lockcrop.setChecked(false);
    Halfres.setChecked(false);
    DownX.setChecked(false);
    DownY.setChecked(false);
    XSize.setText("0");
    YSize.setText("0");
    flip.setChecked(false);
    DivxAuto.setChecked(true);
    CodecChange();
    kframe.setText("10");
    vki.setChecked(false);
    Crisp.setText("100");
    finalsize.setText("650");
    movielength.setText("120");
    sec.setText("00");
    wide.setChecked(true);
    AudioRange.setChecked(false);
    Gain.setCaption("10 dB");
    GainTrack.setPosition(GainDefault);
    Norm2Other.setChecked(false);
}

void TForm1::InitPath() {
    // Each work folder in the spelling it has on disk, so that outside programs find the paths too.
    const auto folder = [this](const char* name) {
        return core::withTrailingDelim(core::resolvePath(ProgDir + name));
    };
    const std::string vobs = folder("VOBS");
    const std::string work = folder("Wtemp");
    const std::string output = folder("output");
    const std::string profiles = folder("Profiles");
    OpenDialog1.initialDir = vobs;
    Vobfile.setText(vobs + searchvob(vobs));
    OpenDialog2.initialDir = work;
    OpenDialog3.initialDir = work;
    AVIFile.setText(work + "movie.avi");
    WavFileEdit.setText(work + "audio.wav");
    Wav2.setText(work + "stream2.wav");
    compaudiofile.setText(work + "compaudio.wav");
    compressedSS2.setText(work + "compressed2.wav");
    OpenDialog5.initialDir = output;
    FinalFile.setText(output + "final.avi");
    AviSS2.setText(output + "finalss2.avi");
    OpenDialog4.initialDir = profiles;
    SaveDialog1.initialDir = profiles;
    OpenDialog6.initialDir = output;
}

std::string TForm1::searchvob(const std::string& folder) const {
    return firstTitleVob(folder);
}

} // namespace kes
