#include "g32/g32_persistent.h"

#include <mutex>

namespace g32 {

namespace {

// Guards every object's lock count.
std::mutex& unitLock() {
    static std::mutex lock;
    return lock;
}

constexpr const char* UnpairedEndUpdateText = "Unpaired TThreadPersistent.EndUpdate";

} // namespace

void TThreadPersistent::Changed() {
    if (FUpdateCount == 0 && OnChange)
        OnChange();
}

void TThreadPersistent::BeginUpdate() {
    ++FUpdateCount;
}

void TThreadPersistent::EndUpdate() {
    if (FUpdateCount < 1)
        throw EAssertionFailed(UnpairedEndUpdateText);
    --FUpdateCount;
}

void TThreadPersistent::Lock() {
    {
        const std::lock_guard guard(unitLock());
        ++FLockCount;
    }
    FLock.enter();
}

void TThreadPersistent::Unlock() {
    FLock.leave();
    const std::lock_guard guard(unitLock());
    --FLockCount;
}

int TThreadPersistent::LockCount() const {
    const std::lock_guard guard(unitLock());
    return FLockCount;
}

bool TCustomMap::SetSize(int NewWidth, int NewHeight) {
    if (NewWidth == FWidth && NewHeight == FHeight)
        return false;
    StoreSize(NewWidth, NewHeight);
    return true;
}

void TCustomMap::SizeChanged() {
    if (OnResize)
        OnResize();
}

} // namespace g32
