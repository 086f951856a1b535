// Fuzz target of the codec-dialog automation script (libFuzzer): the input is split as the platform
// splits the line that starts "divxauto.exe" (or, with every "@" for a double quote, "delayer.exe"),
// and the words are parsed as the automation items the dialog runs. Each item as the channel carries
// it comes back unchanged.
#include "outside/delayer/delayed_line.h"
#include "platform/core/process.h"
#include "platform/core/text.h"
#include "platform/vfw/compressor_dialog.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace core = platform::core;
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    std::vector<std::string> words = core::splitCommandLine(bytes);
    if (!words.empty() && !words.front().empty() && words.front().back() == '@')
        words = core::splitCommandLine(
            delayer::joinLine(std::vector<std::string>(words.begin() + 1, words.end())));
    if (words.empty())
        return 0;
    const std::vector<std::string> texts(words.begin() + 1, words.end());
    std::vector<platform::vfw::AutomationItem> items;
    std::string error;
    if (platform::vfw::parseAutomationScript(texts, items, error)) {
        if (items.size() != texts.size())
            std::abort();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].text != texts[i] || items[i].number < 0 || items[i].number > 99)
                std::abort();
    }
    for (const std::string& text : texts)
        if (core::unescapeLine(core::escapeLine(text)) != text)
            std::abort();
    static_cast<void>(core::unescapeLine(bytes));
    return 0;
}
