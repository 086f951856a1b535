#pragma once

// Containers: page control with tab sheets, group box, panel.

#include "platform/ui/control.h"

#include <string>
#include <vector>

class QTabWidget;
class QGroupBox;
class QFrame;

namespace platform::ui {

class TabSheet;

class PageControl : public Control {
public:
    explicit PageControl(Container& parent);
    ~PageControl() override;

    int pageCount() const;
    TabSheet* page(int index) const; // null when out of range
    TabSheet* activePage() const;
    // Shows a page; runs nothing (onChange is for the user's choice of tab).
    void setActivePage(TabSheet& page);
    int pageIndex() const; // index of the active page among the pages, -1 when none
    void setPageIndex(int index);
    // Hides the row of tabs (pages are then chosen from code).
    void setTabsVisible(bool visible);

    QTabWidget* tabWidget() const;

    // The user chose another tab.
    std::function<void()> onChange;

private:
    friend class TabSheet;
    void addPage(TabSheet* page);
    void removePage(TabSheet* page);
    void refreshTabs();
    std::vector<TabSheet*> pages_;
    bool tabsVisible_ = true;
    bool silent_ = false;
};

class TabSheet : public Container {
public:
    TabSheet(PageControl& pageControl, const std::string& caption = {});
    ~TabSheet() override;

    std::string caption() const { return caption_; }
    void setCaption(const std::string& caption);
    PageControl& pageControl() const { return *pageControl_; }
    int pageIndex() const;
    // Whether the page has a tab (a page without one can still be shown from code).
    void setTabVisible(bool visible);
    bool tabVisible() const { return tabVisible_; }

private:
    friend class PageControl;
    PageControl* pageControl_;
    std::string caption_;
    bool tabVisible_ = true;
};

class GroupBox : public Container {
public:
    explicit GroupBox(Container& parent, const std::string& caption = {});

    std::string caption() const;
    void setCaption(const std::string& caption);

    QGroupBox* groupBox() const;
};

enum class Bevel { None, Lowered, Raised };

class Panel : public Container {
public:
    explicit Panel(Container& parent, const std::string& caption = {});

    std::string caption() const;
    void setCaption(const std::string& caption);
    void setBevel(Bevel bevel);

    QFrame* frame() const;
};

} // namespace platform::ui
