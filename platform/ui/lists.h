#pragma once

// Combo box and list box. Item indexes are 0-based; -1 means no item.

#include "platform/ui/control.h"

#include <string>
#include <vector>

class QComboBox;
class QListWidget;

namespace platform::ui {

enum class ComboStyle {
    DropDown,     // editable text plus a list; the text may be anything
    DropDownList, // choose from the list only
};

class ComboBox : public Control {
public:
    explicit ComboBox(Container& parent, ComboStyle style = ComboStyle::DropDown);

    void setStyle(ComboStyle style);
    ComboStyle style() const { return style_; }

    std::vector<std::string> items() const;
    int itemCount() const;
    std::string item(int index) const; // empty when out of range
    // Replaces the items; selects nothing and runs nothing. An editable combo box keeps its text.
    void setItems(const std::vector<std::string>& items);
    void addItem(const std::string& item);
    void insertItem(int index, const std::string& item);
    void deleteItem(int index);
    // Removes every item; runs nothing; an editable combo box keeps its text.
    void clearItems();
    int indexOf(const std::string& item) const; // exact match, -1 when absent

    int itemIndex() const;
    // Selects an item (-1: none); its text becomes the combo box's text. onChange runs when the
    // index changes.
    void setItemIndex(int index);
    void setItemIndexSilent(int index);

    std::string text() const;
    // Sets the text; an editable combo box keeps a text that is not among its items (item index -1);
    // a drop-down list selects the matching item or none. onChange runs when the text changes.
    void setText(const std::string& text);
    void setTextSilent(const std::string& text);

    void setDropDownCount(int count);

    QComboBox* comboBox() const;

    // A change of the selection or of the text, by the user or by a setter.
    std::function<void()> onChange;

private:
    bool applyText(const std::string& text);
    ComboStyle style_;
};

class ListBox : public Control {
public:
    explicit ListBox(Container& parent);

    std::vector<std::string> items() const;
    int itemCount() const;
    std::string item(int index) const;
    // Replaces the items; selects nothing and runs nothing.
    void setItems(const std::vector<std::string>& items);
    void addItem(const std::string& item);
    void insertItem(int index, const std::string& item);
    void deleteItem(int index);
    void setItem(int index, const std::string& text);
    void clearItems();
    int indexOf(const std::string& item) const;

    // The current item (the focused one in a multi-select list), -1 when none.
    int itemIndex() const;
    // Makes an item current and (single-select) selected; onClick runs when the index changes.
    void setItemIndex(int index);
    void setItemIndexSilent(int index);

    // Several selected items at once.
    void setMultiSelect(bool on);
    bool multiSelect() const;
    bool selected(int index) const;
    void setSelected(int index, bool selected);
    int selCount() const;
    void setSorted(bool on);

    QListWidget* listWidget() const;

    // onClick (from Control): a click on an item, or a change of the current item by keys or by
    // setItemIndex. onDblClick runs on a double click of an item.

private:
    static constexpr int NoRow = -2;
    int changedRow_ = NoRow;
};

} // namespace platform::ui
