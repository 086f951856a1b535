#include "platform/ui/memo.h"

#include "platform/ui/application.h"
#include "platform/ui/qt_text.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace platform::ui {

using detail::qs;
using detail::ss;

namespace {

// Text with CR LF, LF or CR breaks, as Qt's plain text (LF only).
QString toPlain(const std::string& text) {
    QString plain = qs(text);
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QChar('\r'), QChar('\n'));
    return plain;
}

std::string fromPlain(const QString& plain) {
    QString text = plain;
    text.replace(QChar(0x2029), QChar('\n')); // paragraph separators of rich text
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return ss(text);
}

std::vector<std::string> splitLines(const QString& plain) {
    std::vector<std::string> lines;
    if (plain.isEmpty())
        return lines;
    QStringList parts = plain.split(QChar('\n'));
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    lines.reserve(static_cast<std::size_t>(parts.size()));
    for (const QString& part : parts)
        lines.push_back(ss(part));
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

Qt::ScrollBarPolicy policy(bool on) {
    return on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
}

// The memo and the rich edit differ only in their Qt editor; what they share works on either.
template <class Editor>
std::vector<std::string> editorLines(const Editor* editor) {
    return editor ? splitLines(editor->toPlainText()) : std::vector<std::string>{};
}

template <class Editor>
std::string editorLine(const Editor* editor, int index) {
    const auto all = editorLines(editor);
    return index >= 0 && index < static_cast<int>(all.size()) ? all[static_cast<std::size_t>(index)]
                                                              : std::string();
}

template <class Editor>
std::string editorText(const Editor* editor) {
    return editor ? fromPlain(editor->toPlainText()) : std::string();
}

// Replaces the editor's text without its own change signal; true when the text changed.
template <class Editor>
bool replaceEditorText(Editor* editor, const std::string& text) {
    if (!editor)
        return false;
    const QString plain = toPlain(text);
    if (plain == editor->toPlainText())
        return false;
    const QSignalBlocker blocker(editor);
    editor->setPlainText(plain);
    return true;
}

void setScrollBarsOf(QAbstractScrollArea* area, ScrollBars bars) {
    if (!area)
        return;
    area->setHorizontalScrollBarPolicy(policy(bars == ScrollBars::Horizontal || bars == ScrollBars::Both));
    area->setVerticalScrollBarPolicy(policy(bars == ScrollBars::Vertical || bars == ScrollBars::Both));
}

void scrollAreaToEnd(QAbstractScrollArea* area) {
    if (area)
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
}

} // namespace

// ---- Memo

Memo::Memo(Container& parent) : Control(&parent, new QPlainTextEdit) {
    QObject::connect(editor(), &QPlainTextEdit::textChanged, editor(), [this] { runHandler(onChange); });
}

QPlainTextEdit* Memo::editor() const {
    return static_cast<QPlainTextEdit*>(widget());
}

std::vector<std::string> Memo::lines() const {
    return editorLines(editor());
}

int Memo::lineCount() const {
    return static_cast<int>(lines().size());
}

std::string Memo::line(int index) const {
    return editorLine(editor(), index);
}

void Memo::setLines(const std::vector<std::string>& lines) {
    setText(joinLines(lines));
}

void Memo::setLine(int index, const std::string& text) {
    auto all = lines();
    if (index < 0 || index >= static_cast<int>(all.size()))
        return;
    all[static_cast<std::size_t>(index)] = text;
    setLines(all);
}

void Memo::addLine(const std::string& text) {
    if (!editor())
        return;
    QString plain = editor()->toPlainText();
    if (!plain.isEmpty() && !plain.endsWith(QChar('\n')))
        plain += QChar('\n');
    plain += toPlain(text);
    replaceText(fromPlain(plain), true);
}

void Memo::clear() {
    setText({});
}

std::string Memo::text() const {
    return editorText(editor());
}

void Memo::setText(const std::string& text) {
    replaceText(text, true);
}

void Memo::setTextSilent(const std::string& text) {
    replaceText(text, false);
}

void Memo::replaceText(const std::string& text, bool runChange) {
    if (replaceEditorText(editor(), text) && runChange)
        runHandlerFromCode(onChange);
}

void Memo::setReadOnly(bool readOnly) {
    if (editor())
        editor()->setReadOnly(readOnly);
}

bool Memo::readOnly() const {
    return editor() && editor()->isReadOnly();
}

void Memo::setWordWrap(bool on) {
    if (editor())
        editor()->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void Memo::setScrollBars(ScrollBars bars) {
    setScrollBarsOf(editor(), bars);
}

void Memo::scrollToEnd() {
    scrollAreaToEnd(editor());
}

// ---- RichEdit

RichEdit::RichEdit(Container& parent) : Control(&parent, new QTextEdit) {
    editor()->setAcceptRichText(false);
    QObject::connect(editor(), &QTextEdit::textChanged, editor(), [this] { runHandler(onChange); });
}

QTextEdit* RichEdit::editor() const {
    return static_cast<QTextEdit*>(widget());
}

std::vector<std::string> RichEdit::lines() const {
    return editorLines(editor());
}

int RichEdit::lineCount() const {
    return static_cast<int>(lines().size());
}

std::string RichEdit::line(int index) const {
    return editorLine(editor(), index);
}

void RichEdit::setLines(const std::vector<std::string>& lines) {
    setText(joinLines(lines));
}

void RichEdit::addLine(const std::string& text, Color color) {
    if (!editor())
        return;
    {
        const QSignalBlocker blocker(editor());
        QTextCursor cursor(editor()->document());
        cursor.movePosition(QTextCursor::End);
        if (!editor()->document()->isEmpty())
            cursor.insertBlock();
        QTextCharFormat format;
        if (color != Colors::WindowText)
            format.setForeground(toQColor(color));
        cursor.insertText(toPlain(text), format);
    }
    runHandlerFromCode(onChange);
}

void RichEdit::clear() {
    setText({});
}

std::string RichEdit::text() const {
    return editorText(editor());
}

void RichEdit::setText(const std::string& text) {
    replaceText(text, true);
}

void RichEdit::setTextSilent(const std::string& text) {
    replaceText(text, false);
}

void RichEdit::replaceText(const std::string& text, bool runChange) {
    if (replaceEditorText(editor(), text) && runChange)
        runHandlerFromCode(onChange);
}

void RichEdit::setReadOnly(bool readOnly) {
    if (editor())
        editor()->setReadOnly(readOnly);
}

bool RichEdit::readOnly() const {
    return editor() && editor()->isReadOnly();
}

void RichEdit::setWordWrap(bool on) {
    if (editor())
        editor()->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void RichEdit::setScrollBars(ScrollBars bars) {
    setScrollBarsOf(editor(), bars);
}

void RichEdit::scrollToEnd() {
    scrollAreaToEnd(editor());
}

} // namespace platform::ui
