#include "platform/com/cunknown.h"

namespace platform::com {

namespace {
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
} // namespace

HRESULT GetInterface(IUnknown* p, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = p;
    if (p)
        p->AddRef();
    return S_OK;
}

CUnknown::CUnknown(const char* objectName, IUnknown* outer)
    : name_(objectName ? objectName : ""), owner_(outer ? outer : &inner_) {
    ++liveObjects;
}

CUnknown::~CUnknown() {
    --liveObjects;
}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown)
        return GetInterface(&inner_, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() {
    return ++refs_;
}

ULONG CUnknown::NonDelegatingRelease() {
    const ULONG left = --refs_;
    if (left == 0) {
        // A destructor that hands out and drops a reference must not delete the object twice.
        refs_ = 1;
        delete this;
    }
    return left;
}

long moduleObjectCount() {
    return liveObjects.load();
}
long moduleLockCount() {
    return serverLocks.load();
}
void moduleLock(bool lock) {
    if (lock)
        ++serverLocks;
    else
        --serverLocks;
}
bool moduleCanUnload() {
    return liveObjects.load() == 0 && serverLocks.load() == 0;
}

} // namespace platform::com
