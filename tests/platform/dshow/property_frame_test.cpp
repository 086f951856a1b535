#include "platform/com/class_factory.h"
#include "platform/com/co_create.h"
#include "platform/com/task_memory.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/property_frame.h"
#include "platform/dshow/property_page.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace platform::dshow {
namespace {

constexpr CLSID kPage = makeGuid("{A1B2C3D4-0004-0000-0000-000000000001}");
constexpr CLSID kMissingPage = makeGuid("{A1B2C3D4-0004-0000-0000-000000000002}");

int applied = 0;
IUnknown* connectedTo = nullptr;

class TestPage final : public CBasePropertyPage {
public:
    TestPage() : CBasePropertyPage("test page", nullptr, "Settings") {}
    void OnCreateDialog(QWidget* page) override {
        auto* button = new QPushButton("Change", page);
        button->setObjectName("change");
        QObject::connect(button, &QPushButton::clicked, page, [this] { SetDirty(); });
    }
    HRESULT OnConnect(IUnknown* object) override {
        connectedTo = object;
        return S_OK;
    }
    HRESULT OnDisconnect() override {
        connectedTo = nullptr;
        return S_OK;
    }
    HRESULT OnApplyChanges() override {
        ++applied;
        return S_OK;
    }
    static CUnknown* create(IUnknown*, HRESULT*) { return new TestPage; }
};

// An object that names one existing and one missing page.
class Specifier final : public CUnknown, public ISpecifyPropertyPages {
public:
    Specifier() : CUnknown("specifier", nullptr) {}
    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ISpecifyPropertyPages)
            return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT GetPages(CAUUID* pages) override {
        pages->cElems = 2;
        pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(2 * sizeof(GUID)));
        pages->pElems[0] = kMissingPage;
        pages->pElems[1] = kPage;
        return S_OK;
    }
};

TEST(PropertyFrame, ShowsTheCreatablePagesAndAppliesDirtyOnes) {
    registerBuiltinClass(kPage, [] {
        auto* factory = new ClassFactory(&TestPage::create);
        factory->NonDelegatingAddRef();
        return static_cast<IClassFactory*>(factory);
    });
    auto* object = new Specifier;
    object->NonDelegatingAddRef();
    IUnknown* owner = object->GetOwner();
    const std::vector<CLSID> pages = propertyPagesOf(owner);
    ASSERT_EQ(pages.size(), 2u);
    {
        PropertyFrame frame(nullptr, "Filter properties", {owner}, pages);
        EXPECT_EQ(frame.pageCount(), 1);
        EXPECT_EQ(frame.tabs()->tabText(0), "Settings");
        EXPECT_EQ(connectedTo, owner);
        EXPECT_FALSE(frame.applyButton()->isEnabled());
        auto* change = frame.tabs()->widget(0)->findChild<QPushButton*>("change");
        ASSERT_NE(change, nullptr);
        change->click();
        EXPECT_TRUE(frame.applyButton()->isEnabled());
        frame.applyButton()->click();
        EXPECT_EQ(applied, 1);
        EXPECT_FALSE(frame.applyButton()->isEnabled());
        frame.applyButton()->click(); // nothing dirty: nothing applied
        EXPECT_EQ(applied, 1);
    }
    EXPECT_EQ(connectedTo, nullptr); // closing the frame lets go of the objects
    object->NonDelegatingRelease();
    unregisterBuiltinClass(kPage);
}

} // namespace
} // namespace platform::dshow
