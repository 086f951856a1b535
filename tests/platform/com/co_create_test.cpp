#include "platform/com/class_factory.h"
#include "platform/com/class_registry.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_server.h"
#include "platform/core/registry.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace platform::com {
namespace {

constexpr CLSID kBuiltin = makeGuid("{A1B2C3D4-0002-0000-0000-000000000001}");
constexpr CLSID kRegistered = makeGuid("{A1B2C3D4-0002-0000-0000-000000000002}");

class Plain final : public CUnknown {
public:
    Plain() : CUnknown("plain", nullptr) {}
    static CUnknown* create(IUnknown*, HRESULT*) { return new Plain; }
};

TEST(ClassRegistry, WritesTheServerKeysAndReadsThemBack) {
    ASSERT_TRUE(registerInprocServer(kRegistered, "Test class", "/opt/x/extern/_Test.ax", "Both"));
    using platform::core::RootKey;
    namespace reg = platform::core::registry;
    EXPECT_EQ(reg::readString(RootKey::LocalMachine,
                              "CLSID\\{A1B2C3D4-0002-0000-0000-000000000002}\\InprocServer32", ""),
              "/opt/x/extern/_Test.ax");
    EXPECT_EQ(reg::readString(RootKey::LocalMachine,
                              "CLSID\\{A1B2C3D4-0002-0000-0000-000000000002}\\InprocServer32",
                              "ThreadingModel"),
              "Both");
    const auto found = findClassRegistration(kRegistered);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Test class");
    EXPECT_EQ(found->modulePath, "/opt/x/extern/_Test.ax");
    EXPECT_TRUE(unregisterClass(kRegistered));
    EXPECT_FALSE(findClassRegistration(kRegistered));
    EXPECT_FALSE(unregisterClass(kRegistered));
}

TEST(CoCreateInstance, BuiltinClassesComeFirstAndUnknownClassesAreNotRegistered) {
    registerBuiltinClass(kBuiltin, [] {
        auto* factory = new ClassFactory(&Plain::create);
        factory->NonDelegatingAddRef();
        return static_cast<IClassFactory*>(factory);
    });
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(kBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
              S_OK);
    EXPECT_TRUE(object);
    EXPECT_EQ(CoCreateInstance(kBuiltin, nullptr, 0x4 /* local server */, IID_IUnknown, object.putVoid()),
              REGDB_E_CLASSNOTREG);
    unregisterBuiltinClass(kBuiltin);
    EXPECT_EQ(CoCreateInstance(kBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(object);
}

TEST(CoCreateInstance, ARegisteredServerThatCannotBeLoadedFails) {
    kes::test::TempDir dir;
    kes::test::writeBytes(dir.path() / "broken.ax", "not a shared object");
    ASSERT_TRUE(registerInprocServer(kRegistered, "Broken", dir.file("broken.ax"), "Both"));
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(kRegistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
              CO_E_DLLNOTFOUND);
    std::string error;
    EXPECT_EQ(InprocServer::load(dir.file("missing.ax"), &error), nullptr);
    EXPECT_FALSE(error.empty());
    unregisterClass(kRegistered);
}

TEST(InprocServer, MissingExportsAnswerErrorInDll) {
    // The C library is a shared object without any of the four exports.
    auto server = InprocServer::load("libc.so.6");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->registerServer(), CO_E_ERRORINDLL);
    void* out = nullptr;
    EXPECT_EQ(server->getClassObject(kBuiltin, IID_IClassFactory, &out), CO_E_ERRORINDLL);
    EXPECT_EQ(server->canUnloadNow(), S_FALSE);
    EXPECT_FALSE(modulePathOf(reinterpret_cast<const void*>(&modulePathOf)).empty());
}

} // namespace
} // namespace platform::com
