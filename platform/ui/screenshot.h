#pragma once

// Screenshots of windows (for a person to look at, made under Xvfb or offscreen).

#include <string>

namespace platform::ui {

class Form;

// Renders the form (shown or not) into a PNG file; false when it cannot be written.
bool grabToPng(Form& form, const std::string& path);

} // namespace platform::ui
