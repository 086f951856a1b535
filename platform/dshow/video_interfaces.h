#pragma once

// The video window of a video renderer, as a host drives it through the graph: caption, place, size,
// visibility, full screen, and the window that receives the keys typed into it (its message drain).
// Window handles (OAHWND) are the host toolkit's widget pointers; 0 is no window.

#include "platform/dshow/graph_interfaces.h"

namespace platform::dshow {

using OABOOL = LONG;
inline constexpr OABOOL OATRUE = -1;
inline constexpr OABOOL OAFALSE = 0;

inline constexpr IID IID_IVideoWindow = makeGuid("{56A868B4-0AD4-11CE-B03A-0020AF0BA770}");

// Result of a video window call when the graph holds no video renderer.
inline constexpr HRESULT VFW_E_NO_VIDEO_WINDOW = E_NOINTERFACE;

struct IVideoWindow : IUnknown {
    // UTF-8 text.
    virtual HRESULT put_Caption(const char* caption) = 0;
    virtual HRESULT put_Left(LONG left) = 0;
    virtual HRESULT get_Left(LONG* left) = 0;
    virtual HRESULT put_Top(LONG top) = 0;
    virtual HRESULT get_Top(LONG* top) = 0;
    virtual HRESULT put_Width(LONG width) = 0;
    virtual HRESULT get_Width(LONG* width) = 0;
    virtual HRESULT put_Height(LONG height) = 0;
    virtual HRESULT get_Height(LONG* height) = 0;
    virtual HRESULT put_Visible(OABOOL visible) = 0;
    virtual HRESULT get_Visible(OABOOL* visible) = 0;
    virtual HRESULT put_FullScreenMode(OABOOL on) = 0;
    virtual HRESULT get_FullScreenMode(OABOOL* on) = 0;
    // Keys typed into the video window are sent to this window instead (0: none).
    virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
    virtual HRESULT get_MessageDrain(OAHWND* drain) = 0;
    virtual HRESULT SetWindowForeground(LONG focus) = 0;

protected:
    ~IVideoWindow() = default;
};

} // namespace platform::dshow
