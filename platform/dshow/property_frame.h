#pragma once

// The property frame: a dialog with one tab per property page of the objects shown, and OK, Cancel
// and Apply buttons. It is each page's site; pages that cannot be created are left out.

#include "platform/dshow/property_interfaces.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTabWidget;

namespace platform::dshow {

class PropertyFrame : public QDialog {
public:
    PropertyFrame(QWidget* owner, const QString& caption, const std::vector<IUnknown*>& objects,
                  const std::vector<CLSID>& pageClasses);
    ~PropertyFrame() override;

    int pageCount() const { return static_cast<int>(pages_.size()); }
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* applyButton() const { return applyButton_; }
    // Applies every dirty page; the first failure is returned.
    HRESULT applyAll();
    // From a page's site.
    void pageStatusChanged();

private:
    void addPage(const CLSID& clsid, const std::vector<IUnknown*>& objects);
    void closePages();

    struct Page {
        IPropertyPage* page;     // holds a reference
        IPropertyPageSite* site; // holds a reference
    };
    std::vector<Page> pages_;
    QTabWidget* tabs_;
    QPushButton* applyButton_;
};

// Shows the pages of the objects in a modal frame.
HRESULT OleCreatePropertyFrame(QWidget* owner, const std::string& caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pageClasses);
// The page classes an object names through ISpecifyPropertyPages (empty when it names none).
std::vector<CLSID> propertyPagesOf(IUnknown* object);

} // namespace platform::dshow
