#pragma once

// A main window started in a temporary program folder whose extern/ holds every helper file, with
// numbered marker texts ("<20>") in the message table and every rip step unticked, for the tests of
// the command lines, the preview and the rip checks.

#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/work_folders.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace kes::test {

class RipFormTest : public ::testing::Test {
protected:
    RipFormTest() {
        namespace fs = std::filesystem;
        writeBytes(folder.path() / "LANG" / "English.lng", "1.24\r\n----Messages----\r\n");
        for (const auto& helper : HelperFiles)
            writeBytes(folder.externDir() / std::string(helper.file), "");
        fs::current_path(folder.path());
        form = std::make_unique<TForm1>();
        fs::current_path(previous_);

        for (int n = 1; n <= TextTable::Size; ++n)
            MessageTable.set(n, "<" + std::to_string(n) + ">");
        for (ui::CheckBox* step :
             {&form->RipVid, &form->RipAudio, &form->normal, &form->compress, &form->Merge, &form->Split,
              &form->extractsub, &form->twostreams, &form->dual, &form->Range, &form->AudioRange,
              &form->usemulti, &form->lockcrop})
            step->setChecked(false);
        // The size boxes' own handlers copy resize sizes into the crop boxes unless this is ticked.
        form->lockcrop.setChecked(true);
        for (ui::Edit* size : {&form->XSize, &form->YSize, &form->XCrop, &form->YCrop})
            size->setText("0");
        script.clearShown();
        RipAborted = false;
    }

    // The runner leaves the program folder as the current directory; it goes before the folder does.
    // The marker texts and the flag are process-wide: later tests must not see them.
    ~RipFormTest() override {
        std::filesystem::current_path(previous_);
        MessageTable.clear();
        RipAborted = false;
    }

    // A file in the test's data folder (created with the bytes given).
    std::string make(const std::string& name, const std::string& bytes = "data") {
        const std::filesystem::path file = data.path() / name;
        std::filesystem::create_directories(file.parent_path());
        writeBytes(file, bytes);
        return file.string();
    }
    std::string at(const std::string& name) const { return (data.path() / name).string(); }
    std::string folderOfData() const { return data.path().string() + "/"; }

    std::filesystem::path previous_ = std::filesystem::current_path();
    platform::ui::testing::DialogScript script;
    ProgramFolder folder;
    TempDir data{"kes-rip"};
    std::unique_ptr<TForm1> form;
};

} // namespace kes::test
