// Fuzz target of the language files and "default.ini": the input is the program folder's choice file
// (its first line names the language file) and that language file, read by the main window's loader,
// the other windows' section reader and the language menu's scan.
#include "kes/form1_unit.h"
#include "kes/language_choice.h"
#include "kes/language_section.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    const std::string dir = kes::fuzz::scratchFolder() + "/program/";
    kes::fuzz::scratchFile("program/LANG/default.ini", bytes);
    const std::string english = kes::fuzz::scratchFile("program/LANG/English.lng", bytes);

    kes::TextTable captions;
    kes::TextTable messages;
    static_cast<void>(kes::loadMainLanguage(english, captions, messages));
    for (const kes::SectionRules* rules :
         {&kes::WizardSection, &kes::SynchronizerSection, &kes::CoverSection}) {
        kes::SectionTable table(rules->lastEntry);
        static_cast<void>(kes::loadLanguageSection(dir, *rules, table));
        for (int i = 0; i <= table.size() + 1; ++i)
            static_cast<void>(table.text(i));
    }
    const auto lines = kes::splitLanguageLines(bytes);
    const kes::SectionRead read = kes::readSection(lines, 0, kes::CaptionBlock);
    if (read.next > lines.size())
        std::abort();
    static_cast<void>(kes::readMainBlocks(bytes));
    static_cast<void>(kes::chooseLanguageFile(dir, kes::LanguageInUse));
    static_cast<void>(kes::scanLanguageFiles(dir));
    return 0;
}
