#include "platform/dshow/filter_graph.h"

#include "platform/com/class_factory.h"
#include "platform/com/class_registry.h"
#include "platform/com/co_create.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/filter_registration.h"
#include "platform/dshow/graph_enum_filters.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/media_type.h"

#include <algorithm>
#include <cstdio>

namespace platform::dshow {

namespace {

// Names made unique get " 0001" ... " 9999" appended.
constexpr int kMaxNameSuffix = 9999;
constexpr size_t kNameSuffixLength = 5;
constexpr char16_t kUnnamedFilter[] = u"Filter";

} // namespace

void registerFilterGraph() {
    registerBuiltinClass(CLSID_FilterGraph, [] {
        auto* factory = new ClassFactory(&FilterGraph::CreateInstance);
        factory->NonDelegatingAddRef();
        return static_cast<IClassFactory*>(factory);
    });
}

FilterGraph::FilterGraph(IUnknown* outer) : CUnknown("filter graph", outer) {}

FilterGraph::~FilterGraph() {
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped)
        stopFilters();
    for (const Member& member : members_)
        disconnectAll(member.filter.get());
    for (const Member& member : members_)
        member.filter->JoinFilterGraph(nullptr, nullptr);
    connections_.clear();
    order_.clear();
    members_.clear();
}

CUnknown* FilterGraph::CreateInstance(IUnknown* outer, HRESULT* hr) {
    if (hr)
        *hr = S_OK;
    return new FilterGraph(outer);
}

HRESULT FilterGraph::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IGraphBuilder)
        return GetInterface(static_cast<IGraphBuilder*>(this), ppv);
    if (riid == IID_IFilterGraph)
        return GetInterface(static_cast<IFilterGraph*>(static_cast<IGraphBuilder*>(this)), ppv);
    if (riid == IID_IMediaControl)
        return GetInterface(static_cast<IMediaControl*>(this), ppv);
    if (riid == IID_IMediaEventEx)
        return GetInterface(static_cast<IMediaEventEx*>(this), ppv);
    if (riid == IID_IMediaEvent)
        return GetInterface(static_cast<IMediaEvent*>(static_cast<IMediaEventEx*>(this)), ppv);
    if (riid == IID_IMediaEventSink)
        return GetInterface(static_cast<IMediaEventSink*>(this), ppv);
    if (riid == IID_IMediaPosition)
        return GetInterface(static_cast<IMediaPosition*>(this), ppv);
    if (riid == IID_IMediaSeeking)
        return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
    if (riid == IID_IVideoWindow)
        return GetInterface(static_cast<IVideoWindow*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

// ---- Membership ---------------------------------------------------------------------------------

FilterGraph::Member* FilterGraph::findMember(IUnknown* filter) {
    if (!filter)
        return nullptr;
    const void* id = graph::identityOf(filter);
    for (Member& member : members_)
        if (graph::identityOf(member.filter.get()) == id)
            return &member;
    return nullptr;
}

bool FilterGraph::inGraph(IPin* pin) {
    const ComPtr<IBaseFilter> owner = graph::filterOf(pin);
    return owner && findMember(owner.get());
}

graph::FilterList FilterGraph::memberFilters() const {
    graph::FilterList filters;
    for (const Member& member : members_)
        filters.push_back(member.filter);
    return filters;
}

std::u16string FilterGraph::defaultName(IBaseFilter* filter) {
    CLSID clsid{};
    if (SUCCEEDED(filter->GetClassID(&clsid)) && clsid != GUID_NULL) {
        if (const auto registered = findRegisteredFilter(clsid); registered && !registered->name.empty())
            return wideFromBytes(registered->name);
        if (const auto server = findClassRegistration(clsid); server && !server->name.empty())
            return wideFromBytes(server->name);
    }
    return kUnnamedFilter;
}

std::u16string FilterGraph::uniqueName(std::u16string wanted) {
    if (wanted.size() > MAX_FILTER_NAME - 1)
        wanted.resize(MAX_FILTER_NAME - 1);
    const auto taken = [this](const std::u16string& name) {
        return std::any_of(members_.begin(), members_.end(), [&](const Member& m) { return m.name == name; });
    };
    if (!taken(wanted))
        return wanted;
    std::u16string stem = wanted.substr(0, MAX_FILTER_NAME - 1 - kNameSuffixLength);
    for (int n = 1; n <= kMaxNameSuffix; ++n) {
        char suffix[kNameSuffixLength + 1];
        std::snprintf(suffix, sizeof suffix, " %04d", n);
        const std::u16string candidate = stem + wideFromBytes(suffix);
        if (!taken(candidate))
            return candidate;
    }
    return {};
}

HRESULT FilterGraph::addMember(IBaseFilter* filter, LPCOLESTR name) {
    if (findMember(filter))
        return E_INVALIDARG;
    ComPtr<IBaseFilter> canonical;
    if (FAILED(filter->QueryInterface(IID_IBaseFilter, canonical.putVoid())) || !canonical)
        canonical = ComPtr<IBaseFilter>(filter);
    const std::u16string given =
        name ? std::u16string(wideView(name, MAX_FILTER_NAME - 1)) : std::u16string();
    const std::u16string unique = uniqueName(given.empty() ? defaultName(canonical.get()) : given);
    if (unique.empty())
        return E_FAIL;
    const HRESULT hr = canonical->JoinFilterGraph(static_cast<IGraphBuilder*>(this), unique.c_str());
    if (FAILED(hr))
        return hr;
    members_.push_back({canonical, unique});
    return !given.empty() && unique != given ? VFW_S_DUPLICATE_NAME : S_OK;
}

void FilterGraph::removeMember(IBaseFilter* filter) {
    Member* member = findMember(filter);
    if (!member)
        return;
    const ComPtr<IBaseFilter> held = member->filter; // alive until the end of this call
    disconnectAll(held.get());
    forgetConnections(held.get());
    held->JoinFilterGraph(nullptr, nullptr);
    const void* id = graph::identityOf(held.get());
    std::erase_if(members_, [id](const Member& m) { return graph::identityOf(m.filter.get()) == id; });
    std::erase_if(order_, [id](const ComPtr<IBaseFilter>& f) { return graph::identityOf(f.get()) == id; });
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCOLESTR name) {
    if (!filter)
        return E_POINTER;
    std::lock_guard lock(lock_);
    return addMember(filter, name);
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
    if (!filter)
        return E_POINTER;
    std::lock_guard lock(lock_);
    if (!findMember(filter))
        return VFW_E_NOT_FOUND;
    if (state_ != State_Stopped)
        return VFW_E_NOT_STOPPED;
    removeMember(filter);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) {
    if (!filters)
        return E_POINTER;
    std::lock_guard lock(lock_);
    *filters = graph::FilterEnumerator::create(memberFilters());
    return S_OK;
}

HRESULT FilterGraph::FindFilterByName(LPCOLESTR name, IBaseFilter** filter) {
    if (!name || !filter)
        return E_POINTER;
    *filter = nullptr;
    std::lock_guard lock(lock_);
    const std::u16string_view wanted = wideView(name);
    for (const Member& member : members_) {
        if (member.name == wanted) {
            *filter = member.filter.get();
            (*filter)->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

// ---- Connections --------------------------------------------------------------------------------

HRESULT FilterGraph::checkPins(IPin* out, IPin* in) {
    if (!out || !in)
        return E_POINTER;
    if (!inGraph(out) || !inGraph(in))
        return VFW_E_NOT_IN_GRAPH;
    if (!graph::hasDirection(out, PINDIR_OUTPUT) || !graph::hasDirection(in, PINDIR_INPUT))
        return VFW_E_INVALID_DIRECTION;
    if (state_ != State_Stopped)
        return VFW_E_NOT_STOPPED;
    return S_OK;
}

HRESULT FilterGraph::connectPins(IPin* out, IPin* in, const AM_MEDIA_TYPE* type, Journal* journal) {
    const HRESULT hr = out->Connect(in, type);
    if (SUCCEEDED(hr)) {
        PinPair pair{ComPtr<IPin>(out), ComPtr<IPin>(in)};
        connections_.push_back(pair);
        if (journal)
            journal->connections.push_back(pair);
    }
    return hr;
}

void FilterGraph::disconnectPair(IPin* out, IPin* in) {
    if (const ComPtr<IPin> peer = graph::peerOf(out); peer && graph::sameObject(peer.get(), in))
        out->Disconnect();
    if (const ComPtr<IPin> peer = graph::peerOf(in); peer && graph::sameObject(peer.get(), out))
        in->Disconnect();
}

void FilterGraph::disconnectAll(IBaseFilter* filter) {
    // The connections the graph made first: a filter may hide a connected pin (a source without a
    // file shows no pin), and both sides must let go of each other.
    for (const PinPair& pair : connections_) {
        const ComPtr<IBaseFilter> outOwner = graph::filterOf(pair.first.get());
        const ComPtr<IBaseFilter> inOwner = graph::filterOf(pair.second.get());
        if (graph::sameObject(outOwner.get(), filter) || graph::sameObject(inOwner.get(), filter))
            disconnectPair(pair.first.get(), pair.second.get());
    }
    for (const auto& pin : graph::pinsOf(filter)) {
        if (const ComPtr<IPin> peer = graph::peerOf(pin.get())) {
            peer->Disconnect();
            pin->Disconnect();
        }
    }
}

void FilterGraph::forgetConnections(IBaseFilter* filter) {
    std::erase_if(connections_, [filter](const PinPair& pair) {
        return graph::sameObject(graph::filterOf(pair.first.get()).get(), filter) ||
               graph::sameObject(graph::filterOf(pair.second.get()).get(), filter);
    });
}

void FilterGraph::rollBack(Journal& journal, JournalMark mark) {
    while (journal.connections.size() > mark.connections) {
        const PinPair pair = journal.connections.back();
        journal.connections.pop_back();
        disconnectPair(pair.first.get(), pair.second.get());
        std::erase_if(connections_, [&](const PinPair& p) {
            return p.first.get() == pair.first.get() && p.second.get() == pair.second.get();
        });
    }
    while (journal.filters.size() > mark.filters) {
        const ComPtr<IBaseFilter> filter = journal.filters.back();
        journal.filters.pop_back();
        removeMember(filter.get());
    }
}

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) {
    std::lock_guard lock(lock_);
    const HRESULT hr = checkPins(out, in);
    if (FAILED(hr))
        return hr;
    return connectPins(out, in, type, nullptr);
}

HRESULT FilterGraph::Reconnect(IPin* pin) {
    if (!pin)
        return E_POINTER;
    std::lock_guard lock(lock_);
    const ComPtr<IPin> peer = graph::peerOf(pin);
    if (!peer)
        return VFW_E_NOT_CONNECTED;
    IPin* out = graph::hasDirection(pin, PINDIR_OUTPUT) ? pin : peer.get();
    IPin* in = out == pin ? peer.get() : pin;
    HRESULT hr = checkPins(out, in);
    if (FAILED(hr))
        return hr;
    CMediaType type;
    const bool haveType = SUCCEEDED(out->ConnectionMediaType(&type));
    const ComPtr<IPin> keepOut(out), keepIn(in);
    disconnectPair(out, in);
    hr = out->Connect(in, haveType ? &type : nullptr);
    if (FAILED(hr) && haveType)
        hr = out->Connect(in, nullptr);
    return hr;
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
    if (!pin)
        return E_POINTER;
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped)
        return VFW_E_NOT_STOPPED;
    return pin->Disconnect();
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    return S_OK; // filters pace themselves; there is no clock to hand out
}

HRESULT FilterGraph::Abort() {
    abort_ = true;
    return S_OK;
}

HRESULT FilterGraph::ShouldOperationContinue() {
    return abort_ ? E_ABORT : S_OK;
}

// ---- Events -------------------------------------------------------------------------------------

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    events_.notify(code, param1, param2);
    return S_OK;
}

HRESULT FilterGraph::GetEventHandle(OAEVENT* handle) {
    if (!handle)
        return E_POINTER;
    *handle = reinterpret_cast<OAEVENT>(events_.readyEvent());
    return S_OK;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) {
    return events_.get(code, param1, param2, timeoutMs);
}

HRESULT FilterGraph::WaitForCompletion(LONG timeoutMs, LONG* code) {
    return events_.waitForCompletion(timeoutMs, code);
}

HRESULT FilterGraph::CancelDefaultHandling(LONG code) {
    return events_.cancelDefaultHandling(code);
}

HRESULT FilterGraph::RestoreDefaultHandling(LONG code) {
    return events_.restoreDefaultHandling(code);
}

HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) {
    return S_OK; // no event carries anything to free
}

HRESULT FilterGraph::SetNotifyWindow(OAHWND window, LONG, LONG_PTR) {
    return window == 0 ? S_OK : E_NOTIMPL;
}

HRESULT FilterGraph::SetNotifyFlags(LONG flags) {
    if (flags & ~AM_MEDIAEVENT_NONOTIFY)
        return E_INVALIDARG;
    events_.setFlags(flags);
    return S_OK;
}

HRESULT FilterGraph::GetNotifyFlags(LONG* flags) {
    if (!flags)
        return E_POINTER;
    *flags = events_.flags();
    return S_OK;
}

} // namespace platform::dshow
