#include "platform/dshow/property_page.h"

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/guids.h"

namespace platform::dshow {

namespace {
constexpr LONG kDefaultPageWidth = 320;
constexpr LONG kDefaultPageHeight = 200;
} // namespace

CBasePropertyPage::CBasePropertyPage(const char* objectName, IUnknown* outer, std::string title)
    : CUnknown(objectName, outer), title_(std::move(title)) {}

CBasePropertyPage::~CBasePropertyPage() {
    delete page_.data();
    if (site_)
        site_->Release();
}

HRESULT CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IPropertyPage)
        return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBasePropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site && site_)
        return E_UNEXPECTED;
    if (site)
        site->AddRef();
    if (site_)
        site_->Release();
    site_ = site;
    return S_OK;
}

HRESULT CBasePropertyPage::Activate(QWidget* parent, BOOL) {
    if (page_)
        return E_UNEXPECTED;
    page_ = new QWidget(parent);
    OnCreateDialog(page_);
    const HRESULT hr = OnActivate();
    if (FAILED(hr)) {
        delete page_.data();
        return hr;
    }
    page_->show();
    return S_OK;
}

HRESULT CBasePropertyPage::Deactivate() {
    if (!page_)
        return E_UNEXPECTED;
    const HRESULT hr = OnDeactivate();
    if (FAILED(hr))
        return hr;
    delete page_.data();
    return S_OK;
}

HRESULT CBasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    info->pszTitle = taskMemWideCopy(wideFromBytes(title_));
    if (!info->pszTitle)
        return E_OUTOFMEMORY;
    QWidget* page = page_.data();
    const QSize hint = page ? page->sizeHint() : QSize();
    info->width = hint.isValid() ? hint.width() : kDefaultPageWidth;
    info->height = hint.isValid() ? hint.height() : kDefaultPageHeight;
    return S_OK;
}

HRESULT CBasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count == 0) {
        if (connected_) {
            connected_ = false;
            return OnDisconnect();
        }
        return S_OK;
    }
    if (!objects || !objects[0])
        return E_POINTER;
    if (connected_)
        OnDisconnect();
    const HRESULT hr = OnConnect(objects[0]);
    connected_ = SUCCEEDED(hr);
    return hr;
}

HRESULT CBasePropertyPage::Show(BOOL visible) {
    QWidget* page = page_.data();
    if (!page)
        return E_UNEXPECTED;
    page->setVisible(visible != FALSE);
    return S_OK;
}

HRESULT CBasePropertyPage::IsPageDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT CBasePropertyPage::Apply() {
    if (!dirty_)
        return S_OK;
    const HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr))
        dirty_ = false;
    return hr;
}

HRESULT CBasePropertyPage::Help(LPCOLESTR) {
    return E_NOTIMPL;
}
HRESULT CBasePropertyPage::TranslateAccelerator(void*) {
    return E_NOTIMPL;
}

void CBasePropertyPage::SetDirty() {
    dirty_ = true;
    if (site_)
        site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

} // namespace platform::dshow
