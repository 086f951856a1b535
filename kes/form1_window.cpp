// The window frame: size, menu, dialogs, the page control and the column of page buttons and tool
// launchers, and the switching between pages.
#include "kes/form1.h"
#include "kes/form1_layout.h"

#include <QApplication>
#include <QStyle>

namespace kes {

using namespace layout;

namespace {
constexpr int ClientWidth = 1000;
constexpr int ClientHeight = 660;
constexpr int ColumnLeft = 8;
constexpr int ColumnWidth = 134;
constexpr int PagesLeft = 150;
constexpr int PageButtonHeight = 30;
constexpr int PageButtonStep = 34;
constexpr int LauncherTop = 262;
} // namespace

void TForm1::buildWindow() {
    setCaption("Kestrova v1.24 [Win NT/2000/XP]");
    setClientSize(ClientWidth, ClientHeight);
    setBorderStyle(ui::BorderStyle::Single);
    setPosition(ui::FormPosition::ScreenCenter);

    main.setTabsVisible(false);
    at(main, PagesLeft, 4, ClientWidth - PagesLeft - 4, ClientHeight - 8);

    OpenDialog1.filter = "Vob files|*.VOB|All files|*.*";
    OpenDialog1.defaultExt = ".vob";
    OpenDialog2.filter = "AVI files|*.AVI";
    OpenDialog2.defaultExt = ".avi";
    OpenDialog3.filter = "Audio files|*.wav|all|*.*";
    OpenDialog3.defaultExt = ".wav";
    OpenDialog4.filter = "Profiles|*.pfl";
    OpenDialog4.defaultExt = ".pfl";
    OpenDialog5.filter = "AVI files|*.AVI";
    OpenDialog5.defaultExt = ".avi";
    SaveDialog1.filter = "Profiles|*.pfl";
    SaveDialog1.defaultExt = ".pfl";

    buildButtonColumn();
    buildMainPage();
    buildVideoPage();
    buildAudioPage();
    buildPathsPage();
    buildProfilesPage();
    buildExtrasPage();
    buildSubtitlePage();
    buildD4SettingsPage();
    // Speed buttons with a caption look like buttons; the browse buttons stay flat with their glyph.
    for (ui::SpeedButton* text :
         {&SpeedButton4, &addtomulti, &SpeedButton2, &SpeedButton3, &erase, &SpeedButton5, &SpeedButton6})
        text->setFlat(false);
    showPage(MainPage, OptionsButton);
}

void TForm1::buildButtonColumn() {
    int top = 8;
    for (ui::SpeedButton* button : pageButtons()) {
        if (button == &Button8)
            continue; // lives on the video page
        at(*button, ColumnLeft, top, ColumnWidth, PageButtonHeight);
        top += PageButtonStep;
    }
    top = LauncherTop;
    for (ui::Button* launcher : {&wizard, &SynchButton, &usebutton, &coverbutton, &tilbo}) {
        at(*launcher, ColumnLeft, top, ColumnWidth, PageButtonHeight);
        top += PageButtonStep;
    }
    at(mytime, ColumnLeft, ClientHeight - 90, ColumnWidth, RowHeight);
    at(sortir, ColumnLeft, ClientHeight - 50, ColumnWidth, ButtonHeight + 6);
}

std::vector<ui::SpeedButton*> TForm1::pageButtons() {
    return {&OptionsButton,  &MovieButton,  &AudioButton, &PathsButton,
            &ProfilesButton, &ExtrasButton, &subbutton,   &Button8};
}

void TForm1::AllUp() {
    for (ui::SpeedButton* button : pageButtons()) {
        button->setFlat(false);
        button->setFontBold(false);
    }
}

void TForm1::showPage(ui::TabSheet& page, ui::SpeedButton& button) {
    AllUp();
    button.setFlat(true);
    button.setFontBold(true);
    main.setActivePage(page);
}

void TForm1::OptionsButtonClick() {
    showPage(MainPage, OptionsButton);
}
void TForm1::MovieButtonClick() {
    showPage(VideoPage, MovieButton);
}
void TForm1::AudioButtonClick() {
    showPage(AudioPage, AudioButton);
}
void TForm1::PathsButtonClick() {
    showPage(PathsPage, PathsButton);
    SpeedButton4Click();
}
void TForm1::ExtrasButtonClick() {
    showPage(extrasPage, ExtrasButton);
}
void TForm1::Button8Click() {
    showPage(D4settings, Button8);
    readD4settings();
}

void TForm1::ProfilesButtonClick() {
    setautoparam();
    showPage(profilesPage, ProfilesButton);
}

void TForm1::SortirClick() {
    close();
}

} // namespace kes
