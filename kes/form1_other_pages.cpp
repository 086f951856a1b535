// The profiles, extras, subtitles and DivX 4 settings pages.
#include "kes/form1.h"
#include "kes/form1_layout.h"

namespace kes {

using namespace layout;

namespace {
constexpr int RightLeft = 428;
constexpr int RightWidth = 402;
constexpr int EncodingQualityDefault = 85;
constexpr int PostprocessingDefault = 30;
constexpr int PostprocessingMax = 60;
} // namespace

void TForm1::buildProfilesPage() {
    labelAt(label21, 8, 4, 400);
    at(memo1, 8, 28, 400, 540);
    at(addtomulti, 8, 576, 32, ButtonHeight);
    labelAt(Addtolist, 48, 578, 360);

    labelAt(Label27, RightLeft, 4, RightWidth);
    at(ProfileEdit, RightLeft, 28, RightWidth);
    labelAt(Label28, RightLeft, 60, RightWidth);
    at(Descrip, RightLeft, 84, RightWidth);
    Descrip.setReadOnly(true);
    at(GBComment, RightLeft, 120, RightWidth, 190);
    at(Comment, 10, GroupTop, RightWidth - 20, 154);
    at(SaveProfile, RightLeft, 324, 120, ButtonHeight + 2);
    at(Exportprof, RightLeft, 364, 120, ButtonHeight + 2);
    at(Exportcurrent, RightLeft + 134, 364, 260);
    at(exportall, RightLeft + 134, 390, 260);
    Exportcurrent.setCheckedSilent(true);
}

void TForm1::buildExtrasPage() {
    const auto fileRow = [](ui::Label& label, ui::Edit& edit, ui::SpeedButton& browse, int top) {
        labelAt(label, 10, top, 140);
        at(edit, 150, top, 600);
        at(browse, 756, top - 1, BrowseSize, BrowseSize);
    };
    at(GroupBox13, 8, 8, 822, 132);
    fileRow(Label34, savi, Button1, GroupTop + 2);
    fileRow(Label35, Daudio, button3, GroupTop + 34);
    at(AudExtr, 150, GroupTop + 68, 110, ButtonHeight);

    at(GroupBox7, 8, 148, 822, 132);
    fileRow(Label37, SVexlor, button4, GroupTop + 2);
    fileRow(Label38, DVexlor, button6, GroupTop + 34);
    at(AddVexlor, 150, GroupTop + 68, 110, ButtonHeight);

    at(GroupBox10, 8, 288, 822, 300);
    at(memo2, 10, GroupTop, 600, 262);
    at(SpeedButton2, 622, GroupTop, 90, ButtonHeight);
    at(SpeedButton3, 622, GroupTop + 34, 90, ButtonHeight);
    at(erase, 622, GroupTop + 68, 90, ButtonHeight);
    at(usemulti, 622, GroupTop + 116, 190);
    at(LaunchMulti, 622, GroupTop + 150, 190, 40);
    usemulti.setEnabled(false);
    LaunchMulti.setEnabled(false);
}

void TForm1::buildSubtitlePage() {
    at(GroupBox16, 8, 8, 822, 420);
    labelAt(Label42, 10, GroupTop + 2, 130);
    at(ifofile, 150, GroupTop + 2, 650);
    labelAt(Label45, 10, 64, 300);
    at(IFOlngList, 10, 88, 300, 250);
    at(SpeedButton5, 320, 150, 60, ButtonHeight);
    at(SpeedButton6, 320, 190, 60, ButtonHeight);
    labelAt(Label43, 390, 64, 300);
    at(selectedlng, 390, 88, 300, 250);
    labelAt(Label44, 10, 356, 130);
    at(destsub, 150, 356, 650);
    IFOlngList.setMultiSelect(true);
    ifofile.setEnabled(false);
    destsub.setEnabled(false);

    at(GroupBox17, 8, 436, 822, 70);
    at(Button7, 10, GroupTop + 4, 150, ButtonHeight + 2);
}

void TForm1::buildD4SettingsPage() {
    at(gbd4general, 8, 8, 410, 262);
    labelAt(lblPerfqual, 10, GroupTop + 2, 160);
    at(perfqual, 180, GroupTop + 2, 150);
    at(maxcpu, 10, 60, 160);
    at(cpuusage, 180, 60, 60);
    labelAt(lblPercent, 246, 60, 20);
    at(DI, 10, 92, 200);
    labelAt(lblEncqual, 10, 124, 200);
    at(encqual, 10, 148, 300, 30);
    labelAt(eqtxt, 320, 150, 60);
    labelAt(lblPpl, 10, 184, 300);
    at(ppl, 10, 208, 300, 30);
    labelAt(Label58, 320, 210, 40);
    fill(perfqual, {"Fastest", "Fast", "Medium", "Slow", "Slowest"}, "Slowest");
    perfqual.setItemIndexSilent(4);
    encqual.setRange(0, 100);
    encqual.setPositionSilent(EncodingQualityDefault);
    encqual.setFrequency(10);
    ppl.setRange(0, PostprocessingMax);
    ppl.setPositionSilent(PostprocessingDefault);
    ppl.setFrequency(10);

    at(gbd4onepass, RightLeft, 8, RightWidth, 196);
    int row = GroupTop + 2;
    for (auto [label, edit] :
         {std::pair{&lblMaxQ, &MaxQ}, std::pair{&lblMinQ, &MinQ}, std::pair{&lblRateavg, &rateavg},
          std::pair{&lblRperiod, &rperiod}, std::pair{&lblDownup, &downup}}) {
        labelAt(*label, 10, row, 270);
        at(*edit, 290, row, 90);
        row += 32;
    }
    at(Button9, 8, 282, 120, ButtonHeight + 4);
}

} // namespace kes
