#include "tests/rip/rip_checks.h"

#include "tests/outside/rar/run_tool.h"
#include "tests/outside/vobsub/ffmpeg_vobsub.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace kes::test {

namespace fs = std::filesystem;

double reportSeconds(const std::string& report, const std::string& label) {
    const size_t at = report.find(label + " :");
    if (at == std::string::npos)
        return std::numeric_limits<double>::quiet_NaN();
    const size_t number = report.find_first_of("0123456789", at + label.size());
    if (number == std::string::npos)
        return std::numeric_limits<double>::quiet_NaN();
    return std::strtod(report.c_str() + number, nullptr);
}

void expectBeeps(const std::vector<double>& found, const std::vector<double>& expected, double tolerance) {
    ASSERT_EQ(found.size(), expected.size()) << ::testing::PrintToString(found);
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_NEAR(found[i], expected[i], tolerance) << "beep " << i;
}

namespace {

std::vector<int64_t> startsMs(const FfmpegSubtitleStream& stream) {
    std::vector<int64_t> starts;
    for (const auto& s : stream.subtitles)
        starts.push_back(s.startMs);
    return starts;
}

std::vector<int64_t> toMs(const std::vector<double>& seconds) {
    std::vector<int64_t> ms;
    for (const double s : seconds)
        ms.push_back(std::llround(s * 1000));
    return ms;
}

} // namespace

void expectSubtitlePair(const std::string& base, const DvdTitle& title) {
    std::string error;
    const auto streams = readWithFfmpeg(base + ".idx", &error);
    ASSERT_EQ(streams.size(), 2u) << error;
    EXPECT_EQ(streams[0].language, "en");
    EXPECT_EQ(streams[1].language, "fr");
    EXPECT_EQ(startsMs(streams[0]), toMs(englishSubtitleStarts(title.spec.seconds)));
    EXPECT_EQ(startsMs(streams[1]), toMs(frenchSubtitleStarts(title.spec.seconds)));

    const fs::path folder = fs::path(base).parent_path();
    const std::string sub = fs::path(base + ".sub").filename().string();
    const ToolRun list = runTool({"bsdtar", "-tf", base + ".rar"}, folder);
    EXPECT_EQ(list.out, sub + "\n") << list.err;
    const ToolRun unpacked = runTool({"bsdtar", "-xOf", base + ".rar", sub}, folder);
    EXPECT_TRUE(unpacked.out == readBytes(base + ".sub")) << "the archived .sub differs";
}

void expectOneLog(const fs::path& programFolder, const std::string& report) {
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(programFolder / "Logs"))
        logs.push_back(entry.path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(readBytes(logs[0]), report);
}

} // namespace kes::test
