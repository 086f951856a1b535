#include "platform/dshow/graph_enum_filters.h"

#include "platform/dshow/guids.h"

namespace platform::dshow::graph {

FilterEnumerator::FilterEnumerator(std::vector<ComPtr<IBaseFilter>> filters, size_t position)
    : CUnknown("filter enumerator", nullptr), filters_(std::move(filters)),
      position_(std::min(position, filters_.size())) {}

HRESULT FilterEnumerator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IEnumFilters)
        return GetInterface(static_cast<IEnumFilters*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

IEnumFilters* FilterEnumerator::create(std::vector<ComPtr<IBaseFilter>> filters) {
    auto* enumerator = new FilterEnumerator(std::move(filters));
    enumerator->NonDelegatingAddRef();
    return enumerator;
}

HRESULT FilterEnumerator::Next(ULONG count, IBaseFilter** filters, ULONG* fetched) {
    if (!filters)
        return E_POINTER;
    if (fetched)
        *fetched = 0;
    else if (count > 1)
        return E_INVALIDARG;
    ULONG got = 0;
    while (got < count && position_ < filters_.size()) {
        IBaseFilter* filter = filters_[position_++].get();
        filter->AddRef();
        filters[got++] = filter;
    }
    if (fetched)
        *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT FilterEnumerator::Skip(ULONG count) {
    const size_t left = filters_.size() - position_;
    if (count > left) {
        position_ = filters_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT FilterEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT FilterEnumerator::Clone(IEnumFilters** copy) {
    if (!copy)
        return E_POINTER;
    auto* clone = new FilterEnumerator(filters_, position_);
    clone->NonDelegatingAddRef();
    *copy = clone;
    return S_OK;
}

} // namespace platform::dshow::graph
