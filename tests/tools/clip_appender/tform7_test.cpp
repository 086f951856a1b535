#include "tools/clip_appender/tform7.h"

#include "tests/tools/muxer/mux_test_files.h"

#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tools::clip_appender;
using namespace kes::test;
using platform::ui::testing::DialogScript;

TEST(TForm7, ControlsAndTimer) {
    DialogScript script;
    TForm7 form;
    EXPECT_EQ(Form7, &form);
    EXPECT_EQ(form.caption(), "Vexlor");
    EXPECT_FALSE(form.go.enabled());
    EXPECT_EQ(form.Label6.caption(), "500 msec");
    form.PreloadTB.setPosition(100);
    EXPECT_EQ(form.Label6.caption(), "1000 msec");
    form.AudioPercent = 40;
    form.VideoPercent = 0;
    form.ElapsedTicks = 2;
    form.Timer1Timer();
    EXPECT_EQ(form.AudioTime.caption(), "Elapsed : 00:00:03 - Total time : 00:00:08"); // 7.5 to even
    EXPECT_EQ(form.VideoTime.caption(), "Elapsed : 00:00:03 - Total time : 08:20:00"); // 0 % as 0.01 %
}

TEST(TForm7, AddLikeTheMainWindow) {
    DialogScript script;
    TempDir dir;
    ASSERT_TRUE(writeMovieAvi(dir.file("movie.avi"), TestVideo{}, 1764));
    std::filesystem::create_directory(dir.path() / "Vexlor");
    TestVideo clip;
    clip.frames = 3;
    ASSERT_TRUE(writeVideoAvi(dir.file("Vexlor/Vexlor8x4.avi"), clip));
    {
        TForm7 form;
        form.SourceEdit.setText(dir.file("movie.avi"));
        form.TargetEdit.setText(dir.file("withclip.avi"));
        form.LogoPrefix = dir.file("Vexlor/Vexlor");
        form.show();
        form.MuxStreams(true);
        EXPECT_FALSE(form.JobFailed);
        EXPECT_EQ(form.WavSourceEdit.text(), dir.file("Vexlor/Vexlor8x4.avi"));
        EXPECT_TRUE(form.go.enabled());
    }
    EXPECT_EQ(readStream(dir.file("withclip.avi"), true).frames.size(), 53u);
    EXPECT_EQ(script.texts("plain"), std::vector<std::string>{"Vexlor added"});

    TForm7 form;
    form.SourceEdit.setText(dir.file("movie.avi"));
    form.TargetEdit.setText(dir.file("other.avi"));
    form.LogoPrefix = dir.file("Logos/Vexlor");
    form.temps.setText("x");
    form.MuxStreams(true);
    EXPECT_TRUE(form.JobFailed);
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"x is not a numerical value !",
                                                               "VEXLOR : UNSUPPORTED RESOLUTION 8x4 !"}));
    EXPECT_EQ(script.texts("plain").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("other.avi")));
}
