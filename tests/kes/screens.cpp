// Renders every page of the main window into PNG files, for a person to check the layout:
//   kes_screens <output folder> [program folder]
// The main window starts in the program folder (a fresh temporary one when none is given).
#include "kes/form1.h"

#include "tests/support/temp_dir.h"

#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/screenshot.h"

#include <cstdio>
#include <filesystem>
#include <memory>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kes_screens <output folder> [program folder]\n");
        return 2;
    }
    platform::ui::Application application(argc, argv);
    platform::ui::testing::DialogScript script; // start-up warnings are answered, never shown

    namespace fs = std::filesystem;
    const fs::path output = fs::absolute(argv[1]);
    fs::create_directories(output);
    std::unique_ptr<kes::test::TempDir> temp;
    fs::path programDir;
    if (argc > 2) {
        programDir = argv[2];
    } else {
        temp = std::make_unique<kes::test::TempDir>("kes-screens");
        programDir = temp->path();
        fs::create_directories(programDir / "extern");
        fs::create_directories(programDir / "LANG");
    }
    fs::current_path(programDir);

    kes::TForm1 form;
    form.show();
    form.Timer1Timer();
    struct Page {
        const char* file;
        void (kes::TForm1::*show)();
    };
    const Page pages[] = {
        {"main.png", &kes::TForm1::OptionsButtonClick},      {"video.png", &kes::TForm1::MovieButtonClick},
        {"audio.png", &kes::TForm1::AudioButtonClick},       {"paths.png", &kes::TForm1::PathsButtonClick},
        {"profiles.png", &kes::TForm1::ProfilesButtonClick}, {"extras.png", &kes::TForm1::ExtrasButtonClick},
        {"subtitles.png", &kes::TForm1::subbuttonClick},     {"d4settings.png", &kes::TForm1::Button8Click}};
    int failures = 0;
    for (const Page& page : pages) {
        (form.*page.show)();
        platform::ui::processMessages();
        if (!platform::ui::grabToPng(form, (output / page.file).string())) {
            std::fprintf(stderr, "cannot write %s\n", (output / page.file).c_str());
            ++failures;
        }
    }
    form.close();
    fs::current_path(output);
    return failures == 0 ? 0 : 1;
}
