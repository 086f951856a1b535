#pragma once

#include <string>
#include <string_view>

namespace outside::vobsub {

// The English name of a two-letter language code ("en" gives "English"), "Unknown" for other codes,
// as the index names its languages.
std::string englishLanguageName(std::string_view code);

} // namespace outside::vobsub
