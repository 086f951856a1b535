#pragma once

// The whole road of a rip as a user takes it: a program folder holding everything the build
// assembled, a generated DVD title, a profile saved from the main window and loaded again from the
// profile list of a freshly started one, "Launch rip !", every box answered by the dialog script.

#include "tests/rip/dvd_title.h"

#include "kes/form1.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kes::test {

class RipRoadTest : public ::testing::Test {
protected:
    using Lines = std::vector<std::string>;
    using Settings = std::function<void(TForm1&)>;

    RipRoadTest();
    ~RipRoadTest() override;

    // Copies every file of the assembled program folder into the test's own.
    void installProgramFolder();
    // Puts a recording stand-in under the name of every helper file the build does not make (yet),
    // and an empty DivX 4 decoder file when the build has none, for the rips that do not use them.
    void fillMissingHelpers();
    // Writes the generated title into "<data>/dvd/VIDEO_TS".
    void makeTitle(const DvdTitleSpec& spec = {});

    // Starts the main window in the program folder as the program does, and shows it.
    void start();
    // On a started window: the settings a profile of that name holds, with the title's first VOB,
    // saved into Profiles/<file>.
    void saveProfile(const std::string& name, const std::string& file, const Settings& settings);
    // A fresh start, then a click on the profile's line of the list; the boxes the load showed go
    // into loadBoxes.
    void loadProfile(const std::string& name);
    // "Launch rip !" of the window as it stands.
    void launch();
    // The choices of a one-CD rip: Azid audio, normalised and compressed to MP3 at 128 kbit/s, the
    // video in two DivX 4 passes (codec dialog automated) at the suggested rate, resized to 320x256,
    // both muxed.
    static void chooseOneCdRip(TForm1& f);

    // Boxes shown since the last launch or start, as "kind: text", without the report.
    Lines shown() const;
    // The texts of the report boxes shown.
    Lines reports() const;
    // The files under a folder, relative to it and sorted.
    static Lines filesUnder(const std::filesystem::path& folder);
    std::string at(const std::string& name) const { return (data.path() / name).string(); }
    std::filesystem::path program(const std::string& name) const { return folder.path() / name; }

    std::filesystem::path previous_ = std::filesystem::current_path();
    platform::ui::testing::DialogScript script;
    ProgramFolder folder;
    TempDir data{"kes-road"};
    DvdTitle title;
    Lines loadBoxes;
    std::unique_ptr<TForm1> form;
};

// The settings every rip of these tests shares: the title, work and final files in the test's
// data folder, every step unticked (each test ticks its own), the log and no shutdown.
void baseSettings(TForm1& f, const DvdTitle& title, const std::string& out);

} // namespace kes::test
