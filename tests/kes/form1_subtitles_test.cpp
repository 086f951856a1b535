// The subtitle page on a main window: the IFO's subpicture languages, choosing and removing languages,
// the subtitle step's box, and the chosen languages kept through a profile.
#include "rip_form_fixture.h"

#include <string>
#include <vector>

namespace kes {
namespace {

using test::readBytes;
using test::writeBytes;
using Lines = std::vector<std::string>;

// An IFO head with no audio stream and the given subpicture codes.
std::string ifoWithSubtitles(const Lines& codes, size_t size = 0x400) {
    std::string bytes(size, '\0');
    bytes[0x255] = static_cast<char>(codes.size());
    for (size_t j = 0; j < codes.size() && 0x258 + 6 * j + 2 <= size; ++j)
        bytes.replace(0x258 + 6 * j, 2, codes[j]);
    return bytes.substr(0, size);
}

class SubtitlePageTest : public test::RipFormTest {
protected:
    SubtitlePageTest() {
        vob = make("dvd/VTS_02_1.VOB", "vob");
        ifo = at("dvd/VTS_02_0.IFO");
        folder.installFake("Tonegrab.exe", "kes_fake_tool");
    }
    void select(ui::ListBox& list, const std::vector<int>& rows) {
        for (int i = 0; i < list.itemCount(); ++i)
            list.setSelected(i, std::find(rows.begin(), rows.end(), i) != rows.end());
    }

    std::string vob;
    std::string ifo;
};

TEST_F(SubtitlePageTest, NewFirstVobListsTheIfoLanguages) {
    writeBytes(ifo, ifoWithSubtitles({"en", "fr", "en", "zz"}));
    form->Vobfile.setText(vob);
    EXPECT_EQ(form->ifofile.text(), ifo);
    EXPECT_EQ(form->IFOlngList.items(), (Lines{"English", "Francais", "English2", "????"}));
    EXPECT_TRUE(form->selectedlng.items().empty());

    form->Vobfile.setText(at("dvd/VTS_03_1.VOB"));
    EXPECT_EQ(form->ifofile.text(), "NONE");
    EXPECT_TRUE(form->IFOlngList.items().empty());
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(SubtitlePageTest, DamagedIfoKeepsTheLanguagesRead) {
    std::string bytes = ifoWithSubtitles({"de", "it"});
    bytes[0x255] = 5;
    writeBytes(ifo, bytes.substr(0, 0x258 + 6 + 2));
    form->Vobfile.setText(vob);
    EXPECT_EQ(form->IFOlngList.items(), (Lines{"Deutsch", "Italiano"}));
    EXPECT_EQ(script.texts("error"), Lines{"Can't read the subtitle languages of " + ifo + " !"});

    // A file shorter than the count itself.
    script.clearShown();
    writeBytes(ifo, "short");
    form->ifofile.setText("NONE");
    form->ifofile.setText(ifo);
    EXPECT_TRUE(form->IFOlngList.items().empty());
    EXPECT_EQ(script.texts("error").size(), 1U);
}

TEST_F(SubtitlePageTest, ChoosingAndRemovingLanguages) {
    writeBytes(ifo, ifoWithSubtitles({"en", "fr", "en"}));
    form->Vobfile.setText(vob);
    form->RipAll.setChecked(false);
    select(form->IFOlngList, {0, 2});
    form->SpeedButton5.click();
    EXPECT_EQ(form->selectedlng.items(), (Lines{"English", "English2"}));
    EXPECT_TRUE(form->extractsub.enabled());
    EXPECT_TRUE(form->extractsub.checked());
    EXPECT_TRUE(form->RipAll.checked());

    // The same selection again adds nothing; a new one adds only what is missing.
    form->SpeedButton5.click();
    select(form->IFOlngList, {1, 2});
    form->SpeedButton5.click();
    EXPECT_EQ(form->selectedlng.items(), (Lines{"English", "English2", "Francais"}));

    form->selectedlng.setItemIndex(1);
    form->SpeedButton6.click();
    EXPECT_EQ(form->selectedlng.items(), (Lines{"English", "Francais"}));
    EXPECT_TRUE(form->extractsub.checked());
    for (int left = 2; left > 0; --left) {
        form->selectedlng.setItemIndex(0);
        form->SpeedButton6.click();
    }
    EXPECT_TRUE(form->selectedlng.items().empty());
    EXPECT_FALSE(form->extractsub.checked());
    EXPECT_FALSE(form->extractsub.enabled());
    // Nothing selected in an empty list: nothing happens.
    form->SpeedButton6.click();
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(SubtitlePageTest, SubtitleStepAlwaysLeavesRipAllTicked) {
    form->extractsub.setEnabled(true);
    form->RipAll.setChecked(false);
    form->extractsub.setChecked(true);
    EXPECT_TRUE(form->RipAll.checked());
    form->RipAll.setChecked(false);
    form->extractsub.setChecked(false);
    EXPECT_TRUE(form->RipAll.checked());
}

TEST_F(SubtitlePageTest, ChosenLanguagesSurviveAProfile) {
    writeBytes(ifo, ifoWithSubtitles({"en", "fr", "en"}));
    form->Vobfile.setText(vob);
    select(form->IFOlngList, {2, 1});
    form->SpeedButton5.click();
    const std::string profile = at("subs.pfl");
    form->SaveDialog1.fileName = profile;
    form->CreateProfile(false);
    const std::string text = readBytes(profile);
    EXPECT_EQ(text.substr(text.rfind("[SUB]")), "[SUB]\r\nslng=Francais/English2/");

    // Loading reads the IFO again (which empties the choice) and then restores the choice.
    form->InitFields();
    form->InitPath();
    form->ReadProFile(profile);
    form->CopyFromProfile();
    EXPECT_EQ(form->ifofile.text(), ifo);
    EXPECT_EQ(form->IFOlngList.items(), (Lines{"English", "Francais", "English2"}));
    EXPECT_EQ(form->selectedlng.items(), (Lines{"Francais", "English2"}));
    EXPECT_TRUE(form->extractsub.checked());
}

TEST_F(SubtitlePageTest, PageButtonNamesTheIfoAndTheDestination) {
    writeBytes(ifo, ifoWithSubtitles({"nl"}));
    form->Vobfile.setTextSilent(vob);
    form->FinalFile.setTextSilent(at("out/movie.avi"));
    form->subbutton.click();
    EXPECT_EQ(script.texts("error"), Lines{"Can't register DVOBSUB.AX"});
    EXPECT_EQ(form->main.activePage(), &form->subsheet);
    EXPECT_EQ(form->ifofile.text(), ifo);
    EXPECT_EQ(form->destsub.text(), at("out/movie.sub"));
    EXPECT_EQ(form->IFOlngList.items(), Lines{"Nederlands"});
}

} // namespace
} // namespace kes
