// The converter's codec dialogs as the rip drives them: bit rates, key frames, two passes, the dual
// output with its second dialog, and "divxauto.exe" started before and after the converter.

#include "tests/outside/mpeg2avi/avi_probe.h"
#include "tests/outside/mpeg2avi/converter_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen_video.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class CodecDialog : public ::testing::Test {
protected:
    void SetUp() override {
        VobSpec spec;
        spec.seconds = 4.0;
        VobVideoSpec video;
        spec.videoMaker = mpeg2Video(video);
        set = writeVobSet(vobs.path(), spec);
    }
    std::vector<std::string> line(std::vector<std::string> extra = {}) const {
        std::vector<std::string> items = {"-b", set.list.string(), "-a", "-f2", "-2"};
        items.insert(items.end(), extra.begin(), extra.end());
        items.push_back(folder.outputDir().string());
        return items;
    }
    fs::path movie(const std::string& name) const { return folder.outputDir() / name; }

    // Starts "divxauto.exe" from extern/ with an answer's items (dialog 1 unless told).
    pid_t automation(const std::string& answer, int dialog = 1) const {
        std::vector<std::string> args{(folder.externDir() / "divxauto.exe").string()};
        const auto items = automationItems(answer);
        args.insert(args.end(), items.begin(), items.end());
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(folder.externDir().c_str()) != 0)
                _exit(126);
            setenv("KESTROVA_CODEC_DIALOG", std::to_string(dialog).c_str(), 1);
            setenv("KESTROVA_CODEC_TIMEOUT", "15000", 1);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }
    static int waitFor(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempDir vobs{"kes-vob"};
    VobSet set;
    ConverterFolder folder;
};

TEST_F(CodecDialog, OnePassBitRateAndKeyFrames) {
    const auto result = folder.run("mpeg2avipx3.exe", line({"-o8"}), {divx4Answer(600, 25)});
    ASSERT_EQ(result.status, 0) << result.errors;
    const AviFacts facts = probeAvi(movie("movie.avi"));
    EXPECT_EQ(facts.fourcc, "DIVX");
    EXPECT_EQ(facts.packets, 100);
    EXPECT_NEAR(facts.kbps(), 600, 600 * 0.15);
    ASSERT_GE(facts.keyFrames.size(), 4u);
    for (size_t i = 1; i < facts.keyFrames.size(); ++i)
        EXPECT_LE(facts.keyFrames[i] - facts.keyFrames[i - 1], 25);
}

TEST_F(CodecDialog, TwoPassesHitTheBitRate) {
    const std::string log = (folder.outputDir() / "My_Movie.log").string();
    auto result = folder.run("m2apx3g.exe", line(), {divx4Answer(300, 250, "2-pass, first pass", log)});
    ASSERT_EQ(result.status, 0) << result.errors;
    ASSERT_TRUE(fs::exists(log));
    result = folder.run("m2apx3g.exe", line(), {divx4Answer(300, 250, "2-pass, second pass", log)});
    ASSERT_EQ(result.status, 0) << result.errors;
    const AviFacts facts = probeAvi(movie("movie_1.avi"));
    EXPECT_EQ(facts.packets, 100);
    EXPECT_NEAR(facts.kbps(), 300, 300 * 0.02);
}

TEST_F(CodecDialog, DualOutputWithTheSecondCodec) {
    const auto result = folder.run("m2apx3go.exe", line({"-7", "-o9"}),
                                   {divx4Answer(900, 250), divx3Answer(false, 10, 100, 500)});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(folder.movies(), (std::vector<std::string>{"movie_1.avi", "movie_2.avi"}));
    const AviFacts first = probeAvi(movie("movie_1.avi"));
    const AviFacts second = probeAvi(movie("movie_2.avi"));
    EXPECT_EQ(first.fourcc, "DIVX");
    EXPECT_EQ(second.fourcc, "DIV3");
    EXPECT_EQ(first.packets, 100);
    EXPECT_EQ(second.packets, 100);
    EXPECT_GT(first.kbps(), second.kbps());
}

TEST_F(CodecDialog, AutomationBeforeAndAfterTheConverter) {
    const std::string answer = divx3Answer(true, 10, 80, 800);
    // Started first, as the rip does: it waits for the dialog.
    const pid_t before = automation(answer);
    auto result = folder.run("mpeg2avipx3.exe", line(), {}, false);
    EXPECT_EQ(waitFor(before), 0);
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(probeAvi(movie("movie.avi")).fourcc, "DIV3");

    // Started after the converter has opened its dialog.
    fs::remove(movie("movie.avi"));
    const auto started = folder.start("mpeg2avipx3.exe", line(), {}, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(waitFor(automation(divx4Answer(800, 250))), 0);
    result = ConverterFolder::wait(started);
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(probeAvi(movie("movie.avi")).fourcc, "DIVX");
}

TEST_F(CodecDialog, ACancelledDialogWritesNothing) {
    const auto result = folder.run("mpeg2avipx3.exe", line(), {"Cancel"});
    EXPECT_NE(result.status, 0);
    EXPECT_FALSE(result.errors.empty());
    EXPECT_TRUE(folder.movies().empty());
}

} // namespace
} // namespace kes::test

namespace kes::test {
namespace {

// Stop pressed in the progress window once the first frames are done: the converter says it stopped,
// ends with its own status and leaves no movie, whole or cut short.
TEST_F(CodecDialog, StopInTheProgressWindowLeavesNoMovie) {
    const auto result = folder.run("mpeg2avipx3.exe", line(), {divx4Answer(600, 25), "Stop"});
    EXPECT_EQ(result.status, 3) << result.errors;
    EXPECT_NE(result.errors.find("Stopped: no AVI file was written."), std::string::npos) << result.errors;
    EXPECT_TRUE(folder.movies().empty());
    for (const auto& entry : fs::directory_iterator(folder.outputDir()))
        ADD_FAILURE() << entry.path();
}

} // namespace
} // namespace kes::test
