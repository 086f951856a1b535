#include "platform/dshow/graph_topology.h"

#include "platform/dshow/guids.h"

#include <algorithm>
#include <deque>

namespace platform::dshow::graph {

namespace {

// A filter whose pins keep changing while they are walked is walked at most this often.
constexpr int kPinWalkAttempts = 4;
// How far upstream the search for a seeking filter goes.
constexpr int kSeekSearchDepth = 16;

std::vector<IBaseFilter*> downstreamOf(IBaseFilter* filter) {
    std::vector<IBaseFilter*> found;
    for (const auto& pin : pinsOf(filter, PINDIR_OUTPUT)) {
        const ComPtr<IPin> peer = peerOf(pin.get());
        if (!peer)
            continue;
        const ComPtr<IBaseFilter> next = filterOf(peer.get());
        if (next)
            found.push_back(next.get()); // kept alive by its graph
    }
    return found;
}

ComPtr<IMediaSeeking> seekingOf(IUnknown* object) {
    ComPtr<IMediaSeeking> seeking;
    if (object && SUCCEEDED(object->QueryInterface(IID_IMediaSeeking, seeking.putVoid())) && seeking)
        return seeking;
    return {};
}

} // namespace

const void* identityOf(IUnknown* object) {
    if (!object)
        return nullptr;
    IUnknown* unknown = nullptr;
    if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))) || !unknown)
        return object;
    const void* identity = unknown;
    unknown->Release();
    return identity;
}

bool sameObject(IUnknown* a, IUnknown* b) {
    return a && b && identityOf(a) == identityOf(b);
}

std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> pins;
    if (!filter)
        return pins;
    ComPtr<IEnumPins> walker;
    if (FAILED(filter->EnumPins(walker.put())) || !walker)
        return pins;
    for (int attempt = 0; attempt < kPinWalkAttempts; ++attempt) {
        pins.clear();
        bool outOfSync = false;
        for (;;) {
            IPin* pin = nullptr;
            ULONG fetched = 0;
            const HRESULT hr = walker->Next(1, &pin, &fetched);
            if (hr == VFW_E_ENUM_OUT_OF_SYNC) {
                outOfSync = true;
                break;
            }
            if (hr != S_OK || fetched != 1 || !pin)
                break;
            pins.push_back(ComPtr<IPin>::adopt(pin));
        }
        if (!outOfSync)
            return pins;
        walker->Reset();
    }
    return pins;
}

bool hasDirection(IPin* pin, PIN_DIRECTION direction) {
    PIN_DIRECTION actual = PINDIR_INPUT;
    return pin && SUCCEEDED(pin->QueryDirection(&actual)) && actual == direction;
}

std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter, PIN_DIRECTION direction) {
    std::vector<ComPtr<IPin>> pins = pinsOf(filter);
    std::erase_if(pins, [direction](const ComPtr<IPin>& pin) { return !hasDirection(pin.get(), direction); });
    return pins;
}

ComPtr<IPin> peerOf(IPin* pin) {
    IPin* peer = nullptr;
    if (!pin || FAILED(pin->ConnectedTo(&peer)) || !peer)
        return {};
    return ComPtr<IPin>::adopt(peer);
}

ComPtr<IBaseFilter> filterOf(IPin* pin) {
    PIN_INFO info{};
    if (!pin || FAILED(pin->QueryPinInfo(&info)))
        return {};
    return ComPtr<IBaseFilter>::adopt(info.pFilter);
}

bool isPullConnection(IPin* out) {
    ComPtr<IAsyncReader> reader;
    return out && SUCCEEDED(out->QueryInterface(IID_IAsyncReader, reader.putVoid())) && reader;
}

bool isRenderer(IBaseFilter* filter) {
    bool connectedInput = false;
    bool hasOutput = false;
    for (const auto& pin : pinsOf(filter)) {
        if (hasDirection(pin.get(), PINDIR_OUTPUT))
            hasOutput = true;
        else if (peerOf(pin.get()))
            connectedInput = true;
    }
    if (!connectedInput)
        return false;
    if (!hasOutput)
        return true;
    ComPtr<IAMFilterMiscFlags> flags;
    return SUCCEEDED(filter->QueryInterface(IID_IAMFilterMiscFlags, flags.putVoid())) && flags &&
           (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) != 0;
}

FilterList startOrder(const FilterList& filters) {
    const size_t count = filters.size();
    std::vector<const void*> ids(count);
    for (size_t i = 0; i < count; ++i)
        ids[i] = identityOf(filters[i].get());
    const auto indexOf = [&](IUnknown* object) {
        const void* id = identityOf(object);
        const auto it = std::find(ids.begin(), ids.end(), id);
        return it == ids.end() ? count : static_cast<size_t>(it - ids.begin());
    };

    // after[a] lists the filters that must start after a; waiting[b] counts what b still waits for.
    std::vector<std::vector<size_t>> after(count);
    std::vector<size_t> waiting(count, 0);
    for (size_t i = 0; i < count; ++i) {
        for (const auto& pin : pinsOf(filters[i].get(), PINDIR_OUTPUT)) {
            const ComPtr<IPin> peer = peerOf(pin.get());
            const size_t j = peer ? indexOf(filterOf(peer.get()).get()) : count;
            if (j == count || j == i)
                continue;
            // Pull: the reader (i) starts before the puller (j). Push: the receiver (j) before the sender.
            const auto [first, second] = isPullConnection(pin.get()) ? std::pair{i, j} : std::pair{j, i};
            after[first].push_back(second);
            ++waiting[second];
        }
    }

    FilterList order;
    std::vector<bool> placed(count, false);
    while (order.size() < count) {
        size_t next = count;
        for (size_t i = 0; i < count && next == count; ++i)
            if (!placed[i] && waiting[i] == 0)
                next = i;
        if (next == count) // a loop of connections: the rest in list order
            for (size_t i = 0; i < count && next == count; ++i)
                if (!placed[i])
                    next = i;
        placed[next] = true;
        order.push_back(filters[next]);
        for (size_t later : after[next])
            if (waiting[later] > 0)
                --waiting[later];
    }
    return order;
}

bool reaches(IBaseFilter* from, IBaseFilter* to) {
    if (!from || !to)
        return false;
    const void* target = identityOf(to);
    std::vector<const void*> seen;
    std::deque<ComPtr<IBaseFilter>> queue{ComPtr<IBaseFilter>(from)};
    while (!queue.empty()) {
        const ComPtr<IBaseFilter> filter = queue.front();
        queue.pop_front();
        const void* id = identityOf(filter.get());
        if (id == target)
            return true;
        if (std::find(seen.begin(), seen.end(), id) != seen.end())
            continue;
        seen.push_back(id);
        for (IBaseFilter* next : downstreamOf(filter.get()))
            queue.emplace_back(next);
    }
    return false;
}

ComPtr<IMediaSeeking> findSeeker(const FilterList& filters) {
    for (const auto& renderer : filters) {
        if (!isRenderer(renderer.get()))
            continue;
        if (auto seeking = seekingOf(renderer.get()))
            return seeking;
        ComPtr<IBaseFilter> current = renderer;
        for (int depth = 0; current && depth < kSeekSearchDepth; ++depth) {
            ComPtr<IBaseFilter> upstream;
            for (const auto& in : pinsOf(current.get(), PINDIR_INPUT)) {
                const ComPtr<IPin> out = peerOf(in.get());
                if (!out)
                    continue;
                if (auto seeking = seekingOf(out.get()))
                    return seeking;
                upstream = filterOf(out.get());
                if (auto seeking = seekingOf(upstream.get()))
                    return seeking;
                break; // one path upstream is enough: every stream leads to the same source
            }
            current = upstream;
        }
    }
    return {};
}

} // namespace platform::dshow::graph
