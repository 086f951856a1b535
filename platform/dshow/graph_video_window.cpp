// The video window of the filter graph manager: every call goes to the first filter of the graph that
// offers IVideoWindow (the video renderer), found at the time of the call, so that a host may take the
// interface before the file is rendered.

#include "platform/dshow/filter_graph.h"

namespace platform::dshow {

ComPtr<IVideoWindow> FilterGraph::videoWindow() {
    std::lock_guard lock(lock_);
    for (const Member& member : members_) {
        ComPtr<IVideoWindow> window;
        if (SUCCEEDED(member.filter->QueryInterface(IID_IVideoWindow, window.putVoid())) && window)
            return window;
    }
    return {};
}

#define KES_FORWARD_VIDEO_WINDOW(call)                                                                       \
    do {                                                                                                     \
        const auto window = videoWindow();                                                                   \
        return window ? window->call : VFW_E_NO_VIDEO_WINDOW;                                                \
    } while (false)

HRESULT FilterGraph::put_Caption(const char* caption) {
    KES_FORWARD_VIDEO_WINDOW(put_Caption(caption));
}
HRESULT FilterGraph::put_Left(LONG left) {
    KES_FORWARD_VIDEO_WINDOW(put_Left(left));
}
HRESULT FilterGraph::get_Left(LONG* left) {
    KES_FORWARD_VIDEO_WINDOW(get_Left(left));
}
HRESULT FilterGraph::put_Top(LONG top) {
    KES_FORWARD_VIDEO_WINDOW(put_Top(top));
}
HRESULT FilterGraph::get_Top(LONG* top) {
    KES_FORWARD_VIDEO_WINDOW(get_Top(top));
}
HRESULT FilterGraph::put_Width(LONG width) {
    KES_FORWARD_VIDEO_WINDOW(put_Width(width));
}
HRESULT FilterGraph::get_Width(LONG* width) {
    KES_FORWARD_VIDEO_WINDOW(get_Width(width));
}
HRESULT FilterGraph::put_Height(LONG height) {
    KES_FORWARD_VIDEO_WINDOW(put_Height(height));
}
HRESULT FilterGraph::get_Height(LONG* height) {
    KES_FORWARD_VIDEO_WINDOW(get_Height(height));
}
HRESULT FilterGraph::put_Visible(OABOOL visible) {
    KES_FORWARD_VIDEO_WINDOW(put_Visible(visible));
}
HRESULT FilterGraph::get_Visible(OABOOL* visible) {
    KES_FORWARD_VIDEO_WINDOW(get_Visible(visible));
}
HRESULT FilterGraph::put_FullScreenMode(OABOOL on) {
    KES_FORWARD_VIDEO_WINDOW(put_FullScreenMode(on));
}
HRESULT FilterGraph::get_FullScreenMode(OABOOL* on) {
    KES_FORWARD_VIDEO_WINDOW(get_FullScreenMode(on));
}
HRESULT FilterGraph::put_MessageDrain(OAHWND drain) {
    KES_FORWARD_VIDEO_WINDOW(put_MessageDrain(drain));
}
HRESULT FilterGraph::get_MessageDrain(OAHWND* drain) {
    KES_FORWARD_VIDEO_WINDOW(get_MessageDrain(drain));
}
HRESULT FilterGraph::SetWindowForeground(LONG focus) {
    KES_FORWARD_VIDEO_WINDOW(SetWindowForeground(focus));
}

#undef KES_FORWARD_VIDEO_WINDOW

} // namespace platform::dshow
