#pragma once

// Message boxes and the input box. While a test script is active (see dialog_script.h) nothing is
// shown: the script answers and records each box.

#include <string>

namespace platform::ui {

enum class MessageKind { Error, Warning, Information, Question, Plain };

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

enum class Answer { Ok, Cancel, Yes, No };

// Shows a modal message box and returns the button pressed. An empty caption gives the kind's own:
// "Error", "Warning", "Information", "Confirm", and the application title for a plain box. Closing
// the box without a button counts as Cancel, or as No when there is no Cancel button.
Answer messageBox(MessageKind kind, const std::string& text, Buttons buttons = Buttons::Ok,
                  const std::string& caption = {});

// One-OK-button boxes.
void errorBox(const std::string& text, const std::string& caption = {});
void warningBox(const std::string& text, const std::string& caption = {});
void informationBox(const std::string& text, const std::string& caption = {});
// Plain box captioned with the application title (or caption when given).
void showMessage(const std::string& text, const std::string& caption = {});
// Question box with Yes and No; true for Yes.
bool askYesNo(const std::string& text, const std::string& caption = {});

// Input box: returns the text entered, or defaultText when the user cancels.
std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText);
// Input box that tells OK from cancel: value is the initial text and, on OK, the text entered.
bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// The texts a box shows for its kind and answers, used by the box and by the script's record.
const char* messageKindName(MessageKind kind); // "error", "warning", "information", "question", "plain"
const char* answerName(Answer answer);         // "OK", "Cancel", "Yes", "No"

} // namespace platform::ui
