// An exception that escapes a handler becomes an error box, and the handler ends there; a handler a
// setter chains to ends its caller as well.
#include "platform/ui/application.h"
#include "platform/ui/buttons.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/timer.h"
#include "tests/platform/ui/shown_box_printer.h"

#include <QPushButton>
#include <QThread>

#include <gtest/gtest.h>

#include <stdexcept>

namespace ui = platform::ui;

TEST(Dispatch, ExceptionInAClickBecomesAnErrorBox) {
    ui::testing::DialogScript script;
    ui::setApplicationTitle("Kestrova");
    ui::Form form;
    ui::Button convert(form, "Convert");
    bool after = false;
    convert.onClick = [&] {
        throw std::runtime_error("'abc' is not a valid integer value");
        after = true;
    };
    convert.button()->click(); // as the user clicks
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0],
              (ui::testing::ShownBox{"error", "Kestrova", "'abc' is not a valid integer value.", "OK"}));
    EXPECT_FALSE(after);
}

TEST(Dispatch, ChainedHandlerExceptionEndsTheOuterHandler) {
    ui::testing::DialogScript script;
    ui::Form form;
    ui::Edit size(form);
    ui::Button apply(form, "Apply");
    std::vector<std::string> steps;
    size.onChange = [&] {
        steps.push_back("change");
        throw std::runtime_error("Bad size !");
    };
    apply.onClick = [&] {
        steps.push_back("click");
        size.setText("x");
        steps.push_back("after set");
    };
    apply.button()->click();
    EXPECT_EQ(steps, (std::vector<std::string>{"click", "change"}));
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"Bad size !"})); // ends in "!": no dot
    EXPECT_EQ(size.text(), "x");                                                // the value set stays
}

TEST(Dispatch, SetterOutsideAnyHandlerShowsTheErrorAndReturns) {
    ui::testing::DialogScript script;
    ui::Form form;
    ui::CheckBox box(form);
    box.onClick = [] { throw 42; };
    EXPECT_NO_THROW(box.setChecked(true));
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"Unknown error."}));
    EXPECT_FALSE(ui::insideHandler());
}

TEST(Dispatch, TimerHandlerExceptionDoesNotStopTheTimer) {
    ui::testing::DialogScript script;
    ui::Timer timer(1);
    int ticks = 0;
    timer.onTimer = [&] {
        ++ticks;
        throw std::runtime_error("tick");
    };
    timer.setEnabled(true);
    for (int i = 0; i < 200 && ticks < 2; ++i) {
        ui::processMessages();
        QThread::msleep(2);
    }
    timer.setEnabled(false);
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(script.texts("error").front(), "tick.");
}

TEST(Dispatch, ExceptionTextFollowsTheToolkit) {
    const auto text = [](auto e) { return ui::exceptionText(std::make_exception_ptr(e)); };
    EXPECT_EQ(text(std::runtime_error("I/O error 32")), "I/O error 32.");
    EXPECT_EQ(text(std::runtime_error("Done.")), "Done.");
    EXPECT_EQ(text(std::runtime_error("Why?")), "Why?.");
    EXPECT_EQ(text(std::runtime_error("")), "");
}
