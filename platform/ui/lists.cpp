#include "platform/ui/lists.h"

#include "platform/ui/application.h"
#include "platform/ui/qt_text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

namespace platform::ui {

using detail::qs;
using detail::ss;

namespace {

QStringList toQt(const std::vector<std::string>& items) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(items.size()));
    for (const std::string& item : items)
        list.append(qs(item));
    return list;
}

} // namespace

// ---- ComboBox

ComboBox::ComboBox(Container& parent, ComboStyle style) : Control(&parent, new QComboBox), style_(style) {
    comboBox()->setInsertPolicy(QComboBox::NoInsert);
    comboBox()->setMaxVisibleItems(8);
    setStyle(style);
    // Setters change the index under a signal blocker, so this is the user's choice of an item.
    QObject::connect(comboBox(), &QComboBox::currentIndexChanged, comboBox(), [this](int index) {
        if (index >= 0 && comboBox()->lineEdit()) {
            const QSignalBlocker blocker(comboBox());
            comboBox()->lineEdit()->setText(comboBox()->itemText(index));
        }
        runHandler(onChange);
    });
}

QComboBox* ComboBox::comboBox() const {
    return static_cast<QComboBox*>(widget());
}

void ComboBox::setStyle(ComboStyle style) {
    style_ = style;
    if (!comboBox())
        return;
    const QString text = comboBox()->currentText();
    const QSignalBlocker blocker(comboBox());
    comboBox()->setEditable(style == ComboStyle::DropDown);
    QLineEdit* edit = comboBox()->lineEdit();
    if (edit)
        edit->setText(text);
    if (edit && !edit->property("kesWatched").toBool()) {
        edit->setProperty("kesWatched", true);
        watch(edit);
        QObject::connect(edit, &QLineEdit::textEdited, comboBox(), [this] {
            // Typing selects the item of that exact text, or none.
            const QSignalBlocker inner(comboBox());
            const QString typed = comboBox()->lineEdit()->text();
            const int match = comboBox()->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
            comboBox()->setCurrentIndex(match);
            comboBox()->lineEdit()->setText(typed);
            runHandler(onChange);
        });
    }
}

std::vector<std::string> ComboBox::items() const {
    std::vector<std::string> result;
    for (int i = 0; i < itemCount(); ++i)
        result.push_back(ss(comboBox()->itemText(i)));
    return result;
}

int ComboBox::itemCount() const {
    return comboBox() ? comboBox()->count() : 0;
}

std::string ComboBox::item(int index) const {
    return index >= 0 && index < itemCount() ? ss(comboBox()->itemText(index)) : std::string();
}

void ComboBox::setItems(const std::vector<std::string>& items) {
    if (!comboBox())
        return;
    const QSignalBlocker blocker(comboBox());
    const QString text = comboBox()->currentText();
    comboBox()->clear();
    comboBox()->addItems(toQt(items));
    comboBox()->setCurrentIndex(-1);
    if (comboBox()->lineEdit())
        comboBox()->lineEdit()->setText(text);
}

void ComboBox::addItem(const std::string& item) {
    insertItem(itemCount(), item);
}

void ComboBox::insertItem(int index, const std::string& item) {
    if (!comboBox())
        return;
    const QSignalBlocker blocker(comboBox());
    const QString text = comboBox()->currentText();
    const int current = comboBox()->currentIndex();
    comboBox()->insertItem(index, qs(item));
    // Inserting into an empty box must not select the new item.
    if (current < 0) {
        comboBox()->setCurrentIndex(-1);
        if (comboBox()->lineEdit())
            comboBox()->lineEdit()->setText(text);
    }
}

void ComboBox::deleteItem(int index) {
    if (!comboBox() || index < 0 || index >= itemCount())
        return;
    const QSignalBlocker blocker(comboBox());
    const QString text = comboBox()->currentText();
    const bool wasCurrent = comboBox()->currentIndex() == index;
    comboBox()->removeItem(index);
    if (wasCurrent)
        comboBox()->setCurrentIndex(-1);
    if (comboBox()->lineEdit())
        comboBox()->lineEdit()->setText(text);
}

void ComboBox::clearItems() {
    setItems({});
}

int ComboBox::indexOf(const std::string& item) const {
    return comboBox() ? comboBox()->findText(qs(item), Qt::MatchExactly | Qt::MatchCaseSensitive) : -1;
}

int ComboBox::itemIndex() const {
    return comboBox() ? comboBox()->currentIndex() : -1;
}

void ComboBox::setItemIndex(int index) {
    if (!comboBox())
        return;
    if (index < -1 || index >= itemCount())
        index = -1;
    if (index == itemIndex())
        return;
    setItemIndexSilent(index);
    runHandlerFromCode(onChange);
}

void ComboBox::setItemIndexSilent(int index) {
    if (!comboBox())
        return;
    if (index < -1 || index >= itemCount())
        index = -1;
    const QSignalBlocker blocker(comboBox());
    comboBox()->setCurrentIndex(index);
    if (comboBox()->lineEdit())
        comboBox()->lineEdit()->setText(index >= 0 ? comboBox()->itemText(index) : QString());
}

std::string ComboBox::text() const {
    return comboBox() ? ss(comboBox()->currentText()) : std::string();
}

void ComboBox::setText(const std::string& text) {
    if (applyText(text))
        runHandlerFromCode(onChange);
}

void ComboBox::setTextSilent(const std::string& text) {
    applyText(text);
}

bool ComboBox::applyText(const std::string& text) {
    if (!comboBox())
        return false;
    const std::string before = this->text();
    const int beforeIndex = itemIndex();
    const QSignalBlocker blocker(comboBox());
    const int match = indexOf(text);
    comboBox()->setCurrentIndex(match);
    if (comboBox()->lineEdit())
        comboBox()->lineEdit()->setText(qs(text));
    return this->text() != before || itemIndex() != beforeIndex;
}

void ComboBox::setDropDownCount(int count) {
    if (comboBox() && count > 0)
        comboBox()->setMaxVisibleItems(count);
}

// ---- ListBox

ListBox::ListBox(Container& parent) : Control(&parent, new QListWidget) {
    watch(listWidget()->viewport());
    QObject::connect(listWidget(), &QListWidget::currentRowChanged, listWidget(), [this](int row) {
        changedRow_ = row;
        runHandler(onClick);
    });
    QObject::connect(listWidget(), &QListWidget::itemClicked, listWidget(), [this](QListWidgetItem* item) {
        // A press that changed the current item has run onClick already; a click on the current item
        // changes nothing but is still a click.
        const int row = listWidget()->row(item);
        if (row == changedRow_) {
            changedRow_ = NoRow;
            return;
        }
        runHandler(onClick);
    });
}

QListWidget* ListBox::listWidget() const {
    return static_cast<QListWidget*>(widget());
}

std::vector<std::string> ListBox::items() const {
    std::vector<std::string> result;
    for (int i = 0; i < itemCount(); ++i)
        result.push_back(ss(listWidget()->item(i)->text()));
    return result;
}

int ListBox::itemCount() const {
    return listWidget() ? listWidget()->count() : 0;
}

std::string ListBox::item(int index) const {
    return index >= 0 && index < itemCount() ? ss(listWidget()->item(index)->text()) : std::string();
}

void ListBox::setItems(const std::vector<std::string>& items) {
    if (!listWidget())
        return;
    const QSignalBlocker blocker(listWidget());
    listWidget()->clear();
    listWidget()->addItems(toQt(items));
    listWidget()->setCurrentRow(-1);
    changedRow_ = NoRow;
}

void ListBox::addItem(const std::string& item) {
    insertItem(itemCount(), item);
}

void ListBox::insertItem(int index, const std::string& item) {
    if (!listWidget())
        return;
    const QSignalBlocker blocker(listWidget());
    listWidget()->insertItem(index, qs(item));
}

void ListBox::deleteItem(int index) {
    if (!listWidget() || index < 0 || index >= itemCount())
        return;
    const QSignalBlocker blocker(listWidget());
    delete listWidget()->takeItem(index);
}

void ListBox::setItem(int index, const std::string& text) {
    if (listWidget() && index >= 0 && index < itemCount())
        listWidget()->item(index)->setText(qs(text));
}

void ListBox::clearItems() {
    setItems({});
}

int ListBox::indexOf(const std::string& item) const {
    for (int i = 0; i < itemCount(); ++i)
        if (listWidget()->item(i)->text() == qs(item))
            return i;
    return -1;
}

int ListBox::itemIndex() const {
    return listWidget() ? listWidget()->currentRow() : -1;
}

void ListBox::setItemIndex(int index) {
    if (!listWidget())
        return;
    if (index < -1 || index >= itemCount())
        index = -1;
    if (index == itemIndex())
        return;
    setItemIndexSilent(index);
    runHandlerFromCode(onClick);
}

void ListBox::setItemIndexSilent(int index) {
    if (!listWidget())
        return;
    if (index < -1 || index >= itemCount())
        index = -1;
    const QSignalBlocker blocker(listWidget());
    if (multiSelect())
        listWidget()->setCurrentRow(index, QItemSelectionModel::NoUpdate);
    else
        listWidget()->setCurrentRow(index);
    if (index < 0 && !multiSelect())
        listWidget()->clearSelection();
    changedRow_ = NoRow;
}

void ListBox::setMultiSelect(bool on) {
    if (listWidget())
        listWidget()->setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                                          : QAbstractItemView::SingleSelection);
}

bool ListBox::multiSelect() const {
    return listWidget() && listWidget()->selectionMode() == QAbstractItemView::ExtendedSelection;
}

bool ListBox::selected(int index) const {
    return index >= 0 && index < itemCount() && listWidget()->item(index)->isSelected();
}

void ListBox::setSelected(int index, bool selected) {
    if (index < 0 || index >= itemCount())
        return;
    const QSignalBlocker blocker(listWidget());
    listWidget()->item(index)->setSelected(selected);
}

int ListBox::selCount() const {
    return listWidget() ? static_cast<int>(listWidget()->selectedItems().size()) : 0;
}

void ListBox::setSorted(bool on) {
    if (listWidget())
        listWidget()->setSortingEnabled(on);
}

} // namespace platform::ui
