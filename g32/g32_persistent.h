#pragma once

// The base classes of the bitmap library: an object with a lock, an update count and a change event,
// and a map with a size and a resize event.

#include "platform/gdi/critical_section.h"

#include <functional>
#include <stdexcept>

namespace g32 {

using TNotifyEvent = std::function<void()>;

// An assertion failure of the library (a programming error of the caller).
class EAssertionFailed : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class TThreadPersistent {
public:
    TThreadPersistent() = default;
    virtual ~TThreadPersistent() = default;
    TThreadPersistent(const TThreadPersistent&) = delete;
    TThreadPersistent& operator=(const TThreadPersistent&) = delete;

    // Fires OnChange unless an update is open.
    virtual void Changed();
    void BeginUpdate();
    // Closes an update without firing anything; an unpaired call throws EAssertionFailed.
    void EndUpdate();
    void Lock();
    void Unlock();

    int LockCount() const;
    int UpdateCount() const { return FUpdateCount; }

    TNotifyEvent OnChange;

protected:
    platform::gdi::CriticalSection& CriticalSection() { return FLock; }

private:
    platform::gdi::CriticalSection FLock;
    int FLockCount = 0;
    int FUpdateCount = 0;
};

class TCustomMap : public TThreadPersistent {
public:
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // False when the size is already that; else stores it and returns True.
    virtual bool SetSize(int NewWidth, int NewHeight);
    void SetWidth(int NewWidth) { SetSize(NewWidth, FHeight); }
    void SetHeight(int NewHeight) { SetSize(FWidth, NewHeight); }
    virtual void Delete() { SetSize(0, 0); }
    virtual bool GetEmpty() const { return FWidth == 0 || FHeight == 0; }
    bool Empty() const { return GetEmpty(); }

    TNotifyEvent OnResize;

protected:
    // Fires OnResize.
    virtual void SizeChanged();
    void StoreSize(int NewWidth, int NewHeight) {
        FWidth = NewWidth;
        FHeight = NewHeight;
    }

private:
    int FHeight = 0;
    int FWidth = 0;
};

} // namespace g32
