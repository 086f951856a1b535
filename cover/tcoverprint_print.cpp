#include "cover/tcoverprint.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/registry.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <stdexcept>

namespace cover {

namespace core = platform::core;
namespace gdi = platform::gdi;

namespace {

constexpr const char* LayoutFilter = "ini files|*.ini";
constexpr const char* LayoutExt = ".ini";
constexpr const char* NotNumericText = " is not a numerical value !";
constexpr const char* PrinterFailedText = "The printer could not start the document";

std::string writeErrorText(const std::string& path) {
    return "I/O error: cannot write \"" + path + "\"";
}

std::string readErrorText(const std::string& path) {
    return "I/O error: \"" + path + "\" is damaged and was not loaded";
}

void refill(ui::Edit& edit, const char* text) {
    if (edit.text().empty())
        edit.setText(text);
}

} // namespace

void TCoverPrint::Button9Click() {
    SaveDialog1.filter = LayoutFilter;
    SaveDialog1.defaultExt = LayoutExt;
    SaveDialog1.initialDir = ExeDir + "covers/INI";
    if (!SaveDialog1.execute(this))
        return;
    const std::string bytes = encodeLayoutFile(Layout, backpic.text(), Edit1.text());
    if (!core::writeFileAtomic(SaveDialog1.fileName, bytes))
        ui::errorBox(writeErrorText(SaveDialog1.fileName));
}

void TCoverPrint::Button10Click() {
    OpenDialog3.filter = LayoutFilter;
    OpenDialog3.defaultExt = LayoutExt;
    OpenDialog3.initialDir = ExeDir + "covers/INI";
    if (!OpenDialog3.execute(this) || !core::fileExists(OpenDialog3.fileName))
        return;
    loadLayoutFile(OpenDialog3.fileName);
}

void TCoverPrint::loadLayoutFile(const std::string& path) {
    const std::int64_t size = core::fileSize(path);
    std::optional<std::string> bytes;
    if (size >= 0 && static_cast<std::uint64_t>(size) <= LayoutMaximumSize)
        bytes = core::readFile(path, static_cast<std::int64_t>(LayoutMaximumSize));
    if (!bytes) {
        ui::errorBox(readErrorText(path));
        return;
    }
    LayoutFile file;
    switch (decodeLayoutFile(*bytes, file)) {
    case LayoutReadStatus::TooShort:
        // A language file without the entry still says why.
        ui::errorBox(CaptionTable[ShortLayoutMessage].empty() ? std::string(ShortLayoutText)
                                                              : CaptionTable[ShortLayoutMessage]);
        return;
    case LayoutReadStatus::Damaged:
        ui::errorBox(readErrorText(path));
        return;
    case LayoutReadStatus::Ok:
        break;
    }
    const std::int32_t logoX = Layout.LogoX;
    const std::int32_t logoY = Layout.LogoY;
    applyLayoutFile(file, Layout);
    // The pictures load (and the back redraws) with the new items but the old logo position.
    Layout.LogoX = logoX;
    Layout.LogoY = logoY;
    // Only a file name is taken from the file: the pictures always come from the program's folders.
    // A name with control bytes names no file the window could have saved: the picture stays.
    const std::string background =
        usablePictureName(file.BackgroundName) ? core::extractFileName(file.BackgroundName) : std::string();
    const std::string logo =
        usablePictureName(file.LogoName) ? core::extractFileName(file.LogoName) : std::string();
    if (!background.empty())
        backpic.setText(ExeDir + "covers/back/" + background);
    if (!logo.empty())
        Edit1.setText(ExeDir + "covers/logos/" + logo);
    Layout.LogoX = file.LogoX;
    Layout.LogoY = file.LogoY;
    // What is shown is what prints: the back and the logo at its new place.
    displayback();
}

double TCoverPrint::ParseDecimal(const std::string& text) {
    const std::optional<double> value = parseDecimal(text);
    if (!value) {
        ui::errorBox(text + NotNumericText);
        return 0;
    }
    return *value;
}

void TCoverPrint::printerdpiKeyPress(char& key) {
    if (static_cast<unsigned char>(key) >= ' ' && (key < '0' || key > '9'))
        key = 0;
}

void TCoverPrint::printerdpiChange() {
    const std::string text = printerdpi.text();
    if (text.empty())
        return;
    // A resolution of 0 draws nothing: it is neither taken nor kept for the next start ("Print" says
    // why while the edit holds it).
    const std::optional<int> value = dpiValue(text);
    if (!value)
        return;
    Dpi = *value;
    if (!core::registry::writeString(core::RootKey::CurrentUser, CoverRegistryKey, DpiValueName,
                                     dpiRegistryValue(text)))
        ui::errorBox(writeErrorText(core::registry::storePath()));
}

PageSettings TCoverPrint::pageSettings() const {
    const auto align = [](const ui::RadioButton& up, const ui::RadioButton& middle) {
        return middle.checked() ? SpineAlign::Center : up.checked() ? SpineAlign::Up : SpineAlign::Down;
    };
    PageSettings s;
    s.Dpi = Dpi;
    s.FrontTop = FrontTop;
    s.FrontLeft = FrontLeft;
    s.BackTop = BackTop;
    s.BackLeft = BackLeft;
    s.PrintFront = printfront.checked();
    s.PrintBack = printback.checked();
    s.DrawLines = drawlines.checked();
    s.Left = {align(LAlignup, LCenter), LDownup.checked()};
    s.Right = {align(RAlignup, RCenter), RDownup.checked()};
    return s;
}

void TCoverPrint::Button2Click() {
    if (const std::optional<int> dpi = dpiValue(printerdpi.text()); !dpi) {
        ui::errorBox(printerdpi.text() + InvalidDpiText);
        return;
    }
    refill(ftop, "2");
    refill(fleft, "2");
    if (btop.text().empty()) {
        btop.setText("0");
        fromfront.setChecked(true);
    }
    refill(bleft, "2");
    FrontTop = borderPixels(ParseDecimal(ftop.text()), Dpi);
    FrontLeft = borderPixels(ParseDecimal(fleft.text()), Dpi);
    BackLeft = borderPixels(ParseDecimal(bleft.text()), Dpi);
    BackTop = borderPixels(ParseDecimal(btop.text()), Dpi);
    if (!PrintDialog1.execute(this))
        return;

    PageSources sources;
    sources.FrontPicture = picis.caption().empty() ? nullptr : FrontPicture.get();
    sources.Front = {PicX, PicY, PicWidth, PicHeight};
    sources.BackPicture = &BackPicture;
    sources.UseBackPicture = usebackpic.checked();
    sources.Layout = &Layout;
    sources.Texts = backTexts();
    sources.Labels = backLabels();
    sources.Justify = Justify.checked();
    sources.RightColumn = tb.position();
    sources.SpineFont = tranche.Bitmap().Font();
    sources.Logo = &Image6.Bitmap();
    sources.LogoWidth = Image6.width();
    sources.LogoHeight = Image6.height();

    // The page lives only for the print: at high resolutions it takes hundreds of megabytes.
    std::unique_ptr<gdi::Bitmap> page = composePage(pageSettings(), sources);
    page->saveToFile(ExeDir + PageFileName);
    printPage(*page);
}

void TCoverPrint::printPage(const gdi::Bitmap& page) {
    QPrinter& printer = ui::applicationPrinter();
    printer.setDocName(QString::fromUtf8(PrintDocumentTitle));
    // One page pixel to one printer dot.
    if (Dpi > 0)
        printer.setResolution(Dpi);
    const QImage image(reinterpret_cast<const uchar*>(page.bits()), page.width(), page.height(),
                       QImage::Format_RGB32);
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error(PrinterFailedText);
    // Sent as it is drawn: a lossy picture would blur the thin cut lines and coloured text.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.drawImage(0, 0, image);
    painter.end();
}

} // namespace cover
