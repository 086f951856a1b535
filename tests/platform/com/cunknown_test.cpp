#include "platform/com/class_factory.h"
#include "platform/com/com_ptr.h"

#include <gtest/gtest.h>

namespace platform::com {
namespace {

constexpr IID IID_ITestValue = makeGuid("{A1B2C3D4-0001-0002-0003-000000000001}");
constexpr IID IID_ITestOuter = makeGuid("{A1B2C3D4-0001-0002-0003-000000000002}");

struct ITestValue : IUnknown {
    virtual int value() = 0;

protected:
    ~ITestValue() = default;
};

int destroyed = 0;

class Inner final : public CUnknown, public ITestValue {
public:
    explicit Inner(IUnknown* outer) : CUnknown("inner", outer) {}
    ~Inner() override { ++destroyed; }
    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ITestValue)
            return GetInterface(static_cast<ITestValue*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    int value() override { return 42; }

    static CUnknown* create(IUnknown* outer, HRESULT*) { return new Inner(outer); }
};

// An outer object that aggregates an Inner and exposes its interface as its own.
class Outer final : public CUnknown {
public:
    Outer() : CUnknown("outer", nullptr) {
        inner_ = ComPtr<IUnknown>::adopt(nullptr);
        IUnknown* created = nullptr;
        EXPECT_EQ(ClassFactory::createWith(&Inner::create, GetOwner(), IID_IUnknown,
                                           reinterpret_cast<void**>(&created)),
                  S_OK);
        inner_ = ComPtr<IUnknown>::adopt(created);
    }
    ~Outer() override { ++destroyed; }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ITestValue)
            return inner_->QueryInterface(riid, ppv);
        if (riid == IID_ITestOuter)
            return GetInterface(GetOwner(), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

private:
    ComPtr<IUnknown> inner_;
};

TEST(CUnknown, ObjectDiesWithItsLastReferenceAndCountsInTheModule) {
    destroyed = 0;
    const long before = moduleObjectCount();
    ITestValue* value = nullptr;
    ASSERT_EQ(
        ClassFactory::createWith(&Inner::create, nullptr, IID_ITestValue, reinterpret_cast<void**>(&value)),
        S_OK);
    EXPECT_EQ(moduleObjectCount(), before + 1);
    EXPECT_FALSE(moduleCanUnload());
    EXPECT_EQ(value->value(), 42);
    EXPECT_EQ(value->AddRef(), 2u);
    EXPECT_EQ(value->Release(), 1u);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(value->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    void* missing = reinterpret_cast<void*>(1);
    EXPECT_EQ(value->QueryInterface(IID_ITestOuter, &missing), E_NOINTERFACE);
    EXPECT_EQ(missing, nullptr);
    unknown->Release();
    EXPECT_EQ(value->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(moduleObjectCount(), before);
}

TEST(CUnknown, AggregatedObjectAnswersThroughItsOuterObject) {
    destroyed = 0;
    auto* outer = new Outer;
    outer->NonDelegatingAddRef();
    ITestValue* value = nullptr;
    ASSERT_EQ(outer->NonDelegatingQueryInterface(IID_ITestValue, reinterpret_cast<void**>(&value)), S_OK);
    EXPECT_EQ(value->value(), 42);
    // The inner interface's IUnknown is the outer object's identity.
    IUnknown* viaInner = nullptr;
    ASSERT_EQ(value->QueryInterface(IID_ITestOuter, reinterpret_cast<void**>(&viaInner)), S_OK);
    EXPECT_EQ(viaInner, outer->GetOwner());
    viaInner->Release();
    value->Release();
    EXPECT_EQ(destroyed, 0);
    outer->NonDelegatingRelease();
    EXPECT_EQ(destroyed, 2); // the outer object and the inner one it held
}

TEST(ClassFactory, AggregationMayOnlyAskForIUnknownAndLocksKeepTheModule) {
    auto* factory = new ClassFactory(&Inner::create);
    factory->NonDelegatingAddRef();
    IUnknown* fakeOuter = factory->GetOwner();
    void* out = nullptr;
    EXPECT_EQ(factory->CreateInstance(fakeOuter, IID_ITestValue, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ITestValue, nullptr), E_POINTER);
    const long locks = moduleLockCount();
    factory->LockServer(TRUE);
    EXPECT_EQ(moduleLockCount(), locks + 1);
    factory->LockServer(FALSE);
    EXPECT_EQ(moduleLockCount(), locks);
    factory->NonDelegatingRelease();
}

} // namespace
} // namespace platform::com
