#pragma once

// A filter graph made through its class identifier, with its control, event and position interfaces.

#include "graph_test_filters.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/guids.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace platform::dshow::graphtest {

class GraphFixture : public ::testing::Test {
protected:
    void SetUp() override {
        registerFilterGraph();
        OpLog::instance().clear();
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   builder.putVoid()),
                  S_OK);
        ASSERT_EQ(builder.as(IID_IMediaControl, control), S_OK);
        ASSERT_EQ(builder.as(IID_IMediaEventEx, events), S_OK);
        ASSERT_EQ(builder.as(IID_IMediaPosition, position), S_OK);
    }
    void TearDown() override {
        if (control)
            control->Stop();
    }

    HRESULT add(const ComPtr<IBaseFilter>& filter, const char16_t* name) {
        return builder->AddFilter(filter.get(), name);
    }

    // The next event's code, or 0 when none came in time.
    LONG nextEvent(LONG timeoutMs, LONG_PTR* param1 = nullptr) {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events->GetEvent(&code, &p1, &p2, timeoutMs) != S_OK)
            return 0;
        events->FreeEventParams(code, p1, p2);
        if (param1)
            *param1 = p1;
        return code;
    }

    size_t filterCount() {
        ComPtr<IEnumFilters> walker;
        EXPECT_EQ(builder->EnumFilters(walker.put()), S_OK);
        size_t count = 0;
        IBaseFilter* filter = nullptr;
        ULONG fetched = 0;
        while (walker && walker->Next(1, &filter, &fetched) == S_OK) {
            filter->Release();
            ++count;
        }
        return count;
    }

    ComPtr<IBaseFilter> byName(const char16_t* name) {
        ComPtr<IBaseFilter> found;
        builder->FindFilterByName(name, found.put());
        return found;
    }

    static bool waitUntil(const std::function<bool()>& done, int seconds = 10) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    static bool connected(IPin* pin) {
        IPin* peer = nullptr;
        if (pin->ConnectedTo(&peer) != S_OK)
            return false;
        peer->Release();
        return true;
    }

    ComPtr<IGraphBuilder> builder;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ComPtr<IMediaPosition> position;
};

} // namespace platform::dshow::graphtest
