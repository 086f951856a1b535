#pragma once

// Test script for message boxes and dialogs: while one is active, no box or dialog is shown. Each takes
// the next queued answer (or its default when none is left: OK for a one-button box, No for Yes/No,
// Cancel otherwise, cancel for input boxes and dialogs) and is recorded with its kind, caption, text
// and answer, in order. Nothing ever waits for a person.
//
// In the process: a DialogScript object is active while it lives (the newest one wins).
// For child processes: the environment variable KESTROVA_UI_SCRIPT names a file of answers, one per
// line, and KESTROVA_UI_LOG names a file to which each shown box is appended as one line
// "kind<TAB>caption<TAB>text<TAB>answer" (backslash, tab, CR and LF escaped as \\ \t \r \n). Either
// variable alone activates the script. Without any script, a process on the "offscreen" or "minimal"
// Qt platform answers every box with its default (and says so on stderr) rather than wait.
//
// Answers: message boxes take "OK", "Cancel", "Yes" or "No" (any other answer counts as the default).
// Input boxes take the text to enter, or "Cancel". Open and save dialogs take the path to choose
// (several paths joined by "\n" for multi-select), or "Cancel". Font dialogs take
// "family,size,colour,style" (colour decimal 0x00BBGGRR, style letters b i u s) or "Cancel"; print
// dialogs take the number of copies or "Cancel". The converter's progress window asks once, as it
// opens, and takes "Stop" to press its Stop button (any other answer goes on). A leading "=" is removed and
// makes the rest literal
// ("=Cancel" enters the text Cancel).
//
// Recorded kind, caption and text: message boxes: "error", "warning", "information", "question",
// "plain", the caption shown and the message; "input": caption and prompt; "open" / "save": title
// and initial folder; "font": "" and the initial font in answer form; "print": "" and ""; "progress":
// the window's caption and its frame count.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui::testing {

inline constexpr const char* ScriptEnv = "KESTROVA_UI_SCRIPT";
inline constexpr const char* LogEnv = "KESTROVA_UI_LOG";

struct ShownBox {
    std::string kind;
    std::string caption;
    std::string text;
    std::string answer;
    bool operator==(const ShownBox&) const = default;
};

class DialogScript {
public:
    DialogScript();
    explicit DialogScript(std::vector<std::string> answers);
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // Queues answers, taken in order.
    void answer(const std::string& answer);
    void answerYes() { answer("Yes"); }
    void answerNo() { answer("No"); }
    void answerOk() { answer("OK"); }
    void answerCancel() { answer("Cancel"); }
    int pendingAnswers() const;

    // Everything shown so far, in order.
    const std::vector<ShownBox>& shown() const { return shown_; }
    // The texts of the shown boxes of one kind ("error", ...), in order.
    std::vector<std::string> texts(const std::string& kind) const;
    void clearShown() { shown_.clear(); }

    // Used by the dialogs: takes the next answer (empty optional-like flag when none is left).
    bool takeAnswer(std::string& answer);
    void record(ShownBox box) {
        shown_.push_back(std::move(box));
        if (onShown)
            onShown(shown_.back());
    }
    // Runs as each box or dialog is shown, before it is answered: a test looks at the windows then.
    std::function<void(const ShownBox&)> onShown;
    void setLastAnswer(const std::string& answer) {
        if (!shown_.empty())
            shown_.back().answer = answer;
    }

private:
    std::vector<std::string> answers_;
    std::size_t next_ = 0;
    std::vector<ShownBox> shown_;
    DialogScript* previous_ = nullptr;
};

// Writes a script file for a child process (answers one per line, escaped as in the log).
bool writeScriptFile(const std::string& path, const std::vector<std::string>& answers);
// Reads a log file written by a child; an absent file gives an empty list. Script and log files are
// read only when they are regular files of at most MaxScriptFileBytes (a pipe is never waited on).
std::vector<ShownBox> readLogFile(const std::string& path);
inline constexpr int64_t MaxScriptFileBytes = 16 * 1024 * 1024;
// The answers of a script file's text, and the boxes of a log file's text (missing fields empty).
std::vector<std::string> parseScriptText(std::string_view text);
std::vector<ShownBox> parseLogText(std::string_view text);

// --- used by the dialogs ---

// True when boxes are answered by a script (in-process, environment, or the offscreen platform).
bool scriptActive();
// True when a script was given (in-process or through the environment), not merely no display.
bool scriptGiven();
// Answers one box: sets answer to the script's answer, or to defaultAnswer when none is left, and
// records it. Returns false when no script is active (the real dialog must be shown).
bool scriptedAnswer(const std::string& kind, const std::string& caption, const std::string& text,
                    const std::string& defaultAnswer, std::string& answer);
// The same, where an answer that accepts() refuses is replaced by defaultAnswer before it is recorded.
bool scriptedAnswer(const std::string& kind, const std::string& caption, const std::string& text,
                    const std::string& defaultAnswer, const std::function<bool(const std::string&)>& accepts,
                    std::string& answer);
// A scripted value without the leading "=" that makes it literal.
std::string literalAnswer(const std::string& answer);
// Records a box whose answer was decided after scriptedAnswer (e.g. an answer that did not fit the
// box was replaced by the default): rewrites the answer of the last record.
void correctLastAnswer(const std::string& answer);

} // namespace platform::ui::testing
