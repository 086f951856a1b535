#pragma once

// The classes of the module: the filter and its about page, with the filter's registration data.

#include "platform/dshow/factory_template.h"

namespace quillon {

inline constexpr char kFilterDisplayName[] = "Orvento Multiple MPEG2 File Source";
inline constexpr char kAboutDisplayName[] = "Orvento Multiple MPEG2 File Source : About Property Page";
// The filter's merit: below what automatic graph building tries, so that only hosts that ask for the
// filter by its class get it.
inline constexpr platform::com::DWORD kFilterMerit = 0x200000;

platform::dshow::FactoryTable factoryTable();

} // namespace quillon
