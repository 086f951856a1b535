#pragma once

// The class identifiers of the filter and of its about page.

#include "platform/com/guid.h"

namespace quillon {

inline constexpr platform::com::CLSID CLSID_MultipleFileSource =
    platform::com::makeGuid("{53022B5B-F982-4886-B0B9-CF185F40332A}");
inline constexpr platform::com::CLSID CLSID_MultipleFileSourceAbout =
    platform::com::makeGuid("{53C5833F-1695-47C2-AEF8-2AC858D36309}");

} // namespace quillon
