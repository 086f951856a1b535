// Building a graph: filters and their names, direct and intelligent connection, rendering.

#include "graph_fixture.h"
#include "platform/dshow/filter_registration.h"
#include "tests/support/temp_dir.h"

namespace platform::dshow::graphtest {
namespace {

// A subtype no test filter takes.
constexpr GUID kSubtypeNobody = makeGuid("{9E0D8C7B-6A59-4483-9271-605F4E3D2C1B}");

class GraphBuildTest : public GraphFixture {
protected:
    std::u16string nameOf(IBaseFilter* filter) {
        FILTER_INFO info{};
        EXPECT_EQ(filter->QueryFilterInfo(&info), S_OK);
        if (info.pGraph)
            info.pGraph->Release();
        return info.achName;
    }
    static bool inGraph(IBaseFilter* filter) {
        FILTER_INFO info{};
        filter->QueryFilterInfo(&info);
        if (!info.pGraph)
            return false;
        info.pGraph->Release();
        return true;
    }
};

TEST_F(GraphBuildTest, FiltersAreNamedUniquelyFoundByNameAndRemoved) {
    RegisteredTestFilters registered;
    TestSource *a = nullptr, *b = nullptr;
    auto first = make(&a, "a", kSubtypeA, 1);
    auto second = make(&b, "b", kSubtypeA, 1);
    TestRenderer* renderer = nullptr;
    auto unnamed = make(&renderer, "r", kSubtypeA);
    ASSERT_EQ(add(first, u"Source"), S_OK);
    EXPECT_EQ(add(second, u"Source"), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(nameOf(second.get()), u"Source 0001");
    ASSERT_EQ(add(unnamed, nullptr), S_OK);
    EXPECT_EQ(nameOf(unnamed.get()), u"Test renderer"); // its registered name
    EXPECT_EQ(add(first, u"again"), E_INVALIDARG);
    EXPECT_EQ(filterCount(), 3u);
    EXPECT_TRUE(graph::sameObject(byName(u"Source 0001").get(), second.get()));

    ASSERT_EQ(builder->ConnectDirect(a->pin(), renderer->pin(), nullptr), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(builder->RemoveFilter(first.get()), VFW_E_NOT_STOPPED);
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(builder->RemoveFilter(first.get()), S_OK);
    EXPECT_FALSE(connected(a->pin())); // taken out with its connections
    EXPECT_FALSE(inGraph(first.get()));
    EXPECT_FALSE(byName(u"Source"));
    EXPECT_EQ(builder->RemoveFilter(first.get()), VFW_E_NOT_FOUND);
    EXPECT_EQ(filterCount(), 2u);
}

TEST_F(GraphBuildTest, AMissingFilterFailsTheBuildWithoutACrash) {
    ComPtr<IBaseFilter> missing;
    EXPECT_EQ(
        CoCreateInstance(kMissingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, missing.putVoid()),
        REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(missing);
    EXPECT_EQ(builder->AddFilter(missing.get(), u"Xing AC3 audio decoder"), E_POINTER);

    TestSource* source = nullptr;
    TestRenderer* outside = nullptr;
    auto sourceFilter = make(&source, "source", kSubtypeA, 3);
    auto outsideFilter = make(&outside, "outside", kSubtypeA); // never added
    ASSERT_EQ(add(sourceFilter, nullptr), S_OK);
    EXPECT_EQ(builder->Connect(source->pin(), nullptr), E_POINTER);
    EXPECT_EQ(builder->Connect(nullptr, outside->pin()), E_POINTER);
    EXPECT_EQ(builder->Connect(source->pin(), outside->pin()), VFW_E_NOT_IN_GRAPH);
    EXPECT_EQ(builder->ConnectDirect(outside->pin(), source->pin(), nullptr), VFW_E_NOT_IN_GRAPH);
    EXPECT_EQ(builder->Render(nullptr), E_POINTER);
    EXPECT_EQ(builder->Render(source->pin()), VFW_E_CANNOT_RENDER);
    EXPECT_EQ(filterCount(), 1u);
    EXPECT_EQ(builder->FindFilterByName(nullptr, nullptr), E_POINTER);

    // A graph that was not completed still runs and stops cleanly; with no renderer it ends at once.
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(nextEvent(1000), EC_COMPLETE);
    EXPECT_FALSE(source->threadRunning());
    EXPECT_EQ(control->Stop(), S_OK);
}

TEST_F(GraphBuildTest, ConnectTriesDirectFirstThenOneRegisteredFilterBetween) {
    RegisteredTestFilters registered;
    // A registered filter whose class cannot be made comes first by merit and is passed over.
    const AMOVIESETUP_MEDIATYPE anyAudio[] = {{&MEDIATYPE_Audio, &GUID_NULL}};
    const AMOVIESETUP_PIN pins[] = {{"In", FALSE, FALSE, FALSE, FALSE, 1, anyAudio},
                                    {"Out", FALSE, TRUE, FALSE, FALSE, 1, anyAudio}};
    ASSERT_TRUE(registerFilter({&kMissingClass, "Gone", MERIT_PREFERRED, 2, pins}));

    TestSource *direct = nullptr, *converted = nullptr;
    TestRenderer *takesA = nullptr, *takesB = nullptr;
    auto directFilter = make(&direct, "direct", kSubtypeA, 2);
    auto convertedFilter = make(&converted, "converted", kSubtypeA, 4);
    auto takesAFilter = make(&takesA, "takes A", kSubtypeA);
    auto takesBFilter = make(&takesB, "takes B", kSubtypeB);
    for (const auto& f : {directFilter, convertedFilter, takesAFilter, takesBFilter})
        ASSERT_EQ(add(f, nullptr), S_OK);

    ASSERT_EQ(builder->Connect(direct->pin(), takesA->pin()), S_OK);
    EXPECT_EQ(filterCount(), 4u);
    EXPECT_TRUE(FAILED(builder->ConnectDirect(converted->pin(), takesB->pin(), nullptr)));
    ASSERT_EQ(builder->Connect(converted->pin(), takesB->pin()), S_OK);
    EXPECT_EQ(filterCount(), 5u);
    EXPECT_TRUE(byName(u"Test transform"));
    EXPECT_EQ(builder->Connect(converted->pin(), takesB->pin()), VFW_E_ALREADY_CONNECTED);

    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(nextEvent(5000), EC_COMPLETE);
    EXPECT_EQ(takesA->samples, 2);
    EXPECT_EQ(takesB->samples, 4);
    unregisterFilter(kMissingClass);
}

TEST_F(GraphBuildTest, AFailedConnectLeavesNothingBehind) {
    RegisteredTestFilters registered;
    TestSource* source = nullptr;
    TestRenderer* renderer = nullptr;
    auto sourceFilter = make(&source, "source", kSubtypeA, 2);
    auto rendererFilter = make(&renderer, "renderer", kSubtypeNobody);
    ASSERT_EQ(add(sourceFilter, nullptr), S_OK);
    ASSERT_EQ(add(rendererFilter, nullptr), S_OK);
    // The transform takes the source's type, but nothing it gives reaches the renderer.
    EXPECT_EQ(builder->Connect(source->pin(), renderer->pin()), VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(filterCount(), 2u);
    EXPECT_FALSE(connected(source->pin()));
    EXPECT_FALSE(connected(renderer->pin()));
}

TEST_F(GraphBuildTest, RenderUsesTheFiltersAlreadyInTheGraphFirst) {
    RegisteredTestFilters registered(MERIT_PREFERRED, MERIT_PREFERRED);
    TestSource* source = nullptr;
    TestTransform* transform = nullptr;
    TestRenderer* renderer = nullptr;
    auto sourceFilter = make(&source, "source", kSubtypeA, 3);
    auto transformFilter = make(&transform, "own transform");
    auto rendererFilter = make(&renderer, "own renderer", kSubtypeB);
    for (const auto& f : {sourceFilter, transformFilter, rendererFilter})
        ASSERT_EQ(add(f, nullptr), S_OK);
    ASSERT_EQ(builder->Render(source->pin()), S_OK);
    EXPECT_EQ(filterCount(), 3u);
    EXPECT_TRUE(connected(transform->output()));
    EXPECT_TRUE(connected(renderer->pin()));
    EXPECT_EQ(builder->Render(source->pin()), VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(nextEvent(5000), EC_COMPLETE);
    EXPECT_EQ(renderer->samples, 3);
}

TEST_F(GraphBuildTest, RenderMakesWhatIsMissingFromRegisteredFiltersOrTakesItAllOutAgain) {
    TestSource* source = nullptr;
    auto sourceFilter = make(&source, "source", kSubtypeA, 3);
    ASSERT_EQ(add(sourceFilter, nullptr), S_OK);
    {
        // Without a transform the registered renderer cannot take the source's type.
        RegisteredTestFilters registered(MERIT_DO_NOT_USE, MERIT_NORMAL);
        EXPECT_EQ(builder->Render(source->pin()), VFW_E_CANNOT_RENDER);
        EXPECT_EQ(filterCount(), 1u);
        EXPECT_FALSE(connected(source->pin()));
    }
    RegisteredTestFilters registered;
    ASSERT_EQ(builder->Render(source->pin()), S_OK);
    EXPECT_EQ(filterCount(), 3u);
    const ComPtr<IBaseFilter> made = byName(u"Test renderer");
    ASSERT_TRUE(made);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(nextEvent(5000), EC_COMPLETE);
    EXPECT_EQ(dynamic_cast<TestRenderer*>(made.get())->samples, 3);
}

TEST_F(GraphBuildTest, RenderFileOpensAWavFileThroughTheWavSource) {
    kes::test::TempDir dir;
    const std::string wav = dir.file("Tone.WAV");
    kes::test::writeBytes(wav, "RIFF");
    RegisteredTestFilters registered;
    const std::u16string wavName = wideFromBytes(wav);

    // Before the WAV source exists the file cannot be opened.
    EXPECT_EQ(builder->RenderFile(wavName.c_str(), nullptr), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(filterCount(), 0u);

    RegisteredWavSource wavSource;
    EXPECT_EQ(builder->RenderFile(wideFromBytes(dir.file("tone.mp3")).c_str(), nullptr),
              VFW_E_UNKNOWN_FILE_TYPE);
    EXPECT_TRUE(FAILED(builder->RenderFile(wideFromBytes(dir.file("missing.wav")).c_str(), nullptr)));
    EXPECT_EQ(filterCount(), 0u);

    ASSERT_EQ(control->RenderFile(wavName.c_str()), S_OK);
    EXPECT_EQ(filterCount(), 3u);
    const ComPtr<IBaseFilter> source = byName(wavName.c_str());
    ASSERT_TRUE(source);
    EXPECT_EQ(dynamic_cast<TestFileSource*>(source.get())->loaded, wav);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(nextEvent(5000), EC_COMPLETE);
}

} // namespace
} // namespace platform::dshow::graphtest
