#pragma once

// Placement helpers of the main window's page builders: every control is placed in its parent's
// client coordinates, as a form designer would, on a grid readable at 1024x768.

#include "platform/ui/control.h"
#include "platform/ui/lists.h"

#include <string>
#include <vector>

namespace kes::layout {

inline constexpr int RowHeight = 24; // edits, combo boxes, check boxes
inline constexpr int RowStep = 30;   // distance between rows of a group
inline constexpr int LabelDrop = 4;  // a label beside an edit sits this much lower
inline constexpr int GroupTop = 24;  // first row inside a group box
inline constexpr int ButtonHeight = 28;
inline constexpr int BrowseSize = 26; // square browse buttons
inline constexpr int LightSize = 16;  // path status lights

inline void at(platform::ui::Control& control, int left, int top, int width, int height = RowHeight) {
    control.setBounds(left, top, width, height);
}

// A label beside a control of the row that starts at top.
inline void labelAt(platform::ui::Control& label, int left, int top, int width) {
    label.setBounds(left, top + LabelDrop, width, RowHeight - LabelDrop);
}

inline void fill(platform::ui::ComboBox& combo, const std::vector<std::string>& items,
                 const std::string& text) {
    combo.setItems(items);
    combo.setTextSilent(text);
}

} // namespace kes::layout
