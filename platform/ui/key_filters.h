#pragma once

// Key filters for onKeyPress handlers. Control keys (codes below 32: backspace, tab, enter, escape,
// ctrl+letter) always pass.

namespace platform::ui {

// Numeric edits: every printable key that is not a digit is dropped.
void numericKeyFilter(char& key);
// Time edits ("hh:mm:ss"): digits and ":" pass.
void timeKeyFilter(char& key);
// Display-only edits: every key is dropped, control keys included.
void displayOnlyKeyFilter(char& key);

} // namespace platform::ui
