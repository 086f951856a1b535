// The profiles page: the list of profile files, loading a clicked profile, the name box, saving and
// exporting with their overwrite question, the Reset button and the final AVI choosers.
#include "kes/profile_list.h"
#include "tests/kes/rip_form_fixture.h"

#include <algorithm>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

TEST(ProfileListRules, SaveNameDropsTheListSuffixAndAFinalDot) {
    EXPECT_EQ(saveNameOfProfile("Movie (movie.pfl)"), "Movie ");
    EXPECT_EQ(saveNameOfProfile("A (b) (c.pfl)"), "A (b) ");
    EXPECT_EQ(saveNameOfProfile("Movie (director's cut)"), "Movie (director's cut)"); // no ".pfl"
    EXPECT_EQ(saveNameOfProfile("Movie."), "Movie");
    EXPECT_EQ(saveNameOfProfile("x.pfl"), "x.pfl");
    EXPECT_EQ(saveNameOfProfile(""), "");
    EXPECT_EQ(saveNameOfProfile("Face/Off (face.pfl)"), "Face_Off ");
}

TEST(ProfileListRules, CaptionKeepsEverythingUpToTheFirstBracket) {
    EXPECT_EQ(captionWithProfile("Kestrova v1.24 [Win NT/2000/XP] - profile : Old (* x *)", "New"),
              "Kestrova v1.24 [Win NT/2000/XP] - profile : New");
    EXPECT_EQ(captionWithProfile("No bracket", "New"), "No bracket - profile : New");
}

class ProfileListTest : public test::RipFormTest {
protected:
    fs::path profiles() const { return folder.path() / "Profiles"; }
    fs::path exports() const { return folder.path() / "Export"; }
    void profile(const std::string& name, const std::string& body) { writeBytes(profiles() / name, body); }
    std::vector<std::string> listed() const { return form->memo1.items(); }
    void select(const std::string& entry) {
        const int index = form->memo1.indexOf(entry);
        ASSERT_GE(index, 0) << entry;
        form->memo1.setItemIndex(index); // a click: loads the profile
    }
};

TEST_F(ProfileListTest, ListHoldsTitledProfilesByFileName) {
    profile("b.pfl", "[Options]\r\nProfileTitle=Same\r\n");
    profile("a.pfl", "[Options]\r\nProfileTitle=Same\r\n");
    profile("c.PFL", "[Options]\r\nProfileTitle=Zed\r\n");
    profile("untitled.pfl", "[Options]\r\nProfileTitle=\r\n");
    profile("none.pfl", "[Options]\r\nDescription=ProfileTitle=hidden\r\n");
    profile("notes.txt", "ProfileTitle=Text\r\n");
    fs::create_directories(profiles() / "folder.pfl");
    form->GetAllProfiles();
    EXPECT_EQ(listed(), (std::vector<std::string>{"Same (a.pfl)", "Same (b.pfl)", "Zed (c.PFL)"}));
    ASSERT_EQ(form->profileTable().size(), 3u);
    EXPECT_EQ(fs::path(form->profileTable()[1].path), profiles() / "b.pfl");

    fs::remove(profiles() / "b.pfl");
    form->GetAllProfiles();
    EXPECT_EQ(listed(), (std::vector<std::string>{"Same (a.pfl)", "Zed (c.PFL)"}));
}

TEST_F(ProfileListTest, ClickLoadsTheProfileAndNamesTheWindow) {
    profile("movie.pfl", "[Options]\r\nProfileTitle=Movie\r\nDescription=old\r\nRipVid=0\r\n"
                         "[Video]\r\nfps=29.970\r\n");
    form->GetAllProfiles();
    form->fps.setText("25");
    form->RipVid.setChecked(true);
    select("Movie (movie.pfl)");
    EXPECT_EQ(form->fps.text(), "29.970");
    EXPECT_FALSE(form->RipVid.checked());
    EXPECT_EQ(form->ProfileEdit.text(), "Movie");
    EXPECT_EQ(form->SaveDialog1.fileName, "Movie"); // the loaded title renamed the save name
    EXPECT_EQ(form->caption(),
              "Kestrova v1.24 [Win NT/2000/XP] - profile : Movie (* " + form->curset.text() + " *)");

    // A click in the multi-rip list reloads the profile selected in the profile list.
    form->fps.setText("25");
    form->memo2.addItem("anything");
    form->memo2.setItemIndex(0);
    EXPECT_EQ(form->fps.text(), "29.970");
}

TEST_F(ProfileListTest, NameBoxRenamesTheWindowAndTheSaveNameAndEmptiesTheDescription) {
    form->ProfileEdit.setText("Movie (movie.pfl)");
    EXPECT_EQ(form->caption(), "Kestrova v1.24 [Win NT/2000/XP] - profile : Movie (movie.pfl)");
    EXPECT_EQ(form->SaveDialog1.fileName, "Movie ");

    form->Descrip.setText("1 CD - something");
    char key = 'x';
    form->ProfileEditKeyPress(key);
    EXPECT_EQ(key, 'x');
    EXPECT_EQ(form->Descrip.text(), "");
}

TEST_F(ProfileListTest, SaveAsAsksBeforeReplacingAndAlwaysRebuildsTheList) {
    form->GetAllProfiles();
    form->ProfileEdit.setText("Keep me");

    script.answerCancel();
    form->SaveProfileClick();
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].kind, "save");
    EXPECT_EQ(fs::path(script.shown()[0].text), profiles());
    EXPECT_EQ(form->ProfileEdit.text(), "Keep me");
    EXPECT_TRUE(listed().empty());

    const std::string target = (profiles() / "keep.pfl").string();
    script.answer(target);
    form->SaveProfileClick();
    EXPECT_NE(readBytes(target).find("ProfileTitle=Keep me\r\n"), std::string::npos);
    EXPECT_NE(readBytes(target).find("vobpath="), std::string::npos); // saved with its paths
    EXPECT_EQ(listed(), std::vector<std::string>{"Keep me (keep.pfl)"});
    EXPECT_EQ(form->ProfileEdit.text(), "Keep me");

    // Over an existing file: No keeps it, Yes replaces it.
    script.clearShown();
    form->ProfileEdit.setText("Other");
    script.answer(target);
    script.answerNo();
    form->SaveProfileClick();
    ASSERT_EQ(script.shown().size(), 2u);
    EXPECT_EQ(script.shown()[1].kind, "question");
    EXPECT_EQ(script.shown()[1].text, "keep.pfl<22>\r\n<23>");
    EXPECT_NE(readBytes(target).find("ProfileTitle=Keep me\r\n"), std::string::npos);

    script.answer(target);
    script.answerYes();
    form->SaveProfileClick();
    EXPECT_NE(readBytes(target).find("ProfileTitle=Other\r\n"), std::string::npos);
    EXPECT_EQ(listed(), std::vector<std::string>{"Other (keep.pfl)"});
}

TEST_F(ProfileListTest, ExportCurrentLeavesThePathsOut) {
    form->ProfileEdit.setText("Movie");
    const std::string target = (exports() / "movie.pfl").string();
    writeBytes(target, "old");
    script.answer(target);
    script.answerYes();
    form->ExportprofClick();
    ASSERT_EQ(script.shown().size(), 2u);
    EXPECT_EQ(fs::path(script.shown()[0].text), exports());
    EXPECT_EQ(script.shown()[1].text, target + "<22>\r\n<23>"); // the whole path this time
    const std::string exported = readBytes(target);
    EXPECT_NE(exported.find("ProfileTitle=Movie\r\n"), std::string::npos);
    EXPECT_EQ(exported.find("vobpath="), std::string::npos);
    EXPECT_EQ(exported.find("finalpath="), std::string::npos);
}

TEST_F(ProfileListTest, ExportAllWritesEveryListedProfileWithoutPaths) {
    profile("one.pfl", "[Options]\r\nProfileTitle=One\r\nvobpath=/somewhere/VTS_01_1.VOB\r\n"
                       "[Video]\r\nfps=29.970\r\n");
    profile("two.pfl", "[Options]\r\nProfileTitle=Two\r\nfinalpath=/out/final.avi\r\n");
    profile("gone.pfl", "[Options]\r\nProfileTitle=Gone\r\n");
    form->GetAllProfiles();
    fs::remove(profiles() / "gone.pfl");
    form->exportall.setChecked(true);
    form->ExportprofClick();

    EXPECT_EQ(script.texts("plain"), std::vector<std::string>{"<49>"});
    const std::string one = readBytes(exports() / "one.pfl");
    EXPECT_NE(one.find("ProfileTitle=One\r\n"), std::string::npos);
    EXPECT_NE(one.find("fps=29.970\r\n"), std::string::npos);
    EXPECT_EQ(one.find("vobpath="), std::string::npos);
    EXPECT_EQ(readBytes(exports() / "two.pfl").find("finalpath="), std::string::npos);
    EXPECT_FALSE(fs::exists(exports() / "gone.pfl"));
    EXPECT_FALSE(fs::exists(profiles() / "gone.pfl"));
    EXPECT_EQ(form->ProfileEdit.text(), "Two"); // the settings of the last exported profile stay
}

TEST_F(ProfileListTest, ResetLoadsTheDefaultProfileAndEmptiesTheMultiRipList) {
    profile("default.pfl", "[Options]\r\nProfileTitle=Standard\r\n[Video]\r\nfps=24\r\n");
    form->memo2.addItem("Movie (movie.pfl)");
    form->usemulti.setEnabled(true);
    form->usemulti.setChecked(true);
    form->dual.setChecked(true);
    form->dual.setEnabled(false);
    form->fps.setText("25");
    form->ReinitClick();
    EXPECT_EQ(form->memo2.itemCount(), 0);
    EXPECT_FALSE(form->usemulti.checked());
    EXPECT_FALSE(form->usemulti.enabled());
    EXPECT_FALSE(form->LaunchMulti.enabled());
    EXPECT_FALSE(form->dual.checked());
    EXPECT_TRUE(form->dual.enabled());
    EXPECT_EQ(form->fps.text(), "24");
    EXPECT_EQ(form->ProfileEdit.text(), "Standard (default.pfl)");
    EXPECT_EQ(form->SaveDialog1.fileName, "default.pfl");

    fs::remove(profiles() / "default.pfl");
    form->ReinitClick();
    EXPECT_EQ(form->ProfileEdit.text(), "None");
    EXPECT_EQ(form->fps.text(), "25");
}

TEST_F(ProfileListTest, FinalChoosersStartInTheFolderOfTheirName) {
    form->FinalFile.setText(at("out/final.avi"));
    script.answer(at("elsewhere/movie.avi"));
    form->OpenFinalClick();
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].text, at("out"));
    EXPECT_EQ(form->FinalFile.text(), at("elsewhere/movie.avi"));

    // The second stream's chooser opens only with a second stream.
    script.clearShown();
    form->AviSS2.setText(at("out/second.avi"));
    form->Chooseaviss2Click();
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(form->OpenDialog5.initialDir, at("out"));
    form->twostreams.setChecked(true);
    script.answer(at("elsewhere/two.avi"));
    form->Chooseaviss2Click();
    EXPECT_EQ(form->AviSS2.text(), at("elsewhere/two.avi"));
}

} // namespace
} // namespace kes
