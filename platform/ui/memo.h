#pragma once

// Multi-line text controls. Lines cross the API without line breaks; text() joins them with CR LF.

#include "platform/ui/control.h"

#include <string>
#include <vector>

class QPlainTextEdit;
class QTextEdit;

namespace platform::ui {

enum class ScrollBars { None, Horizontal, Vertical, Both };

class Memo : public Control {
public:
    explicit Memo(Container& parent);

    // The lines; a final empty line (text ending in a line break) is not counted.
    std::vector<std::string> lines() const;
    int lineCount() const;
    std::string line(int index) const; // empty when out of range
    // Replace the content; onChange runs when the text differs.
    void setLines(const std::vector<std::string>& lines);
    void setLine(int index, const std::string& text);
    void addLine(const std::string& text);
    void clear();

    // The whole text, lines joined by CR LF. setText accepts CR LF, LF or CR.
    std::string text() const;
    void setText(const std::string& text);
    void setTextSilent(const std::string& text);

    void setReadOnly(bool readOnly);
    bool readOnly() const;
    void setWordWrap(bool on);
    void setScrollBars(ScrollBars bars);
    // Shows the last line.
    void scrollToEnd();

    QPlainTextEdit* editor() const;

    std::function<void()> onChange;

private:
    void replaceText(const std::string& text, bool runChange);
};

// A memo whose lines may each have their own colour.
class RichEdit : public Control {
public:
    explicit RichEdit(Container& parent);

    std::vector<std::string> lines() const;
    int lineCount() const;
    std::string line(int index) const;
    void setLines(const std::vector<std::string>& lines);
    // Appends a line in the given colour (the default text colour when omitted).
    void addLine(const std::string& text, Color color = Colors::WindowText);
    void clear();
    std::string text() const;
    void setText(const std::string& text);
    void setTextSilent(const std::string& text);

    void setReadOnly(bool readOnly);
    bool readOnly() const;
    void setWordWrap(bool on);
    void setScrollBars(ScrollBars bars);
    void scrollToEnd();

    QTextEdit* editor() const;

    std::function<void()> onChange;

private:
    void replaceText(const std::string& text, bool runChange);
};

} // namespace platform::ui
