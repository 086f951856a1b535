#include "platform/core/registry.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform::core;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;
namespace reg = platform::core::registry;

namespace {

constexpr auto HKCU = RootKey::CurrentUser;
constexpr auto HKLM = RootKey::LocalMachine;

// Points the store at a fresh file (in a folder that does not exist yet) for one test, and gives the
// test main's store back afterwards.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* env = std::getenv("KESTROVA_REGISTRY"))
            saved_ = env;
        setenv("KESTROVA_REGISTRY", dir_.file("cfg/kestrova/registry").c_str(), 1);
    }
    void TearDown() override { setenv("KESTROVA_REGISTRY", saved_.c_str(), 1); }
    std::string store() const { return dir_.file("cfg/kestrova/registry"); }

    TempDir dir_;
    std::string saved_;
};

} // namespace

TEST_F(Registry, KeysIgnoreCaseAndCreateTheirParents) {
    EXPECT_FALSE(reg::keyExists(HKCU, "Software\\Kestrova"));
    EXPECT_FALSE(std::filesystem::exists(store())); // reading creates nothing
    EXPECT_TRUE(reg::createKey(HKCU, "Software\\Kestrova\\Lang1.24"));
    EXPECT_TRUE(reg::keyExists(HKCU, "SOFTWARE\\kestrova"));
    EXPECT_TRUE(reg::keyExists(HKCU, "\\software\\KESTROVA\\lang1.24\\"));
    EXPECT_FALSE(reg::keyExists(HKLM, "Software\\Kestrova"));
    EXPECT_TRUE(reg::createKey(HKCU, "software\\kestrova")); // exists already: still true
    EXPECT_EQ(reg::subKeys(HKCU, "Software"), (std::vector<std::string>{"Kestrova"}));
    EXPECT_EQ(reg::subKeys(HKCU, ""), (std::vector<std::string>{"Software"}));

    EXPECT_TRUE(reg::deleteKey(HKCU, "software\\KESTROVA"));
    EXPECT_FALSE(reg::keyExists(HKCU, "Software\\Kestrova\\Lang1.24"));
    EXPECT_TRUE(reg::keyExists(HKCU, "Software"));
    EXPECT_FALSE(reg::deleteKey(HKCU, "Software\\Kestrova"));
    EXPECT_FALSE(reg::deleteKey(HKCU, ""));
}

TEST_F(Registry, StringAndDwordValues) {
    EXPECT_TRUE(reg::writeDword(HKCU, "Software\\Kestrova\\Cover", "dpi", 300));
    EXPECT_EQ(reg::readDword(HKCU, "software\\kestrova\\cover", "DPI"), 300u);
    EXPECT_TRUE(reg::writeDword(HKCU, "Software\\Kestrova\\Cover", "DPI", 0xFFFFFFFFu));
    EXPECT_EQ(reg::readDword(HKCU, "Software\\Kestrova\\Cover", "dpi"), 0xFFFFFFFFu);
    EXPECT_EQ(reg::valueNames(HKCU, "Software\\Kestrova\\Cover"), (std::vector<std::string>{"dpi"}));
    EXPECT_FALSE(reg::readString(HKCU, "Software\\Kestrova\\Cover", "dpi").has_value()); // wrong type

    // Texts keep every byte: blanks, line ends, "%", "=", brackets and UTF-8.
    const std::string odd = " a=b [x] %20 \r\n\tz\xC3\xA9 ";
    EXPECT_TRUE(reg::writeString(HKLM, "Software\\Xing\\AC3", "Lib Path", odd));
    EXPECT_EQ(reg::readString(HKLM, "SOFTWARE\\XING\\ac3", "lib path"), odd);
    EXPECT_TRUE(reg::writeString(HKLM, "Software\\Xing\\AC3", "empty", ""));
    EXPECT_TRUE(reg::writeString(HKLM, "Software\\Xing\\AC3", "", "default"));
    EXPECT_EQ(reg::readString(HKLM, "Software\\Xing\\AC3", ""), "default");
    EXPECT_TRUE(reg::deleteValue(HKLM, "Software\\Xing\\AC3", ""));
    EXPECT_EQ(reg::readString(HKLM, "Software\\Xing\\AC3", "empty"), "");
    EXPECT_FALSE(reg::readString(HKCU, "Software\\Xing\\AC3", "Lib Path").has_value());

    EXPECT_TRUE(reg::deleteValue(HKLM, "Software\\Xing\\AC3", "LIB PATH"));
    EXPECT_FALSE(reg::deleteValue(HKLM, "Software\\Xing\\AC3", "lib path"));
    EXPECT_FALSE(reg::deleteValue(HKLM, "Software\\Nothing", "x"));
    EXPECT_EQ(reg::valueNames(HKLM, "Software\\Xing\\AC3"), (std::vector<std::string>{"empty"}));
    EXPECT_FALSE(reg::writeString(HKCU, "", "root value", "x"));
}

TEST_F(Registry, DamagedStoresDoNotBreakAnything) {
    std::filesystem::create_directories(std::filesystem::path(store()).parent_path());
    writeBytes(store(), std::string("garbage\0\xFF\n", 10) + "S orphan value\n"
                                                             "K HKXX Bad\n"
                                                             "S lost 1\n"
                                                             "K HKCU Software\\Good\n"
                                                             "S a %4\n"
                                                             "D b 99999999999\n"
                                                             "D c 7\n"
                                                             "S d ok%20fine\n"
                                                             "K HKCU\n"
                                                             "S e x\n");
    EXPECT_TRUE(reg::keyExists(HKCU, "Software\\Good"));
    EXPECT_FALSE(reg::keyExists(HKCU, "Bad"));
    EXPECT_FALSE(reg::readString(HKCU, "Software\\Good", "a").has_value());
    EXPECT_FALSE(reg::readDword(HKCU, "Software\\Good", "b").has_value());
    EXPECT_EQ(reg::readDword(HKCU, "Software\\Good", "c"), 7u);
    EXPECT_EQ(reg::readString(HKCU, "Software\\Good", "d"), "ok fine");
    // The next write keeps what was readable.
    EXPECT_TRUE(reg::writeString(HKCU, "Software\\Good", "f", "new"));
    EXPECT_EQ(reg::readDword(HKCU, "Software\\Good", "c"), 7u);
    EXPECT_EQ(reg::readString(HKCU, "Software\\Good", "f"), "new");

    // A store that is a folder, or cannot be written, fails the writes without harm.
    std::filesystem::create_directories(dir_.path() / "folder");
    setenv("KESTROVA_REGISTRY", dir_.file("folder").c_str(), 1);
    EXPECT_FALSE(reg::keyExists(HKCU, "Software"));
    EXPECT_FALSE(reg::createKey(HKCU, "Software"));
}

// What identifies the store's file: an atomic replace makes a new file, so an unchanged identity and
// time mean the store was not written.
struct FileState {
    ino_t inode = 0;
    int64_t modifiedNs = 0;
    bool operator==(const FileState&) const = default;
};

FileState stateOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {st.st_ino, static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

TEST_F(Registry, ChangesThatLeaveTheContentAsItWasWriteNothing) {
    ASSERT_TRUE(reg::writeString(HKLM, "CLSID\\{X}\\InprocServer32", "", "/extern/x.ax"));
    ASSERT_TRUE(reg::writeDword(HKLM, "CLSID\\{X}", "Merit", 7));
    const FileState before = stateOf(store());
    const std::string bytes = readBytes(store());

    // The same values again, in another case, and a key that exists: nothing is written.
    EXPECT_TRUE(reg::writeString(HKLM, "clsid\\{x}\\inprocserver32", "", "/extern/x.ax"));
    EXPECT_TRUE(reg::writeDword(HKLM, "CLSID\\{X}", "MERIT", 7));
    EXPECT_TRUE(reg::createKey(HKLM, "CLSID\\{X}"));
    // A key deleted and written anew as it was, as one set of changes.
    reg::Changes again;
    again.deleteKey(HKLM, "CLSID\\{X}");
    again.writeDword(HKLM, "CLSID\\{X}", "Merit", 7);
    again.writeString(HKLM, "CLSID\\{X}\\InprocServer32", "", "/extern/x.ax");
    EXPECT_TRUE(again.apply());
    EXPECT_EQ(stateOf(store()), before);
    EXPECT_EQ(readBytes(store()), bytes);

    // A value of another kind with the same digits is a change.
    EXPECT_TRUE(reg::writeString(HKLM, "CLSID\\{X}", "Merit", "7"));
    EXPECT_EQ(reg::readString(HKLM, "CLSID\\{X}", "Merit"), "7");
    EXPECT_FALSE(reg::readDword(HKLM, "CLSID\\{X}", "Merit").has_value());

    // A set of changes that differs is applied whole: the deleted key loses what is not written anew.
    reg::Changes fewer;
    fewer.deleteKey(HKLM, "CLSID\\{X}");
    fewer.writeDword(HKLM, "CLSID\\{X}", "Merit", 8);
    fewer.deleteKey(HKLM, "CLSID\\{Missing}"); // nothing to delete: no failure
    EXPECT_TRUE(fewer.apply());
    EXPECT_EQ(reg::readDword(HKLM, "CLSID\\{X}", "Merit"), 8u);
    EXPECT_FALSE(reg::keyExists(HKLM, "CLSID\\{X}\\InprocServer32"));

    // A value given no key fails the set, but the others are made.
    reg::Changes rootless;
    rootless.writeString(HKLM, "", "x", "y");
    rootless.writeString(HKLM, "CLSID\\{Y}", "", "made");
    EXPECT_FALSE(rootless.apply());
    EXPECT_EQ(reg::readString(HKLM, "CLSID\\{Y}", ""), "made");
    EXPECT_TRUE(reg::Changes().apply());
}

// A damaged store is rewritten by a change even when its readable content stays the same: the write
// drops what cannot be read.
TEST_F(Registry, AChangeToADamagedStoreRewritesIt) {
    std::filesystem::create_directories(std::filesystem::path(store()).parent_path());
    writeBytes(store(), "KESTROVA-REGISTRY 1\nK HKCU A\nD n 1\njunk line\n");
    EXPECT_TRUE(reg::writeDword(HKCU, "A", "n", 1));
    EXPECT_EQ(readBytes(store()), "KESTROVA-REGISTRY 1\nK HKCU A\nD n 1\n");
}

TEST_F(Registry, RandomStoresAreReadWithoutHarm) {
    std::filesystem::create_directories(std::filesystem::path(store()).parent_path());
    constexpr std::string_view Alphabet = "KSDH CULM%\\\n\r0179AFaz\xFF";
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        std::string bytes = "KESTROVA-REGISTRY 1\nK HKCU A\n";
        for (int i = 0; i < 300; ++i) {
            seed = seed * 1664525u + 1013904223u;
            bytes.push_back(Alphabet[(seed >> 16) % Alphabet.size()]);
        }
        writeBytes(store(), bytes);
        EXPECT_TRUE(reg::keyExists(HKCU, "a"));
        (void)reg::subKeys(HKCU, "");
        (void)reg::valueNames(HKCU, "A");
        EXPECT_TRUE(reg::writeDword(HKCU, "A\\B", "n", 1));
        EXPECT_EQ(reg::readDword(HKCU, "a\\b", "N"), 1u);
    }
}

// A store of very many values in one key reads in one pass; a name met again (in any case) keeps its
// first value, as a write would have left it.
TEST_F(Registry, AStoreOfManyValuesIsReadWhole) {
    std::filesystem::create_directories(std::filesystem::path(store()).parent_path());
    constexpr int Count = 100000;
    std::string bytes = "KESTROVA-REGISTRY 1\nK HKCU Many\n";
    for (int i = 0; i < Count; ++i)
        bytes += "D v" + std::to_string(i) + " " + std::to_string(i) + "\n";
    bytes += "D V7 70\nK HKCU many\nD v8 80\nD w 1\n";
    writeBytes(store(), bytes);
    EXPECT_EQ(reg::valueNames(HKCU, "Many").size(), static_cast<size_t>(Count) + 1);
    EXPECT_EQ(reg::readDword(HKCU, "Many", "v7"), 7u);
    EXPECT_EQ(reg::readDword(HKCU, "MANY", "v8"), 8u);
    EXPECT_EQ(reg::readDword(HKCU, "Many", "w"), 1u);
    EXPECT_EQ(reg::readDword(HKCU, "Many", "v99999"), 99999u);
}

TEST_F(Registry, StorePathFollowsTheEnvironment) {
    EXPECT_EQ(reg::storePath(), store());
    const std::string saved = store();
    unsetenv("KESTROVA_REGISTRY");
    setenv("XDG_CONFIG_HOME", "/somewhere/cfg", 1);
    EXPECT_EQ(reg::storePath(), "/somewhere/cfg/kestrova/registry");
    unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(reg::storePath(), std::string(home) + "/.config/kestrova/registry");
    }
    setenv("KESTROVA_REGISTRY", saved.c_str(), 1);
}

TEST_F(Registry, TwoProcessesWritingLoseNothing) {
    constexpr int PerProcess = 100;
    const auto writeMany = [](const std::string& prefix) {
        bool ok = true;
        for (int i = 0; i < PerProcess; ++i) {
            ok = reg::writeDword(HKCU, "Software\\Kestrova\\Race", prefix + std::to_string(i),
                                 static_cast<uint32_t>(i)) &&
                 ok;
            ok = reg::createKey(HKCU, "Software\\Kestrova\\Race\\" + prefix + std::to_string(i)) && ok;
        }
        return ok;
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(writeMany("child") ? 0 : 1);
    const bool parentOk = writeMany("parent");
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(parentOk);

    EXPECT_EQ(reg::valueNames(HKCU, "Software\\Kestrova\\Race").size(), 2u * PerProcess);
    EXPECT_EQ(reg::subKeys(HKCU, "Software\\Kestrova\\Race").size(), 2u * PerProcess);
    for (int i = 0; i < PerProcess; ++i) {
        EXPECT_EQ(reg::readDword(HKCU, "Software\\Kestrova\\Race", "child" + std::to_string(i)),
                  static_cast<uint32_t>(i));
        EXPECT_EQ(reg::readDword(HKCU, "Software\\Kestrova\\Race", "parent" + std::to_string(i)),
                  static_cast<uint32_t>(i));
    }
    // No temporary files are left beside the store.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(store()).parent_path()),
                            std::filesystem::directory_iterator()),
              2); // the store and its lock file
}
