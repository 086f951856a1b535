#include "platform/com/inproc_server.h"

#include "platform/core/paths.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

namespace platform::com {

std::shared_ptr<InprocServer> InprocServer::load(std::string_view path, std::string* error) {
    const std::string resolved = platform::core::resolvePath(path);
    dlerror();
    void* handle = dlopen(resolved.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* why = dlerror();
            *error = why ? why : "cannot load " + resolved;
        }
        return nullptr;
    }
    return std::shared_ptr<InprocServer>(new InprocServer(resolved, handle));
}

InprocServer::InprocServer(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}

InprocServer::~InprocServer() {
    if (handle_)
        dlclose(handle_);
}

void* InprocServer::symbol(const char* name) const {
    return dlsym(handle_, name);
}

HRESULT InprocServer::registerServer() const {
    auto fn = reinterpret_cast<RegisterServerFn>(symbol(kRegisterServerExport));
    return fn ? fn() : CO_E_ERRORINDLL;
}

HRESULT InprocServer::unregisterServer() const {
    auto fn = reinterpret_cast<RegisterServerFn>(symbol(kUnregisterServerExport));
    return fn ? fn() : CO_E_ERRORINDLL;
}

HRESULT InprocServer::getClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    auto fn = reinterpret_cast<GetClassObjectFn>(symbol(kGetClassObjectExport));
    return fn ? fn(clsid, riid, ppv) : CO_E_ERRORINDLL;
}

HRESULT InprocServer::canUnloadNow() const {
    auto fn = reinterpret_cast<CanUnloadNowFn>(symbol(kCanUnloadNowExport));
    return fn ? fn() : S_FALSE;
}

std::string modulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    char full[PATH_MAX];
    if (realpath(info.dli_fname, full))
        return full;
    return info.dli_fname;
}

} // namespace platform::com
