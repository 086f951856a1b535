// The program block: the application object, the main window as the main form, the message loop.
#include "kes/form1.h"

#include "platform/ui/application.h"

int main(int argc, char** argv) {
    platform::ui::Application application(argc, argv);
    kes::TForm1 mainForm;
    return application.run(mainForm);
}
