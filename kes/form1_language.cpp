// The main window's language: the language menu, the loading of the chosen language file into the
// caption and message tables, and the captions of every control.
#include "kes/about_window.h"
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/language_choice.h"
#include "kes/language_file.h"

#include "platform/core/paths.h"
#include "platform/core/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <QAction>
#include <QMenu>

#include <array>

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* KeyLanguageChosen = "Software\\Kestrova\\Lang1.24";
constexpr const char* WrongVersion = "Wrong LNG file version !";
constexpr const char* TranslationWanted = "Help needed ! If your language is not supported yet\r\n"
                                          "Please translate all lines in Kestrova\\Lang\\English.lng\r\n"
                                          "And send us the new file. Thank you.";

constexpr int CapAudioMethod = 7;
constexpr int CapDeleteWav = 10;
constexpr int CapPresets = 37;
constexpr int CapAbout = 110;
constexpr std::string_view PresetsMark = "*";
constexpr int AudioMethodItems = 3;

} // namespace

void TForm1::connectLanguageHandlers() {
    ui::MenuItem* items[] = {&s0, &s1, &s2, &s3, &s4, &s5, &s6, &s7, &s8, &s9, &s10, &s11, &s12, &s13, &s14};
    for (int i = 0; i < static_cast<int>(std::size(items)); ++i)
        items[i]->onClick = [this, i] { LanguageItemClick(i); };
    // The language sub-menu's opening is the "Language" item's click. It runs once the menu has
    // popped up: a box shown while the menu is still being opened would run its own event loop inside
    // the menu's opening, which the menu does not survive.
    if (QAction* action = Langage.action(); action && action->menu<QMenu*>()) {
        QObject::connect(
            action->menu<QMenu*>(), &QMenu::aboutToShow, action,
            [this] { ui::runHandler([this] { LangageClick(); }); }, Qt::QueuedConnection);
    }
    About1.onClick = [this] { About1Click(); };
}

void TForm1::GetAllLng() {
    ui::MenuItem* items[] = {&s0, &s1, &s2, &s3, &s4, &s5, &s6, &s7, &s8, &s9, &s10, &s11, &s12, &s13, &s14};
    static_assert(std::size(items) == MaxLanguageMenuItems);
    const std::vector<LanguageMenuEntry> files = scanLanguageFiles(ProgDir);
    languageNames_.clear();
    for (size_t i = 0; i < std::size(items); ++i) {
        ui::MenuItem& item = *items[i];
        if (i >= files.size()) {
            item.setVisible(false);
            continue;
        }
        languageNames_.push_back(files[i].fileName);
        item.setCaption(files[i].caption);
        item.setEnabled(files[i].complete);
        item.setVisible(true);
    }
}

void TForm1::LanguageItemClick(int index) {
    ui::MenuItem* items[] = {&s0, &s1, &s2, &s3, &s4, &s5, &s6, &s7, &s8, &s9, &s10, &s11, &s12, &s13, &s14};
    if (index >= 0 && index < static_cast<int>(std::size(items)))
        AssignLangage(items[index]->caption());
}

void TForm1::AssignLangage(const std::string& name) {
    const bool atStart = name == LanguageInUse;
    const std::string file = chooseLanguageFile(ProgDir, name);
    LanguageLoad load = loadMainLanguage(file, CaptionTable, MessageTable);
    if (load == LanguageLoad::WrongVersion)
        ui::errorBox(WrongVersion);
    if (load != LanguageLoad::Loaded && atStart) {
        // The language in use cannot be loaded: the window comes up in English rather than without texts.
        const std::string english =
            core::joinPath(core::joinPath(ProgDir, LanguageFolder), DefaultLanguageName);
        if (english != file)
            load = loadMainLanguage(english, CaptionTable, MessageTable);
    }
    if (load == LanguageLoad::Loaded)
        AssignCaptions();
}

void TForm1::AssignCaptions() {
    const auto& c = CaptionTable;
    // Controls that share one entry get it in the order the entries are listed.
    MainPage.setCaption(c[1]);
    OptionsButton.setCaption(c[1]);
    Actions.setCaption(c[2]);
    RipVid.setCaption(c[3]);
    DivxAuto.setCaption(c[4]);
    RipAll.setCaption(c[5]);
    RipAudio.setCaption(c[6]);
    {
        // The first audio method is the language's; the other two are program names.
        std::vector<std::string> methods = arip.items();
        int shown = arip.indexOf(arip.text());
        if (shown < 0)
            shown = 0;
        if (methods.size() < AudioMethodItems)
            methods.resize(AudioMethodItems);
        methods[0] = c[CapAudioMethod];
        methods[1] = "AC3Dec";
        methods[2] = "Azid";
        arip.setItems(methods);
        arip.setItemIndexSilent(shown);
    }
    normal.setCaption(c[8]);
    compress.setCaption(c[9]);
    // The table keeps the language's text; only the shown caption names the AC3 file too.
    DelWav.setCaption(delWavCaption(c[CapDeleteWav]));
    Merge.setCaption(c[11]);
    Split.setCaption(c[12]);
    sih.setCaption(c[13]);
    Saft.setCaption(c[14]);
    Vexlor.setCaption(c[15]);
    twostreams.setCaption(c[16]);
    log.setCaption(c[17]);
    Shut.setCaption(c[18]);
    sugg.setCaption(c[19]);
    Label9.setCaption(c[20]);
    Label19.setCaption(c[21]);
    Label29.setCaption(c[22]);
    grcurset.setCaption(c[23]);
    Reinit.setCaption(c[24]);
    Launch.setCaption(c[25]);
    LaunchMulti.setCaption(c[25]);
    mytime.setCaption(c[27]);
    sortir.setCaption(c[28]);
    VideoPage.setCaption(c[29]);
    MovieButton.setCaption(c[29]);
    Video.setCaption(c[29]);
    gbv.setCaption(c[29]);
    Label1.setCaption(c[30]);
    Label2.setCaption(c[31]);
    Label3.setCaption(c[32]);
    Label4.setCaption(c[33]);
    IVTC.setCaption(c[34]);
    Label26.setCaption(c[35]);
    Label30.setCaption(c[36]);
    {
        // A caption, not a choice: the crop and resize boxes stay as they are.
        if (presets.itemCount() > 0) {
            std::vector<std::string> items = presets.items();
            items[0] = std::string(PresetsMark) + c[CapPresets];
            const int index = presets.itemIndex();
            presets.setItems(items);
            presets.setItemIndexSilent(index);
        }
        presets.setTextSilent(c[CapPresets]);
    }
    DownX.setCaption(c[38]);
    DownY.setCaption(c[39]);
    fix.setCaption(c[40]);
    Crop.setCaption(c[41]);
    lockcrop.setCaption(c[42]);
    Halfres.setCaption(c[43]);
    Range.setCaption(c[45]);
    AudioRange.setCaption(c[45]);
    Label8.setCaption(c[46]);
    Label39.setCaption(c[46]);
    PreVid.setCaption(c[47]);
    PreviewVid.setCaption(c[47]);
    AudioPage.setCaption(c[48]);
    AudioButton.setCaption(c[48]);
    gba.setCaption(c[48]);
    GroupBox11.setCaption(c[49]);
    Label7.setCaption(c[50]);
    Label14.setCaption(c[51]);
    PreAud.setCaption(c[52]);
    Audio2Play.setCaption(c[53]);
    flip.setCaption(c[54]);
    GroupBox6.setCaption(c[55]);
    Label23.setCaption(c[56]);
    GroupBox12.setCaption(c[57]);
    Label22.setCaption(c[58]);
    Norm2Other.setCaption(c[59]);
    Label31.setCaption(c[60]);
    Label32.setCaption(c[61]);
    Label33.setCaption(c[62]);
    PathsPage.setCaption(c[63]);
    PathsButton.setCaption(c[63]);
    GroupBox2.setCaption(c[64]);
    GroupBox4.setCaption(c[65]);
    GroupBox5.setCaption(c[66]);
    GroupBox8.setCaption(c[67]);
    GroupBox1.setCaption(c[68]);
    Label20.setCaption(c[69]);
    GroupBox9.setCaption(c[70]);
    profilesPage.setCaption(c[71]);
    ProfilesButton.setCaption(c[71]);
    Label27.setCaption(c[73]);
    Label28.setCaption(c[74]);
    Exportprof.setCaption(c[75]);
    SaveProfile.setCaption(c[76]);
    label21.setCaption(c[77]);
    extrasPage.setCaption(c[78]);
    ExtrasButton.setCaption(c[78]);
    GroupBox13.setCaption(c[79]);
    Label34.setCaption(c[80]);
    Label35.setCaption(c[81]);
    AudExtr.setCaption(c[82]);
    GroupBox7.setCaption(c[85]);
    Label37.setCaption(c[80]);
    Label38.setCaption(c[86]);
    AddVexlor.setCaption(c[87]);
    addres.setCaption(c[87]);
    AudioRangeGB.setCaption(c[88]);
    prevstart.setCaption(c[89]);
    gbf.setCaption(c[90]);
    ss2path.setCaption(c[91]);
    gbcropdown.setCaption(c[92]);
    lock1cd.setCaption(c[93]);
    Autosynch.setCaption(c[94]);
    exportall.setCaption(c[95]);
    Exportcurrent.setCaption(c[96]);
    GBComment.setCaption(c[97]);
    Label11.setCaption(c[98]);
    usemulti.setCaption(c[99]);
    Addtolist.setCaption(c[100]);
    ForceDeint.setCaption(c[102]);
    directadjust.setCaption(c[103]);
    px3gui.setCaption(c[104]);
    SynchButton.setCaption(c[108]);
    proceed2.setCaption(c[109]);
    About1.setCaption(c[110]);
    coverbutton.setCaption(c[111]);
    subbutton.setCaption(c[112]);
    GroupBox16.setCaption(c[113]);
    extractsub.setCaption(c[113]);
    Label42.setCaption(c[114]);
    Label45.setCaption(c[115]);
    Label43.setCaption(c[116]);
    Label44.setCaption(c[117]);
    GroupBox17.setCaption(c[118]);
    wizard.setCaption(c[119]);
    Button9.setCaption(c[120]);
}

void TForm1::LangageClick() {
    using platform::core::RootKey;
    if (!core::registry::keyExists(RootKey::CurrentUser, KeyLanguageChosen)) {
        ui::informationBox(TranslationWanted);
        // A store that cannot be written only means the box shows again.
        const bool created = core::registry::createKey(RootKey::CurrentUser, KeyLanguageChosen);
        static_cast<void>(created);
    }
}

void TForm1::About1Click() {
    // Freed when it closes (see its close handler); KESabout holds the latest one.
    auto* about = new TKESabout(ProgDir);
    about->setCaption(CaptionTable[CapAbout]);
    about->show();
}

} // namespace kes
