#include "platform/dshow/filter_registration.h"

#include "platform/com/class_registry.h"
#include "platform/core/registry.h"

#include <algorithm>

namespace platform::dshow {

namespace reg = platform::core::registry;
using platform::core::RootKey;

namespace {

constexpr RootKey kRoot = RootKey::LocalMachine;
constexpr const char* kFriendlyName = "FriendlyName";
constexpr const char* kClsidValue = "CLSID";
constexpr const char* kMerit = "Merit";
constexpr const char* kPins = "Pins";
constexpr const char* kTypes = "Types";

std::string join(const std::string& key, const std::string& sub) {
    return key + "\\" + sub;
}

void writeFlag(reg::Changes& changes, const std::string& key, const char* name, BOOL value) {
    changes.writeDword(kRoot, key, name, value ? 1u : 0u);
}

bool readFlag(const std::string& key, const char* name) {
    return reg::readDword(kRoot, key, name).value_or(0) != 0;
}

bool isIndex(const std::string& text) {
    constexpr size_t kMaxDigits = 9;
    return !text.empty() && text.size() <= kMaxDigits &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The numbered subkeys of a key in numeric order; other names are passed over.
std::vector<std::string> indexSubKeys(const std::string& key) {
    std::vector<std::string> keys = reg::subKeys(kRoot, key);
    keys.erase(std::remove_if(keys.begin(), keys.end(), [](const std::string& k) { return !isIndex(k); }),
               keys.end());
    std::sort(keys.begin(), keys.end(),
              [](const std::string& a, const std::string& b) { return std::stoul(a) < std::stoul(b); });
    return keys;
}

void writePin(reg::Changes& changes, const std::string& key, const AMOVIESETUP_PIN& pin) {
    changes.writeString(kRoot, key, "Name", pin.strName ? pin.strName : "");
    writeFlag(changes, key, "Output", pin.bOutput);
    writeFlag(changes, key, "Rendered", pin.bRendered);
    writeFlag(changes, key, "Zero", pin.bZero);
    writeFlag(changes, key, "Many", pin.bMany);
    for (ULONG t = 0; pin.lpMediaType && t < pin.nMediaTypes; ++t) {
        const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
        const std::string typeKey = join(join(key, kTypes), std::to_string(t));
        changes.writeString(kRoot, typeKey, "Major",
                            platform::com::guidToString(type.clsMajorType ? *type.clsMajorType : GUID_NULL));
        changes.writeString(kRoot, typeKey, "Minor",
                            platform::com::guidToString(type.clsMinorType ? *type.clsMinorType : GUID_NULL));
    }
}

RegisteredPin readPin(const std::string& key) {
    RegisteredPin pin;
    pin.name = reg::readString(kRoot, key, "Name").value_or("");
    pin.output = readFlag(key, "Output");
    pin.rendered = readFlag(key, "Rendered");
    pin.zero = readFlag(key, "Zero");
    pin.many = readFlag(key, "Many");
    for (const std::string& t : indexSubKeys(join(key, kTypes))) {
        const std::string typeKey = join(join(key, kTypes), t);
        const auto major = platform::com::parseGuid(reg::readString(kRoot, typeKey, "Major").value_or(""));
        const auto minor = platform::com::parseGuid(reg::readString(kRoot, typeKey, "Minor").value_or(""));
        if (major && minor)
            pin.types.push_back({*major, *minor});
    }
    return pin;
}

} // namespace

std::string filterInstanceKey(const CLSID& clsid, const GUID& category) {
    return platform::com::classKey(category) + "\\Instance\\" + platform::com::guidToString(clsid);
}

bool addFilter(reg::Changes& changes, const AMOVIESETUP_FILTER& setup, const GUID& category) {
    if (!setup.clsID)
        return false;
    const std::string key = filterInstanceKey(*setup.clsID, category);
    changes.deleteKey(kRoot, key);
    changes.writeString(kRoot, key, kFriendlyName, setup.strName ? setup.strName : "");
    changes.writeString(kRoot, key, kClsidValue, platform::com::guidToString(*setup.clsID));
    changes.writeDword(kRoot, key, kMerit, setup.dwMerit);
    for (ULONG p = 0; setup.lpPin && p < setup.nPins; ++p)
        writePin(changes, join(join(key, kPins), std::to_string(p)), setup.lpPin[p]);
    return true;
}

bool registerFilter(const AMOVIESETUP_FILTER& setup, const GUID& category) {
    return registerFilters({&setup, 1}, category);
}

bool registerFilters(std::span<const AMOVIESETUP_FILTER> setups, const GUID& category) {
    reg::Changes changes;
    bool ok = true;
    for (const AMOVIESETUP_FILTER& setup : setups)
        ok = addFilter(changes, setup, category) && ok;
    return changes.apply() && ok;
}

bool unregisterFilter(const CLSID& clsid, const GUID& category) {
    return reg::deleteKey(kRoot, filterInstanceKey(clsid, category));
}

std::optional<RegisteredFilter> findRegisteredFilter(const CLSID& clsid, const GUID& category) {
    const std::string key = filterInstanceKey(clsid, category);
    if (!reg::keyExists(kRoot, key))
        return std::nullopt;
    RegisteredFilter filter;
    filter.clsid = clsid;
    filter.name = reg::readString(kRoot, key, kFriendlyName).value_or("");
    filter.merit = reg::readDword(kRoot, key, kMerit).value_or(0);
    for (const std::string& p : indexSubKeys(join(key, kPins)))
        filter.pins.push_back(readPin(join(join(key, kPins), p)));
    return filter;
}

std::vector<RegisteredFilter> registeredFilters(const GUID& category) {
    std::vector<RegisteredFilter> filters;
    const std::string instances = platform::com::classKey(category) + "\\Instance";
    for (const std::string& name : reg::subKeys(kRoot, instances)) {
        const auto clsid = platform::com::parseGuid(name);
        if (!clsid)
            continue;
        if (auto filter = findRegisteredFilter(*clsid, category))
            filters.push_back(std::move(*filter));
    }
    std::stable_sort(filters.begin(), filters.end(),
                     [](const RegisteredFilter& a, const RegisteredFilter& b) {
                         return a.merit != b.merit ? a.merit > b.merit : a.name < b.name;
                     });
    return filters;
}

} // namespace platform::dshow
