// The main window's preview button with the real preview converter: the sizes the user confirms in
// the preview come back into the video page.

#include "tests/kes/rip_form_fixture.h"
#include "tests/support/vobgen_video.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class MainWindowPreview : public RipFormTest {
protected:
    MainWindowPreview() {
        fs::copy_file(builtProgramDir() / "extern" / "m2apx3g.exe", folder.externDir() / "m2apx3g.exe",
                      fs::copy_options::overwrite_existing);
        VobSpec spec;
        spec.seconds = 0.4;
        spec.videoMaker = mpeg2Video({});
        fs::create_directories(data.path() / "dvd");
        const VobSet set = writeVobSet(data.path() / "dvd", spec);
        form->Vobfile.setText(set.files.front().string());
        form->fps.setText("25");
        form->prevstart.setChecked(false);
        form->ForceDeint.setChecked(false);
        for (ui::CheckBox* box : {&form->DownX, &form->DownY, &form->Crop, &form->Halfres, &form->IVTC})
            box->setChecked(false);
        script.clearShown();
    }
    ~MainWindowPreview() override { unsetenv(platform::ui::testing::ScriptEnv); }

    // The answer the preview's user gives, through the script the preview reads.
    void previewAnswers(const std::string& answer) {
        const fs::path file = data.path() / "preview.script";
        platform::ui::testing::writeScriptFile(file.string(), {answer});
        setenv(platform::ui::testing::ScriptEnv, file.c_str(), 1);
    }
};

TEST_F(MainWindowPreview, ConfirmedSizesComeBackIntoThePage) {
    previewAnswers("-3X 640 -3Y 352 -1 640 272");
    form->PreviewVidClick();
    EXPECT_TRUE(form->DownX.checked());
    EXPECT_TRUE(form->DownY.checked());
    EXPECT_TRUE(form->Crop.checked());
    EXPECT_EQ(form->XSize.text(), "640");
    EXPECT_EQ(form->YSize.text(), "352");
    EXPECT_EQ(form->XCrop.text(), "640");
    EXPECT_EQ(form->YCrop.text(), "272");
}

TEST_F(MainWindowPreview, ACancelledPreviewChangesNothing) {
    previewAnswers("Cancel");
    form->PreviewVidClick();
    EXPECT_FALSE(form->DownX.checked() || form->DownY.checked() || form->Crop.checked());
    EXPECT_EQ(form->XSize.text(), "0");
}

} // namespace
} // namespace kes::test
