// The processors work threads are sized from: the affinity mask and the control group's CPU quota,
// read from fake /proc and /sys trees for the quota.
#include "platform/core/processors.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <filesystem>
#include <thread>

namespace platform::core {
namespace {

namespace fs = std::filesystem;

void put(const kes::test::TempDir& root, const std::string& path, const std::string& text) {
    const fs::path file = root.path() / path;
    fs::create_directories(file.parent_path());
    kes::test::writeBytes(file, text);
}

TEST(UsableProcessors, FollowTheAffinityMask) {
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    int first = -1;
    for (int cpu = 0; cpu < CPU_SETSIZE && first < 0; ++cpu)
        if (CPU_ISSET(cpu, &all))
            first = cpu;
    ASSERT_GE(first, 0);
    EXPECT_EQ(affinityProcessors(), CPU_COUNT(&all));

    // A thread held to one processor (as under "taskset -c N") gets one work thread.
    int onOne = 0;
    int atMostQuota = 0;
    std::thread held([&] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(first, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0)
            return;
        onOne = usableProcessors();
        atMostQuota = affinityProcessors();
    });
    held.join();
    EXPECT_EQ(onOne, 1);
    EXPECT_EQ(atMostQuota, 1);
    EXPECT_GE(usableProcessors(), 1);
    EXPECT_LE(usableProcessors(), CPU_COUNT(&all));
}

TEST(UsableProcessors, UnifiedHierarchyQuotaIsTheSmallestAlongThePath) {
    kes::test::TempDir root("kes-cgroup");
    put(root, "proc/self/cgroup", "0::/user.slice/app.scope\n");
    EXPECT_EQ(cgroupQuotaProcessors(root.str()), 0) << "no cpu.max files: no quota";

    put(root, "sys/fs/cgroup/user.slice/app.scope/cpu.max", "max 100000\n");
    EXPECT_EQ(cgroupQuotaProcessors(root.str()), 0);
    put(root, "sys/fs/cgroup/user.slice/app.scope/cpu.max", "250000 100000\n");
    EXPECT_EQ(cgroupQuotaProcessors(root.str()), 3) << "2.5 processors round up";
    put(root, "sys/fs/cgroup/user.slice/cpu.max", "100000 100000\n");
    EXPECT_EQ(cgroupQuotaProcessors(root.str()), 1) << "a parent's smaller quota binds the child";
    put(root, "sys/fs/cgroup/user.slice/cpu.max", "10000 100000\n");
    EXPECT_EQ(cgroupQuotaProcessors(root.str()), 1) << "a tenth of a processor is still one";
}

TEST(UsableProcessors, ControllerHierarchyQuota) {
    kes::test::TempDir root("kes-cgroup");
    put(root, "proc/self/cgroup", "12:memory:/docker/abc\n4:cpuacct,cpu:/docker/abc\n1:name=systemd:/x\n");
    put(root, "sys/fs/cgroup/cpuacct,cpu/docker/abc/cpu.cfs_quota_us", "-1\n");
    put(root, "sys/fs/cgroup/cpuacct,cpu/docker/abc/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(cgroupQuotaProcessors(root.str()), 0);
    put(root, "sys/fs/cgroup/cpuacct,cpu/docker/abc/cpu.cfs_quota_us", "200000\n");
    EXPECT_EQ(cgroupQuotaProcessors(root.str()), 2);
}

TEST(UsableProcessors, DamagedGroupFilesMeanNoQuota) {
    kes::test::TempDir root("kes-cgroup");
    put(root, "proc/self/cgroup", "garbage\n0::relative\n0::/a/../../b\n0::/g\n");
    for (const char* text : {"", "x 100000", "100000", "100000 0", "-5 100000", "100000 abc", "1e9 1"}) {
        put(root, "sys/fs/cgroup/g/cpu.max", text);
        EXPECT_EQ(cgroupQuotaProcessors(root.str()), 0) << text;
    }
    EXPECT_EQ(cgroupQuotaProcessors(root.file("missing")), 0);
}

} // namespace
} // namespace platform::core
