#pragma once

// What a window shows clipped at the toolkit's own font: captions (labels, buttons, check and radio
// boxes, group box titles) smaller than their text asks for or covered by a neighbour, a tab row that
// needs scroll arrows, and controls reaching past their container. The window must have been shown
// (its pages laid out); widgets its code hid are not looked at.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <string>
#include <vector>

namespace kes::test {

inline std::string describe(const QWidget* w) {
    std::string text;
    if (const auto* label = qobject_cast<const QLabel*>(w))
        text = label->text().toStdString();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        text = button->text().toStdString();
    else if (const auto* group = qobject_cast<const QGroupBox*>(w))
        text = group->title().toStdString();
    return std::string(w->metaObject()->className()) + " \"" + text + "\"";
}

inline bool hiddenByCode(const QWidget* w) {
    return w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

inline bool hasCaption(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return !label->text().isEmpty();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return !button->text().isEmpty();
    return false;
}

inline void collectClipped(const QWidget* container, std::vector<std::string>& out) {
    std::vector<const QWidget*> children;
    for (const QObject* child : container->children())
        if (const auto* w = qobject_cast<const QWidget*>(child); w && !w->isWindow() && !hiddenByCode(w))
            children.push_back(w);
    for (const QWidget* w : children) {
        const QRect g = w->geometry();
        if (g.right() >= container->width() || g.bottom() >= container->height())
            out.push_back(describe(w) + " reaches past its container");
        // Controls of a pixel or less are not meant to be seen (a key receiver, for one).
        if (hasCaption(w) && g.width() > 1 && g.height() > 1) {
            QSize hint = w->sizeHint();
            if (const auto* button = qobject_cast<const QPushButton*>(w))
                hint = QSize(button->fontMetrics().horizontalAdvance(button->text()) + 8,
                             button->fontMetrics().height() + 2);
            if (hint.width() > g.width() || hint.height() > g.height())
                out.push_back(describe(w) + " is smaller than its text");
            for (const QWidget* other : children)
                if (other != w && other->geometry().intersects(g) && other->geometry().left() > g.left())
                    out.push_back(describe(w) + " is covered by " + describe(other));
        }
        if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
            if (group->fontMetrics().horizontalAdvance(group->title()) + 16 > g.width())
                out.push_back(describe(w) + " cuts its title");
            collectClipped(w, out);
        }
        if (const auto* tabs = qobject_cast<const QTabWidget*>(w)) {
            if (tabs->tabBar()->sizeHint().width() > tabs->width())
                out.push_back(describe(w) + " needs scroll arrows for its tabs");
            for (int i = 0; i < tabs->count(); ++i)
                collectClipped(tabs->widget(i), out);
        }
    }
}

inline std::vector<std::string> clippedCaptions(const QWidget* client) {
    std::vector<std::string> out;
    collectClipped(client, out);
    return out;
}

} // namespace kes::test
