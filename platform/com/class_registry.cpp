#include "platform/com/class_registry.h"

#include "platform/core/registry.h"

namespace platform::com {

namespace reg = platform::core::registry;
using platform::core::RootKey;

namespace {
std::string serverKey(const CLSID& clsid) {
    return classKey(clsid) + "\\" + std::string(kInprocServerKey);
}
} // namespace

std::string classKey(const CLSID& clsid) {
    return std::string(kClassesKey) + "\\" + guidToString(clsid);
}

bool registerInprocServer(const CLSID& clsid, std::string_view name, std::string_view modulePath,
                          std::string_view threadingModel) {
    reg::Changes changes;
    addInprocServer(changes, clsid, name, modulePath, threadingModel);
    return changes.apply();
}

void addInprocServer(reg::Changes& changes, const CLSID& clsid, std::string_view name,
                     std::string_view modulePath, std::string_view threadingModel) {
    const std::string server = serverKey(clsid);
    changes.writeString(RootKey::LocalMachine, classKey(clsid), kDefaultValue, name);
    changes.writeString(RootKey::LocalMachine, server, kDefaultValue, modulePath);
    changes.writeString(RootKey::LocalMachine, server, kThreadingModelValue, threadingModel);
}

bool unregisterClass(const CLSID& clsid) {
    return reg::deleteKey(RootKey::LocalMachine, classKey(clsid));
}

std::optional<ClassRegistration> findClassRegistration(const CLSID& clsid) {
    const std::string server = serverKey(clsid);
    auto path = reg::readString(RootKey::LocalMachine, server, kDefaultValue);
    if (!path || path->empty())
        return std::nullopt;
    ClassRegistration r;
    r.modulePath = std::move(*path);
    r.name = reg::readString(RootKey::LocalMachine, classKey(clsid), kDefaultValue).value_or("");
    r.threadingModel = reg::readString(RootKey::LocalMachine, server, kThreadingModelValue).value_or("");
    return r;
}

} // namespace platform::com
