#pragma once

// Filter registration data (name, merit, pins and their media types) and its place in the registry
// store, under the local machine:
//   CLSID\{category}\Instance\{clsid}     "FriendlyName", "CLSID", "Merit"
//     Pins\<n>                            "Name", "Output", "Rendered", "Zero", "Many"
//       Types\<m>                         "Major", "Minor"
// Graph building reads it back to find filters by merit and media type.

#include "platform/core/registry.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/types.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::dshow {

struct AMOVIESETUP_MEDIATYPE {
    const CLSID* clsMajorType;
    const CLSID* clsMinorType;
};

struct AMOVIESETUP_PIN {
    const char* strName;
    BOOL bRendered;
    BOOL bOutput;
    BOOL bZero; // the filter may have none of this pin
    BOOL bMany; // the filter may have several
    ULONG nMediaTypes;
    const AMOVIESETUP_MEDIATYPE* lpMediaType;
};

struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const char* strName;
    DWORD dwMerit;
    ULONG nPins;
    const AMOVIESETUP_PIN* lpPin;
};

struct RegisteredPinType {
    GUID major;
    GUID minor;
};

struct RegisteredPin {
    std::string name;
    bool output = false;
    bool rendered = false;
    bool zero = false;
    bool many = false;
    std::vector<RegisteredPinType> types;
};

struct RegisteredFilter {
    CLSID clsid;
    std::string name;
    DWORD merit = 0;
    std::vector<RegisteredPin> pins;
};

// "CLSID\{category}\Instance\{clsid}".
std::string filterInstanceKey(const CLSID& clsid, const GUID& category = CLSID_LegacyAmFilterCategory);

// Replaces any earlier registration of the filter; false when the store could not be written. A
// registration already in place is left as it is, without a write.
bool registerFilter(const AMOVIESETUP_FILTER& setup, const GUID& category = CLSID_LegacyAmFilterCategory);
// Several filters in one change of the store.
bool registerFilters(std::span<const AMOVIESETUP_FILTER> setups,
                     const GUID& category = CLSID_LegacyAmFilterCategory);
// The registration added to changes that are applied together; false (adding nothing) for a setup
// without a class.
bool addFilter(platform::core::registry::Changes& changes, const AMOVIESETUP_FILTER& setup,
               const GUID& category = CLSID_LegacyAmFilterCategory);
// False when the filter was not registered.
bool unregisterFilter(const CLSID& clsid, const GUID& category = CLSID_LegacyAmFilterCategory);

std::optional<RegisteredFilter> findRegisteredFilter(const CLSID& clsid,
                                                     const GUID& category = CLSID_LegacyAmFilterCategory);
// Every registered filter of the category, highest merit first (equal merits by name).
std::vector<RegisteredFilter> registeredFilters(const GUID& category = CLSID_LegacyAmFilterCategory);

} // namespace platform::dshow
