// The registration of the subtitle filter and the status lights of the paths page.
#include "kes/form1.h"
#include "kes/form1_unit.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/com/inproc_server.h"
#include "platform/core/paths.h"
#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

class HelpersWindowTest : public ::testing::Test {
protected:
    HelpersWindowTest() {
        writeBytes(folder.path() / "LANG" / "English.lng", "1.24\r\n----Messages----\r\n");
        fs::current_path(folder.path());
        form = std::make_unique<TForm1>();
        fs::current_path(previous);
    }
    ~HelpersWindowTest() override { fs::current_path(previous); }
    fs::path system(const std::string& name) const { return folder.path() / "system" / name; }

    fs::path previous = fs::current_path();
    platform::ui::testing::DialogScript script;
    test::ProgramFolder folder;
    std::unique_ptr<TForm1> form;
};

TEST_F(HelpersWindowTest, MissingFilterFailsAndCopiesNothing) {
    EXPECT_FALSE(form->RegisterFilter());
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(folder.externDir()));
    EXPECT_FALSE(fs::exists(system("dvobsub.ax")));
    EXPECT_FALSE(fs::exists(system("unrar.dll")));
}

TEST_F(HelpersWindowTest, FilterThatIsNoSharedObjectFails) {
    writeBytes(folder.externDir() / "dvobsub.ax", "not a library");
    EXPECT_FALSE(form->RegisterFilter());
    EXPECT_EQ(readBytes(system("dvobsub.ax")), "not a library");
}

TEST_F(HelpersWindowTest, FilterIsInstalledOnceAndRegisteredEachTime) {
    fs::copy_file(KES_FAKE_DVOBSUB, folder.externDir() / "dvobsub.ax");
    writeBytes(folder.externDir() / "unrar.dll", "archiver");
    ASSERT_TRUE(form->RegisterFilter());
    EXPECT_EQ(readBytes(system("unrar.dll")), "archiver");

    // Files already in the system folder are never replaced.
    writeBytes(folder.externDir() / "unrar.dll", "newer archiver");
    ASSERT_TRUE(form->RegisterFilter());
    EXPECT_EQ(readBytes(system("unrar.dll")), "archiver");

    const auto server = platform::com::InprocServer::load(system("dvobsub.ax").string());
    ASSERT_TRUE(server);
    using CountFn = int (*)();
    const auto count = reinterpret_cast<CountFn>(server->symbol("fakeRegistrationCount"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 2);
}

TEST_F(HelpersWindowTest, StatusLightsOfThePaths) {
    const QImage fine = form->canvastrue.picture();
    const QImage attention = form->canvasfalse.picture();
    const std::string out = (folder.path() / "Output").string() + "/";
    writeBytes(folder.path() / "Output" / "final.avi", "old");
    form->Vobfile.setText((folder.path() / "VOBS" / "none.vob").string());
    form->AVIFile.setText(out + "movie.avi");
    form->WavFileEdit.setText("/no/such/folder/audio.wav");
    form->Wav2.setText(out + "stream2.wav");
    form->compaudiofile.setText(out + "compaudio.wav");
    form->compressedSS2.setText("/no/such/folder/c2.wav");
    form->FinalFile.setText(out + "final.avi");
    form->AviSS2.setText(out + "finalss2.avi");

    form->twostreams.setChecked(true);
    form->isfileok();
    EXPECT_EQ(form->p1.picture(), attention);
    EXPECT_EQ(form->p2.picture(), fine);
    EXPECT_EQ(form->p3.picture(), attention);
    EXPECT_EQ(form->p4.picture(), fine);
    EXPECT_EQ(form->p5.picture(), fine);
    EXPECT_EQ(form->p6.picture(), attention);
    EXPECT_EQ(form->p7.picture(), attention);
    EXPECT_EQ(form->p8.picture(), fine);

    writeBytes(folder.path() / "VOBS" / "none.vob", "");
    form->twostreams.setChecked(false);
    form->isfileok();
    EXPECT_EQ(form->p1.picture(), fine);
    EXPECT_TRUE(form->p4.empty());
    EXPECT_TRUE(form->p6.empty());
    EXPECT_TRUE(form->p8.empty());
}

} // namespace
} // namespace kes
