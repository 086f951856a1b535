#pragma once

// The reference-counted object base that components are written on, with aggregation: an object
// answers through its owner (the outer object of an aggregate, or itself), while its own identity is
// the non-delegating unknown that only the owner holds.

#include "platform/com/unknown.h"

#include <atomic>
#include <string>

namespace platform::com {

struct INonDelegatingUnknown {
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};

// Stores p (with a new reference) in *ppv; the usual tail of a QueryInterface.
HRESULT GetInterface(IUnknown* p, void** ppv);

class CUnknown : public INonDelegatingUnknown {
public:
    // outer: the controlling unknown when the object is part of an aggregate, else nullptr.
    CUnknown(const char* objectName, IUnknown* outer);
    virtual ~CUnknown();
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    // Where the object's delegating IUnknown calls go.
    IUnknown* GetOwner() const { return owner_; }
    // The object's own unknown: what a class factory hands to an aggregating outer object.
    IUnknown* NonDelegatingUnknown() { return &inner_; }
    const std::string& ObjectName() const { return name_; }

    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    // Deletes the object when the count reaches 0.
    ULONG NonDelegatingRelease() override;

protected:
    ULONG referenceCount() const { return refs_.load(); }

private:
    // The IUnknown that forwards to the non-delegating methods.
    class NonDelegatingAdapter final : public IUnknown {
    public:
        explicit NonDelegatingAdapter(CUnknown& self) : self_(self) {}
        HRESULT QueryInterface(REFIID riid, void** ppv) override {
            return self_.NonDelegatingQueryInterface(riid, ppv);
        }
        ULONG AddRef() override { return self_.NonDelegatingAddRef(); }
        ULONG Release() override { return self_.NonDelegatingRelease(); }

    private:
        CUnknown& self_;
    };

    std::string name_;
    NonDelegatingAdapter inner_{*this};
    IUnknown* owner_;
    std::atomic<ULONG> refs_{0};
};

// The module's live objects and server locks, for DllCanUnloadNow. Each shared object that links
// this library keeps its own count.
long moduleObjectCount();
long moduleLockCount();
void moduleLock(bool lock);
bool moduleCanUnload();

} // namespace platform::com

// Declares the three IUnknown methods of a class derived from CUnknown and one or more interfaces:
// they go to the owner.
#define KES_DECLARE_IUNKNOWN                                                                                 \
    ::platform::com::HRESULT QueryInterface(::platform::com::REFIID riid, void** ppv) override {             \
        return GetOwner()->QueryInterface(riid, ppv);                                                        \
    }                                                                                                        \
    ::platform::com::ULONG AddRef() override {                                                               \
        return GetOwner()->AddRef();                                                                         \
    }                                                                                                        \
    ::platform::com::ULONG Release() override {                                                              \
        return GetOwner()->Release();                                                                        \
    }
