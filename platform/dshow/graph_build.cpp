// Intelligent connection and rendering of the filter graph manager.

#include "platform/dshow/filter_graph.h"

#include "platform/com/co_create.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filter_registration.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/media_type.h"

#include <algorithm>
#include <cctype>

namespace platform::dshow {

namespace {

// How many filters deep Render goes before it gives up on a branch.
constexpr int kMaxRenderDepth = 6;
// How many of an output pin's media types are looked at to choose candidate filters.
constexpr int kMaxOfferedTypes = 64;

constexpr std::string_view kWavExtension = "wav";
constexpr std::string_view kAviExtension = "avi";

std::vector<CMediaType> offeredTypes(IPin* out) {
    std::vector<CMediaType> types;
    ComPtr<IEnumMediaTypes> walker;
    if (FAILED(out->EnumMediaTypes(walker.put())) || !walker)
        return types;
    for (int i = 0; i < kMaxOfferedTypes; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        ULONG fetched = 0;
        if (walker->Next(1, &type, &fetched) != S_OK || fetched != 1 || !type)
            break;
        types.emplace_back(*type);
        DeleteMediaType(type);
    }
    return types;
}

bool matches(const RegisteredPinType& registered, const CMediaType& offered) {
    return (registered.major == GUID_NULL || registered.major == offered.majortype) &&
           (registered.minor == GUID_NULL || registered.minor == offered.subtype);
}

// Whether a registered filter may take one of the offered types on an input pin. Filters that
// register no input pin, or an input pin without types, are tried: their pins are known only once made.
bool mayAccept(const RegisteredFilter& filter, const std::vector<CMediaType>& offered) {
    if (offered.empty())
        return true;
    bool anyInput = false;
    for (const RegisteredPin& pin : filter.pins) {
        if (pin.output)
            continue;
        anyInput = true;
        if (pin.types.empty())
            return true;
        for (const RegisteredPinType& type : pin.types)
            for (const CMediaType& candidate : offered)
                if (matches(type, candidate))
                    return true;
    }
    return !anyInput && filter.pins.empty();
}

std::vector<RegisteredFilter> candidatesFor(IPin* out) {
    const std::vector<CMediaType> offered = offeredTypes(out);
    std::vector<RegisteredFilter> candidates = registeredFilters();
    std::erase_if(candidates, [&](const RegisteredFilter& filter) {
        return filter.merit <= MERIT_DO_NOT_USE || !mayAccept(filter, offered);
    });
    return candidates;
}

std::vector<ComPtr<IPin>> freePins(IBaseFilter* filter, PIN_DIRECTION direction) {
    std::vector<ComPtr<IPin>> pins = graph::pinsOf(filter, direction);
    std::erase_if(pins, [](const ComPtr<IPin>& pin) { return static_cast<bool>(graph::peerOf(pin.get())); });
    return pins;
}

bool hasExtension(LPCOLESTR file, std::string_view wanted) {
    const std::string path = bytesFromWide(wideView(file));
    const size_t name = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name))
        return false;
    const std::string extension = path.substr(dot + 1);
    return std::equal(extension.begin(), extension.end(), wanted.begin(), wanted.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

} // namespace

ComPtr<IBaseFilter> FilterGraph::createRegistered(const CLSID& clsid, const std::string& name,
                                                  Journal& journal) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.putVoid())) ||
        !filter)
        return {};
    if (FAILED(addMember(filter.get(), wideFromBytes(name).c_str())))
        return {};
    journal.filters.push_back(filter);
    return filter;
}

HRESULT FilterGraph::connectThroughRegistered(IPin* out, IPin* in, Journal& journal) {
    for (const RegisteredFilter& candidate : candidatesFor(out)) {
        if (abort_)
            return E_ABORT;
        const JournalMark mark = markOf(journal);
        const ComPtr<IBaseFilter> between = createRegistered(candidate.clsid, candidate.name, journal);
        if (!between)
            continue;
        for (const auto& input : freePins(between.get(), PINDIR_INPUT)) {
            if (FAILED(connectPins(out, input.get(), nullptr, &journal)))
                continue;
            // Output pins may appear only once the input is connected: look now.
            for (const auto& output : freePins(between.get(), PINDIR_OUTPUT))
                if (SUCCEEDED(connectPins(output.get(), in, nullptr, &journal)))
                    return S_OK;
            break;
        }
        rollBack(journal, mark);
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in) {
    std::lock_guard lock(lock_);
    HRESULT hr = checkPins(out, in);
    if (FAILED(hr))
        return hr;
    abort_ = false;
    hr = connectPins(out, in, nullptr, nullptr);
    if (SUCCEEDED(hr))
        return hr;
    if (graph::peerOf(out) || graph::peerOf(in))
        return VFW_E_ALREADY_CONNECTED;
    Journal journal;
    hr = connectThroughRegistered(out, in, journal);
    if (FAILED(hr))
        rollBack(journal, {0, 0});
    return hr;
}

HRESULT FilterGraph::tryRenderInto(IPin* out, IBaseFilter* filter, int depth, Journal& journal) {
    for (const auto& input : freePins(filter, PINDIR_INPUT)) {
        const JournalMark mark = markOf(journal);
        if (FAILED(connectPins(out, input.get(), nullptr, &journal)))
            continue;
        const HRESULT hr = renderFrom(filter, depth, journal);
        if (SUCCEEDED(hr))
            return hr;
        rollBack(journal, mark);
    }
    return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::renderFrom(IBaseFilter* filter, int depth, Journal& journal) {
    const std::vector<ComPtr<IPin>> outputs = graph::pinsOf(filter, PINDIR_OUTPUT);
    if (outputs.empty())
        return S_OK; // a renderer: the stream ends here
    int rendered = 0;
    bool partial = false;
    for (const auto& output : outputs) {
        if (graph::peerOf(output.get())) {
            ++rendered; // already leads on
            continue;
        }
        const HRESULT hr = renderPin(output.get(), depth + 1, journal);
        if (SUCCEEDED(hr))
            ++rendered;
        if (hr != S_OK)
            partial = true;
    }
    if (rendered == 0)
        return VFW_E_CANNOT_RENDER;
    return partial ? VFW_S_PARTIAL_RENDER : S_OK;
}

HRESULT FilterGraph::renderPin(IPin* out, int depth, Journal& journal) {
    if (depth > kMaxRenderDepth)
        return VFW_E_CANNOT_RENDER;
    if (abort_)
        return E_ABORT;
    const ComPtr<IBaseFilter> owner = graph::filterOf(out);
    // Filters already in the graph first, except those the pin's stream comes from.
    for (const auto& filter : memberFilters()) {
        if (graph::reaches(filter.get(), owner.get()))
            continue;
        const HRESULT hr = tryRenderInto(out, filter.get(), depth, journal);
        if (SUCCEEDED(hr))
            return hr;
    }
    for (const RegisteredFilter& candidate : candidatesFor(out)) {
        if (abort_)
            return E_ABORT;
        const JournalMark mark = markOf(journal);
        const ComPtr<IBaseFilter> filter = createRegistered(candidate.clsid, candidate.name, journal);
        if (!filter)
            continue;
        const HRESULT hr = tryRenderInto(out, filter.get(), depth, journal);
        if (SUCCEEDED(hr))
            return hr;
        rollBack(journal, mark);
    }
    return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::Render(IPin* out) {
    if (!out)
        return E_POINTER;
    std::lock_guard lock(lock_);
    if (!inGraph(out))
        return VFW_E_NOT_IN_GRAPH;
    if (!graph::hasDirection(out, PINDIR_OUTPUT))
        return VFW_E_INVALID_DIRECTION;
    if (state_ != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (graph::peerOf(out))
        return VFW_E_ALREADY_CONNECTED;
    abort_ = false;
    Journal journal;
    const HRESULT hr = renderPin(out, 0, journal);
    if (FAILED(hr))
        rollBack(journal, {0, 0});
    return hr;
}

HRESULT FilterGraph::addSource(LPCOLESTR file, LPCOLESTR filterName, ComPtr<IBaseFilter>& source,
                               Journal& journal) {
    CLSID sourceClass;
    if (hasExtension(file, kWavExtension))
        sourceClass = CLSID_WavFileSource;
    else if (hasExtension(file, kAviExtension))
        sourceClass = CLSID_AviSplitter;
    else
        return VFW_E_UNKNOWN_FILE_TYPE;
    ComPtr<IBaseFilter> filter;
    HRESULT hr =
        CoCreateInstance(sourceClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.putVoid());
    if (FAILED(hr) || !filter)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    ComPtr<IFileSourceFilter> loader;
    hr = filter.as(IID_IFileSourceFilter, loader);
    if (FAILED(hr) || !loader)
        return E_NOINTERFACE;
    hr = loader->Load(file, nullptr);
    if (FAILED(hr))
        return hr;
    // A source is named after its file, as far as a name may go.
    hr = addMember(filter.get(), filterName ? filterName : file);
    if (FAILED(hr))
        return hr;
    journal.filters.push_back(filter);
    source = filter;
    return S_OK;
}

HRESULT FilterGraph::AddSourceFilter(LPCOLESTR file, LPCOLESTR filterName, IBaseFilter** filter) {
    if (!file || !filter)
        return E_POINTER;
    *filter = nullptr;
    std::lock_guard lock(lock_);
    Journal journal;
    ComPtr<IBaseFilter> source;
    const HRESULT hr = addSource(file, filterName, source, journal);
    if (FAILED(hr))
        return hr;
    *filter = source.detach();
    return S_OK;
}

HRESULT FilterGraph::RenderFile(LPCOLESTR file, LPCOLESTR) {
    if (!file)
        return E_POINTER;
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped)
        return VFW_E_NOT_STOPPED;
    abort_ = false;
    Journal journal;
    ComPtr<IBaseFilter> source;
    HRESULT hr = addSource(file, nullptr, source, journal);
    if (FAILED(hr)) {
        rollBack(journal, {0, 0});
        return hr;
    }
    int rendered = 0;
    bool partial = false;
    for (const auto& output : graph::pinsOf(source.get(), PINDIR_OUTPUT)) {
        hr = renderPin(output.get(), 0, journal);
        if (SUCCEEDED(hr))
            ++rendered;
        if (hr != S_OK)
            partial = true;
    }
    if (rendered == 0) {
        rollBack(journal, {0, 0});
        return VFW_E_CANNOT_RENDER;
    }
    return partial ? VFW_S_PARTIAL_RENDER : S_OK;
}

} // namespace platform::dshow
