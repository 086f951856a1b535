#pragma once

// The base of a property page: a widget made in Activate as a child of the frame's page area and
// dropped in Deactivate, the objects it shows (OnConnect / OnDisconnect), and the dirty state that
// Apply clears through OnApplyChanges.

#include "platform/com/cunknown.h"
#include "platform/dshow/property_interfaces.h"

#include <QPointer>
#include <QWidget>

#include <string>

namespace platform::dshow {

class CBasePropertyPage : public CUnknown, public IPropertyPage {
public:
    // title: the text of the page's tab (UTF-8).
    CBasePropertyPage(const char* objectName, IUnknown* outer, std::string title);
    ~CBasePropertyPage() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT SetPageSite(IPropertyPageSite* site) override;
    HRESULT Activate(QWidget* parent, BOOL modal) override;
    HRESULT Deactivate() override;
    HRESULT GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT Show(BOOL visible) override;
    HRESULT IsPageDirty() override;
    HRESULT Apply() override;
    HRESULT Help(LPCOLESTR helpDir) override;
    HRESULT TranslateAccelerator(void* message) override;

    virtual HRESULT OnConnect(IUnknown*) { return S_OK; }
    virtual HRESULT OnDisconnect() { return S_OK; }
    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnDeactivate() { return S_OK; }
    virtual HRESULT OnApplyChanges() { return S_OK; }
    // Fills the page's widget with its controls.
    virtual void OnCreateDialog(QWidget* page) = 0;

    QWidget* Page() const { return page_; }
    const std::string& Title() const { return title_; }

protected:
    // Marks the page changed and tells the frame, which enables its Apply button.
    void SetDirty();

private:
    std::string title_;
    IPropertyPageSite* site_ = nullptr; // holds a reference
    QPointer<QWidget> page_;
    bool dirty_ = false;
    bool connected_ = false;
};

} // namespace platform::dshow
