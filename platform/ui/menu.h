#pragma once

// A form's main menu and its items. A caption of "-" makes a separator. Items with the same non-zero
// group index under one parent that are radio items behave as a group: checking one unchecks the others.

#include <QAction>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class QMenu;
class QMenuBar;

namespace platform::ui {

class Form;
class MenuItem;

class MainMenu {
public:
    explicit MainMenu(Form& form);
    ~MainMenu();
    MainMenu(const MainMenu&) = delete;
    MainMenu& operator=(const MainMenu&) = delete;

    int count() const { return static_cast<int>(items_.size()); }
    MenuItem* item(int index) const;

    QMenuBar* menuBar() const;

private:
    friend class MenuItem;
    Form* form_;
    std::vector<MenuItem*> items_;
};

class MenuItem {
public:
    // A top-level item of the menu bar, or an item of another item's sub-menu.
    MenuItem(MainMenu& menu, const std::string& caption);
    MenuItem(MenuItem& parent, const std::string& caption);
    ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    std::string caption() const { return caption_; }
    void setCaption(const std::string& caption);
    // Checking from code runs nothing (menu items never chain to onClick).
    void setChecked(bool checked);
    bool checked() const;
    void setEnabled(bool enabled);
    bool enabled() const;
    void setVisible(bool visible);
    bool visible() const;
    // A radio item of a group: checking it unchecks the other items of the group.
    void setRadioItem(bool on);
    void setGroupIndex(int index);
    int groupIndex() const { return groupIndex_; }
    // Whether a click toggles the check mark by itself (a radio item is checked by a click).
    void setAutoCheck(bool on) { autoCheck_ = on; }

    int count() const { return static_cast<int>(items_.size()); }
    MenuItem* item(int index) const;
    MenuItem* parentItem() const { return parent_; }

    // Runs onClick as a user's choice of the item does.
    void click();

    std::function<void()> onClick;

    QAction* action() const { return action_; }

private:
    friend class MainMenu;
    void init(QWidget* owner, const std::string& caption);
    void uncheckSiblings();
    std::vector<MenuItem*>* siblings();
    MainMenu* menu_ = nullptr;
    MenuItem* parent_ = nullptr;
    std::string caption_;
    QPointer<QAction> action_;
    QMenu* subMenu_ = nullptr;
    std::vector<MenuItem*> items_;
    int groupIndex_ = 0;
    bool radioItem_ = false;
    bool autoCheck_ = false;
};

} // namespace platform::ui
