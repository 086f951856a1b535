#pragma once

// Font choice dialog.

#include "platform/ui/color.h"

namespace platform::ui {

class Form;

class FontDialog {
public:
    // Before execute: the initial font; after a successful execute: the chosen one (family, size in
    // points, colour, style).
    Font font;

    bool execute(Form* owner = nullptr);
};

} // namespace platform::ui
