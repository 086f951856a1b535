// Fuzz target of the dialog script's files (libFuzzer): any bytes are read as a script file of
// answers and as a log file of shown boxes. Answers written by the script writer read back unchanged.
#include "platform/core/text.h"
#include "platform/ui/dialog_script.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace testing = platform::ui::testing;
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    const std::vector<std::string> answers = testing::parseScriptText(bytes);
    std::string written;
    for (const std::string& answer : answers)
        written += platform::core::escapeLine(answer) + "\n";
    if (testing::parseScriptText(written) != answers)
        std::abort();
    static_cast<void>(testing::parseLogText(bytes));
    return 0;
}
