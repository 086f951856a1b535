// The main page: the steps of a rip, the current settings and the launch button.
#include "kes/form1.h"
#include "kes/form1_layout.h"

namespace kes {

using namespace layout;

namespace {
constexpr int Indent = 24;
constexpr int RightLeft = 420;
constexpr int RightWidth = 410;
} // namespace

void TForm1::buildMainPage() {
    at(Actions, 8, 8, 400, 500);
    int top = GroupTop;
    const auto step = [&top](ui::Control& control, int indent, int width) {
        at(control, 10 + indent, top, width);
        top += 26;
    };
    step(RipVid, 0, 200);
    step(DivxAuto, Indent, 200);
    step(RipAll, Indent, 200);
    at(arip, 170, top, 150);
    step(RipAudio, 0, 150);
    step(normal, Indent, 250);
    step(compress, Indent, 250);
    step(DelWav, 2 * Indent, 250);
    step(Merge, 0, 200);
    step(Autosynch, Indent, 200);
    step(Split, Indent, 200);
    step(sih, 2 * Indent, 150);
    at(splitsize, 190, top, 80);
    step(Saft, 2 * Indent, 130);
    step(Vexlor, 2 * Indent, 250);
    step(twostreams, 0, 250);
    step(extractsub, 0, 250);
    step(log, 0, 250);
    step(Shut, 0, 250);

    fill(arip, {"Internal", "AC3Dec", "Azid"}, "Internal");
    fill(splitsize, {"650", "700"}, "650");
    for (ui::CheckBox* ticked : {&RipVid, &DivxAuto, &RipAll, &RipAudio, &normal, &compress, &Merge, &log})
        ticked->setCheckedSilent(true);
    sih.setCheckedSilent(true);
    for (ui::Control* off :
         std::initializer_list<ui::Control*>{&sih, &Saft, &splitsize, &Vexlor, &extractsub})
        off->setEnabled(false);

    at(grcurset, RightLeft, 8, RightWidth, 200);
    at(curset, 10, GroupTop, RightWidth - 20, 130);
    curset.setReadOnly(true);
    curset.setWordWrap(true);
    at(Reinit, 10, 162, 100, ButtonHeight);

    int textTop = 224;
    for (ui::Label* text : {&Label9, &Label19, &Label29, &sugg}) {
        at(*text, RightLeft, textTop, RightWidth, 40);
        text->setAutoSize(false);
        text->setWordWrap(true);
        textTop += 46;
    }

    at(Launch, RightLeft, 430, RightWidth, 56);
    ui::Font big = Launch.font();
    big.size = 14;
    big.style.bold = true;
    Launch.setFont(big);
}

} // namespace kes
