#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"
#include "kes/work_folders.h"

#include "platform/core/files.h"
#include "platform/ui/buttons.h"

#include <algorithm>

namespace kes::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* ReportCaption = "Kestrova LOG";

} // namespace

RipRoadTest::RipRoadTest() {
    installProgramFolder();
}

RipRoadTest::~RipRoadTest() {
    form.reset();
    fs::current_path(previous_);
    CaptionTable.clear();
    MessageTable.clear();
    RipAborted = false;
}

void RipRoadTest::installProgramFolder() {
    const fs::path built = builtProgramDir();
    for (const auto& entry : fs::recursive_directory_iterator(built)) {
        if (!entry.is_regular_file())
            continue;
        const fs::path relative = fs::relative(entry.path(), built);
        // Only what the build assembles: a person may have run the program there.
        const std::string top = relative.begin()->string();
        if (top != "extern" && top != "LANG" && top != "system" && top != "covers" && top != "Kestrova")
            continue;
        fs::create_directories((folder.path() / relative).parent_path());
        fs::copy_file(entry.path(), folder.path() / relative, fs::copy_options::overwrite_existing);
    }
}

void RipRoadTest::fillMissingHelpers() {
    for (const auto& helper : HelperFiles) {
        // Looked up as the program looks: in any case of the letters.
        if (!platform::core::fileExists((folder.externDir() / std::string(helper.file)).string()))
            folder.installFake(std::string(helper.file), "kes_fake_tool");
    }
    // The DivX 4 decoder file, whose presence the video page checks.
    if (!platform::core::fileExists((folder.path() / "system" / "divxdec.ax").string()))
        writeBytes(folder.path() / "system" / "divxdec.ax", "");
}

void RipRoadTest::makeTitle(const DvdTitleSpec& spec) {
    title = writeDvdTitle(data.path() / "dvd" / "VIDEO_TS", spec);
    // The rip writes its own list.
    fs::remove(title.set.list);
}

void RipRoadTest::chooseOneCdRip(TForm1& f) {
    f.RipAudio.setChecked(true);
    f.arip.setText("Azid");
    f.normal.setChecked(true);
    f.compress.setChecked(true);
    f.mp3wma.setText("MP3");
    f.Mode.setText("Stereo");
    f.Bitrate.setText("128");
    f.RipVid.setChecked(true);
    f.DivxAuto.setChecked(true);
    f.Codec.setText("DivX 4.x");
    f.D4VBR.setText("2-pass, first pass");
    f.proceed2.setChecked(true);
    f.finalsize.setText("2");
    f.DivFR.setText(f.SBitRate.text());
    f.DownX.setChecked(true);
    f.DownY.setChecked(true);
    f.XSize.setText("320");
    f.YSize.setText("256");
    f.Merge.setChecked(true);
}

void RipRoadTest::start() {
    form.reset();
    fs::current_path(folder.path());
    form = std::make_unique<TForm1>();
    form->show();
    fs::current_path(previous_);
}

void RipRoadTest::saveProfile(const std::string& name, const std::string& file, const Settings& settings) {
    form->ProfileEdit.setText(name);
    baseSettings(*form, title, at("out/"));
    settings(*form);
    form->SaveDialog1.fileName = (folder.path() / "Profiles" / file).string();
    form->CreateProfile(false);
}

void RipRoadTest::loadProfile(const std::string& name) {
    start();
    script.clearShown();
    for (int i = 0; i < form->memo1.itemCount(); ++i) {
        if (form->memo1.item(i).starts_with(name + " (")) {
            form->memo1.setItemIndex(i);
            form->memo1Click();
            loadBoxes = shown();
            script.clearShown();
            return;
        }
    }
    ADD_FAILURE() << "no profile " << name << " in the list";
}

void RipRoadTest::launch() {
    script.clearShown();
    form->LaunchClick();
}

RipRoadTest::Lines RipRoadTest::shown() const {
    Lines lines;
    for (const auto& box : script.shown())
        if (box.caption != ReportCaption)
            lines.push_back(box.kind + ": " + box.text);
    return lines;
}

RipRoadTest::Lines RipRoadTest::reports() const {
    Lines lines;
    for (const auto& box : script.shown())
        if (box.caption == ReportCaption)
            lines.push_back(box.text);
    return lines;
}

RipRoadTest::Lines RipRoadTest::filesUnder(const fs::path& folder) {
    Lines files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

void baseSettings(TForm1& f, const DvdTitle& title, const std::string& out) {
    fs::create_directories(out + "work");
    f.Vobfile.setText(title.firstVob());
    for (ui::CheckBox* step :
         {&f.RipVid, &f.RipAudio, &f.normal, &f.compress, &f.Merge, &f.Split, &f.extractsub, &f.twostreams,
          &f.Range, &f.AudioRange, &f.usemulti, &f.Shut, &f.DelWav})
        step->setChecked(false);
    f.log.setChecked(true);
    f.AVIFile.setText(out + "work/movie.avi");
    f.WavFileEdit.setText(out + "work/audio.wav");
    f.Wav2.setText(out + "work/audio2.wav");
    f.compaudiofile.setText(out + "work/audio.mp3.wav");
    f.compressedSS2.setText(out + "work/audio2.mp3.wav");
    f.FinalFile.setText(out + "final.avi");
    f.AviSS2.setText(out + "finalss2.avi");
}

} // namespace kes::test
