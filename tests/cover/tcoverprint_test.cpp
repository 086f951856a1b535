// The cover printer window in this process on a temporary program folder: creation and its defaults,
// the main window's texts and hooks, the language section, the printer resolution in the registry, the
// front picture, placing items, layout files, dropping files and printing to a PDF file.

#include "cover/tcoverprint.h"

#include "platform/core/registry.h"
#include "platform/gdi/bmp_file.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/screenshot.h"
#include "tests/support/caption_fit.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPrinter>

#include <cstdlib>
#include <filesystem>

namespace cover {
namespace {

namespace core = platform::core;
using kes::test::readBytes;
using kes::test::writeBytes;
using platform::ui::testing::DialogScript;

class CoverWindow : public ::testing::Test {
protected:
    void SetUp() override { core::registry::deleteKey(core::RootKey::CurrentUser, CoverRegistryKey); }

    MainWindowLink link(std::string profile = "None") {
        MainWindowLink l;
        l.programFolder = folder.path().string();
        l.profileName = [profile] { return profile; };
        l.movieLength = [this]() -> std::optional<std::string> { return length; };
        l.settings = [] { return std::string("XviD 1 CD"); };
        l.comment = [] { return std::string("a comment"); };
        l.minimize = [this] { ++minimized; };
        l.restore = [this] { ++restored; };
        return l;
    }

    std::string path(const std::string& relative) const { return (folder.path() / relative).string(); }

    void writeFront(const std::string& relative, int w, int h) {
        writeBytes(folder.path() / relative, kes::test::makeJpeg(w, h, [](int, int) { return 0x2040C0u; }));
    }

    kes::test::ProgramFolder folder;
    std::optional<std::string> length;
    int minimized = 0;
    int restored = 0;
};

TEST_F(CoverWindow, OpensWithItsDefaultsAndHandsTheMainWindowBack) {
    length = "95";
    DialogScript script;
    {
        TCoverPrint form(link());
        EXPECT_EQ(CoverPrint, &form);
        EXPECT_EQ(minimized, 1);
        EXPECT_EQ(form.caption(), "Cover printer - [send me your background pictures creations :-) ]");
        ASSERT_EQ(form.cov.pageCount(), 4);
        EXPECT_EQ(form.cov.page(0), &form.Front);
        EXPECT_EQ(form.cov.page(3), &form.Print);
        EXPECT_EQ(form.printerdpi.text(), "300");
        EXPECT_EQ(form.Dpi, 300);
        EXPECT_EQ(form.Zoom, 400);
        EXPECT_EQ(form.Layout, defaultLayout());
        EXPECT_TRUE(form.MM.checked());
        EXPECT_TRUE(form.LAligndown.checked() && form.LDownup.checked());
        EXPECT_TRUE(form.RAlignup.checked() && form.RUpDown.checked());
        EXPECT_FALSE(form.MFont.enabled());
        EXPECT_EQ(form.backcov.Bitmap().Width(), 456);
        EXPECT_EQ(form.backcov.Bitmap().Height(), 390);
        EXPECT_EQ(form.Image321.Bitmap().Width(), 33);
        EXPECT_EQ(form.backpic.text(), form.ExeDir + "Covers/back/bckgnd.jpg");
        EXPECT_EQ(form.Image6.width(), 130);
        EXPECT_EQ(form.Image6.left(), 320);
        // Without a profile nothing of the main window's texts is taken, not even with them at hand.
        EXPECT_EQ(form.moviename.text(), "");
        EXPECT_EQ(form.movielength.text(), "");
        EXPECT_EQ(form.ripdesc.text(), "");
        EXPECT_EQ(form.sum1.text(), "");
        form.Button7.click();
        EXPECT_EQ(restored, 1);
    }
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(CoverPrint, nullptr);
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(CoverWindow, TakesTheProfileAndLengthAndCentresTheTitle) {
    length = "117";
    TCoverPrint form(link("Alien"));
    EXPECT_EQ(form.moviename.text(), "Alien");
    EXPECT_EQ(form.movielength.text(), "117 min.");
    EXPECT_EQ(form.ripdesc.text(), "XviD 1 CD");
    EXPECT_EQ(form.sum1.text(), "a comment");
    g32::TBitmap32 measure;
    measure.Font().name = "Arial";
    measure.Font().size = 15;
    const int expected = (456 - measure.TextWidth("Alien")) / 2;
    EXPECT_EQ(form.Layout.Items[ciTitle].X, expected);
    // The spine preview shows the title: something dark along it.
    bool inked = false;
    const g32::TBitmap32& spine = form.Image321.Bitmap();
    for (int y = 0; y < spine.Height(); ++y)
        for (int x = 0; x < spine.Width(); ++x)
            inked = inked || (spine.Pixel(x, y) & 0xFF) < 100;
    EXPECT_TRUE(inked);
}

TEST_F(CoverWindow, TakesItsCaptionsFromTheLanguageSection) {
    writeBytes(folder.path() / "LANG" / "default.ini", "Deutsch.lng\r\n");
    writeBytes(folder.path() / "LANG" / "Deutsch.lng",
               "1.24\r\n#1=Haupt\r\n----Cover----\r\n#1=Vorderseite\r\n#58=Hüllendrucker\r\n#45=Oben\r\n"
               "#62=Keine Hülle.\r\n----Other----\r\n#2=never\r\n");
    DialogScript script;
    TCoverPrint form(link());
    EXPECT_EQ(form.Front.caption(), "Vorderseite");
    EXPECT_EQ(form.Backtxt.caption(), "");
    EXPECT_EQ(form.ltitle.caption(), "");
    EXPECT_EQ(form.LAlignup.caption(), "Oben");
    EXPECT_EQ(form.RAlignup.caption(), "Oben");
    EXPECT_EQ(form.caption(), form.CaptionTable[58]);
    writeBytes(folder.path() / "short.ini", std::string(100, '\0'));
    form.loadLayoutFile(path("short.ini"));
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{form.CaptionTable[62]});
}

TEST_F(CoverWindow, KeepsThePrinterResolutionInTheRegistry) {
    ASSERT_TRUE(core::registry::writeString(core::RootKey::CurrentUser, CoverRegistryKey, DpiValueName,
                                            std::string("600\0", 4)));
    {
        TCoverPrint form(link());
        EXPECT_EQ(form.printerdpi.text(), "600");
        EXPECT_EQ(form.Dpi, 600);
        char key = 'a';
        form.printerdpiKeyPress(key);
        EXPECT_EQ(key, 0);
        form.printerdpi.setText("12000");
        EXPECT_EQ(form.Dpi, 12000);
        EXPECT_EQ(core::registry::readString(core::RootKey::CurrentUser, CoverRegistryKey, DpiValueName),
                  "1200");
    }
    TCoverPrint next(link());
    EXPECT_EQ(next.printerdpi.text(), "1200");
    EXPECT_EQ(next.Dpi, 1200);
}

// A resolution of 0 would print a blank page: it is not taken, not kept for the next start, and
// "Print" says why; an older program's stored 0 starts from the default.
TEST_F(CoverWindow, AResolutionOfZeroIsRefused) {
    DialogScript script;
    {
        TCoverPrint form(link());
        form.printerdpi.setText("600");
        form.printerdpi.setText("0");
        EXPECT_EQ(form.Dpi, 600);
        EXPECT_EQ(core::registry::readString(core::RootKey::CurrentUser, CoverRegistryKey, DpiValueName),
                  std::string("600\0", 4));
        form.Button2.click();
        EXPECT_EQ(script.texts("error"), std::vector<std::string>{std::string("0") + InvalidDpiText});
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "cover.bmp"));
    }
    ASSERT_TRUE(core::registry::writeString(core::RootKey::CurrentUser, CoverRegistryKey, DpiValueName,
                                            std::string("0\0\0\0", 4)));
    TCoverPrint next(link());
    EXPECT_EQ(next.printerdpi.text(), "300");
    EXPECT_EQ(next.Dpi, 300);
}

// Every caption and the previews show whole at the toolkit's own font; the previews keep their sizes.
TEST_F(CoverWindow, EveryCaptionFits) {
    DialogScript script;
    TCoverPrint form(link());
    form.show();
    platform::ui::processMessages();
    EXPECT_EQ(kes::test::clippedCaptions(form.client()), std::vector<std::string>{});
    EXPECT_EQ(form.Image1.width(), FrontPreviewSize);
    EXPECT_EQ(form.backcov.width(), 456);
    EXPECT_EQ(form.backcov.height(), 390);
    if (const char* shots = std::getenv("KES_SCREENSHOTS"))
        for (int i = 0; i < form.cov.pageCount(); ++i) {
            form.cov.setPageIndex(i);
            platform::ui::processMessages();
            platform::ui::grabToPng(form, std::string(shots) + "/cover" + std::to_string(i) + ".png");
        }
}

TEST_F(CoverWindow, LoadsAndPlacesTheFrontPicture) {
    writeFront("covers/front/wide.jpg", 1000, 500);
    DialogScript script({path("covers/front/wide.jpg")});
    TCoverPrint form(link());
    form.Zoom = 300;
    form.Button1.click();
    EXPECT_EQ(form.picis.caption(), "wide.jpg");
    EXPECT_EQ(form.Label1.caption(), "X : 1000");
    EXPECT_EQ(form.Label2.caption(), "Y : 500");
    EXPECT_EQ(form.Zoom, 300);
    EXPECT_EQ(form.PicWidth, 400);
    EXPECT_EQ(form.PicY, 100);
    const QImage& preview = form.Image1.picture();
    ASSERT_EQ(preview.width(), 400);
    EXPECT_EQ(preview.pixel(200, 50) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(preview.pixel(200, 200) & 0xFFFFFF, 0xFFFFFFu);
    form.DM.click();
    EXPECT_EQ(form.PicY, 400 - 150); // redrawn at the current zoom, 300
    form.Button3.click();
    EXPECT_EQ(form.Zoom, 310);
    form.center.click();
    EXPECT_FALSE(form.GroupBox2.enabled());
    EXPECT_EQ(form.PicX, 0);
    EXPECT_EQ(form.PicY, 0);
    form.Button6.click();
    for (int i = 0; i < 41; ++i)
        form.Button4.click();
    EXPECT_EQ(form.Zoom, -10);
    EXPECT_TRUE(script.shown().size() == 1); // the open dialog only
}

TEST_F(CoverWindow, RefusesOtherAndDamagedFrontPicturesKeepingTheOldOne) {
    writeFront("covers/front/good.jpg", 200, 100);
    writeBytes(folder.path() / "covers/front/bad.jpg", "not a jpeg");
    writeBytes(folder.path() / "covers/front/pic.png", "png");
    DialogScript script({path("covers/front/good.jpg"), path("covers/front/pic.png"), "OK",
                         path("covers/front/bad.jpg"), "OK"});
    TCoverPrint form(link());
    form.Button1.click();
    form.Button1.click();
    form.Button1.click();
    const auto errors = script.texts("error");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "JPEG files only !");
    EXPECT_EQ(form.picis.caption(), "good.jpg");
    ASSERT_TRUE(form.FrontPicture);
    EXPECT_EQ(form.FrontPicture->width(), 200);
}

TEST_F(CoverWindow, PlacesItemsAndTheLogoWithTheMouse) {
    TCoverPrint form(link());
    form.ctitle.click();
    EXPECT_TRUE(form.MFont.enabled() && form.MPos.enabled() && !form.MSet.enabled());
    form.MPos.click();
    EXPECT_EQ(form.cpos.caption(), "Select position with cursor");
    EXPECT_EQ(form.Layout.Items[ciTitle].Placing, 1);
    form.backcovMouseMove(50, 60);
    EXPECT_EQ(form.Label9.caption(), "X = 50");
    EXPECT_EQ(form.Layout.Items[ciTitle].X, 50);
    form.backcovMouseDown(70, 80);
    EXPECT_EQ(form.Layout.Items[ciTitle].Placing, 0);
    EXPECT_EQ(form.Layout.Items[ciTitle].Y, 80);
    EXPECT_EQ(form.cpos.caption(), "");
    form.MPosMouseMove();
    EXPECT_EQ(form.Label9.caption(), "70");

    form.clogo.click();
    EXPECT_TRUE(!form.MFont.enabled() && form.MPos.enabled());
    form.MPos.click();
    form.backcovMouseMove(10, 20);
    EXPECT_EQ(form.Layout.LogoX, 11);
    form.backcovMouseDown(10, 20);
    EXPECT_EQ(form.Layout.LogoX, 10);
    EXPECT_EQ(form.Image6.left(), 10);

    form.CheckBox1.click();
    EXPECT_EQ(form.Image6.width(), 0);
    EXPECT_FALSE(form.clogo.enabled());
    form.CBorder.click();
    EXPECT_TRUE(form.MSet.enabled());
    form.MSet.click();
    EXPECT_EQ(form.cov.activePage(), &form.Print);
}

std::string pixelsOf(const g32::TBitmap32& bitmap) {
    std::string data;
    bitmap.WriteData(data);
    return data;
}

// Every control of the window runs its own handler: the position radios place the front, the back
// edits, the track bar and the background box redraw the back, the "Modify" radios allow their buttons
// and the left spine radios redraw the spine.
TEST_F(CoverWindow, EachControlRunsItsOwnHandler) {
    writeFront("covers/front/wide.jpg", 1000, 500);
    writeBytes(folder.path() / "covers/back/paper.bmp", [] {
        std::vector<std::uint32_t> px(16, 0xFF103070);
        return platform::gdi::encodeBmp(4, 4, px.data(), 24);
    }());
    DialogScript script({path("covers/front/wide.jpg")});
    TCoverPrint form(link());
    form.Button1.click();
    const std::pair<platform::ui::RadioButton*, std::pair<int, int>> places[] = {
        {&form.UL, {0, 0}},   {&form.UM, {0, 0}},   {&form.UR, {0, 0}},
        {&form.ML, {0, 100}}, {&form.MR, {0, 100}}, {&form.DL, {0, 200}},
        {&form.DM, {0, 200}}, {&form.DR, {0, 200}}, {&form.MM, {0, 100}}};
    for (const auto& [radio, place] : places) {
        radio->click();
        EXPECT_EQ(std::pair(form.PicX, form.PicY), place) << radio->caption();
    }

    form.Justify.click();
    platform::ui::Edit* edits[] = {&form.movielength, &form.ripdesc, &form.genre, &form.subt, &form.lng,
                                   &form.sum1,        &form.sum2,    &form.sum3,  &form.sum4};
    for (platform::ui::Edit* edit : edits) {
        const std::string before = pixelsOf(form.backcov.Bitmap());
        edit->setText(edit->text() + "Wxyz");
        EXPECT_NE(pixelsOf(form.backcov.Bitmap()), before) << "edit " << edit->text();
    }
    std::string before = pixelsOf(form.backcov.Bitmap());
    form.tb.setPosition(300);
    EXPECT_NE(pixelsOf(form.backcov.Bitmap()), before) << "track bar";
    form.backpic.setText(path("covers/back/paper.bmp"));
    before = pixelsOf(form.backcov.Bitmap());
    form.usebackpic.click();
    EXPECT_NE(pixelsOf(form.backcov.Bitmap()), before) << "background box";

    const struct {
        platform::ui::RadioButton* radio;
        bool font, set, pos;
    } modify[] = {{&form.CBorder, true, true, false}, {&form.ctitle, true, false, true},
                  {&form.clength, true, false, true}, {&form.ckind, true, false, true},
                  {&form.cdesc, true, false, true},   {&form.csub, true, false, true},
                  {&form.clng, true, false, true},    {&form.ccomm, true, false, true},
                  {&form.clogo, false, false, true},  {&form.cnone, false, false, false}};
    for (const auto& m : modify) {
        m.radio->click();
        EXPECT_EQ(form.MFont.enabled(), m.font) << m.radio->caption();
        EXPECT_EQ(form.MSet.enabled(), m.set) << m.radio->caption();
        EXPECT_EQ(form.MPos.enabled(), m.pos) << m.radio->caption();
    }

    form.moviename.setText("Alien");
    platform::ui::RadioButton* spineRadios[] = {&form.LAlignup, &form.LCenter, &form.Lupdown,
                                                &form.LAligndown, &form.LDownup};
    for (platform::ui::RadioButton* radio : spineRadios) {
        before = pixelsOf(form.Image321.Bitmap());
        radio->click();
        EXPECT_NE(pixelsOf(form.Image321.Bitmap()), before) << radio->caption();
    }
    // The unbound handler draws what the title's change draws.
    const std::string spine = pixelsOf(form.Image321.Bitmap());
    form.Image321.Bitmap().Clear(0x00FFFFFF);
    form.centernameClick();
    EXPECT_EQ(pixelsOf(form.Image321.Bitmap()), spine);
}

TEST_F(CoverWindow, FontChoiceChangesTheSelectedItem) {
    DialogScript script({"Liberation Serif,300,255,bi", "Cancel"});
    TCoverPrint form(link());
    form.cdesc.click();
    form.MFont.click();
    const TCoverItem& item = form.Layout.Items[ciRipDesc];
    EXPECT_EQ(item.FontName, "Liberation Serif");
    EXPECT_EQ(item.Size, 300 & 0xFF);
    EXPECT_EQ(item.Color, 255u);
    EXPECT_EQ(item.Style, StyleBold | StyleItalic);
    form.MFont.click();
    EXPECT_EQ(form.Layout.Items[ciRipDesc].FontName, "Liberation Serif");
}

TEST_F(CoverWindow, SavesAndLoadsLayoutFiles) {
    writeBytes(folder.path() / "covers/back/paper.bmp",
               platform::gdi::encodeBmp(1, 1, std::vector<std::uint32_t>{0xFF00FF00}.data(), 24));
    DialogScript script({path("covers/INI/mine"), path("covers/INI/mine.ini")});
    TCoverPrint form(link());
    form.Layout.Items[ciGenre].X = 99;
    form.Layout.Items[ciSubtitle].Placing = 1;
    form.Layout.LogoX = 200;
    form.backpic.setText("/elsewhere/paper.bmp");
    form.Button9.click();
    const std::string saved = readBytes(folder.path() / "covers/INI/mine.ini");
    EXPECT_EQ(saved.size(), 280u);

    const CoverLayout before = form.Layout;
    form.Layout = defaultLayout();
    form.Layout.Items[ciRuntime].FontName = "Kept";
    form.Button10.click();
    EXPECT_EQ(form.Layout.Items[ciGenre].X, 99);
    EXPECT_EQ(form.Layout.Items[ciSubtitle].Placing, 1);
    EXPECT_EQ(form.Layout.LogoX, 200);
    EXPECT_EQ(form.Layout.Items[ciRuntime].FontName, "Kept");
    EXPECT_EQ(form.backpic.text(), form.ExeDir + "covers/back/paper.bmp");
    EXPECT_EQ(form.BackPicture.Width(), 1);
    EXPECT_TRUE(script.texts("error").empty());
    static_cast<void>(before);

    // A damaged file changes nothing.
    std::string damaged = saved;
    damaged[6] = '\x7F';
    writeBytes(folder.path() / "covers/INI/bad.ini", damaged);
    const CoverLayout current = form.Layout;
    form.loadLayoutFile(path("covers/INI/bad.ini"));
    EXPECT_EQ(form.Layout, current);
    ASSERT_EQ(script.texts("error").size(), 1u);
    form.loadLayoutFile(path("covers/INI/missing.ini"));
    EXPECT_EQ(script.texts("error").size(), 2u);
}

TEST_F(CoverWindow, DroppedFilesGoByTab) {
    writeFront("covers/front/drop.jpg", 50, 50);
    writeBytes(folder.path() / "covers/back/drop.jpg",
               kes::test::makeJpeg(4, 4, [](int, int) { return 0u; }));
    TCoverPrint form(link());
    form.cov.setActivePage(form.Print);
    form.WmDropFiles(path("covers/front/drop.jpg"));
    EXPECT_EQ(form.picis.caption(), "");
    form.cov.setActivePage(form.Front);
    form.WmDropFiles(path("covers/front/drop.jpg"));
    EXPECT_EQ(form.picis.caption(), "drop.jpg");
    form.cov.setActivePage(form.Back);
    form.WmDropFiles(path("covers/back/drop.jpg"));
    EXPECT_EQ(form.backpic.text(), path("covers/back/drop.jpg"));
    EXPECT_EQ(form.BackPicture.Width(), 4);
}

TEST_F(CoverWindow, ATitleTooLongForTheSpineIsReported) {
    DialogScript script;
    TCoverPrint form(link());
    form.moviename.setText(std::string(120, 'W'));
    EXPECT_EQ(script.texts("plain"), std::vector<std::string>{"string too long"});
}

TEST_F(CoverWindow, PrintsThePageToAPdfAndKeepsCoverBmp) {
    kes::test::TempDir out;
    QPrinter& printer = platform::ui::applicationPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(out.file("cover.pdf")));
    writeFront("covers/front/f.jpg", 300, 300);
    DialogScript script({path("covers/front/f.jpg"), "Cancel", "1"});
    TCoverPrint form(link());
    form.Button1.click();
    form.fleft.setText("");
    form.ftop.setText("3");
    form.Button2.click(); // cancelled
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "cover.bmp"));
    EXPECT_EQ(form.fleft.text(), "2");
    EXPECT_EQ(form.ftop.text(), "3");
    EXPECT_EQ(form.FrontTop, 354);
    form.Button2.click();
    const std::string bmp = readBytes(folder.path() / "cover.bmp");
    const auto image = platform::gdi::decodeBmp(bmp);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->bitCount, 24);
    EXPECT_EQ(image->width, 2 * 82 + 1618 + 236 + 10);
    EXPECT_EQ(image->height, 236 + 1418 + 1381 + 10);
    EXPECT_GT(std::filesystem::file_size(out.file("cover.pdf")), 1000u);
    EXPECT_TRUE(script.texts("error").empty());
    // The PDF holds the page without loss: poppler's extraction gives back every pixel of cover.bmp.
    ASSERT_EQ(
        std::system(("pdfimages -png '" + out.file("cover.pdf") + "' '" + out.file("img") + "'").c_str()), 0);
    const QImage printed(QString::fromStdString(out.file("img-000.png")));
    ASSERT_EQ(printed.width(), image->width);
    ASSERT_EQ(printed.height(), image->height);
    const QImage rgb = printed.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            ASSERT_EQ(rgb.pixel(x, y) & 0xFFFFFF,
                      image->pixels[static_cast<std::size_t>(y) * image->width + x] & 0xFFFFFF)
                << x << "," << y;
}

TEST_F(CoverWindow, AnInvalidBorderCountsAsZero) {
    DialogScript script({"Cancel"});
    TCoverPrint form(link());
    form.ftop.setText("2x");
    form.Button2.click();
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"2x is not a numerical value !"});
    EXPECT_EQ(form.FrontTop, 0);
    EXPECT_EQ(form.FrontLeft, 236);
}

} // namespace
} // namespace cover
