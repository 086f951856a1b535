// Running and stopping a graph, its events and its position.

#include "graph_fixture.h"

#include <limits>

namespace platform::dshow::graphtest {
namespace {

using Names = std::vector<std::string>;

class GraphControlTest : public GraphFixture {
protected:
    // source -> transform -> renderer, connected directly.
    void buildChain(int samples) {
        sourceFilter = make(&source, "source", kSubtypeA, samples);
        transformFilter = make(&transform, "transform");
        rendererFilter = make(&renderer, "renderer", kSubtypeB);
        ASSERT_EQ(add(sourceFilter, u"source"), S_OK);
        ASSERT_EQ(add(transformFilter, u"transform"), S_OK);
        ASSERT_EQ(add(rendererFilter, u"renderer"), S_OK);
        // Added upstream first: the graph must find the order from the connections, not the list.
        ASSERT_EQ(builder->ConnectDirect(source->pin(), transform->input(), nullptr), S_OK);
        ASSERT_EQ(builder->ConnectDirect(transform->output(), renderer->pin(), nullptr), S_OK);
    }

    TestSource* source = nullptr;
    TestTransform* transform = nullptr;
    TestRenderer* renderer = nullptr;
    ComPtr<IBaseFilter> sourceFilter, transformFilter, rendererFilter;
};

TEST_F(GraphControlTest, RunPausesThenRunsDownstreamFirstAndStopStopsUpstreamFirstOnTheCallersThread) {
    buildChain(5);
    ASSERT_EQ(control->Run(), S_OK);
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    LONG_PTR status = -1;
    ASSERT_EQ(nextEvent(5000, &status), EC_COMPLETE);
    EXPECT_EQ(status, S_OK);
    EXPECT_EQ(renderer->samples, 5);
    EXPECT_EQ(renderer->endOfStreams, 1);
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);

    auto& log = OpLog::instance();
    EXPECT_EQ(log.filtersThat("Pause"), (Names{"renderer", "transform", "source"}));
    EXPECT_EQ(log.filtersThat("Run"), (Names{"renderer", "transform", "source"}));
    EXPECT_EQ(log.filtersThat("Stop"), (Names{"source", "transform", "renderer"}));
    // Each filter is paused and run before the next one upstream starts.
    const auto ops = log.ops();
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops[0].filter + ops[0].op, "rendererPause");
    EXPECT_EQ(ops[1].filter + ops[1].op, "rendererRun");
    for (const Op& op : ops)
        EXPECT_EQ(op.thread, std::this_thread::get_id()) << op.filter << " " << op.op;
}

TEST_F(GraphControlTest, StopReturnsWithEveryThreadGoneAndASecondStopDoesNothing) {
    buildChain(-1); // endless
    const int threadsBefore = threadCount();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(waitUntil([&] { return renderer->samples > 3; }));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_FALSE(source->threadRunning());
    EXPECT_TRUE(threadsBackTo(threadsBefore));
    EXPECT_EQ(source->stops, 1);
    EXPECT_EQ(renderer->stops, 1);
    const int received = renderer->samples;
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(source->stops, 1);
    EXPECT_EQ(renderer->stops, 1);
    EXPECT_EQ(renderer->samples, received);
    // A stop is not the end of the stream, nor an error.
    EXPECT_EQ(nextEvent(0), 0);
    LONG code = -1;
    EXPECT_EQ(events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
}

TEST_F(GraphControlTest, CompletionComesOnceEveryRendererHasEnded) {
    TestSource *quick = nullptr, *slow = nullptr;
    TestRenderer *first = nullptr, *second = nullptr;
    auto quickFilter = make(&quick, "quick", kSubtypeB, 3);
    auto slowFilter = make(&slow, "slow", kSubtypeB, 3);
    auto firstFilter = make(&first, "first", kSubtypeB);
    auto secondFilter = make(&second, "second", kSubtypeB);
    for (const auto& f : {quickFilter, slowFilter, firstFilter, secondFilter})
        ASSERT_EQ(add(f, nullptr), S_OK);
    ASSERT_EQ(builder->ConnectDirect(quick->pin(), first->pin(), nullptr), S_OK);
    ASSERT_EQ(builder->ConnectDirect(slow->pin(), second->pin(), nullptr), S_OK);
    slow->holdBefore(2);

    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(waitUntil([&] { return first->endOfStreams == 1; }));
    ASSERT_TRUE(slow->waitingAtHold(5));
    EXPECT_EQ(nextEvent(50), 0);
    LONG code = -1;
    EXPECT_EQ(events->WaitForCompletion(0, &code), E_ABORT);

    slow->open();
    LONG_PTR status = -1;
    EXPECT_EQ(nextEvent(5000, &status), EC_COMPLETE);
    EXPECT_EQ(status, S_OK);
    EXPECT_EQ(nextEvent(50), 0); // one completion for the whole graph
    EXPECT_EQ(events->WaitForCompletion(0, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
}

TEST_F(GraphControlTest, AStreamingErrorIsPassedOnAndFollowedByACompletionThatCarriesIt) {
    buildChain(5);
    source->failBefore(2);
    ASSERT_EQ(control->Run(), S_OK);
    LONG_PTR status = 0;
    EXPECT_EQ(nextEvent(5000, &status), EC_ERRORABORT);
    EXPECT_EQ(status, E_FAIL);
    EXPECT_EQ(nextEvent(1000, &status), EC_COMPLETE);
    EXPECT_EQ(status, E_FAIL);
    EXPECT_EQ(renderer->samples, 2);
    EXPECT_EQ(renderer->endOfStreams, 0);
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(0, &code), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
}

TEST_F(GraphControlTest, AUserAbortEndsTheRunAndOtherEventsPassAsTheyCome) {
    buildChain(-1);
    ComPtr<IMediaEventSink> sink;
    ASSERT_EQ(builder.as(IID_IMediaEventSink, sink), S_OK);
    constexpr LONG kOwnEvent = 0x8001;
    // Nothing of a run is taken while stopped; other events are.
    sink->Notify(EC_COMPLETE, S_OK, 0);
    sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    sink->Notify(kOwnEvent, 7, 0);
    LONG_PTR param = 0;
    EXPECT_EQ(nextEvent(0, &param), kOwnEvent);
    EXPECT_EQ(param, 7);
    EXPECT_EQ(nextEvent(0), 0);

    ASSERT_EQ(control->Run(), S_OK);
    sink->Notify(EC_USERABORT, 0, 0);
    EXPECT_EQ(nextEvent(1000), EC_USERABORT);
    EXPECT_EQ(nextEvent(1000, &param), EC_COMPLETE);
    EXPECT_EQ(param, E_ABORT);
    EXPECT_EQ(control->Stop(), S_OK);
}

TEST_F(GraphControlTest, GetEventTimesOutAndWakesForAnEventPostedOnAnotherThread) {
    LONG code = -1;
    LONG_PTR p1 = -1, p2 = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 40), E_ABORT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(35));
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    EXPECT_EQ(events->GetEvent(nullptr, &p1, &p2, 0), E_POINTER);

    OAEVENT handle = 0;
    ASSERT_EQ(events->GetEventHandle(&handle), S_OK);
    auto* ready = reinterpret_cast<CAMEvent*>(handle);
    EXPECT_FALSE(ready->Check());

    ComPtr<IMediaEventSink> sink;
    ASSERT_EQ(builder.as(IID_IMediaEventSink, sink), S_OK);
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        sink->Notify(0x8002, 1, 2);
    });
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, -1), S_OK);
    poster.join();
    EXPECT_EQ(code, 0x8002);
    EXPECT_EQ(p1, 1);
    EXPECT_EQ(p2, 2);
    EXPECT_FALSE(ready->Check());

    // With notification off nothing is queued.
    EXPECT_EQ(events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY), S_OK);
    sink->Notify(0x8003, 0, 0);
    EXPECT_EQ(nextEvent(0), 0);
}

TEST_F(GraphControlTest, ANewRunDropsTheCompletionOfTheLastOne) {
    buildChain(2);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(waitUntil([&] { return renderer->endOfStreams == 1; }));
    ASSERT_EQ(control->Stop(), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(waitUntil([&] { return renderer->endOfStreams == 2; }));
    EXPECT_EQ(nextEvent(1000), EC_COMPLETE);
    EXPECT_EQ(nextEvent(50), 0);
    EXPECT_EQ(renderer->samples, 4);
}

TEST_F(GraphControlTest, AFilterThatCannotPauseFailsTheRunAndLeavesEverythingStopped) {
    buildChain(5);
    const int threadsBefore = threadCount();
    transform->pauseResult = E_OUTOFMEMORY;
    EXPECT_EQ(control->Run(), E_OUTOFMEMORY);
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    // The renderer had started; the source never did.
    EXPECT_EQ(OpLog::instance().filtersThat("Pause"), (Names{"renderer", "transform"}));
    EXPECT_EQ(OpLog::instance().filtersThat("Run"), Names{"renderer"});
    FILTER_STATE filterState = State_Running;
    for (IBaseFilter* filter : {sourceFilter.get(), transformFilter.get(), rendererFilter.get()}) {
        EXPECT_EQ(filter->GetState(0, &filterState), S_OK);
        EXPECT_EQ(filterState, State_Stopped);
    }
    EXPECT_TRUE(threadsBackTo(threadsBefore));
    EXPECT_EQ(nextEvent(0), 0);

    transform->pauseResult = S_OK;
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(nextEvent(5000), EC_COMPLETE);
}

TEST_F(GraphControlTest, PositionsGoToTheSeekingFilterAndANewPositionEndsTheStreamAgain) {
    REFTIME seconds = -1;
    EXPECT_EQ(position->get_Duration(&seconds), E_NOTIMPL); // nothing seeks in an empty graph
    buildChain(10);
    ASSERT_EQ(position->get_Duration(&seconds), S_OK);
    EXPECT_DOUBLE_EQ(seconds, 1.0);
    LONG can = 0;
    EXPECT_EQ(position->CanSeekForward(&can), S_OK);
    EXPECT_EQ(can, -1);

    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(nextEvent(5000), EC_COMPLETE);
    ASSERT_EQ(position->get_CurrentPosition(&seconds), S_OK);
    EXPECT_DOUBLE_EQ(seconds, 1.0);
    ASSERT_EQ(position->put_CurrentPosition(0.5), S_OK);
    EXPECT_EQ(source->seeks, 1);
    EXPECT_EQ(nextEvent(5000), EC_COMPLETE);
    EXPECT_EQ(renderer->samples, 15);
    EXPECT_EQ(renderer->flushes, 1);
    EXPECT_EQ(renderer->firstByteOfLast, 9);
    EXPECT_EQ(position->put_CurrentPosition(std::numeric_limits<double>::infinity()), E_INVALIDARG);
}

TEST_F(GraphControlTest, ReleasingTheGraphLetsGoOfItsFiltersAndTheirConnections) {
    buildChain(3);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(nextEvent(5000), EC_COMPLETE);
    position.reset();
    events.reset();
    control.reset();
    builder.reset(); // the last reference: the graph stops and takes everything apart
    EXPECT_FALSE(connected(source->pin()));
    EXPECT_FALSE(connected(renderer->pin()));
    EXPECT_EQ(source->stops, 1);
    FILTER_INFO info;
    ASSERT_EQ(rendererFilter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.pGraph, nullptr);
}

} // namespace
} // namespace platform::dshow::graphtest
