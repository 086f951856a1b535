#include "platform/core/clock.h"
#include "platform/core/volumes.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/statvfs.h>
#include <thread>

using namespace platform::core;
using kes::test::TempDir;
using kes::test::writeBytes;

namespace {

// Points KESTROVA_MOUNTS at a mount table written by the test, for the scope.
class FakeMounts {
public:
    explicit FakeMounts(const std::string& table) {
        writeBytes(dir_.path() / "mounts", table);
        setenv("KESTROVA_MOUNTS", dir_.file("mounts").c_str(), 1);
    }
    ~FakeMounts() { unsetenv("KESTROVA_MOUNTS"); }
    FakeMounts(const FakeMounts&) = delete;
    FakeMounts& operator=(const FakeMounts&) = delete;
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_{"kes-mounts"};
};

} // namespace

TEST(Volumes, OnlyLocalBlockDeviceFileSystemsAreFixed) {
    TempDir other;
    std::string table = "/dev/sda1 / ext4 rw,relatime 0 0\n"
                        "proc /proc proc rw 0 0\n"
                        "tmpfs /tmp tmpfs rw 0 0\n"
                        "overlay /merged overlay rw 0 0\n"
                        "/dev/loop3 /snap/core squashfs ro 0 0\n"
                        "/dev/loop4 /img ext4 ro 0 0\n"
                        "/dev/sdb1 /does/not/exist xfs rw 0 0\n"
                        "damaged line\n"
                        "\n"
                        "/dev/sda1 / ext4 rw,remount 0 0\n"
                        "/dev/sdc1 " +
                        other.str() + " vfat rw 0 0\n";
    const std::string blanks = other.str() + "/with blank";
    std::filesystem::create_directories(blanks);
    table += "/dev/sdd1 " + other.str() + "/with\\040blank ntfs3 rw 0 0\n";
    FakeMounts mounts(table);

    const auto volumes = fixedVolumes();
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].mountPoint, "/");
    EXPECT_EQ(volumes[0].device, "/dev/sda1");
    EXPECT_EQ(volumes[0].fsType, "ext4");
    EXPECT_EQ(volumes[1].mountPoint, other.str());
    EXPECT_EQ(volumes[2].mountPoint, blanks);
    EXPECT_EQ(volumes[2].fsType, "ntfs3");

    struct statvfs st {};
    ASSERT_EQ(statvfs("/", &st), 0);
    EXPECT_EQ(volumes[0].totalBytes, static_cast<uint64_t>(st.f_blocks) * st.f_frsize);
    EXPECT_GT(volumes[0].totalBytes, 0u);
    EXPECT_LE(volumes[0].freeBytes, volumes[0].totalBytes);
}

TEST(Volumes, ThePathsVolumeIsTheLongestMountPoint) {
    TempDir other;
    std::filesystem::create_directories(other.path() / "inner" / "deep");
    FakeMounts mounts("/dev/sda1 / ext4 rw 0 0\n"
                      "tmpfs " +
                      other.str() +
                      " tmpfs rw 0 0\n"
                      "/dev/sdb1 " +
                      other.str() + "/inner xfs rw 0 0\n");
    const auto inner = volumeOf(other.file("INNER/deep/not yet written.avi"));
    ASSERT_TRUE(inner.has_value());
    EXPECT_EQ(inner->mountPoint, other.str() + "/inner");
    EXPECT_EQ(inner->fsType, "xfs");
    const auto tmp = volumeOf(other.file("innerx")); // a name that merely starts like a mount point
    ASSERT_TRUE(tmp.has_value());
    EXPECT_EQ(tmp->mountPoint, other.str()); // any kind of file system
    EXPECT_EQ(volumeOf("/etc")->mountPoint, "/");
}

TEST(Volumes, TheRealMountTableHasTheRoot) {
    const auto v = volumeOf("/");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->mountPoint, "/");
    EXPECT_GT(v->totalBytes, 0u);
}

TEST(Clock, DaysSince1899) {
    EXPECT_DOUBLE_EQ(encodeDateTime(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(encodeDateTime(1900, 1, 1), 2.0);
    EXPECT_DOUBLE_EQ(encodeDateTime(2000, 1, 1), 36526.0);
    EXPECT_DOUBLE_EQ(encodeDateTime(2000, 1, 1, 12), 36526.5);
    EXPECT_DOUBLE_EQ(encodeDateTime(1899, 12, 29, 6), -1.25);
    const auto p = decodeDateTime(encodeDateTime(2026, 8, 12, 23, 59, 58, 999));
    EXPECT_EQ(p.year, 2026);
    EXPECT_EQ(p.month, 8);
    EXPECT_EQ(p.day, 12);
    EXPECT_EQ(p.hour, 23);
    EXPECT_EQ(p.minute, 59);
    EXPECT_EQ(p.second, 58);
    EXPECT_EQ(p.msec, 999);
    const auto leap = decodeDateTime(encodeDateTime(2024, 2, 29));
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
    // A fraction a hair below midnight rounds to the next day, not to 24:00:00.
    const auto carry = decodeDateTime(36526.0 - 1e-10);
    EXPECT_EQ(carry.day, 1);
    EXPECT_EQ(carry.hour, 0);
}

TEST(Clock, TimeTextsAreAlways24Hour) {
    EXPECT_EQ(timeText(encodeDateTime(2026, 1, 2, 0, 0, 0)), "00:00:00");
    EXPECT_EQ(timeText(encodeDateTime(2026, 1, 2, 13, 5, 9)), "13:05:09");
    EXPECT_EQ(timeText(encodeDateTime(2026, 1, 2, 23, 59, 59)), "23:59:59");
}

TEST(Clock, ShortDateFollowsTheLocale) {
    const DateTime day = encodeDateTime(2026, 8, 12);
    const char* saved = std::getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(shortDateText(day), "08/12/26");
    setenv("LC_ALL", "no_such_locale", 1);
    EXPECT_EQ(shortDateText(day), "08/12/26"); // an unknown locale falls back to C
    if (saved)
        setenv("LC_ALL", keep.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(Clock, NowAndMonotonic) {
    const DateTime before = now();
    EXPECT_GT(before, encodeDateTime(2020, 1, 1));
    const int64_t a = monotonicMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int64_t b = monotonicMs();
    EXPECT_GE(b - a, 20);
    EXPECT_LT(b - a, 5000);
}
