// The wizard window: its pages and their placement, its opening from the main window, its texts from
// the language file's wizard section, the navigation between steps and its close.
#include "kes/wizard.h"

#include "kes/form1.h"
#include "kes/text_helpers.h"

#include "platform/core/text.h"
#include "platform/ui/key_filters.h"

#include <stdexcept>

namespace kes {

namespace core = platform::core;

TKeswizard* Keswizard = nullptr;

namespace {

constexpr int ClientWidth = 560;
constexpr int ClientHeight = 416;
constexpr int HeadingLeft = 16;
constexpr int HeadingWidth = 265;
constexpr int PagesTop = 80;
constexpr int PagesHeight = 280;
constexpr int PageWidth = ClientWidth - 16;
constexpr int Row = 26;
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 28;
constexpr int WizardLeft = 1;
constexpr int WizardTopBelowMain = 40;
constexpr int MainLeftBesideWizard = 78;
constexpr int SecondsDigits = 2;
constexpr int MaxSeconds = 59;

void place(ui::Control& control, int left, int top, int width, int height = Row - 2) {
    control.setBounds(left, top, width, height);
}

} // namespace

TKeswizard::TKeswizard() {
    if (!Form1)
        throw std::logic_error("The wizard needs the main window");
    Keswizard = this;
    buildWindow();
    connectHandlers();
    create();
}

TKeswizard::~TKeswizard() {
    if (Keswizard == this)
        Keswizard = nullptr;
}

std::vector<ui::TabSheet*> TKeswizard::steps() {
    return {&Step0, &Step1, &Step2, &step3, &Step4, &Step5, &Step6, &Step7, &Step8, &Step9, &Step10, &Step11};
}
std::vector<ui::Button*> TKeswizard::nextButtons() {
    return {&N0, &N1, &N2, &N3, &N4, &N5, &N6, &N7, &N8, &N9, &N10};
}
std::vector<ui::Button*> TKeswizard::previousButtons() {
    return {&P1, &P2, &P3, &P4, &P5, &P6, &P7, &P8, &P9, &P10, &P11};
}

void TKeswizard::buildWindow() {
    setCaption("Kestrova Wizard");
    setBorderStyle(ui::BorderStyle::Dialog);
    setClientSize(ClientWidth, ClientHeight);
    main.setTabsVisible(false);
    place(main, 8, PagesTop, PageWidth, PagesHeight);
    const int buttonTop = PagesTop + PagesHeight + 12;
    place(Button3, ClientWidth - 2 * (ButtonWidth + 8), buttonTop, ButtonWidth, ButtonHeight);
    place(Button2, ClientWidth - (ButtonWidth + 8), buttonTop, ButtonWidth, ButtonHeight);

    // Every step: its heading on top, its question below, the navigation at the bottom.
    const int navTop = PagesHeight - ButtonHeight - 16;
    for (ui::Button* next : nextButtons())
        place(*next, PageWidth - ButtonWidth - 12, navTop, ButtonWidth, ButtonHeight);
    for (ui::Button* previous : previousButtons())
        place(*previous, 12, navTop, ButtonWidth, ButtonHeight);
    for (ui::Label* heading : {&Label27, &Label21, &Label12, &Label15, &Label16, &Label17, &Label24, &Label18,
                               &Label22, &Label23, &Label19, &Label26}) {
        place(*heading, 12, 8, PageWidth - 24);
        heading->setFontBold(true);
    }
    const int q = 8 + Row + 4; // the question's row
    const int a = q + Row;     // the first answer's row
    place(Label8, 12, q, 200);
    place(Edit2, 12, a, 300);
    place(Label20, 12, q, 400);
    place(pal, 24, a, 300);
    place(ntsc, 24, a + Row, 300);
    place(Label14, 12, q, 400);
    place(cd1, 24, a, 200);
    place(cd2, 24, a + Row, 200);
    place(Label4, 12, q, 400);
    place(movielength, 24, a, 60);
    place(lblMin, 90, a + 4, 40);
    place(sec, 140, a, 40);
    place(lblSec, 186, a + 4, 40);
    place(Label6, 12, q, 400);
    place(Codec, 24, a, 200);
    place(pass1, 24, a + Row + 8, 300);
    place(pass2, 24, a + 2 * Row + 8, 300);
    place(pass1HQ, 24, a + 3 * Row + 8, 300);
    place(Label3, 12, q, 400);
    place(presets, 24, a, 300);
    place(Button1, 340, a - 2, ButtonWidth, ButtonHeight);
    place(Label9, 12, q, PageWidth - 24);
    place(no, 24, a, 200);
    place(yes, 24, a + Row, 200);
    place(Label7, 12, q, 400);
    place(SubStream, 24, a, 200);
    place(PreAud, 240, a - 2, ButtonWidth, ButtonHeight);
    place(lblAudioCodec, 12, q + 4, 160);
    place(mp3wma, 180, q, 100);
    place(lblSampleRate, 12, q + Row + 8, 160);
    place(Samplerate, 180, q + Row + 4, 100);
    place(lblBitrate, 12, q + 2 * Row + 12, 160);
    place(Bitrate, 180, q + 2 * Row + 8, 100);
    place(split, 24, a, 300);
    place(extractsub, 24, q, 300);
    place(Label11, 24, a + 4, 100);
    place(lnglist, 130, a, 200);
    place(Shutdown, 24, q, 300);

    // Design state.
    pal.setCheckedSilent(true);
    cd1.setCheckedSilent(true);
    pass1.setCheckedSilent(true);
    no.setCheckedSilent(true);
    Shutdown.setCheckedSilent(true);
    extractsub.setEnabled(false);
    mp3wma.setItems({"MP3", "WMA"});
    mp3wma.setTextSilent("MP3");
    Samplerate.setItems({"48", "44.1"});
    Samplerate.setTextSilent("44.1");
    Bitrate.setItems({"96", "112", "128", "160", "192"});
    Bitrate.setTextSilent("96");
    main.setActivePage(Step0);
}

void TKeswizard::connectHandlers() {
    onCreate = [this] { FormCreate(); };
    onClose = [this](ui::CloseAction& action) { FormClose(action); };

    const auto pages = steps();
    const auto nexts = nextButtons();
    const auto previouses = previousButtons();
    for (size_t i = 0; i < nexts.size(); ++i) {
        ui::TabSheet* following = pages[i + 1];
        nexts[i]->onClick = [this, following] { main.setActivePage(*following); };
        ui::TabSheet* preceding = pages[i];
        previouses[i]->onClick = [this, preceding] { main.setActivePage(*preceding); };
    }

    Edit2.onChange = [this] { Edit2Change(); };
    cd1.onClick = [this] { cd1Click(); };
    cd2.onClick = [this] { cd2Click(); };
    Codec.onChange = [this] { CodecChange(); };
    presets.onChange = [this] { presetsChange(); };
    Button1.onClick = [this] { Button1Click(); };
    SubStream.onChange = [this] { SubStreamChange(); };
    PreAud.onClick = [this] { PreAudClick(); };
    mp3wma.onChange = [this] { mp3wmaChange(); };
    lnglist.onChange = [this] { lnglistChange(); };
    Button3.onClick = [this] { Button3Click(); };
    Button2.onClick = [this] { Button2Click(); };

    movielength.onKeyPress = [](char& key) { ui::numericKeyFilter(key); };
    sec.onKeyPress = [this](char& key) {
        ui::numericKeyFilter(key);
        if (static_cast<unsigned char>(key) >= ' ' && sec.text().size() >= SecondsDigits)
            key = 0;
    };
    sec.onChange = [this] {
        if (sec.text().size() == SecondsDigits && core::strToIntDef(sec.text(), 0) > MaxSeconds)
            sec.setText(core::intToStr(MaxSeconds));
    };
}

void TKeswizard::FormCreate() {
    TForm1& f = *Form1;
    // 1.
    setCaption(f.wizard.caption());
    AssignLangage();

    // 2.
    Label1.setAutoSize(false);
    place(Label1, HeadingLeft, 8, HeadingWidth);
    // The narrow summary line wraps onto a second row above the pages.
    Label2.setAutoSize(false);
    Label2.setWordWrap(true);
    place(Label2, HeadingLeft, 30, HeadingWidth, PagesTop - 34);
    mainLeft_ = f.left();
    mainTop_ = f.top();
    setLeft(WizardLeft);
    setTop(mainTop_ + WizardTopBelowMain);
    f.setLeft(MainLeftBesideWizard);

    // 3.
    Codec.setItems(f.Codec.items());
    Codec.setText(f.Codec.text());
    movielength.setText(f.movielength.text());
    sec.setText(f.sec.text());
    if (f.fps.text() == "25") {
        pal.setChecked(true);
    } else {
        ntsc.setChecked(true);
        yes.setChecked(true);
    }
    SubStream.setText(f.SubStream.text());
    SubStream.setItems(f.SubStream.items());
    lnglist.setItems(f.IFOlngList.items());
    if (lnglist.itemCount() >= 2) {
        extractsub.setEnabled(true);
        lnglist.setText(lnglist.item(0));
        f.selectedlng.clearItems();
        f.selectedlng.addItem(lnglist.item(0));
    }

    // 4. Only the presets that fit the title's picture.
    std::vector<std::string> kept;
    const std::string aspect = f._V3.caption();
    for (const std::string& preset : f.presets.items()) {
        if (aspect == "4:3" &&
            (contains(preset, "1.85") || contains(preset, "2.35") || contains(preset, "1.66")))
            continue;
        if (aspect == "16:9" && contains(preset, "4:3"))
            continue;
        kept.push_back(preset);
    }
    presets.setItems(kept);
    if (!kept.empty())
        presets.setItemIndexSilent(0);
}

void TKeswizard::AssignLangage() {
    // Without a language file the design texts stay.
    if (!loadLanguageSection(Form1->progDir(), WizardSection, Texts))
        return;
    // A number the section does not give keeps the design text.
    const auto set = [this](int number, auto& control) {
        if (const std::string& text = Texts.text(number); !text.empty())
            control.setCaption(text);
    };
    set(1, Label1);
    set(2, Label2);
    set(3, Label27);
    set(4, Label8);
    for (ui::Button* next : nextButtons())
        set(5, *next);
    for (ui::Button* previous : previousButtons())
        set(6, *previous);
    set(7, Label21);
    set(8, Label20);
    set(9, Label12);
    set(10, Label14);
    set(11, Label15);
    set(12, Label4);
    set(13, Label16);
    set(14, Label6);
    set(15, Label17);
    set(16, Label3);
    set(17, Button1);
    set(18, Label24);
    set(19, Label9);
    set(20, no);
    set(21, yes);
    set(22, Label18);
    set(23, Label7);
    set(24, PreAud);
    set(25, Label22);
    set(26, Label23);
    set(27, split);
    set(28, Label19);
    set(29, extractsub);
    set(30, Label11);
    set(31, Label26);
    set(32, Shutdown);
    set(33, Button2);
}

void TKeswizard::FormClose(ui::CloseAction& action) {
    if (Form1) {
        Form1->OptionsButtonClick();
        Form1->setLeft(mainLeft_);
        Form1->setTop(mainTop_);
    }
    action = ui::CloseAction::Free;
}

} // namespace kes
