// The synchronizer window's texts: the language section's table, the captions it sets and the
// language picker.

#include "tools/synchronizer/tform6.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/fit_to_text.h"

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr const char* LanguageChoiceFile = "LANG/default.ini";

template <typename... Controls>
void put(const std::string& text, Controls&... controls) {
    (controls.setCaption(text), ...);
}

// A name typed or chosen in the picker: a path as it stands (a bare name against the current folder),
// or a bare name in the folder of the file last chosen in the dialog, which the picker shows without
// its folder.
bool languageFileExists(const std::string& name, const std::string& lastChosen) {
    if (core::fileExists(name))
        return true;
    if (lastChosen.empty() || name.find('/') != std::string::npos)
        return false;
    return core::fileExists(core::joinPath(core::extractFilePath(lastChosen), name));
}

} // namespace

void TForm6::AssignLangage() {
    std::vector<SectionText> entries;
    if (!link_.loadLanguageSection || !link_.loadLanguageSection(entries))
        return;
    for (const SectionText& entry : entries)
        if (entry.number >= 1 && entry.number <= SynchTableSize)
            texts_[static_cast<size_t>(entry.number - 1)] = entry.text;
    assignCaptions();
}

void TForm6::Button21Click() {
    if (OpenDialog3.execute(this))
        Edit2.setText(core::extractFileName(OpenDialog3.fileName));
}

void TForm6::Edit2Change() {
    const std::string name = Edit2.text();
    if (name.empty() || !languageFileExists(name, OpenDialog3.fileName))
        return;
    if (!core::writeLines(programFolder_ + LanguageChoiceFile, {name})) {
        ui::errorBox("The language choice cannot be saved in " + programFolder_ + LanguageChoiceFile + ".");
        return;
    }
    AssignLangage();
    // The new captions may be longer.
    ui::fitToText(*this, {ms.widget()});
}

void TForm6::assignCaptions() {
    const auto t = [this](int n) -> const std::string& { return message(n); };
    put(t(1), TabSheet1);
    put(t(2), TabSheet2, GroupBox2);
    put(t(3), TabSheet3);
    put(t(4), TabSheet4);
    put(t(5), TabSheet5);
    put(t(6), TabSheet6);
    put(t(7), TabSheet7);
    put(t(8), GroupBox1);
    put(t(9), GroupBox4);
    put(t(10), Label3);
    put(t(11), Label5);
    put(t(12), Label4);
    put(t(13), laberl6);
    put(t(14), Label6);
    put(t(15), Button3);
    put(t(16), Play, Button4);
    put(t(17), Stop, breakstop, Button5);
    put(t(18), Label26);
    put(t(19), Label9);
    put(t(20), Button18);
    put(t(21), freeplay);
    put(t(22), range1);
    put(t(23), bReset);
    put(t(24), range2);
    put(t(25), Button14, AddFile);
    put(t(26), Button15, erase);
    put(t(27), Button16);
    put(t(28), Label8, Label37);
    put(t(29), Label38, Label39);
    put(t(30), GroupBox3);
    put(t(31), Label2);
    put(t(32), Label1);
    put(t(33), Label7);
    put(t(34), Button2, Button10, Button11);
    put(t(35), SetNew, Button19, Button20);
    put(t(36), GroupBox15);
    put(t(37), Label30);
    put(t(38), Label32);
    put(t(39), Label31, Label33);
    put(t(40), Button17);
    put(t(41), GroupBox17);
    put(t(42), Label34);
    put(t(43), Label35);
    put(t(44), Label36);
    put(t(45), GroupBox16);
    put(t(46), Autosynch);
    put(t(47), autofps);
    put(t(48), autodelay);
    put(t(49), Label14);
    put(t(50), Label16);
    put(t(51), Label13);
    put(t(52), Next);
    put(t(53), GroupBox9);
    put(t(54), GroupBox10);
    put(t(55), Label12, Label15);
    put(t(56), Label21, Label22);
    put(t(57), Set1, Set2);
    put(t(58), Button6);
    put(t(39), Label17);
    put(t(59), GroupBox12);
    put(t(60), Button9);
    put(t(61), timeb);
    put(t(62), frameb);
    put(t(63), GroupBox8);
    put(t(64), Splitway);
    put(t(65), sih);
    put(t(64), Split);
    put(t(66), saft);
    put(t(67), Wizard);
    put(t(68), go);
    put(t(69), GroupBox6);
    put(t(70), Label18);
    put(t(71), Label19);
    put(t(72), GroupBox14);
    put(t(73), GroupBox13);
    put(t(74), Label23);
    put(t(75), Label24);
    put(t(76), Label25);
    put(t(77), JoinAll);
    put(t(116), GroupBox7);
}

} // namespace tools::synchronizer
