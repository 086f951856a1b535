#pragma once

// Single-line text edit and text label.

#include "platform/ui/control.h"

#include <string>

class QLineEdit;
class QLabel;

namespace platform::ui {

class Edit : public Control {
public:
    explicit Edit(Container& parent, const std::string& text = {});

    std::string text() const;
    // Sets the text; onChange runs when it differs from the current one.
    void setText(const std::string& text);
    // Sets the text and runs nothing.
    void setTextSilent(const std::string& text);
    void clear() { setText({}); }

    void setReadOnly(bool readOnly);
    bool readOnly() const;
    // Longest text the user may type (0: no limit); texts set from code are not cut.
    void setMaxLength(int length);
    int maxLength() const { return maxLength_; }
    void setPasswordChar(bool on);
    void selectAll();
    int selStart() const;

    QLineEdit* lineEdit() const;

    // A change of the text, by the user or by setText.
    std::function<void()> onChange;

private:
    int maxLength_ = 0;
};

class Label : public Control {
public:
    explicit Label(Container& parent, const std::string& caption = {});

    std::string caption() const { return caption_; }
    // "&x" shows x (the accelerator mark is not drawn), "&&" shows "&".
    void setCaption(const std::string& caption);
    void setWordWrap(bool on);
    // Alignment of the text: -1 left, 0 centre, 1 right.
    void setAlignment(int horizontal);
    // Sizes the label to its text whenever the caption changes (the default); off keeps setBounds' size.
    void setAutoSize(bool on);

    QLabel* label() const;

private:
    std::string caption_;
    bool autoSize_ = true;
};

} // namespace platform::ui
