// Free-space texts: units, decimals and the line layout of the clock's memo and of the rip record.
#include "kes/free_space.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

using platform::core::Volume;

Volume volume(const std::string& mount, uint64_t freeBytes, uint64_t totalBytes) {
    Volume v;
    v.mountPoint = mount;
    v.device = "/dev/sda1";
    v.fsType = "ext4";
    v.freeBytes = freeBytes;
    v.totalBytes = totalBytes;
    return v;
}

constexpr uint64_t MiB = 1024 * 1024;
constexpr uint64_t GiB = 1024 * MiB;

TEST(FreeSpaceText, OneLinePerVolumeInTableOrder) {
    const std::string text = fixedDrivesText(
        {volume("/", 1536 * MiB, 20 * GiB), volume("/home", 3 * GiB + 512 * MiB + MiB / 2, 100 * GiB)},
        " Mb free", "of ");
    EXPECT_EQ(text, "/ -> 1536.0 Mb free (1.50 Gb) of 20.00 Gb\r\n"
                    "/home -> 3584.5 Mb free (3.50 Gb) of 100.00 Gb\r\n");
}

TEST(FreeSpaceText, NoVolumesGiveAnEmptyText) {
    EXPECT_EQ(fixedDrivesText({}, "x", "y"), "");
}

TEST(FreeSpaceText, DriveTextHasTwoDecimals) {
    EXPECT_EQ(driveFreeText(volume("/data", 10 * MiB + MiB / 4, GiB)), "/data => 10.25 Mb ");
    EXPECT_EQ(driveFreeText(volume("/", 0, GiB)), "/ => 0.00 Mb ");
}

TEST(FreeSpaceText, PathOfAFileNotYetWrittenNamesItsVolume) {
    // Whatever the machine mounts, the text of a new file's path is that of its existing folder.
    const auto mountOf = [](const std::string& text) { return text.substr(0, text.find(" => ")); };
    const std::string folder = DriveFreeText("/tmp");
    ASSERT_NE(folder.find(" => "), std::string::npos);
    EXPECT_EQ(mountOf(DriveFreeText("/tmp/kes-no-such-folder/deeper/movie.avi")), mountOf(folder));
}

} // namespace
} // namespace kes
