#include "platform/core/files.h"
#include "platform/core/paths.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform::core;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;
namespace fs = std::filesystem;

TEST(Paths, TextHelpers) {
    EXPECT_EQ(extractFilePath("/a/b.c/name.ext"), "/a/b.c/");
    EXPECT_EQ(extractFilePath("name"), "");
    EXPECT_EQ(extractFileName("/a/b/name.ext"), "name.ext");
    EXPECT_EQ(extractFileExt("/a/b.c/name.tar.gz"), ".gz");
    EXPECT_EQ(extractFileExt("/a/b.c/name"), ""); // the folder's dot is no extension
    EXPECT_EQ(changeFileExt("/x.y/video.avi", ".wav"), "/x.y/video.wav");
    EXPECT_EQ(changeFileExt("/x.y/video", ".wav"), "/x.y/video.wav");
    EXPECT_EQ(changeFileExt("/x/video.avi", ""), "/x/video");
    EXPECT_EQ(insertBeforeExt("/x.y/movie.part.avi", "_2"), "/x.y/movie.part_2.avi");
    EXPECT_EQ(insertBeforeExt("/x.y/movie", "_2"), "/x.y/movie_2");
    EXPECT_EQ(joinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
    EXPECT_EQ(joinPath("", "b"), "b");
    EXPECT_EQ(withTrailingDelim("/a"), "/a/");
    EXPECT_EQ(withTrailingDelim("/a/"), "/a/");
}

TEST(Paths, ResolutionIgnoresCasePerComponent) {
    TempDir dir;
    fs::create_directories(dir.path() / "profiles" / "Sub");
    fs::create_directories(dir.path() / "VIDEO_TS");
    writeBytes(dir.path() / "VIDEO_TS" / "VTS_01_2.VOB", "vob");
    writeBytes(dir.path() / "profiles" / "Sub" / "default.pfl", "p");

    EXPECT_EQ(resolvePath(dir.file("Profiles")), dir.file("profiles"));
    EXPECT_EQ(resolvePath(dir.file("profiles")), dir.file("profiles"));
    EXPECT_EQ(resolvePath(dir.file("video_ts/VTS_01_2.vob")), dir.file("VIDEO_TS/VTS_01_2.VOB"));
    EXPECT_EQ(resolvePath(dir.file("PROFILES/sub/DEFAULT.PFL")), dir.file("profiles/Sub/default.pfl"));
    EXPECT_TRUE(fileExists(dir.file("Video_TS/vts_01_2.vob")));
    EXPECT_EQ(readFile(dir.file("VIDEO_TS/vts_01_2.vob")).value_or(""), "vob");
    // From the first missing component on, the caller's spelling stays.
    EXPECT_EQ(resolvePath(dir.file("PROFILES/New/File.TXT")), dir.file("profiles/New/File.TXT"));
    // Trailing delimiters and relative paths.
    EXPECT_EQ(resolvePath(dir.file("PROFILES/")), dir.file("profiles/"));
    const std::string old = currentDir();
    ASSERT_TRUE(setCurrentDir(dir.file("Profiles")));
    EXPECT_EQ(resolvePath("SUB/Default.pfl"), "Sub/default.pfl");
    EXPECT_EQ(resolvePath("./SUB/../Sub"), "./Sub/../Sub");
    ASSERT_TRUE(setCurrentDir(old));
}

TEST(Paths, ResolutionPrefersTheExactNameThenTheFirstMatch) {
    TempDir dir;
    fs::create_directories(dir.path() / "Profiles");
    fs::create_directories(dir.path() / "profiles");
    fs::create_directories(dir.path() / "PROFILES");
    EXPECT_EQ(resolvePath(dir.file("profiles")), dir.file("profiles"));
    EXPECT_EQ(resolvePath(dir.file("Profiles")), dir.file("Profiles"));
    EXPECT_EQ(resolvePath(dir.file("proFILES")), dir.file("PROFILES")); // first by byte order
}

TEST(Files, FoldersAreOneLevelAndCaseBlind) {
    TempDir dir;
    EXPECT_TRUE(createDirectory(dir.file("Profiles")));
    EXPECT_FALSE(createDirectory(dir.file("profiles"))); // the same folder
    EXPECT_TRUE(directoryExists(dir.file("PROFILES")));
    EXPECT_FALSE(fileExists(dir.file("profiles")));
    EXPECT_FALSE(createDirectory(dir.file("a/b"))); // no parents
    EXPECT_FALSE(deleteFile(dir.file("Profiles")));
    EXPECT_TRUE(removeDirectory(dir.file("profiles")));
    EXPECT_FALSE(directoryExists(dir.file("Profiles")));
}

TEST(Files, RenameRefusesAnExistingTarget) {
    TempDir dir;
    writeBytes(dir.path() / "a.txt", "A");
    writeBytes(dir.path() / "B.txt", "B");
    EXPECT_FALSE(renameFile(dir.file("a.txt"), dir.file("B.txt")));
    EXPECT_FALSE(renameFile(dir.file("a.txt"), dir.file("b.TXT"))); // B.txt under another spelling
    EXPECT_EQ(readBytes(dir.path() / "B.txt"), "B");
    EXPECT_EQ(readBytes(dir.path() / "a.txt"), "A");
    EXPECT_FALSE(renameFile(dir.file("missing"), dir.file("c.txt")));
    EXPECT_TRUE(renameFile(dir.file("A.TXT"), dir.file("c.txt")));
    EXPECT_EQ(readBytes(dir.path() / "c.txt"), "A");
    EXPECT_FALSE(fs::exists(dir.path() / "a.txt"));
    // A change of case only renames the file itself.
    EXPECT_TRUE(renameFile(dir.file("c.txt"), dir.file("C.TXT")));
    EXPECT_EQ(readBytes(dir.path() / "C.TXT"), "A");
    EXPECT_FALSE(fs::exists(dir.path() / "c.txt"));
    // Folders rename too.
    fs::create_directories(dir.path() / "old");
    EXPECT_TRUE(renameFile(dir.file("OLD"), dir.file("new")));
    EXPECT_TRUE(fs::is_directory(dir.path() / "new"));
}

TEST(Files, CopyOverwritesOnlyWhenAsked) {
    TempDir dir;
    writeBytes(dir.path() / "src.bin", std::string("x\0y", 3));
    fs::permissions(dir.path() / "src.bin", fs::perms::owner_all);
    writeBytes(dir.path() / "Dst.bin", "old");
    EXPECT_FALSE(copyFile(dir.file("src.bin"), dir.file("dst.bin")));
    EXPECT_EQ(readBytes(dir.path() / "Dst.bin"), "old");
    EXPECT_TRUE(copyFile(dir.file("SRC.bin"), dir.file("dst.bin"), false));
    EXPECT_EQ(readBytes(dir.path() / "Dst.bin"), std::string("x\0y", 3));
    EXPECT_FALSE(fs::exists(dir.path() / "dst.bin"));
    EXPECT_TRUE(copyFile(dir.file("src.bin"), dir.file("new.bin")));
    EXPECT_EQ(fs::status(dir.path() / "new.bin").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);
    EXPECT_FALSE(copyFile(dir.file("nothing"), dir.file("n2.bin")));
    EXPECT_FALSE(copyFile(dir.file("src.bin"), dir.file("src.bin"), false));
    EXPECT_EQ(fileSize(dir.file("src.bin")), 3);
    EXPECT_EQ(listDirectory(dir.str()), (std::vector<std::string>{"Dst.bin", "new.bin", "src.bin"}));
}

TEST(Files, WholeFilesAndLines) {
    TempDir dir;
    EXPECT_FALSE(readFile(dir.file("none")).has_value());
    EXPECT_EQ(fileSize(dir.file("none")), -1);
    EXPECT_EQ(fileSize(dir.str()), -1);
    ASSERT_TRUE(writeLines(dir.file("list.lst"), {"one", "", "three"}));
    EXPECT_EQ(readBytes(dir.path() / "list.lst"), "one\r\n\r\nthree\r\n");
    writeBytes(dir.path() / "mixed.txt", "a\r\nb\nc\rd\r\n\r\ne");
    EXPECT_EQ(readLines(dir.file("mixed.txt")).value(),
              (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
    writeBytes(dir.path() / "end.txt", "a\n\n");
    EXPECT_EQ(readLines(dir.file("end.txt")).value(), (std::vector<std::string>{"a", ""}));
    writeBytes(dir.path() / "empty.txt", "");
    EXPECT_TRUE(readLines(dir.file("empty.txt")).value().empty());
    EXPECT_TRUE(writeFileAtomic(dir.file("LIST.LST"), "new"));
    EXPECT_EQ(readBytes(dir.path() / "list.lst"), "new");
    EXPECT_FALSE(writeFileAtomic(dir.file("no/such/folder/x"), "x"));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(dir.path() / "list.lst").permissions()), 0666 & ~mask);
}

TEST(Files, WholeReadsAreBounded) {
    TempDir dir;
    // A pipe nobody writes to, and a device that never ends, give nothing at once.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(readFile(dir.file("pipe")).has_value());
    EXPECT_FALSE(readLines(dir.file("pipe")).has_value());
    EXPECT_FALSE(readFile("/dev/zero").has_value());
    // A file over the limit is refused whole, one at the limit is read.
    writeBytes(dir.file("ten"), "0123456789");
    EXPECT_FALSE(readFile(dir.file("ten"), 9).has_value());
    EXPECT_EQ(readFile(dir.file("ten"), 10).value_or(""), "0123456789");
    // Files of the system that report no size are still read to their end.
    EXPECT_FALSE(readFile("/proc/self/mountinfo").value_or("").empty());
}

TEST(Files, AtomicFileLeavesTheTargetAloneUntilCommit) {
    TempDir dir;
    writeBytes(dir.path() / "t.ini", "before");
    fs::permissions(dir.path() / "t.ini",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        AtomicFile f(dir.file("t.ini"));
        ASSERT_TRUE(f.isOpen());
        EXPECT_TRUE(f.write("half"));
        EXPECT_EQ(readBytes(dir.path() / "t.ini"), "before");
    } // dropped without commit
    EXPECT_EQ(readBytes(dir.path() / "t.ini"), "before");
    EXPECT_EQ(listDirectory(dir.str()).size(), 1u);
    AtomicFile f(dir.file("t.ini"));
    EXPECT_TRUE(f.write("after"));
    EXPECT_TRUE(f.commit());
    EXPECT_EQ(readBytes(dir.path() / "t.ini"), "after");
    EXPECT_EQ(fs::status(dir.path() / "t.ini").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(listDirectory(dir.str()).size(), 1u);
}

// A long file is handed to the disk's writeback piece by piece while it is written: every byte still lands,
// and dropping it uncommitted still leaves nothing behind.
TEST(Files, AtomicFileOfManyPiecesKeepsEveryByte) {
    TempDir dir;
    std::string piece(1 << 20, '\0');
    std::string all;
    for (int i = 0; i < 21; ++i) {
        for (std::size_t k = 0; k < piece.size(); k += 4096)
            piece[k] = static_cast<char>(i * 7 + static_cast<int>(k / 4096));
        all += piece;
    }
    {
        AtomicFile dropped(dir.file("big.bin"));
        for (std::size_t at = 0; at < all.size(); at += piece.size())
            ASSERT_TRUE(dropped.write(std::string_view(all).substr(at, piece.size())));
    }
    EXPECT_TRUE(listDirectory(dir.str()).empty());
    AtomicFile f(dir.file("big.bin"));
    for (std::size_t at = 0; at < all.size(); at += piece.size() - 3) // pieces across the steps
        ASSERT_TRUE(f.write(std::string_view(all).substr(at, piece.size() - 3)));
    ASSERT_TRUE(f.commit());
    EXPECT_EQ(readBytes(dir.path() / "big.bin"), all);
}

TEST(Files, LittleEndianPatchesNeverResize) {
    TempDir dir;
    writeBytes(dir.path() / "h.wav", std::string("RIFF\x10\x00\x00\x00WAVE", 12));
    EXPECT_EQ(readLE32(dir.file("h.wav"), 4).value(), 16u);
    EXPECT_EQ(readLE16(dir.file("h.wav"), 3).value(), 0x1046u);
    EXPECT_TRUE(patchLE32(dir.file("H.WAV"), 4, 0x12345678));
    EXPECT_TRUE(patchLE16(dir.file("h.wav"), 10, 0xBEEF));
    EXPECT_EQ(readBytes(dir.path() / "h.wav"), std::string("RIFF\x78\x56\x34\x12WA\xEF\xBE", 12));
    EXPECT_FALSE(patchLE32(dir.file("h.wav"), 9, 1)); // would reach beyond the end
    EXPECT_FALSE(patchLE16(dir.file("h.wav"), -1, 1));
    EXPECT_FALSE(patchLE32(dir.file("missing.wav"), 0, 1));
    EXPECT_FALSE(fs::exists(dir.path() / "missing.wav"));
    EXPECT_EQ(fs::file_size(dir.path() / "h.wav"), 12u);
    EXPECT_FALSE(readLE32(dir.file("h.wav"), 9).has_value());
    EXPECT_FALSE(readLE16(dir.file("h.wav"), -2).has_value());
    EXPECT_TRUE(readLE16(dir.file("h.wav"), 10).has_value());
}

TEST(Files, ListingsAndIdentity) {
    TempDir dir;
    writeBytes(dir.path() / "b.LNG", "");
    writeBytes(dir.path() / "a.lng", "");
    writeBytes(dir.path() / "c.txt", "");
    fs::create_directories(dir.path() / "d.lng");
    EXPECT_EQ(listFilesWithExt(dir.str(), ".lng"), (std::vector<std::string>{"a.lng", "b.LNG"}));
    EXPECT_EQ(listDirectory(dir.str()).size(), 4u);
    EXPECT_TRUE(listDirectory(dir.file("none")).empty());
    EXPECT_TRUE(sameFile(dir.file("A.LNG"), dir.file("a.lng")));
    EXPECT_FALSE(sameFile(dir.file("a.lng"), dir.file("b.lng")));
    EXPECT_FALSE(sameFile(dir.file("a.lng"), dir.file("none")));
}

TEST(Files, LockedMeansLockedByAnotherProcess) {
    TempDir dir;
    writeBytes(dir.path() / "f.avi", "data");
    EXPECT_FALSE(fileLocked(dir.file("f.avi")));
    EXPECT_FALSE(fileLocked(dir.file("none.avi")));
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(dir.file("f.avi").c_str(), O_RDONLY);
        char c = 0;
        const bool ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::write(ready[1], "x", 1) == 1 &&
                        ::read(release[0], &c, 1) >= 0;
        _exit(ok ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_TRUE(fileLocked(dir.file("F.AVI")));
    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fileLocked(dir.file("f.avi")));
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);
}
