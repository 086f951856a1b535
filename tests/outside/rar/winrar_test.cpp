// "winrar.exe" run as the rip runs it, its archives read back by another RAR reader (bsdtar, over
// libarchive), and "unrar.dll" loaded as the subtitle filter loads it.
#include "outside/unrar/unrar_api.h"
#include "tests/outside/rar/run_tool.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

std::string binary(size_t size, int seed) {
    std::string data(size, '\0');
    uint32_t x = static_cast<uint32_t>(seed) * 2654435761u + 1;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

class WinrarTest : public ::testing::Test {
protected:
    ToolRun winrar(const std::vector<std::string>& args) {
        std::vector<std::string> line = {builtExtern("winrar.exe")};
        line.insert(line.end(), args.begin(), args.end());
        return runTool(line, dir.path());
    }
    ToolRun bsdtar(const std::vector<std::string>& args) {
        std::vector<std::string> line = {"bsdtar"};
        line.insert(line.end(), args.begin(), args.end());
        return runTool(line, dir.path());
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const fs::path path = dir.path() / name;
        fs::create_directories(path.parent_path());
        writeBytes(path, bytes);
        return path.string();
    }

    TempDir dir{"kes-winrar"};
};

TEST_F(WinrarTest, ArchiveOfTheRipListsAndExtractsWithAnotherReader) {
    const std::string sub = file("movie folder/final.sub", binary(200000, 1));
    const std::string idx = file("movie folder/final.idx", "# index\r\n");
    const std::string odd = file("movie folder/Über ü.txt", "");
    const std::string archive = dir.file("movie folder/final.rar");
    const ToolRun run = winrar({"a", "-ep", archive, sub, idx, odd});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bsdtar({"-tf", archive}).out, "final.sub\nfinal.idx\nÜber ü.txt\n");
    fs::create_directories(dir.path() / "x");
    ASSERT_EQ(bsdtar({"-xf", archive, "-C", dir.file("x")}).status, 0);
    EXPECT_EQ(readBytes(dir.path() / "x" / "final.sub"), readBytes(sub));
    EXPECT_EQ(readBytes(dir.path() / "x" / "final.idx"), "# index\r\n");
    EXPECT_EQ(readBytes(dir.path() / "x" / "Über ü.txt"), "");
    for (const auto& entry : fs::directory_iterator(dir.path() / "movie folder"))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(WinrarTest, AddingToAnArchiveReplacesMembersOfTheSameName) {
    const std::string archive = dir.file("pack.rar");
    ASSERT_EQ(winrar({"a", "-ep", archive, file("one/a.sub", "first a"), file("b.idx", "b")}).status, 0);
    ASSERT_EQ(winrar({"a", "-ep", archive, file("two/A.SUB", "second a"), file("c.txt", "c")}).status, 0);
    EXPECT_EQ(bsdtar({"-tf", archive}).out, "A.SUB\nb.idx\nc.txt\n");
    EXPECT_EQ(bsdtar({"-xOf", archive, "A.SUB"}).out, "second a");
    EXPECT_EQ(bsdtar({"-xOf", archive, "b.idx"}).out, "b");
    // Without -ep the folders stay in the names; an archive name without extension gets ".rar".
    ASSERT_EQ(winrar({"a", "paths", "one/a.sub"}).status, 0);
    EXPECT_EQ(bsdtar({"-tf", "paths.rar"}).out, "one/a.sub\n");
}

TEST_F(WinrarTest, BadCommandsAndInputsLeaveTheArchiveAsItWas) {
    const std::string archive = dir.file("keep.rar");
    ASSERT_EQ(winrar({"a", "-ep", archive, file("k.sub", "k")}).status, 0);
    const std::string before = readBytes(archive);
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"x", archive}, "unknown command x"},
        {{}, "usage"},
        {{"a", "-ep"}, "no archive named"},
        {{"a", "-ep", archive}, "no files to add"},
        {{"a", "-zz", archive, "k.sub"}, "unknown switch -zz"},
        {{"a", "-ep", archive, "k.sub", "missing.sub"}, "cannot open missing.sub"},
        {{"a", "-ep", archive, dir.str()}, "not a file"},
        {{"a", "-ep", archive, "k.sub", "keep.rar"}, "to itself"},
    };
    for (const auto& c : cases) {
        const ToolRun run = winrar(c.args);
        EXPECT_NE(run.status, 0) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(readBytes(archive), before) << c.says;
    }
    const std::string damaged = file("damaged.rar", before.substr(0, before.size() - 12));
    const ToolRun onDamaged = winrar({"a", "-ep", damaged, "k.sub"});
    EXPECT_NE(onDamaged.status, 0);
    EXPECT_NE(onDamaged.err.find("damaged archive"), std::string::npos) << onDamaged.err;
    EXPECT_EQ(readBytes(damaged), before.substr(0, before.size() - 12));
    const ToolRun nowhere = winrar({"a", "-ep", dir.file("no such folder/x.rar"), "k.sub"});
    EXPECT_NE(nowhere.status, 0);
    EXPECT_NE(nowhere.err.find("cannot write"), std::string::npos) << nowhere.err;
}

class UnrarDllTest : public WinrarTest {
protected:
    void SetUp() override {
        handle = dlopen(builtExtern("unrar.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        list = reinterpret_cast<RarListMembersFn>(dlsym(handle, "RarListMembers"));
        read = reinterpret_cast<RarReadMemberFn>(dlsym(handle, "RarReadMember"));
        extract = reinterpret_cast<RarExtractMemberFn>(dlsym(handle, "RarExtractMember"));
        lastError = reinterpret_cast<RarLastErrorFn>(dlsym(handle, "RarLastError"));
        ASSERT_TRUE(list && read && extract && lastError);
        // Nothing but the documented exports.
        EXPECT_EQ(dlsym(handle, "_ZN7outside3rar5crc32ESt17basic_string_viewIcSt11char_traitsIcEEj"),
                  nullptr);
    }
    void TearDown() override {
        if (handle)
            dlclose(handle);
    }

    void* handle = nullptr;
    RarListMembersFn list = nullptr;
    RarReadMemberFn read = nullptr;
    RarExtractMemberFn extract = nullptr;
    RarLastErrorFn lastError = nullptr;
};

TEST_F(UnrarDllTest, ListsReadsAndExtractsMembers) {
    const std::string sub = binary(50000, 7);
    const std::string archive = dir.file("movie.rar");
    ASSERT_EQ(winrar({"a", "-ep", archive, file("movie.sub", sub), file("movie.idx", "idx")}).status, 0);
    RarMemberInfo members[1];
    ASSERT_EQ(list(archive.c_str(), members, 1), 2);
    EXPECT_STREQ(members[0].name, "movie.sub");
    EXPECT_EQ(members[0].size, sub.size());
    EXPECT_EQ(members[0].stored, 1);
    EXPECT_EQ(list(archive.c_str(), nullptr, 0), 2);

    std::string buffer(sub.size(), '\0');
    unsigned long long size = 0;
    ASSERT_EQ(read(archive.c_str(), "MOVIE.SUB", buffer.data(), buffer.size(), &size), RAR_OK);
    EXPECT_EQ(size, sub.size());
    EXPECT_EQ(buffer, sub);
    EXPECT_EQ(read(archive.c_str(), "movie.sub", buffer.data(), 10, &size), RAR_SMALL_BUFFER);
    EXPECT_EQ(size, sub.size());

    ASSERT_EQ(extract(archive.c_str(), "movie.idx", dir.file("out.idx").c_str()), RAR_OK);
    EXPECT_EQ(readBytes(dir.path() / "out.idx"), "idx");
}

TEST_F(UnrarDllTest, FailuresSayWhy) {
    const std::string archive = dir.file("movie.rar");
    ASSERT_EQ(winrar({"a", "-ep", archive, file("movie.sub", "sub")}).status, 0);
    unsigned long long size = 0;
    char byte = 0;
    EXPECT_EQ(read(archive.c_str(), "other.sub", &byte, 1, &size), RAR_NO_MEMBER);
    EXPECT_NE(std::string(lastError()).find("other.sub"), std::string::npos);
    EXPECT_EQ(list(dir.file("missing.rar").c_str(), nullptr, 0), -1);
    EXPECT_NE(std::string(lastError()).find("cannot read"), std::string::npos);
    const std::string damaged = file("damaged.rar", readBytes(archive).substr(0, 30));
    EXPECT_EQ(read(damaged.c_str(), "movie.sub", &byte, 1, &size), RAR_BAD_ARCHIVE);
    EXPECT_EQ(extract(archive.c_str(), "movie.sub", dir.file("no folder/x.sub").c_str()), RAR_CANNOT_WRITE);
    EXPECT_EQ(read(nullptr, "movie.sub", &byte, 1, &size), RAR_BAD_ARGUMENT);
    EXPECT_EQ(read(archive.c_str(), "movie.sub", &byte, 1, &size), RAR_SMALL_BUFFER);
    EXPECT_EQ(list(archive.c_str(), nullptr, 0), 1);
    EXPECT_STREQ(lastError(), "");
}

} // namespace
} // namespace kes::test
