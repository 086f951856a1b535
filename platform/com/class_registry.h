#pragma once

// Class registration in the registry store, under the local machine:
//   CLSID\{clsid}                   default value: the class's display name
//   CLSID\{clsid}\InprocServer32    default value: the shared object's path; "ThreadingModel"

#include "platform/com/guid.h"
#include "platform/core/registry.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform::com {

inline constexpr std::string_view kClassesKey = "CLSID";
inline constexpr std::string_view kInprocServerKey = "InprocServer32";
inline constexpr std::string_view kThreadingModelValue = "ThreadingModel";
inline constexpr std::string_view kDefaultValue = ""; // the key's unnamed value

// "CLSID\{clsid}".
std::string classKey(const CLSID& clsid);

bool registerInprocServer(const CLSID& clsid, std::string_view name, std::string_view modulePath,
                          std::string_view threadingModel);
// The same registration added to changes that are applied together.
void addInprocServer(platform::core::registry::Changes& changes, const CLSID& clsid, std::string_view name,
                     std::string_view modulePath, std::string_view threadingModel);
// Removes the class's key with everything under it; false when it was not registered.
bool unregisterClass(const CLSID& clsid);

struct ClassRegistration {
    std::string name;
    std::string modulePath;
    std::string threadingModel;
};
std::optional<ClassRegistration> findClassRegistration(const CLSID& clsid);

} // namespace platform::com
