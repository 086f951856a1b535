#include "quillon/about_page.h"
#include "quillon/build_date.h"
#include "quillon/progress_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>

namespace quillon {
namespace {

struct Progress {
    ProgressFeed feed;
    ProgressDialog dialog{feed};
    Progress(int64_t total) {
        dialog.create();
        dialog.setTotal(total);
        dialog.startTimer();
    }
    ProgressWindow* window() const { return dialog.window(); }
};

TEST(ProgressDialog, BeforeTheFirstReadTheTimeLeftIsInfinite) {
    Progress p(4096);
    ASSERT_NE(p.window(), nullptr);
    EXPECT_EQ(p.window()->locationLabel()->text(), "0 / 4096");
    EXPECT_EQ(p.window()->remainingLabel()->text(), "infinite");
    EXPECT_EQ(p.window()->elapsedLabel()->text(), "0:00:00");
    EXPECT_EQ(p.window()->percentLabel()->text(), "0.00%");
}

TEST(ProgressDialog, ThePercentAndTheBarFollowThePosition) {
    Progress p(3);
    p.feed.setPosition(1);
    p.dialog.timerMessage();
    EXPECT_EQ(p.window()->percentLabel()->text(), "33.33%");
    EXPECT_EQ(p.window()->bar()->value(), 33);
    EXPECT_EQ(p.window()->locationLabel()->text(), "1 / 3");
    EXPECT_EQ(p.window()->elapsedLabel()->text(), "0:00:01");
    EXPECT_EQ(p.window()->remainingLabel()->text(), "0:00:02");
    const int sent = p.dialog.barUpdates();
    p.dialog.timerMessage(); // the same position: the bar is not sent again
    EXPECT_EQ(p.dialog.barUpdates(), sent);
}

TEST(ProgressDialog, TheLastByteFinishesAndStopsTheClock) {
    Progress p(1000);
    p.feed.setPosition(500);
    p.dialog.timerMessage();
    EXPECT_TRUE(p.dialog.timerRunning());
    p.feed.setPosition(1000);
    p.dialog.timerMessage();
    EXPECT_EQ(p.window()->remainingLabel()->text(), "finished");
    EXPECT_FALSE(p.dialog.timerRunning());
    EXPECT_EQ(p.dialog.secondsElapsed(), 2);
    EXPECT_EQ(p.window()->bar()->value(), 100);
}

TEST(ProgressDialog, DestroyForgetsTheTextsAndTheWindow) {
    Progress p(10);
    p.dialog.setBatchFile("/v/vob.lst");
    p.dialog.setCurrentFile("/v/VTS_01_1.VOB");
    EXPECT_EQ(p.window()->batchFileLabel()->text(), "/v/vob.lst");
    p.dialog.destroy();
    EXPECT_EQ(p.window(), nullptr);
    EXPECT_FALSE(p.dialog.timerRunning());
    p.dialog.create();
    ASSERT_NE(p.window(), nullptr);
    EXPECT_TRUE(p.window()->batchFileLabel()->text().isEmpty());
}

TEST(AboutPage, ShowsTheBuildDateAndTheAuthor) {
    auto* page = new AboutPage(nullptr);
    page->NonDelegatingAddRef();
    QWidget parent;
    ASSERT_EQ(page->Activate(&parent, platform::com::TRUE), platform::com::S_OK);
    auto* date = parent.findChild<QLabel*>("buildDate");
    auto* author = parent.findChild<QLabel*>("author");
    ASSERT_NE(date, nullptr);
    ASSERT_NE(author, nullptr);
    EXPECT_EQ(date->text().toStdString(), buildDateText(__DATE__));
    EXPECT_EQ(author->text(), kAuthorText);
    EXPECT_EQ(page->Help(nullptr), platform::com::E_NOTIMPL);
    EXPECT_EQ(page->Deactivate(), platform::com::S_OK);
    EXPECT_EQ(page->Title(), "About");
    EXPECT_TRUE(AboutPage::readmePath().ends_with("/README.md"));
    page->NonDelegatingRelease();
}

} // namespace
} // namespace quillon
