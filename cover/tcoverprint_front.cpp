#include "cover/tcoverprint.h"

#include "cover/cover_picture.h"
#include "platform/core/paths.h"
#include "platform/ui/dialogs.h"

#include <QImage>

namespace cover {

namespace core = platform::core;
namespace gdi = platform::gdi;

namespace {

constexpr const char* JpegOnlyText = "JPEG files only !";

} // namespace

void TCoverPrint::Button1Click() {
    OpenDialog1.filter = "JPEG files|*.jpg";
    if (OpenDialog1.execute(this))
        getjpegfile(OpenDialog1.fileName);
}

void TCoverPrint::getjpegfile(const std::string& path) {
    if (!isJpegName(path)) {
        ui::errorBox(JpegOnlyText);
        return;
    }
    // The picture is decoded before anything changes, so a damaged file leaves the old one in place.
    std::unique_ptr<gdi::Bitmap> picture = loadPicture(path);
    FrontPicture = std::move(picture);
    picis.setCaption(core::extractFileName(path));
    Ratio = static_cast<double>(FrontPicture->height()) / FrontPicture->width();
    Label1.setCaption("X : " + std::to_string(FrontPicture->width()));
    Label2.setCaption("Y : " + std::to_string(FrontPicture->height()));
    showfit(InitialZoom);
}

FrontPosition TCoverPrint::checkedPosition() const {
    const std::pair<const ui::RadioButton*, FrontPosition> radios[] = {
        {&UL, FrontPosition::UL}, {&UM, FrontPosition::UM}, {&UR, FrontPosition::UR},
        {&ML, FrontPosition::ML}, {&MM, FrontPosition::MM}, {&MR, FrontPosition::MR},
        {&DL, FrontPosition::DL}, {&DM, FrontPosition::DM}, {&DR, FrontPosition::DR}};
    for (const auto& [radio, position] : radios)
        if (radio->checked())
            return position;
    return FrontPosition::None;
}

void TCoverPrint::showfit(int z) {
    if (picis.caption().empty() || !FrontPicture)
        return;
    const FrontPlacement p = placeFront(Ratio, z, center.checked(), checkedPosition());
    PicWidth = p.PicWidth;
    PicHeight = p.PicHeight;
    PicX = p.PicX;
    PicY = p.PicY;
    gdi::Bitmap preview;
    preview.setSize(FrontPreviewSize, FrontPreviewSize);
    // A zoom of 0 or less leaves the preview white.
    if (PicWidth > 0 && PicHeight > 0)
        gdi::stretchBlt(preview.canvas(), PicX, PicY, PicWidth, PicHeight, FrontPicture->canvas(), 0, 0,
                        FrontPicture->width(), FrontPicture->height());
    const QImage view(reinterpret_cast<const uchar*>(preview.bits()), FrontPreviewSize, FrontPreviewSize,
                      QImage::Format_RGB32);
    Image1.setPicture(view.copy());
}

void TCoverPrint::Button3Click() {
    if (picis.caption().empty())
        return;
    Zoom += ZoomStep;
    showfit(Zoom);
}

void TCoverPrint::Button4Click() {
    if (picis.caption().empty())
        return;
    Zoom -= ZoomStep;
    showfit(Zoom);
}

void TCoverPrint::Button6Click() {
    if (picis.caption().empty())
        return;
    Zoom = InitialZoom;
    showfit(Zoom);
}

void TCoverPrint::ULClick() {
    showfit(Zoom);
}

void TCoverPrint::UMClick() {
    showfit(Zoom);
}

void TCoverPrint::URClick() {
    showfit(Zoom);
}

void TCoverPrint::MLClick() {
    showfit(Zoom);
}

void TCoverPrint::MMClick() {
    showfit(Zoom);
}

void TCoverPrint::MRClick() {
    showfit(Zoom);
}

void TCoverPrint::DLClick() {
    showfit(Zoom);
}

void TCoverPrint::DMClick() {
    showfit(Zoom);
}

void TCoverPrint::DRClick() {
    showfit(Zoom);
}

void TCoverPrint::centerClick() {
    GroupBox2.setEnabled(center.checked());
    showfit(Zoom);
}

void TCoverPrint::WmDropFiles(const std::string& path) {
    if (cov.activePage() == &Back)
        GetBackPic(path);
    else if (cov.activePage() == &Front)
        getjpegfile(path);
}

} // namespace cover
