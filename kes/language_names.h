#pragma once

// Names of the two-letter language codes that DVD IFO files give their audio and subpicture streams.

#include <string>
#include <string_view>

namespace kes {

// The name shown for a language code, compared exactly (case-sensitive) with the codes of the ISO 639
// list in its 1988 form; "????" for any other code.
std::string LanguageName(std::string_view code);

// The name a list shows for a stream of that language: the name itself, or, when k items of the list
// already contain it, the name followed by k + 1 (the second English stream reads "English2").
template <typename Items>
std::string numberedName(const Items& items, const std::string& name) {
    int k = 0;
    for (const auto& item : items)
        if (std::string_view(item).find(name) != std::string_view::npos)
            ++k;
    return k > 0 ? name + std::to_string(k + 1) : name;
}

} // namespace kes
