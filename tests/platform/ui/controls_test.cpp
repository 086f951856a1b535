// Setting values from code chains to the change and click handlers only when the value changes, as
// the option pages rely on; key filters drop and replace typed keys.
#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/key_filters.h"
#include "platform/ui/memo.h"
#include "platform/ui/ranges.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace ui = platform::ui;

namespace {

void typeKey(QWidget* target, Qt::Key key, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
}

} // namespace

TEST(Controls, ChangeHandlersRunOnlyWhenCodeChangesTheValue) {
    ui::Form form;
    ui::Edit edit(form, "a");
    ui::Memo memo(form);
    ui::TrackBar track(form);
    ui::ScrollBar scroll(form);
    int edits = 0, memos = 0, tracks = 0, scrolls = 0;
    edit.onChange = [&] { ++edits; };
    memo.onChange = [&] { ++memos; };
    track.onChange = [&] { ++tracks; };
    scroll.onChange = [&] { ++scrolls; };

    edit.setText("a");
    edit.setText("b");
    edit.setText("b");
    edit.setTextSilent("c");
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(edit.text(), "c");

    memo.setText("one\r\ntwo");
    memo.setLines({"one", "two"});
    memo.addLine("three");
    EXPECT_EQ(memos, 2);
    EXPECT_EQ(memo.lines(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(memo.text(), "one\r\ntwo\r\nthree");

    track.setRange(10, 300);
    tracks = 0;
    track.setPosition(150);
    track.setPosition(150);
    track.setPosition(1000); // kept in range: 300
    track.setPosition(300);
    EXPECT_EQ(tracks, 2);
    EXPECT_EQ(track.position(), 300);
    track.setMax(200); // moves the position, which is a change
    EXPECT_EQ(track.position(), 200);
    EXPECT_EQ(tracks, 3);

    scroll.setPosition(40);
    scroll.setPosition(40);
    scroll.setPositionSilent(10);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(scroll.position(), 10);
}

TEST(Controls, CheckBoxClickRunsOnChangesOnly) {
    ui::Form form;
    ui::CheckBox box(form, "Range from :");
    int clicks = 0;
    box.onClick = [&] { ++clicks; };
    box.setChecked(false);
    EXPECT_EQ(clicks, 0);
    box.setChecked(true);
    box.setChecked(true);
    EXPECT_EQ(clicks, 1);
    box.setCheckedSilent(false);
    EXPECT_EQ(clicks, 1);
    box.click(); // a click toggles and runs the handler
    EXPECT_TRUE(box.checked());
    EXPECT_EQ(clicks, 2);
}

TEST(Controls, RadioClickRunsOnlyWhenItBecomesChecked) {
    ui::Form form;
    ui::RadioButton mux(form, "Mux audio and video");
    ui::RadioButton demux(form, "Demux audio");
    std::vector<std::string> clicks;
    mux.onClick = [&] { clicks.push_back("mux"); };
    demux.onClick = [&] { clicks.push_back("demux"); };

    mux.setChecked(true);
    mux.setChecked(true);
    demux.setChecked(true); // unchecks mux without a click for it
    EXPECT_FALSE(mux.checked());
    demux.setChecked(false);
    mux.click();
    mux.click();
    EXPECT_EQ(clicks, (std::vector<std::string>{"mux", "demux", "mux"}));

    // A user's click on the other button of the group.
    demux.radioButton()->click();
    EXPECT_TRUE(demux.checked());
    EXPECT_FALSE(mux.checked());
    EXPECT_EQ(clicks.back(), "demux");
    EXPECT_EQ(clicks.size(), 4u);
}

TEST(Controls, RadioGroupsFollowTheParent) {
    ui::Form form;
    ui::Panel left(form);
    ui::Panel right(form);
    ui::RadioButton a(left), b(left), c(right);
    a.setChecked(true);
    c.setChecked(true);
    EXPECT_TRUE(a.checked());
    b.setChecked(true);
    EXPECT_FALSE(a.checked());
    EXPECT_TRUE(c.checked());
}

TEST(Controls, SpeedButtonsOfAGroupKeepOneDown) {
    ui::Form form;
    ui::SpeedButton main(form, "Main"), video(form, "Video"), single(form, "Refresh");
    main.setGroupIndex(1);
    video.setGroupIndex(1);
    int clicks = 0;
    video.onClick = [&] { ++clicks; };
    main.click();
    EXPECT_TRUE(main.down());
    video.click();
    EXPECT_TRUE(video.down());
    EXPECT_FALSE(main.down());
    EXPECT_EQ(clicks, 1);
    single.setDown(true); // no group: never stays down
    EXPECT_FALSE(single.down());
}

TEST(Controls, KeyPressHandlersDropAndReplaceKeys) {
    ui::Form form;
    ui::Edit numeric(form), time(form), display(form, "fixed"), upper(form);
    numeric.onKeyPress = ui::numericKeyFilter;
    time.onKeyPress = ui::timeKeyFilter;
    display.onKeyPress = ui::displayOnlyKeyFilter;
    upper.onKeyPress = [](char& key) {
        if (key >= 'a' && key <= 'z')
            key = static_cast<char>(key - 'a' + 'A');
    };
    int changes = 0;
    numeric.onChange = [&] { ++changes; };

    for (QChar c : QStringLiteral("1a2:"))
        typeKey(numeric.widget(), static_cast<Qt::Key>(c.toUpper().unicode()), QString(c));
    EXPECT_EQ(numeric.text(), "12");
    EXPECT_EQ(changes, 2);
    typeKey(numeric.widget(), Qt::Key_Backspace, QStringLiteral("\b"));
    EXPECT_EQ(numeric.text(), "1");

    for (QChar c : QStringLiteral("01:2x"))
        typeKey(time.widget(), static_cast<Qt::Key>(c.toUpper().unicode()), QString(c));
    EXPECT_EQ(time.text(), "01:2");

    display.lineEdit()->end(false);
    typeKey(display.widget(), Qt::Key_Backspace, QStringLiteral("\b"));
    typeKey(display.widget(), Qt::Key_5, QStringLiteral("5"));
    EXPECT_EQ(display.text(), "fixed");

    typeKey(upper.widget(), Qt::Key_A, QStringLiteral("a"));
    typeKey(upper.widget(), Qt::Key_1, QStringLiteral("1"));
    EXPECT_EQ(upper.text(), "A1");
}

TEST(Controls, KeyFiltersPassControlKeys) {
    for (auto filter : {ui::numericKeyFilter, ui::timeKeyFilter}) {
        for (char key : {'\b', '\r', '\x1b', '\x03', '\x16'}) {
            char k = key;
            filter(k);
            EXPECT_EQ(k, key);
        }
        char letter = 'x', blank = ' ', high = static_cast<char>(0xC3);
        filter(letter);
        filter(blank);
        filter(high);
        EXPECT_EQ(letter, 0);
        EXPECT_EQ(blank, 0);
        EXPECT_EQ(high, 0);
    }
    char colon = ':';
    ui::numericKeyFilter(colon);
    EXPECT_EQ(colon, 0);
    colon = ':';
    ui::timeKeyFilter(colon);
    EXPECT_EQ(colon, ':');
    char back = '\b';
    ui::displayOnlyKeyFilter(back);
    EXPECT_EQ(back, 0);
}

TEST(Controls, GaugeAndProgressStayInRange) {
    ui::Form form;
    ui::Gauge gauge(form);
    gauge.setMax(1000);
    gauge.addProgress(600);
    gauge.addProgress(600);
    EXPECT_EQ(gauge.progress(), 1000);
    gauge.setMax(500);
    EXPECT_EQ(gauge.progress(), 500);
    gauge.setProgress(-5);
    EXPECT_EQ(gauge.progress(), 0);
}

TEST(Controls, LabelShowsCaptionWithoutAcceleratorMarks) {
    ui::Form form;
    ui::Label label(form, "&Save && quit");
    EXPECT_EQ(label.caption(), "&Save && quit");
    EXPECT_EQ(label.label()->text().toStdString(), "Save & quit");
}
