#include "platform/ui/menu.h"

#include "platform/ui/application.h"
#include "platform/ui/form.h"
#include "platform/ui/qt_text.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace platform::ui {

using detail::qs;

// ---- MainMenu

MainMenu::MainMenu(Form& form) : form_(&form) {
    QMainWindow* window = form.window();
    if (!window)
        return;
    // The menu bar takes its room above the client area, which keeps its size.
    const bool hadMenu = window->menuWidget() != nullptr;
    QMenuBar* bar = window->menuBar();
    bar->setVisible(true);
    if (!hadMenu)
        window->resize(window->width(), window->height() + bar->sizeHint().height());
}

MainMenu::~MainMenu() {
    for (MenuItem* item : items_)
        item->menu_ = nullptr;
}

MenuItem* MainMenu::item(int index) const {
    return index >= 0 && index < count() ? items_[static_cast<std::size_t>(index)] : nullptr;
}

QMenuBar* MainMenu::menuBar() const {
    return form_->window() ? form_->window()->menuBar() : nullptr;
}

// ---- MenuItem

MenuItem::MenuItem(MainMenu& menu, const std::string& caption) : menu_(&menu) {
    init(menu.menuBar(), caption);
    menu.items_.push_back(this);
}

MenuItem::MenuItem(MenuItem& parent, const std::string& caption) : parent_(&parent) {
    if (!parent.subMenu_ && parent.action_) {
        parent.subMenu_ = new QMenu;
        parent.action_->setMenu(parent.subMenu_);
    }
    init(parent.subMenu_, caption);
    parent.items_.push_back(this);
}

MenuItem::~MenuItem() {
    if (auto* list = siblings())
        list->erase(std::remove(list->begin(), list->end(), this), list->end());
    for (MenuItem* child : items_)
        child->parent_ = nullptr;
    delete subMenu_;
    delete action_.data();
}

void MenuItem::init(QWidget* owner, const std::string& caption) {
    caption_ = caption;
    action_ = new QAction(qs(caption), owner);
    action_->setSeparator(caption == "-");
    if (owner)
        owner->addAction(action_);
    QObject::connect(action_, &QAction::triggered, action_, [this] {
        if (autoCheck_ || radioItem_)
            setChecked(radioItem_ ? true : !checked());
        runHandler(onClick);
    });
}

std::vector<MenuItem*>* MenuItem::siblings() {
    if (parent_)
        return &parent_->items_;
    if (menu_)
        return &menu_->items_;
    return nullptr;
}

void MenuItem::setCaption(const std::string& caption) {
    caption_ = caption;
    if (action_) {
        action_->setText(qs(caption));
        action_->setSeparator(caption == "-");
    }
}

void MenuItem::setChecked(bool checked) {
    if (!action_)
        return;
    action_->setCheckable(action_->isCheckable() || checked);
    action_->setChecked(checked);
    if (checked && radioItem_)
        uncheckSiblings();
}

bool MenuItem::checked() const {
    return action_ && action_->isChecked();
}

void MenuItem::uncheckSiblings() {
    auto* list = siblings();
    if (!list)
        return;
    for (MenuItem* other : *list)
        if (other != this && other->radioItem_ && other->groupIndex_ == groupIndex_ && other->action_)
            other->action_->setChecked(false);
}

void MenuItem::setEnabled(bool enabled) {
    if (action_)
        action_->setEnabled(enabled);
}

bool MenuItem::enabled() const {
    return action_ && action_->isEnabled();
}

void MenuItem::setVisible(bool visible) {
    if (action_)
        action_->setVisible(visible);
}

bool MenuItem::visible() const {
    return action_ && action_->isVisible();
}

void MenuItem::setRadioItem(bool on) {
    radioItem_ = on;
    if (action_)
        action_->setCheckable(true);
}

void MenuItem::setGroupIndex(int index) {
    groupIndex_ = index;
}

MenuItem* MenuItem::item(int index) const {
    return index >= 0 && index < count() ? items_[static_cast<std::size_t>(index)] : nullptr;
}

void MenuItem::click() {
    if (autoCheck_ || radioItem_)
        setChecked(radioItem_ ? true : !checked());
    runHandlerFromCode(onClick);
}

} // namespace platform::ui
