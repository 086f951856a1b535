#pragma once

// The enumerator of a graph's filters: a snapshot of the filters taken when it was made, each held
// with a reference, so that it stays valid whatever the graph does meanwhile.

#include "platform/com/com_ptr.h"
#include "platform/com/cunknown.h"
#include "platform/dshow/filter_interfaces.h"

#include <vector>

namespace platform::dshow::graph {

class FilterEnumerator final : public CUnknown, public IEnumFilters {
public:
    explicit FilterEnumerator(std::vector<ComPtr<IBaseFilter>> filters, size_t position = 0);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumFilters** copy) override;

    // A new enumerator with one reference, as an interface pointer.
    static IEnumFilters* create(std::vector<ComPtr<IBaseFilter>> filters);

private:
    std::vector<ComPtr<IBaseFilter>> filters_;
    size_t position_;
};

} // namespace platform::dshow::graph
