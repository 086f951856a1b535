#pragma once

// How many processors this process may keep busy: the processors of its affinity mask (taskset,
// cpusets), bounded by the CPU quota of its control group (containers, systemd slices). Work threads
// are sized from this, not from the processors the machine has: more threads than that only share
// the same cores and cost speed.

#include <string>

namespace platform::core {

// At least 1.
int usableProcessors();

// The pieces, for tests and for callers that already know one of them.
// Processors in the calling thread's affinity mask; 0 when it cannot be read.
int affinityProcessors();
// The processors a control-group CPU quota allows (quota / period, rounded up), the smallest along
// the group's path up to the root; 0 when no quota applies. `root` is the file-system root the
// "/proc/self/cgroup" and "/sys/fs/cgroup" files are read under ("" for the real ones).
int cgroupQuotaProcessors(const std::string& root = "");

} // namespace platform::core
