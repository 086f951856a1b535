#include "cover/tcoverprint.h"

#include "cover/cover_picture.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/ui/dialogs.h"

namespace cover {

namespace core = platform::core;
namespace gdi = platform::gdi;

namespace {

constexpr const char* TooLongText = "string too long";
constexpr const char* PlacingPrompt = "Select position with cursor";
constexpr const char* PictureFilter = "Jpeg images|*.jpg|BMP images|*.bmp";
constexpr const char* PictureDefaultExt = "*.jpg";
// The spine preview: the title runs along 380 of its 390 pixels, 10 from the ends.
constexpr int SpineLength = 380;
constexpr int SpineEndMargin = 10;
constexpr int SpineSquare = 390;
constexpr int DefaultLogoWidth = 130;
constexpr int DefaultLogoHeight = 52;
constexpr g32::TColor32 DefaultLogoFill = 0xFFE0E0E0;
constexpr g32::TColor32 DefaultLogoFrame = 0xFF404040;
constexpr ui::Color CoordinateBlue = ui::Colors::Blue;

gdi::FontStyle styleOf(std::uint8_t bits) {
    return {(bits & StyleBold) != 0, (bits & StyleItalic) != 0, (bits & StyleUnderline) != 0,
            (bits & StyleStrikeOut) != 0};
}

std::uint8_t bitsOf(const ui::FontStyle& style) {
    return static_cast<std::uint8_t>((style.bold ? StyleBold : 0) | (style.italic ? StyleItalic : 0) |
                                     (style.underline ? StyleUnderline : 0) |
                                     (style.strikeOut ? StyleStrikeOut : 0));
}

} // namespace

void TCoverPrint::connectBackHandlers() {
    moviename.onChange = [this] { movienameChange(); };
    movielength.onChange = [this] { movielengthChange(); };
    ripdesc.onChange = [this] { ripdescChange(); };
    genre.onChange = [this] { genreChange(); };
    subt.onChange = [this] { subtChange(); };
    lng.onChange = [this] { lngChange(); };
    sum1.onChange = [this] { sum1Change(); };
    sum2.onChange = [this] { sum2Change(); };
    sum3.onChange = [this] { sum3Change(); };
    sum4.onChange = [this] { sum4Change(); };
    tb.onChange = [this] { tbChange(); };
    usebackpic.onClick = [this] { usebackpicClick(); };
    Justify.onClick = [this] { JustifyClick(); };
    cnone.onClick = [this] { cnoneClick(); };
    CBorder.onClick = [this] { CBorderClick(); };
    ctitle.onClick = [this] { ctitleClick(); };
    clength.onClick = [this] { clengthClick(); };
    ckind.onClick = [this] { ckindClick(); };
    cdesc.onClick = [this] { cdescClick(); };
    csub.onClick = [this] { csubClick(); };
    clng.onClick = [this] { clngClick(); };
    ccomm.onClick = [this] { ccommClick(); };
    clogo.onClick = [this] { clogoClick(); };
    MFont.onClick = [this] { MFontClick(); };
    MSet.onClick = [this] { MSetClick(); };
    MPos.onClick = [this] { MPosClick(); };
    MPos.setMouseTracking(true);
    MPos.onMouseMove = [this](int, int) { MPosMouseMove(); };
    backcov.OnMouseMove = [this](g32::TShiftState, int X, int Y, g32::TCustomLayer*) {
        backcovMouseMove(X, Y);
    };
    backcov.OnMouseDown = [this](ui::MouseButton, g32::TShiftState, int X, int Y, g32::TCustomLayer*) {
        backcovMouseDown(X, Y);
    };
    CheckBox1.onClick = [this] { CheckBox1Click(); };
    Button5.onClick = [this] { Button5Click(); };
    backpic.onChange = [this] { backpicChange(); };
    Button8.onClick = [this] { Button8Click(); };
    Edit1.onChange = [this] { Edit1Change(); };
    LAlignup.onClick = [this] { LAlignupClick(); };
    LCenter.onClick = [this] { LCenterClick(); };
    LAligndown.onClick = [this] { LAligndownClick(); };
    LDownup.onClick = [this] { LDownupClick(); };
    Lupdown.onClick = [this] { LupdownClick(); };
}

BackTexts TCoverPrint::backTexts() const {
    BackTexts t;
    t.Title = moviename.text();
    t.Runtime = movielength.text();
    t.Genre = genre.text();
    t.RipDesc = ripdesc.text();
    t.Subtitle = subt.text();
    t.Language = lng.text();
    t.Comments = {sum1.text(), sum2.text(), sum3.text(), sum4.text()};
    return t;
}

BackLabels TCoverPrint::backLabels() const {
    return {llength.caption(), lkind.caption(), ldesc.caption(),
            lsub.caption(),    llng.caption(),  lcomm.caption()};
}

void TCoverPrint::makeDefaultLogo() {
    g32::TBitmap32& logo = Image6.Bitmap();
    logo.SetSize(DefaultLogoWidth, DefaultLogoHeight);
    logo.Clear(DefaultLogoFill);
    logo.FillRect(0, 0, DefaultLogoWidth, 1, DefaultLogoFrame);
    logo.FillRect(0, DefaultLogoHeight - 1, DefaultLogoWidth, DefaultLogoHeight, DefaultLogoFrame);
    logo.FillRect(0, 0, 1, DefaultLogoHeight, DefaultLogoFrame);
    logo.FillRect(DefaultLogoWidth - 1, 0, DefaultLogoWidth, DefaultLogoHeight, DefaultLogoFrame);
    logo.Font().name = DefaultFontName;
    logo.Font().size = 14;
    logo.Font().color = 0x404040;
    logo.Textout(30, 14, "Kestrova");
    sizeLogoToPicture();
}

void TCoverPrint::sizeLogoToPicture() {
    Image6.setBounds(Layout.LogoX, Layout.LogoY, Image6.Bitmap().Width(), Image6.Bitmap().Height());
    Image6.bringToFront();
}

void TCoverPrint::setBMPfont(const TCoverItem& item) {
    setItemFont(backcov.Bitmap(), item, 1.0);
}

void TCoverPrint::displayback() {
    Image6.setLeft(Layout.LogoX);
    Image6.setTop(Layout.LogoY);
    g32::TBitmap32& bitmap = backcov.Bitmap();
    bitmap.BeginUpdate();
    bitmap.Clear(White32);
    if (usebackpic.checked() && !BackPicture.Empty())
        bitmap.Draw(g32::MakeRect(0, 0, BackPreviewWidth, BackPreviewHeight),
                    g32::MakeRect(0, 0, BackPicture.Width(), BackPicture.Height()), &BackPicture);
    drawBackItems(bitmap, Layout, backTexts(), backLabels(),
                  BackDrawing{Justify.checked(), tb.position(), 1.0});
    bitmap.EndUpdate();
    backcov.Changed();
}

void TCoverPrint::movienameChange() {
    const std::string title = moviename.text();
    g32::TBitmap32& scratch = tranche.Bitmap();
    const int w = scratch.TextWidth(title);
    if (w + SpineEndMargin > SpineLength)
        ui::showMessage(TooLongText);
    const SpineAlign align = LCenter.checked()    ? SpineAlign::Center
                             : LAlignup.checked() ? SpineAlign::Up
                                                  : SpineAlign::Down;
    SpineDrawing d;
    d.TextX = spineStart(align, LDownup.checked(), SpineLength, w, SpineEndMargin) + SpineEndMargin;
    d.Square = SpineSquare;
    d.DownUp = LDownup.checked();
    d.ShiftX = static_cast<float>(scratch.Font().size - SpineLength);
    drawSpine(scratch, Image321.Bitmap(), title, d);
    Image321.Changed();

    TCoverItem& item = Layout.Items[ciTitle];
    backcov.Bitmap().Font().size = item.Size;
    backcov.Bitmap().Font().name = item.FontName;
    item.X = (BackPreviewWidth - backcov.Bitmap().TextWidth(title)) / 2;
    displayback();
}

void TCoverPrint::centernameClick() {
    movienameChange();
}

void TCoverPrint::movielengthChange() {
    displayback();
}

void TCoverPrint::ripdescChange() {
    displayback();
}

void TCoverPrint::genreChange() {
    displayback();
}

void TCoverPrint::subtChange() {
    displayback();
}

void TCoverPrint::lngChange() {
    displayback();
}

void TCoverPrint::sum1Change() {
    displayback();
}

void TCoverPrint::sum2Change() {
    displayback();
}

void TCoverPrint::sum3Change() {
    displayback();
}

void TCoverPrint::sum4Change() {
    displayback();
}

void TCoverPrint::tbChange() {
    displayback();
}

void TCoverPrint::usebackpicClick() {
    displayback();
}

void TCoverPrint::LAlignupClick() {
    movienameChange();
}

void TCoverPrint::LCenterClick() {
    movienameChange();
}

void TCoverPrint::LAligndownClick() {
    movienameChange();
}

void TCoverPrint::LDownupClick() {
    movienameChange();
}

void TCoverPrint::LupdownClick() {
    movienameChange();
}

void TCoverPrint::JustifyClick() {
    Label5.setEnabled(Justify.checked());
    tb.setEnabled(Justify.checked());
    displayback();
}

std::optional<CoverItemIndex> TCoverPrint::selectedItem() const {
    const std::pair<const ui::RadioButton*, CoverItemIndex> radios[] = {
        {&ctitle, ciTitle},  {&clength, ciRuntime}, {&ckind, ciGenre},   {&cdesc, ciRipDesc},
        {&csub, ciSubtitle}, {&clng, ciLanguage},   {&ccomm, ciComments}};
    for (const auto& [radio, item] : radios)
        if (radio->checked())
            return item;
    return std::nullopt;
}

void TCoverPrint::enableModifyButtons() {
    const bool item = selectedItem().has_value();
    MFont.setEnabled(item || CBorder.checked());
    MSet.setEnabled(CBorder.checked());
    MPos.setEnabled(item || clogo.checked());
}

void TCoverPrint::cnoneClick() {
    enableModifyButtons();
}

void TCoverPrint::CBorderClick() {
    enableModifyButtons();
}

void TCoverPrint::ctitleClick() {
    enableModifyButtons();
}

void TCoverPrint::clengthClick() {
    enableModifyButtons();
}

void TCoverPrint::ckindClick() {
    enableModifyButtons();
}

void TCoverPrint::cdescClick() {
    enableModifyButtons();
}

void TCoverPrint::csubClick() {
    enableModifyButtons();
}

void TCoverPrint::clngClick() {
    enableModifyButtons();
}

void TCoverPrint::ccommClick() {
    enableModifyButtons();
}

void TCoverPrint::clogoClick() {
    enableModifyButtons();
}

void TCoverPrint::MFontClick() {
    const auto item = selectedItem();
    if (!item && !CBorder.checked())
        return;
    gdi::Font& spineFont = tranche.Bitmap().Font();
    if (item) {
        const TCoverItem& it = Layout.Items[static_cast<std::size_t>(*item)];
        FontDialog1.font.family = it.FontName;
        FontDialog1.font.size = it.Size;
        FontDialog1.font.color = it.Color;
        const gdi::FontStyle style = styleOf(it.Style);
        FontDialog1.font.style = {style.bold, style.italic, style.underline, style.strikeOut};
    } else {
        FontDialog1.font.family = spineFont.name;
        FontDialog1.font.size = spineFont.size;
        FontDialog1.font.color = spineFont.color;
        FontDialog1.font.style = {spineFont.style.bold, spineFont.style.italic, spineFont.style.underline,
                                  spineFont.style.strikeOut};
    }
    if (!FontDialog1.execute(this))
        return;
    const ui::Font& chosen = FontDialog1.font;
    if (item) {
        TCoverItem& it = Layout.Items[static_cast<std::size_t>(*item)];
        it.Size = static_cast<std::uint8_t>(chosen.size & 0xFF);
        it.Style = bitsOf(chosen.style);
        it.Color = chosen.color;
        it.FontName = chosen.family;
    } else {
        spineFont.name = chosen.family;
        spineFont.size = chosen.size;
        spineFont.color = chosen.color;
        spineFont.style = styleOf(bitsOf(chosen.style));
        movienameChange();
    }
    displayback();
}

void TCoverPrint::MSetClick() {
    cov.setActivePage(Print);
}

void TCoverPrint::MPosClick() {
    cpos.setCaption(PlacingPrompt);
    backcov.setCursor(ui::Cursor::Cross);
    for (TCoverItem& item : Layout.Items)
        item.Placing = 0;
    Layout.LogoPlacing = 0;
    if (const auto item = selectedItem())
        Layout.Items[static_cast<std::size_t>(*item)].Placing = 1;
    else if (clogo.checked())
        Layout.LogoPlacing = 1;
    displayback();
}

void TCoverPrint::backcovMouseMove(int X, int Y) {
    Label9.setCaption("X = " + std::to_string(X));
    Label10.setCaption("Y = " + std::to_string(Y));
    Label9.setFontColor(ui::Colors::Black);
    Label10.setFontColor(ui::Colors::Black);
    for (TCoverItem& item : Layout.Items) {
        if (item.Placing) {
            item.X = X;
            item.Y = Y;
        }
    }
    if (Layout.LogoPlacing) {
        Layout.LogoX = X + 1;
        Layout.LogoY = Y;
    }
    displayback();
}

void TCoverPrint::backcovMouseDown(int X, int Y) {
    cpos.setCaption({});
    backcov.setCursor(ui::Cursor::Arrow);
    for (TCoverItem& item : Layout.Items) {
        if (item.Placing) {
            item.Placing = 0;
            item.X = X;
            item.Y = Y;
        }
    }
    if (Layout.LogoPlacing) {
        Layout.LogoPlacing = 0;
        Layout.LogoX = X;
        Layout.LogoY = Y;
    }
    displayback();
}

void TCoverPrint::MPosMouseMove() {
    Label9.setCaption({});
    Label10.setCaption({});
    Label9.setFontColor(CoordinateBlue);
    Label10.setFontColor(CoordinateBlue);
    if (const auto item = selectedItem()) {
        const TCoverItem& it = Layout.Items[static_cast<std::size_t>(*item)];
        Label9.setCaption(std::to_string(it.X));
        Label10.setCaption(std::to_string(it.Y));
    }
}

void TCoverPrint::CheckBox1Click() {
    if (CheckBox1.checked()) {
        sizeLogoToPicture();
        clogo.setEnabled(true);
    } else {
        Image6.setBounds(Layout.LogoX, Layout.LogoY, 0, 0);
        clogo.setEnabled(false);
    }
}

void TCoverPrint::Button5Click() {
    OpenDialog2.filter = PictureFilter;
    OpenDialog2.defaultExt = PictureDefaultExt;
    OpenDialog2.initialDir = ExeDir + "covers/back";
    if (!OpenDialog2.execute(this))
        return;
    backpic.setText(OpenDialog2.fileName);
    OpenDialog2.initialDir = core::extractFilePath(OpenDialog2.fileName);
}

void TCoverPrint::backpicChange() {
    if (core::fileExists(backpic.text()))
        GetBackPic(backpic.text());
}

void TCoverPrint::GetBackPic(const std::string& path) {
    backpic.setTextSilent(path);
    if (!core::fileExists(path))
        return;
    std::unique_ptr<gdi::Bitmap> picture = loadPicture(path);
    BackPicture.Assign(picture.get());
    displayback();
}

void TCoverPrint::Button8Click() {
    OpenDialog2.filter = PictureFilter;
    OpenDialog2.defaultExt = PictureDefaultExt;
    OpenDialog2.initialDir = ExeDir + "covers/logos";
    if (!OpenDialog2.execute(this))
        return;
    Edit1.setText(OpenDialog2.fileName);
    OpenDialog2.initialDir = core::extractFilePath(OpenDialog2.fileName);
}

void TCoverPrint::Edit1Change() {
    if (!core::fileExists(Edit1.text()))
        return;
    std::unique_ptr<gdi::Bitmap> picture = loadPicture(Edit1.text());
    Image6.Bitmap().Assign(picture.get());
    // A hidden logo stays hidden (and unprinted) until "Show logo" is ticked again.
    if (CheckBox1.checked())
        sizeLogoToPicture();
}

} // namespace cover
