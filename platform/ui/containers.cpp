#include "platform/ui/containers.h"

#include "platform/ui/application.h"
#include "platform/ui/qt_text.h"

#include <QFrame>
#include <QGroupBox>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace platform::ui {

using detail::qs;
using detail::ss;

namespace {

// A frame that draws its caption in the middle, under any child controls.
class PanelFrame : public QFrame {
public:
    QString caption;

protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        if (caption.isEmpty())
            return;
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, caption);
    }
};

} // namespace

// ---- PageControl

PageControl::PageControl(Container& parent) : Control(&parent, new QTabWidget) {
    QObject::connect(tabWidget(), &QTabWidget::currentChanged, tabWidget(), [this] {
        if (!silent_)
            runHandler(onChange);
    });
}

PageControl::~PageControl() {
    for (TabSheet* page : pages_)
        page->pageControl_ = nullptr;
}

QTabWidget* PageControl::tabWidget() const {
    return static_cast<QTabWidget*>(widget());
}

int PageControl::pageCount() const {
    return static_cast<int>(pages_.size());
}

TabSheet* PageControl::page(int index) const {
    return index >= 0 && index < pageCount() ? pages_[static_cast<std::size_t>(index)] : nullptr;
}

TabSheet* PageControl::activePage() const {
    if (!tabWidget())
        return nullptr;
    QWidget* current = tabWidget()->currentWidget();
    for (TabSheet* page : pages_)
        if (page->widget() == current)
            return page;
    return nullptr;
}

void PageControl::setActivePage(TabSheet& page) {
    if (!tabWidget() || !page.widget())
        return;
    silent_ = true;
    tabWidget()->setCurrentWidget(page.widget());
    silent_ = false;
}

int PageControl::pageIndex() const {
    TabSheet* active = activePage();
    return active ? active->pageIndex() : -1;
}

void PageControl::setPageIndex(int index) {
    if (TabSheet* target = page(index))
        setActivePage(*target);
}

void PageControl::setTabsVisible(bool visible) {
    tabsVisible_ = visible;
    if (tabWidget())
        tabWidget()->tabBar()->setVisible(visible);
}

void PageControl::addPage(TabSheet* page) {
    pages_.push_back(page);
    if (!tabWidget())
        return;
    silent_ = true;
    tabWidget()->addTab(page->widget(), qs(page->caption()));
    silent_ = false;
}

void PageControl::removePage(TabSheet* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
    if (!tabWidget() || !page->widget())
        return;
    silent_ = true;
    const int index = tabWidget()->indexOf(page->widget());
    if (index >= 0)
        tabWidget()->removeTab(index);
    silent_ = false;
}

void PageControl::refreshTabs() {
    if (!tabWidget())
        return;
    for (TabSheet* page : pages_) {
        const int index = tabWidget()->indexOf(page->widget());
        if (index < 0)
            continue;
        tabWidget()->setTabText(index, qs(page->caption()));
        tabWidget()->setTabVisible(index, page->tabVisible());
    }
}

// ---- TabSheet

TabSheet::TabSheet(PageControl& pageControl, const std::string& caption)
    : Container(nullptr, new QWidget, nullptr), pageControl_(&pageControl), caption_(caption) {
    setClient(widget());
    pageControl.addPage(this);
}

TabSheet::~TabSheet() {
    if (pageControl_)
        pageControl_->removePage(this);
}

void TabSheet::setCaption(const std::string& caption) {
    caption_ = caption;
    if (pageControl_)
        pageControl_->refreshTabs();
}

int TabSheet::pageIndex() const {
    if (!pageControl_)
        return -1;
    for (int i = 0; i < pageControl_->pageCount(); ++i)
        if (pageControl_->page(i) == this)
            return i;
    return -1;
}

void TabSheet::setTabVisible(bool visible) {
    tabVisible_ = visible;
    if (pageControl_)
        pageControl_->refreshTabs();
}

// ---- GroupBox

GroupBox::GroupBox(Container& parent, const std::string& caption)
    : Container(&parent, new QGroupBox, nullptr) {
    setClient(widget());
    groupBox()->setTitle(qs(caption));
}

QGroupBox* GroupBox::groupBox() const {
    return static_cast<QGroupBox*>(widget());
}

std::string GroupBox::caption() const {
    return groupBox() ? ss(groupBox()->title()) : std::string();
}

void GroupBox::setCaption(const std::string& caption) {
    if (groupBox())
        groupBox()->setTitle(qs(caption));
}

// ---- Panel

Panel::Panel(Container& parent, const std::string& caption) : Container(&parent, new PanelFrame, nullptr) {
    setClient(widget());
    clickOnRelease_ = true;
    setBevel(Bevel::Raised);
    setCaption(caption);
}

QFrame* Panel::frame() const {
    return static_cast<QFrame*>(widget());
}

std::string Panel::caption() const {
    return frame() ? ss(static_cast<PanelFrame*>(frame())->caption) : std::string();
}

void Panel::setCaption(const std::string& caption) {
    if (!frame())
        return;
    static_cast<PanelFrame*>(frame())->caption = qs(caption);
    frame()->update();
}

void Panel::setBevel(Bevel bevel) {
    if (!frame())
        return;
    switch (bevel) {
    case Bevel::None:
        frame()->setFrameStyle(QFrame::NoFrame);
        break;
    case Bevel::Lowered:
        frame()->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        break;
    case Bevel::Raised:
        frame()->setFrameStyle(QFrame::Panel | QFrame::Raised);
        break;
    }
}

} // namespace platform::ui
