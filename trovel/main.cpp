// The program block of Tonegrab: the application object, the one window, the message loop. The exit
// status is the window's account of the run.

#include "trovel/own_folder.h"
#include "trovel/tform1.h"

#include "platform/ui/application.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Taken before the toolkit sees them: it would remove parameters it takes for its own options.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string folder = trovel::ownFolder(argc > 0 ? argv[0] : nullptr);
    platform::ui::Application application(argc, argv);
    trovel::TForm1 window(folder, arguments);
    application.run(window);
    return window.ExitStatus;
}
