// The graph hosting the multiple-file source from extern/_Quillon.ax, created by its class identifier,
// with a consumer that pulls through the source's reader on its own thread.

#include "graph_fixture.h"
#include "platform/com/inproc_server.h"
#include "platform/dshow/file_interfaces.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <QCoreApplication>

#include <filesystem>

namespace platform::dshow::graphtest {
namespace {

constexpr CLSID kMultipleFileSource = makeGuid("{53022B5B-F982-4886-B0B9-CF185F40332A}");
constexpr LONG kPullBuffer = 16384;

// Files of this process open under folder.
int openFilesUnder(const std::filesystem::path& folder) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().starts_with(folder.string()))
            ++count;
    }
    return count;
}

class GraphQuillonTest : public GraphFixture {
protected:
    void SetUp() override {
        GraphFixture::SetUp();
        std::string error;
        server =
            InprocServer::load((kes::test::builtProgramDir() / "extern" / "_Quillon.ax").string(), &error);
        ASSERT_NE(server, nullptr) << error;
        ASSERT_EQ(server->registerServer(), S_OK);
    }

    // Writes a set of files of the given sizes and its list; the source is made, loaded and added.
    void buildGraph(const std::vector<size_t>& sizes) {
        std::string list;
        for (size_t i = 0; i < sizes.size(); ++i) {
            const std::string name = dir.file("VTS_01_" + std::to_string(i + 1) + ".VOB");
            kes::test::writeBytes(name, std::string(sizes[i], static_cast<char>('a' + i)));
            list += name + "\r\n";
            total += static_cast<long long>(sizes[i]);
        }
        kes::test::writeBytes(dir.path() / "vob.lst", list);

        ASSERT_EQ(CoCreateInstance(kMultipleFileSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   source.putVoid()),
                  S_OK);
        ComPtr<IFileSourceFilter> file;
        ASSERT_EQ(source.as(IID_IFileSourceFilter, file), S_OK);
        ASSERT_EQ(file->Load(wideFromBytes(dir.file("vob.lst")).c_str(), nullptr), S_OK);
        ASSERT_EQ(add(source, nullptr), S_OK);
        consumerFilter = make(&consumer, "consumer", kPullBuffer);
        ASSERT_EQ(add(consumerFilter, nullptr), S_OK);
        const auto pins = graph::pinsOf(source.get());
        ASSERT_EQ(pins.size(), 1u);
        ASSERT_EQ(builder->Connect(pins[0].get(), consumer->pin()), S_OK);
    }

    // Waits for an event while the source's progress window is served, as hosts do.
    LONG pumpForEvent(int seconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (const LONG code = nextEvent(1))
                return code;
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return 0;
    }

    std::u16string nameOfSource() {
        FILTER_INFO info{};
        EXPECT_EQ(source->QueryFilterInfo(&info), S_OK);
        if (info.pGraph)
            info.pGraph->Release();
        return info.achName;
    }

    std::shared_ptr<InprocServer> server;
    kes::test::TempDir dir;
    ComPtr<IBaseFilter> source;
    PullConsumer* consumer = nullptr;
    ComPtr<IBaseFilter> consumerFilter;
    long long total = 0;
};

TEST_F(GraphQuillonTest, TheWholeSetIsPulledAndTheStopClosesEveryFileAfterThePullThreadEnded) {
    buildGraph({300000, 17, 131072});
    EXPECT_EQ(nameOfSource(), u"Orvento Multiple MPEG2 File Source");
    const int threadsBefore = threadCount();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(pumpForEvent(30), EC_COMPLETE);
    EXPECT_EQ(consumer->error.load(), S_OK);
    EXPECT_EQ(consumer->bytes, total);
    EXPECT_NE(consumer->pullThread, std::this_thread::get_id());
    EXPECT_GT(openFilesUnder(dir.path()), 0);

    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(consumer->readerPinsAtStop, 1); // the source had not stopped when the puller did
    EXPECT_EQ(openFilesUnder(dir.path()), 0);
    EXPECT_TRUE(threadsBackTo(threadsBefore));
    EXPECT_EQ(control->Stop(), S_OK);
}

TEST_F(GraphQuillonTest, AStopWhilePullingEndsTheThreadBeforeTheFilesClose) {
    buildGraph({4000000, 4000000});
    consumer->receiveDelayMs = 2;
    const int threadsBefore = threadCount();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(waitUntil([&] { return consumer->bytes > 0; }));
    QCoreApplication::processEvents();
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_FALSE(consumer->ended);
    EXPECT_LT(consumer->bytes, total);
    EXPECT_EQ(consumer->error.load(), S_OK); // no read ran into closed files
    EXPECT_EQ(consumer->readerPinsAtStop, 1);
    EXPECT_EQ(openFilesUnder(dir.path()), 0);
    EXPECT_TRUE(threadsBackTo(threadsBefore));
    EXPECT_EQ(nextEvent(0), 0);
}

} // namespace
} // namespace platform::dshow::graphtest
