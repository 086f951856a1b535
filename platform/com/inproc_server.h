#pragma once

// In-process servers: shared objects that export DllRegisterServer, DllUnregisterServer,
// DllGetClassObject and DllCanUnloadNow with C linkage.

#include "platform/com/unknown.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform::com {

inline constexpr const char* kRegisterServerExport = "DllRegisterServer";
inline constexpr const char* kUnregisterServerExport = "DllUnregisterServer";
inline constexpr const char* kGetClassObjectExport = "DllGetClassObject";
inline constexpr const char* kCanUnloadNowExport = "DllCanUnloadNow";

using RegisterServerFn = HRESULT (*)();
using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT (*)();

class InprocServer {
public:
    // Loads the shared object (the path resolved without regard to case). Returns nullptr, with the
    // loader's reason in *error when given, when it cannot be loaded. A missing export is not an
    // error here: calling it answers CO_E_ERRORINDLL.
    static std::shared_ptr<InprocServer> load(std::string_view path, std::string* error = nullptr);
    ~InprocServer();
    InprocServer(const InprocServer&) = delete;
    InprocServer& operator=(const InprocServer&) = delete;

    const std::string& path() const { return path_; }
    HRESULT registerServer() const;
    HRESULT unregisterServer() const;
    HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv) const;
    // S_OK when the module has no live objects and no locks.
    HRESULT canUnloadNow() const;
    // Any other export, or nullptr.
    void* symbol(const char* name) const;

private:
    InprocServer(std::string path, void* handle);

    std::string path_;
    void* handle_;
};

// The path of the shared object (or program) that holds the given code or data address; "" when
// unknown. A module uses it with one of its own functions to learn where it was loaded from.
std::string modulePathOf(const void* address);

} // namespace platform::com
