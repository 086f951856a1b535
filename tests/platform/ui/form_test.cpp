// A window's own events: create once, show on every show, close query and close actions, minimise.
#include "platform/ui/application.h"
#include "platform/ui/buttons.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/menu.h"
#include "platform/ui/screenshot.h"
#include "tests/support/temp_dir.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPointer>

#include <gtest/gtest.h>

#include <filesystem>

namespace ui = platform::ui;

namespace {

// A window class as the window code writes them: controls as members, handlers set, create() last.
class ToolWindow : public ui::Form {
public:
    ToolWindow() {
        onCreate = [this] { events.push_back("create"); };
        onShow = [this] { events.push_back("show"); };
        onCloseQuery = [this](bool& canClose) {
            events.push_back("query");
            canClose = allowClose;
        };
        onClose = [this](ui::CloseAction& action) {
            events.push_back("close");
            action = closeAction;
        };
        setCaption("AudioComp");
        create();
    }
    ui::Edit Edit1{*this};
    ui::Button Button2{*this, "Exit"};
    std::vector<std::string> events;
    bool allowClose = true;
    ui::CloseAction closeAction = ui::CloseAction::Hide;
};

} // namespace

TEST(Form, CreateShowCloseQueryAndClose) {
    ToolWindow form;
    form.create(); // runs once only
    EXPECT_EQ(form.caption(), "AudioComp");
    form.show();
    form.hide();
    form.show();
    form.allowClose = false;
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isShowing());
    form.allowClose = true;
    form.closeAction = ui::CloseAction::None;
    EXPECT_FALSE(form.close());
    form.closeAction = ui::CloseAction::Hide;
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isShowing());
    EXPECT_EQ(form.events, (std::vector<std::string>{"create", "show", "show", "query", "query", "close",
                                                     "query", "close"}));
}

TEST(Form, FreeOnCloseDeletesTheWindowObjectLater) {
    auto* form = new ToolWindow;
    QPointer<QMainWindow> window = form->window();
    form->closeAction = ui::CloseAction::Free;
    form->show();
    EXPECT_TRUE(form->close());
    ASSERT_TRUE(window);
    ui::processMessages();
    EXPECT_FALSE(window);
}

// A job's handler pumps the event loop (its progress, a "Stopped" box); the user closes the window
// meanwhile. The window object must outlive the handler that is still running on it.
TEST(Form, FreeOnCloseWaitsForTheRunningHandler) {
    auto* form = new ToolWindow;
    QPointer<QMainWindow> window = form->window();
    form->closeAction = ui::CloseAction::Free;
    form->show();
    bool stillThere = false;
    form->Button2.onClick = [form, window, &stillThere] {
        form->close();
        ui::processMessages(); // the nested loop of the job
        ui::messageBox(ui::MessageKind::Information, "Stopped", ui::Buttons::Ok, "x");
        ui::processMessages();
        stillThere = window && form->Edit1.text() == "job";
        form->Edit1.setText("done");
    };
    form->Edit1.setText("job");
    ui::testing::DialogScript script({"OK"});
    form->Button2.click();
    EXPECT_TRUE(stillThere);
    ASSERT_TRUE(window);
    ui::processMessages();
    EXPECT_FALSE(window);
}

TEST(Form, MinimiseAndRestore) {
    ToolWindow form;
    form.show();
    form.minimize();
    EXPECT_TRUE(form.isMinimized());
    form.restore();
    EXPECT_FALSE(form.isMinimized());
}

TEST(Form, KeyPreviewSeesKeysFirst) {
    ToolWindow form;
    form.setKeyPreview(true);
    std::string order;
    form.onKeyPress = [&](char& key) {
        order += 'F';
        if (key == 'x')
            key = 0;
    };
    form.Edit1.onKeyPress = [&](char&) { order += 'E'; };
    for (const char* text : {"a", "x"}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString::fromLatin1(text));
        QCoreApplication::sendEvent(form.Edit1.widget(), &press);
    }
    EXPECT_EQ(order, "FEF");
    EXPECT_EQ(form.Edit1.text(), "a");
}

TEST(Form, MainFormClosedDuringCreationEndsTheProgram) {
    int argc = 0;
    ui::Application app(argc, nullptr);
    struct Main : ui::Form {
        Main() {
            onCreate = [this] { close(); };
            create();
        }
    } main;
    EXPECT_EQ(app.mainForm(), &main);
    EXPECT_EQ(app.run(main), 0); // returns at once, nothing shown
    EXPECT_FALSE(main.isShowing());
}

TEST(Form, MenuItemsAndRadioGroups) {
    ToolWindow form;
    ui::MainMenu menu(form);
    ui::MenuItem language(menu, "Language");
    ui::MenuItem english(language, "English");
    ui::MenuItem french(language, "French");
    ui::MenuItem sep(language, "-");
    for (ui::MenuItem* item : {&english, &french}) {
        item->setRadioItem(true);
        item->setGroupIndex(1);
    }
    int clicks = 0;
    french.onClick = [&] { ++clicks; };
    english.setChecked(true);
    french.click();
    EXPECT_TRUE(french.checked());
    EXPECT_FALSE(english.checked());
    EXPECT_EQ(clicks, 1);
    english.setChecked(true); // from code: no click
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(language.count(), 3);
    EXPECT_TRUE(sep.action()->isSeparator());
}

TEST(Form, ScreenshotWritesAPicture) {
    kes::test::TempDir dir;
    ToolWindow form;
    form.setClientSize(200, 100);
    ASSERT_TRUE(ui::grabToPng(form, dir.file("shot.png")));
    EXPECT_GT(std::filesystem::file_size(dir.path() / "shot.png"), 0u);
}
