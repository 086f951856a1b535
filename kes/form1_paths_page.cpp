// The paths page: the first VOB and every work and output file, each with its browse button and its
// status light, and the free space of the local volumes.
#include "kes/form1.h"
#include "kes/form1_layout.h"

#include <QApplication>
#include <QColor>
#include <QPainter>
#include <QStyle>

namespace kes {

using namespace layout;

namespace {

constexpr int GroupWidth = 822;
constexpr int SecondLabelWidth = 185;
constexpr int EditLeft2 = 200;
constexpr int BrowseLeft = 740;
constexpr int LightLeft = 774;

// A round light of the given colour for the path status.
QImage statusLight(const QColor& color) {
    QImage image(LightSize, LightSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(color.darker());
    painter.drawEllipse(1, 1, LightSize - 2, LightSize - 2);
    return image;
}

} // namespace

void TForm1::buildPathsPage() {
    // A row: the edit from left to the browse button, then the button and the light.
    const auto pathRow = [](ui::Edit& edit, ui::SpeedButton& browse, ui::Image& light, int left, int top) {
        at(edit, left, top, BrowseLeft - 6 - left);
        at(browse, BrowseLeft, top - 1, BrowseSize, BrowseSize);
        at(light, LightLeft, top + 4, LightSize, LightSize);
    };
    at(GroupBox2, 8, 8, GroupWidth, 62);
    pathRow(Vobfile, OpenVOB, p1, 10, GroupTop + 4);
    at(GroupBox4, 8, 76, GroupWidth, 62);
    pathRow(AVIFile, openavi, p2, 10, GroupTop + 4);

    at(GroupBox5, 8, 144, GroupWidth, 96);
    pathRow(WavFileEdit, openMP3, p3, 10, GroupTop + 4);
    labelAt(Label11, 10, GroupTop + 38, SecondLabelWidth);
    pathRow(Wav2, SpeedButton1, p4, EditLeft2, GroupTop + 38);

    at(GroupBox8, 8, 246, GroupWidth, 96);
    pathRow(compaudiofile, button2, p5, 10, GroupTop + 4);
    labelAt(ss2path, 10, GroupTop + 38, SecondLabelWidth);
    pathRow(compressedSS2, button5, p6, EditLeft2, GroupTop + 38);

    at(GroupBox1, 8, 348, GroupWidth, 96);
    pathRow(FinalFile, openfinal, p7, 10, GroupTop + 4);
    labelAt(Label20, 10, GroupTop + 38, SecondLabelWidth);
    pathRow(AviSS2, chooseaviss2, p8, EditLeft2, GroupTop + 38);

    at(GroupBox9, 8, 450, 700, 180);
    at(HD, 10, GroupTop, 680, 146);
    HD.setReadOnly(true);
    at(SpeedButton4, 720, 460, 100, ButtonHeight);
    SpeedButton4.setHint("Refresh");

    OpenVOB.setGlyph(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    canvastrue.setPicture(statusLight(QColor(0, 170, 0)));
    canvasfalse.setPicture(statusLight(QColor(220, 0, 0)));
    canvastrue.setVisible(false);
    canvasfalse.setVisible(false);

    // The second stream's files wait for the "2nd audio" step.
    for (ui::Control* off : std::initializer_list<ui::Control*>{&Label11, &Wav2, &ss2path, &compressedSS2,
                                                                &Label20, &AviSS2, &chooseaviss2})
        off->setEnabled(false);
}

} // namespace kes
