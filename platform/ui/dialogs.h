#pragma once

// Message boxes and the input box. While a test script is active (see dialog_script.h) nothing is
// shown: the script answers and records each box.

#include <functional>
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

// While a BoxDiversion lives, no message box is shown: each goes to its handler (kind and text) and
// takes the default answer of its buttons (OK, No for Yes/No, else Cancel), so that an unattended job
// never waits for a person and still learns what would have been said. The newest diversion wins;
// input boxes and file dialogs are not diverted.
class BoxDiversion {
public:
    using Handler = std::function<void(MessageKind kind, const std::string& text)>;
    explicit BoxDiversion(Handler handler);
    ~BoxDiversion();
    BoxDiversion(const BoxDiversion&) = delete;
    BoxDiversion& operator=(const BoxDiversion&) = delete;

    // While a Shown lives, boxes are shown again (a notice that is due even to an unattended job).
    class Shown {
    public:
        Shown();
        ~Shown();
        Shown(const Shown&) = delete;
        Shown& operator=(const Shown&) = delete;

    private:
        BoxDiversion* suspended_;
    };

private:
    Handler handler_;
    BoxDiversion* previous_;
    friend Answer messageBox(MessageKind, const std::string&, Buttons, const std::string&);
};

// Input box: returns the text entered, or defaultText when the user cancels.
std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText);
// Input box that tells OK from cancel: value is the initial text and, on OK, the text entered.
bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// The texts a box shows for its kind and answers, used by the box and by the script's record.
const char* messageKindName(MessageKind kind); // "error", "warning", "information", "question", "plain"
const char* answerName(Answer answer);         // "OK", "Cancel", "Yes", "No"

} // namespace platform::ui
