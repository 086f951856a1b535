#include "platform/ui/fit_to_text.h"

#include "platform/ui/form.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <map>

namespace platform::ui {

namespace {

// Where the design geometry of a widget is kept between calls.
constexpr const char* DesignProperty = "kesDesignGeometry";
// Room kept between a text and the next control or the container's edge.
constexpr int Gap = 2;
// Room kept inside a container around its contents.
constexpr int ContainerMargin = 4;
// A group box title's room beside its text (the frame's corner and the title's own margins).
constexpr int TitleMargin = 20;
// Room a push button's text needs around it.
constexpr QSize ButtonPadding(12, 6);
// What a design tab sheet loses to its page control's tabs and frame.
constexpr int DesignTabWidthLoss = 8;
constexpr int DesignTabHeightLoss = 28;

QRect designOf(QWidget* w) {
    const QVariant kept = w->property(DesignProperty);
    if (kept.isValid())
        return kept.toRect();
    w->setProperty(DesignProperty, w->geometry());
    return w->geometry();
}

struct Node {
    QWidget* widget = nullptr;
    QRect design;
    QSize room;             // design room up to the next control or the container's edge
    QSize need;             // what its text asks for (0: nothing)
    bool fixed = false;     // keeps its size
    bool container = false; // its children are placed by this fit
    std::vector<Node> children;
};

// Hidden by the window's code (not merely not shown yet).
bool hiddenByCode(const QWidget* w) {
    return w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

bool overlapsVertically(const QRect& a, const QRect& b) {
    return a.top() < b.bottom() && b.top() < a.bottom();
}
bool overlapsHorizontally(const QRect& a, const QRect& b) {
    return a.left() < b.right() && b.left() < a.right();
}

// What a widget's text asks for, in both directions (0 where nothing is asked).
QSize textNeed(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text().isEmpty() ? QSize() : label->sizeHint();
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        if (group->title().isEmpty())
            return {};
        return {group->fontMetrics().horizontalAdvance(group->title()) + TitleMargin, 0};
    }
    if (auto* tabs = qobject_cast<QTabWidget*>(w))
        return {tabs->tabBar()->sizeHint().width() + ContainerMargin, 0};
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        // The text with the style's padding (the style's least button width is no need of the text).
        if (button->text().isEmpty())
            return {};
        const QFontMetrics fm = button->fontMetrics();
        return {fm.horizontalAdvance(button->text()) + ButtonPadding.width(),
                fm.height() + ButtonPadding.height()};
    }
    if (qobject_cast<QAbstractButton*>(w) != nullptr)
        return w->sizeHint();
    if (qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr)
        return {0, w->minimumSizeHint().height()};
    if ((qobject_cast<QAbstractSlider*>(w) != nullptr && qobject_cast<QScrollBar*>(w) == nullptr) ||
        qobject_cast<QProgressBar*>(w) != nullptr)
        return {0, w->sizeHint().height()};
    return {};
}

std::vector<Node> collect(QWidget* container, QSize designSize, const std::vector<QWidget*>& fixed);

Node nodeOf(QWidget* w, const std::vector<QWidget*>& fixed) {
    Node node;
    node.widget = w;
    node.design = designOf(w);
    node.fixed = std::find(fixed.begin(), fixed.end(), w) != fixed.end();
    if (node.fixed)
        return node;
    node.need = textNeed(w);
    if (qobject_cast<QGroupBox*>(w) != nullptr) {
        node.container = true;
        node.children = collect(w, node.design.size(), fixed);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        const QSize page(node.design.width() - DesignTabWidthLoss,
                         node.design.height() - DesignTabHeightLoss);
        for (int i = 0; i < tabs->count(); ++i) {
            Node sheet;
            sheet.widget = tabs->widget(i);
            sheet.design = QRect(QPoint(0, 0), page);
            sheet.container = true;
            sheet.children = collect(sheet.widget, page, fixed);
            node.children.push_back(std::move(sheet));
        }
    }
    return node;
}

// The design room of each child: up to the nearest shown sibling to its right (and below) that shares
// its rows (columns), or the container's edge.
void measureRoom(std::vector<Node>& nodes, QSize designSize) {
    for (Node& n : nodes) {
        int right = designSize.width();
        int bottom = designSize.height();
        for (const Node& s : nodes) {
            if (&s == &n || hiddenByCode(s.widget))
                continue;
            if (s.design.left() > n.design.left() && overlapsVertically(n.design, s.design))
                right = std::min(right, s.design.left());
            if (s.design.top() > n.design.top() && overlapsHorizontally(n.design, s.design))
                bottom = std::min(bottom, s.design.top());
        }
        n.room =
            QSize(std::max(1, right - n.design.left() - Gap), std::max(1, bottom - n.design.top() - Gap));
        // A group box title and a tab row must fit the box itself.
        if (n.container || qobject_cast<QTabWidget*>(n.widget) != nullptr)
            n.room.setWidth(std::max(1, n.design.width()));
    }
}

std::vector<Node> collect(QWidget* container, QSize designSize, const std::vector<QWidget*>& fixed) {
    std::vector<Node> nodes;
    for (QObject* child : container->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w == nullptr || w->isWindow())
            continue;
        nodes.push_back(nodeOf(w, fixed));
    }
    measureRoom(nodes, designSize);
    return nodes;
}

double neededScale(const std::vector<Node>& nodes) {
    double scale = 1.0;
    for (const Node& n : nodes) {
        if (n.need.width() > 0)
            scale = std::max(scale, static_cast<double>(n.need.width()) / n.room.width());
        if (n.need.height() > 0)
            scale = std::max(scale, static_cast<double>(n.need.height()) / n.room.height());
        scale = std::max(scale, neededScale(n.children));
    }
    return scale;
}

int scaled(int value, double f) {
    return static_cast<int>(std::lround(value * f));
}

// Moves the siblings that lie wholly below (right of) a widget that grew, so that it covers none.
void pushSiblings(std::vector<Node>& nodes, const Node& grown, const QRect& before) {
    const QRect after = grown.widget->geometry();
    const int dy = after.bottom() - before.bottom();
    const int dx = after.right() - before.right();
    for (Node& s : nodes) {
        if (&s == &grown)
            continue;
        QRect g = s.widget->geometry();
        if (dy > 0 && g.top() > before.bottom() && overlapsHorizontally(g, after))
            g.translate(0, dy);
        else if (dx > 0 && g.left() > before.right() && overlapsVertically(g, after))
            g.translate(dx, 0);
        s.widget->setGeometry(g);
    }
}

// The size that holds every shown child with a margin.
QSize contentSize(const std::vector<Node>& nodes) {
    QSize size;
    for (const Node& n : nodes) {
        if (hiddenByCode(n.widget))
            continue;
        const QRect g = n.widget->geometry();
        size =
            size.expandedTo(QSize(g.x() + g.width() + ContainerMargin, g.y() + g.height() + ContainerMargin));
    }
    return size;
}

void place(std::vector<Node>& nodes, double f) {
    for (Node& n : nodes) {
        QRect g(scaled(n.design.x(), f), scaled(n.design.y(), f), scaled(n.design.width(), f),
                scaled(n.design.height(), f));
        if (n.fixed)
            g.setSize(n.design.size());
        if (!n.container && !n.fixed) {
            // Grow into the room the design left, as far as the text asks.
            const int roomW = static_cast<int>(std::floor(n.room.width() * f));
            const int roomH = static_cast<int>(std::floor(n.room.height() * f));
            if (n.need.width() > g.width())
                g.setWidth(std::max(g.width(), std::min(n.need.width(), roomW)));
            if (n.need.height() > g.height())
                g.setHeight(std::max(g.height(), std::min(n.need.height(), roomH)));
        }
        n.widget->setGeometry(g);
    }
    for (Node& n : nodes) {
        if (n.children.empty())
            continue;
        place(n.children, f);
        const QRect before = n.widget->geometry();
        QSize needed;
        if (auto* tabs = qobject_cast<QTabWidget*>(n.widget)) {
            QSize pages;
            for (const Node& sheet : n.children)
                pages = pages.expandedTo(contentSize(sheet.children));
            const int tabRow = tabs->tabBar()->sizeHint().height();
            needed = QSize(pages.width() + DesignTabWidthLoss, pages.height() + tabRow + DesignTabWidthLoss);
        } else {
            needed = contentSize(n.children);
        }
        if (needed.width() > before.width() || needed.height() > before.height()) {
            n.widget->resize(before.size().expandedTo(needed));
            pushSiblings(nodes, n, before);
        }
    }
}

} // namespace

double fitToText(Form& form, const std::vector<QWidget*>& fixedSize, double maxScale) {
    QWidget* root = form.client();
    if (root == nullptr)
        return 1.0;
    const QSize design = designOf(root).size();
    std::vector<Node> nodes = collect(root, design, fixedSize);
    const double f = std::clamp(neededScale(nodes), 1.0, maxScale);
    place(nodes, f);
    const QSize client =
        QSize(scaled(design.width(), f), scaled(design.height(), f)).expandedTo(contentSize(nodes));
    // Controls docked to the whole client area follow the new size.
    for (Node& n : nodes)
        if (n.design.size() == design && n.design.topLeft() == QPoint(0, 0))
            n.widget->resize(n.widget->size().expandedTo(client));
    form.setClientSize(client.width(), client.height());
    return f;
}

} // namespace platform::ui
