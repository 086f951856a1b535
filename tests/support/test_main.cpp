// The main of every test executable. Before any test runs it gives the process a private registry
// store, a shutdown command that only records, and the offscreen Qt platform, so that no test needs
// a display, touches the user's settings or can switch the machine off.
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#ifdef KES_TEST_WITH_QT
#include <QApplication>
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);

    auto sandbox = std::make_unique<kes::test::TempDir>("kes-env");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("KESTROVA_REGISTRY", sandbox->file("registry").c_str(), 1);
    setenv("KES_RECORDER_LOG", sandbox->file("recorder.log").c_str(), 0);
    if (const char* fakes = std::getenv("KES_TEST_FAKES_DIR"); fakes && *fakes)
        setenv("KESTROVA_SHUTDOWN_COMMAND", (std::string(fakes) + "/kes_recorder shutdown").c_str(), 1);
    else
        setenv("KESTROVA_SHUTDOWN_COMMAND", "true", 1);

#ifdef KES_TEST_WITH_QT
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
#else
    return RUN_ALL_TESTS();
#endif
}
