#pragma once

// Property pages: an object names the classes of its pages, and a frame (the page site) shows them.
// Pages are widgets of the toolkit; this header only names the widget type.

#include "platform/dshow/types.h"

class QWidget;

namespace platform::dshow {

struct ISpecifyPropertyPages : IUnknown {
    // pages->pElems is task memory for the caller.
    virtual HRESULT GetPages(CAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};

struct PROPPAGEINFO {
    LPOLESTR pszTitle; // task memory
    LONG width;
    LONG height;
};

// Status flags a page reports to its site.
inline constexpr DWORD PROPPAGESTATUS_DIRTY = 0x1;
inline constexpr DWORD PROPPAGESTATUS_VALIDATE = 0x2;

struct IPropertyPageSite : IUnknown {
    virtual HRESULT OnStatusChange(DWORD flags) = 0;
    virtual HRESULT GetPageContainer(IUnknown** container) = 0;

protected:
    ~IPropertyPageSite() = default;
};

struct IPropertyPage : IUnknown {
    virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
    // Creates the page's widget as a child of parent.
    virtual HRESULT Activate(QWidget* parent, BOOL modal) = 0;
    virtual HRESULT Deactivate() = 0;
    virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
    virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;
    virtual HRESULT Show(BOOL visible) = 0;
    virtual HRESULT IsPageDirty() = 0;
    virtual HRESULT Apply() = 0;
    virtual HRESULT Help(LPCOLESTR helpDir) = 0;
    virtual HRESULT TranslateAccelerator(void* message) = 0;

protected:
    ~IPropertyPage() = default;
};

} // namespace platform::dshow
