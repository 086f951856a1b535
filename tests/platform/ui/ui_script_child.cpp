// Shows an error box, a Yes/No question and an input box under whatever script its environment names,
// and reports the answers on stdout, so that a test can see a child never wait on a box.
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <cstdio>

int main(int argc, char** argv) {
    platform::ui::Application app(argc, argv);
    platform::ui::setApplicationTitle("Child");
    platform::ui::errorBox("Source file not found !");
    const bool yes = platform::ui::askYesNo("Overwrite?");
    const std::string name = platform::ui::inputBox("Oops !", "Name:", "None");
    std::printf("%s %s\n", yes ? "yes" : "no", name.c_str());
    return 0;
}
