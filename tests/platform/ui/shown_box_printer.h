#pragma once

// Readable test output for recorded boxes.

#include "platform/ui/dialog_script.h"

#include <ostream>

namespace platform::ui::testing {

inline void PrintTo(const ShownBox& box, std::ostream* out) {
    *out << "{" << box.kind << " | " << box.caption << " | " << box.text << " | " << box.answer << "}";
}

} // namespace platform::ui::testing
