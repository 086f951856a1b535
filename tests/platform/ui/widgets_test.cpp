// Texts of multi-line controls, pictures, docking, modal forms and the order in which window objects
// may be torn down.
#include "platform/ui/buttons.h"
#include "platform/ui/console_window.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/image.h"
#include "platform/ui/memo.h"
#include "tests/support/temp_dir.h"

#include <QImage>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace ui = platform::ui;

TEST(Memo, LineBreaksOfEveryKindAndTheFinalEmptyLine) {
    ui::Form form;
    ui::Memo hd(form);
    hd.setText("/ -> 10\r\n/home -> 20\r\n");
    EXPECT_EQ(hd.lines(), (std::vector<std::string>{"/ -> 10", "/home -> 20"}));
    hd.setText("a\rb\nc");
    EXPECT_EQ(hd.lineCount(), 3);
    EXPECT_EQ(hd.text(), "a\r\nb\r\nc");
    EXPECT_EQ(hd.line(5), "");
    hd.setLine(1, "B");
    EXPECT_EQ(hd.line(1), "B");
    hd.clear();
    EXPECT_TRUE(hd.lines().empty());
}

TEST(RichEdit, LinesKeepTheirColour) {
    ui::Form form;
    ui::RichEdit debug(form);
    int changes = 0;
    debug.onChange = [&] { ++changes; };
    debug.addLine("DebugWin");
    debug.addLine("failed", ui::Colors::Red);
    EXPECT_EQ(debug.lines(), (std::vector<std::string>{"DebugWin", "failed"}));
    EXPECT_EQ(changes, 2);
    QTextCursor cursor(debug.editor()->document()->findBlockByNumber(1));
    cursor.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(255, 0, 0));
}

TEST(Edit, TextsFromCodeAreNotCutToTheTypingLimit) {
    ui::Form form;
    ui::Edit ms(form);
    ms.setMaxLength(3);
    ms.setText("12345");
    EXPECT_EQ(ms.text(), "12345");
    ms.setText("1");
    EXPECT_EQ(ms.lineEdit()->maxLength(), 3);
}

TEST(Image, LoadsPicturesAndRefusesDamagedFiles) {
    kes::test::TempDir dir;
    QImage picture(13, 7, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("logo.jpg")), "PNG")); // content decides
    kes::test::writeBytes(dir.path() / "bad.bmp", "BM\x10\x00garbage");

    ui::Form form;
    ui::Image logo(form);
    logo.setAutoSize(true);
    EXPECT_FALSE(logo.loadFromFile(dir.file("bad.bmp")));
    EXPECT_FALSE(logo.loadFromFile(dir.file("absent.jpg")));
    EXPECT_TRUE(logo.empty());
    ASSERT_TRUE(logo.loadFromFile(dir.file("logo.jpg")));
    EXPECT_EQ(logo.width(), 13);
    EXPECT_EQ(logo.height(), 7);
    EXPECT_FALSE(logo.loadFromFile(dir.file("bad.bmp")));
    EXPECT_EQ(logo.picture().width(), 13); // a failed load keeps the picture
}

TEST(Align, DockedControlsShareTheClientArea) {
    ui::Form form;
    form.setClientSize(300, 200);
    ui::Panel top(form), left(form), rest(form);
    top.setBounds(0, 0, 10, 30);
    left.setBounds(0, 0, 50, 10);
    rest.setAlign(ui::Align::Client);
    left.setAlign(ui::Align::Left);
    top.setAlign(ui::Align::Top);
    EXPECT_EQ(top.widget()->geometry(), QRect(0, 0, 300, 30));
    EXPECT_EQ(left.widget()->geometry(), QRect(0, 30, 50, 170));
    EXPECT_EQ(rest.widget()->geometry(), QRect(50, 30, 250, 170));
    form.setClientSize(400, 200);
    EXPECT_EQ(rest.widget()->width(), 350);
}

TEST(Form, ButtonWithModalResultEndsShowModal) {
    ui::Form dialog;
    ui::Button ok(dialog, "OK");
    ok.setModalResult(ui::mrOk);
    bool clicked = false;
    ok.onClick = [&] { clicked = true; };
    QTimer::singleShot(0, [&] { ok.click(); });
    EXPECT_EQ(dialog.showModal(), ui::mrOk);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(dialog.isShowing());

    QTimer::singleShot(0, [&] { dialog.close(); });
    EXPECT_EQ(dialog.showModal(), ui::mrCancel);
}

TEST(Lifetime, ContainersMayGoBeforeTheirControls) {
    auto form = std::make_unique<ui::Form>();
    auto edit = std::make_unique<ui::Edit>(*form, "x");
    auto pages = std::make_unique<ui::PageControl>(*form);
    auto sheet = std::make_unique<ui::TabSheet>(*pages, "Main");
    auto box = std::make_unique<ui::CheckBox>(*sheet);
    edit->onExit = [] { FAIL() << "no handler runs while windows are torn down"; };
    form->show();
    edit->setFocus();
    pages.reset(); // the sheet and the box lose their widgets
    EXPECT_EQ(box->widget(), nullptr);
    box->setChecked(true); // does nothing, safely
    EXPECT_FALSE(box->checked());
    sheet.reset();
    form.reset();
    EXPECT_EQ(edit->widget(), nullptr);
    edit->setText("y");
    EXPECT_EQ(edit->text(), "");
}

TEST(ConsoleText, LinesCarriageReturnsAndTheLimit) {
    ui::ConsoleText text(3);
    text.append("one\r\ntw");
    EXPECT_EQ(text.text(), "one\ntw");
    text.append("o\n10%\r20%\r");
    EXPECT_EQ(text.text(), "one\ntwo\n20%"); // a progress counter overwrites its line
    text.append("\r\nthree\nfour\n");
    EXPECT_EQ(text.text(), "20%\nthree\nfour\n"); // the oldest lines go
}

TEST(ConsoleWindow, ClosingOnlyAsksForTheEnd) {
    {
        ui::ConsoleWindow console("/p/extern/ac3dec.exe \"a b\"");
        console.show();
        ASSERT_EQ(ui::ConsoleWindow::open(), std::vector<ui::ConsoleWindow*>{&console});
        EXPECT_EQ(console.caption(), "/p/extern/ac3dec.exe \"a b\"");
        console.append("decoding\n");
        EXPECT_FALSE(console.closeRequested());
        console.widget()->close();
        EXPECT_TRUE(console.closeRequested());
        EXPECT_TRUE(console.widget()->isVisible()); // stays until its owner removes it
    }
    EXPECT_TRUE(ui::ConsoleWindow::open().empty());
}
