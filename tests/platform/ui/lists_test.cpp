// Combo boxes, list boxes and page controls: what replacing items, selecting and typing run.
#include "platform/ui/containers.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"

#include <QComboBox>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace ui = platform::ui;

TEST(ComboBox, ReplacingItemsRunsNothingAndSelectsNothing) {
    ui::Form form;
    ui::ComboBox codec(form);
    int changes = 0;
    codec.onChange = [&] { ++changes; };
    codec.setItems({"DivX 3.11", "DivX 4.x"});
    EXPECT_EQ(codec.itemIndex(), -1);
    codec.setItemIndex(1);
    EXPECT_EQ(codec.text(), "DivX 4.x");
    EXPECT_EQ(changes, 1);

    codec.setItems({"DivX 4.x", "DivX 5"});
    codec.clearItems();
    codec.addItem("DivX 4.x");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(codec.itemIndex(), -1);
    EXPECT_EQ(codec.text(), "DivX 4.x"); // the editable text stays
    EXPECT_EQ(codec.items(), (std::vector<std::string>{"DivX 4.x"}));
}

TEST(ComboBox, KeepsATextThatIsNotAmongItsItems) {
    ui::Form form;
    ui::ComboBox size(form);
    size.setItems({"650", "700"});
    int changes = 0;
    size.onChange = [&] { ++changes; };

    size.setText("123");
    EXPECT_EQ(size.text(), "123");
    EXPECT_EQ(size.itemIndex(), -1);
    size.setText("123");
    EXPECT_EQ(changes, 1);

    size.setText("700"); // a text among the items selects it
    EXPECT_EQ(size.itemIndex(), 1);
    EXPECT_EQ(changes, 2);
    size.setItemIndex(1);
    EXPECT_EQ(changes, 2);
    size.setItemIndex(-1);
    EXPECT_EQ(size.text(), "");
    EXPECT_EQ(changes, 3);
    size.setItemIndex(7); // out of range: none, already none
    EXPECT_EQ(changes, 3);
}

TEST(ComboBox, DropDownListHoldsOnlyItems) {
    ui::Form form;
    ui::ComboBox list(form, ui::ComboStyle::DropDownList);
    list.setItems({"48", "44.1"});
    list.setText("44.1");
    EXPECT_EQ(list.itemIndex(), 1);
    list.setText("22.05");
    EXPECT_EQ(list.itemIndex(), -1);
    EXPECT_EQ(list.text(), "");
}

TEST(ComboBox, UserPickRunsChange) {
    ui::Form form;
    ui::ComboBox combo(form);
    combo.setItems({"a", "b"});
    int changes = 0;
    combo.onChange = [&] { ++changes; };
    combo.comboBox()->setCurrentIndex(1); // as the drop-down list does
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo.text(), "b");
    combo.comboBox()->setCurrentIndex(1);
    EXPECT_EQ(changes, 1);
}

TEST(ListBox, ItemsSelectionAndClicks) {
    ui::Form form;
    ui::ListBox languages(form);
    int clicks = 0;
    languages.onClick = [&] { ++clicks; };
    languages.setItems({"English", "French", "German"});
    EXPECT_EQ(languages.itemIndex(), -1);
    languages.setItemIndex(1);
    languages.setItemIndex(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(languages.selected(1));
    languages.setItems({"Dutch"});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(languages.itemIndex(), -1);

    languages.setMultiSelect(true);
    languages.setItems({"a", "b", "c"});
    languages.setSelected(0, true);
    languages.setSelected(2, true);
    EXPECT_EQ(languages.selCount(), 2);
    EXPECT_FALSE(languages.selected(1));
    languages.deleteItem(0);
    EXPECT_EQ(languages.items(), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(languages.indexOf("c"), 1);
}

TEST(PageControl, PagesWithoutTabsCanBeShownFromCode) {
    ui::Form form;
    ui::PageControl main(form);
    ui::TabSheet mainPage(main, "Main");
    ui::TabSheet videoPage(main, "Video");
    ui::TabSheet configPage(main, ">> config.");
    int changes = 0;
    main.onChange = [&] { ++changes; };
    configPage.setTabVisible(false);
    main.setTabsVisible(false);

    main.setActivePage(configPage);
    EXPECT_EQ(main.activePage(), &configPage);
    EXPECT_EQ(main.pageIndex(), 2);
    main.setPageIndex(1);
    EXPECT_EQ(main.activePage(), &videoPage);
    EXPECT_EQ(changes, 0); // only the user's choice of tab runs onChange
    main.tabWidget()->setCurrentIndex(0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(configPage.pageIndex(), 2);
}
