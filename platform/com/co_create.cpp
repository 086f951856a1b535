#include "platform/com/co_create.h"

#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_server.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace platform::com {

namespace {

struct ClassTables {
    std::mutex mutex;
    std::unordered_map<GUID, BuiltinFactoryFn, GuidHash> builtins;
    std::map<std::string, std::shared_ptr<InprocServer>> servers; // by resolved path
};

ClassTables& tables() {
    static ClassTables t;
    return t;
}

std::shared_ptr<InprocServer> serverFor(const std::string& path) {
    ClassTables& t = tables();
    std::lock_guard lock(t.mutex);
    for (const auto& [loadedPath, server] : t.servers)
        if (loadedPath == path || server->path() == path)
            return server;
    auto server = InprocServer::load(path);
    if (server)
        t.servers.emplace(server->path(), server);
    return server;
}

} // namespace

void registerBuiltinClass(const CLSID& clsid, BuiltinFactoryFn makeFactory) {
    ClassTables& t = tables();
    std::lock_guard lock(t.mutex);
    t.builtins[clsid] = std::move(makeFactory);
}

void unregisterBuiltinClass(const CLSID& clsid) {
    ClassTables& t = tables();
    std::lock_guard lock(t.mutex);
    t.builtins.erase(clsid);
}

HRESULT CoInitialize(void*) {
    return S_OK;
}
void CoUninitialize() {}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if ((clsContext & CLSCTX_INPROC) == 0)
        return REGDB_E_CLASSNOTREG;
    BuiltinFactoryFn builtin;
    {
        ClassTables& t = tables();
        std::lock_guard lock(t.mutex);
        if (auto it = t.builtins.find(clsid); it != t.builtins.end())
            builtin = it->second;
    }
    if (builtin) {
        auto factory = ComPtr<IClassFactory>::adopt(builtin());
        if (!factory)
            return E_OUTOFMEMORY;
        return factory->QueryInterface(riid, ppv);
    }
    const auto registration = findClassRegistration(clsid);
    if (!registration)
        return REGDB_E_CLASSNOTREG;
    auto server = serverFor(registration->modulePath);
    if (!server)
        return CO_E_DLLNOTFOUND;
    return server->getClassObject(clsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, clsContext, IID_IClassFactory, factory.putVoid());
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    return factory->CreateInstance(outer, riid, ppv);
}

void CoFreeUnusedLibraries() {
    ClassTables& t = tables();
    std::lock_guard lock(t.mutex);
    for (auto it = t.servers.begin(); it != t.servers.end();) {
        if (it->second->canUnloadNow() == S_OK && it->second.use_count() == 1)
            it = t.servers.erase(it);
        else
            ++it;
    }
}

size_t loadedServerCount() {
    ClassTables& t = tables();
    std::lock_guard lock(t.mutex);
    return t.servers.size();
}

} // namespace platform::com
