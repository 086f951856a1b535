// Tonegrab and the graph it builds where the list of the VOB set is long, goes away before the run,
// or where the decoder's settings cannot be stored.

#include "tests/trovel/tonegrab_run.h"

#include "tools/stream_graph/audio_stream_graph.h"
#include "trovel/exit_status.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kes::test {
namespace {

namespace fs = std::filesystem;
namespace sg = tools::stream_graph;

// The generated set linked into a folder so deep that a list naming its files is over 1024 bytes.
fs::path deepSet(const TempDir& dir) {
    fs::path folder = dir.path();
    for (char c : {'a', 'b', 'c'})
        folder /= std::string(200, c);
    fs::create_directories(folder);
    for (const auto& entry : fs::directory_iterator(generatedSetFolder()))
        if (entry.path().extension() == ".VOB")
            fs::create_symlink(entry.path(), folder / entry.path().filename());
    return folder;
}

int queries(const RunResult& result) {
    int count = 0;
    for (const auto& box : result.boxes)
        count += box.caption == "Query?" && box.answer == "Yes" ? 1 : 0;
    return count;
}

// The store of settings lies under a regular file, so nothing can be written to it.
class UnwritableStore {
public:
    explicit UnwritableStore(const TempDir& dir) {
        writeBytes(dir.path() / "plain", "");
        const char* old = std::getenv("KESTROVA_REGISTRY");
        if (old)
            old_ = old;
        setenv("KESTROVA_REGISTRY", (dir.path() / "plain" / "registry").c_str(), 1);
    }
    ~UnwritableStore() {
        if (old_.empty())
            unsetenv("KESTROVA_REGISTRY");
        else
            setenv("KESTROVA_REGISTRY", old_.c_str(), 1);
    }

private:
    std::string old_;
};

TEST(TonegrabList, ALongListIsQuestionedOnceAndLoadedWhereNoOneCanAnswer) {
    TonegrabFolder folder;
    TempDir dir("kes-tonegrab-deep");
    const fs::path set = deepSet(dir);
    const std::string vob = (set / "VTS_01_1.VOB").string();

    RunResult result = folder.run({vob, "X", "X", "X", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    ASSERT_GT(fs::file_size(set / "vob.lst"), 1024u);
    EXPECT_EQ(readBytes(folder.externDir() / "sn.fnd"), std::string(1, '\3'));
    EXPECT_EQ(queries(result), 1);

    // An extraction loads the list for the graph and again for its run: one question.
    const std::string wav = dir.file("out.wav");
    result = folder.run({vob, wav, "2", "48", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    EXPECT_EQ(queries(result), 1);
    EXPECT_EQ(result.boxes.size(), 1u);
    EXPECT_NEAR(toneFrequency(readWav(wav)), kLpcmHz, kLpcmHz * 0.03);
}

TEST(TonegrabList, AnUnwritableSettingsStoreStopsAnExtractionButNotACount) {
    TonegrabFolder folder;
    TempDir dir("kes-tonegrab-store");
    const UnwritableStore store(dir);
    const std::string vob = firstVob().string();
    RunResult result = folder.run({vob, "X", "X", "X", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    EXPECT_EQ(readBytes(folder.externDir() / "sn.fnd"), std::string(1, '\3'));
    EXPECT_TRUE(result.boxes.empty());

    const std::string wav = dir.file("out.wav");
    result = folder.run({vob, wav, "0", "44.1", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitFailed);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, sg::kDecoderSettingsText);
    EXPECT_FALSE(fs::exists(wav));
}

class QuietSink final : public sg::StreamGraphSink {
public:
    void showMessage(const std::string&) override {}
    void showError(const std::string&) override {}
};

TEST(TonegrabList, ARunWhoseListIsGoneFailsAndWritesNoWav) {
    TonegrabFolder folder;
    TempDir dir("kes-tonegrab-gone");
    std::string list;
    for (const auto& entry : fs::directory_iterator(generatedSetFolder()))
        if (entry.path().extension() == ".VOB")
            list += entry.path().string() + "\r\n";
    writeBytes(dir.path() / "vob.lst", list);
    QuietSink sink;
    sg::AudioStreamGraph graph(sg::tonegrabPolicy(folder.externDir().string() + "/"), sink);
    graph.Mode = sg::GraphMode::WriteFile;
    graph.SourcePath = dir.file("vob.lst");
    graph.DestinationPath = dir.file("out.wav");
    graph.SampleRateText = "48";
    ASSERT_TRUE(graph.InitGraph());
    ASSERT_TRUE(graph.CreateFilters());
    fs::remove(dir.path() / "vob.lst");
    EXPECT_TRUE(sg::FAILED(graph.MediaControl->Run()));
    graph.CloseDSPlayer();
    EXPECT_FALSE(fs::exists(dir.path() / "out.wav"));
}

} // namespace
} // namespace kes::test
