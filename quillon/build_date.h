#pragma once

// The build date as the about page shows it: "May 24 2000" becomes "May 24, 2000".

#include <string>
#include <string_view>

namespace quillon {

// date: three-letter month, blank, two day characters, blank, four-digit year (the compiler's build
// date). A text of another shape is returned as it stands.
std::string buildDateText(std::string_view date);

} // namespace quillon
