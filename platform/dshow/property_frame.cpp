#include "platform/dshow/property_frame.h"

#include "platform/ui/dialog_script.h"

#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "platform/com/cunknown.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/guids.h"

#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace platform::dshow {

namespace {

// The site of one page: passes status changes to the frame while the frame exists.
class PageSite final : public CUnknown, public IPropertyPageSite {
public:
    explicit PageSite(PropertyFrame* frame) : CUnknown("property page site", nullptr), frame_(frame) {}

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IPropertyPageSite)
            return GetInterface(static_cast<IPropertyPageSite*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT OnStatusChange(DWORD) override {
        if (frame_)
            frame_->pageStatusChanged();
        return S_OK;
    }
    HRESULT GetPageContainer(IUnknown** container) override {
        if (container)
            *container = nullptr;
        return E_NOTIMPL;
    }

private:
    QPointer<PropertyFrame> frame_;
};

} // namespace

PropertyFrame::PropertyFrame(QWidget* owner, const QString& caption, const std::vector<IUnknown*>& objects,
                             const std::vector<CLSID>& pageClasses)
    : QDialog(owner), tabs_(new QTabWidget(this)) {
    setWindowTitle(caption);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    applyButton_ = buttons->button(QDialogButtonBox::Apply);
    applyButton_->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (SUCCEEDED(applyAll()))
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton_, &QPushButton::clicked, this, [this] { applyAll(); });
    for (const CLSID& clsid : pageClasses)
        addPage(clsid, objects);
}

PropertyFrame::~PropertyFrame() {
    closePages();
}

void PropertyFrame::addPage(const CLSID& clsid, const std::vector<IUnknown*>& objects) {
    ComPtr<IPropertyPage> page;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.putVoid())) ||
        !page)
        return;
    auto* site = new PageSite(this);
    site->NonDelegatingAddRef();
    page->SetPageSite(site);
    std::vector<IUnknown*> list = objects;
    page->SetObjects(static_cast<ULONG>(list.size()), list.data());
    auto* area = new QWidget;
    auto* areaLayout = new QVBoxLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    if (FAILED(page->Activate(area, TRUE))) {
        delete area;
        page->SetObjects(0, nullptr);
        page->SetPageSite(nullptr);
        site->Release();
        return;
    }
    for (QWidget* child : area->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        areaLayout->addWidget(child);
    QString title;
    PROPPAGEINFO info{};
    if (SUCCEEDED(page->GetPageInfo(&info))) {
        title = QString::fromStdString(bytesFromWide(wideView(info.pszTitle)));
        CoTaskMemFree(info.pszTitle);
    }
    tabs_->addTab(area, title);
    pages_.push_back({page.detach(), site});
}

void PropertyFrame::closePages() {
    for (Page& p : pages_) {
        p.page->Deactivate();
        p.page->SetObjects(0, nullptr);
        p.page->SetPageSite(nullptr);
        p.page->Release();
        p.site->Release();
    }
    pages_.clear();
}

HRESULT PropertyFrame::applyAll() {
    HRESULT result = S_OK;
    for (Page& p : pages_) {
        if (p.page->IsPageDirty() != S_OK)
            continue;
        const HRESULT hr = p.page->Apply();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    pageStatusChanged();
    return result;
}

void PropertyFrame::pageStatusChanged() {
    bool dirty = false;
    for (Page& p : pages_)
        dirty = dirty || p.page->IsPageDirty() == S_OK;
    applyButton_->setEnabled(dirty);
}

HRESULT OleCreatePropertyFrame(QWidget* owner, const std::string& caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pageClasses) {
    if ((objectCount && !objects) || (pageCount && !pageClasses))
        return E_POINTER;
    std::vector<IUnknown*> list(objects, objects + objectCount);
    std::vector<CLSID> classes(pageClasses, pageClasses + pageCount);
    PropertyFrame frame(owner, QString::fromStdString(caption), list, classes);
    // Under a test script the frame is not shown: it is recorded with its page titles and answered
    // "OK" (the pages apply) or "Cancel".
    std::string titles;
    for (int i = 0; i < frame.tabs()->count(); ++i)
        titles += (i ? "\n" : "") + frame.tabs()->tabText(i).toStdString();
    std::string answer;
    if (platform::ui::testing::scriptedAnswer("properties", caption, titles, "OK", answer)) {
        if (answer == "OK")
            frame.applyAll();
        return S_OK;
    }
    frame.exec();
    return S_OK;
}

std::vector<CLSID> propertyPagesOf(IUnknown* object) {
    std::vector<CLSID> classes;
    if (!object)
        return classes;
    ComPtr<ISpecifyPropertyPages> specify;
    if (FAILED(object->QueryInterface(IID_ISpecifyPropertyPages, specify.putVoid())) || !specify)
        return classes;
    CAUUID pages{0, nullptr};
    if (SUCCEEDED(specify->GetPages(&pages)) && pages.pElems)
        classes.assign(pages.pElems, pages.pElems + pages.cElems);
    CoTaskMemFree(pages.pElems);
    return classes;
}

} // namespace platform::dshow
