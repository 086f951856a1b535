#include "platform/core/processors.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace platform::core {

namespace {

// Deep enough for any real group path; a damaged or hostile tree cannot keep the walk going.
constexpr int MaxGroupDepth = 64;
constexpr int AffinityMaskProcessors = 8192;

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return {};
    std::string text;
    std::getline(in, text, '\0');
    return text;
}

bool parseNumber(std::string_view text, long long& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

int processorsForQuota(long long quota, long long period) {
    if (quota <= 0 || period <= 0)
        return 0;
    const long long whole = (quota + period - 1) / period;
    return static_cast<int>(std::clamp<long long>(whole, 1, AffinityMaskProcessors));
}

// "cpu.max" of the unified hierarchy: "<quota> <period>" or "max <period>".
int unifiedLimit(const std::string& folder) {
    const std::string text = readSmallFile(folder + "/cpu.max");
    std::istringstream in(text);
    std::string quotaText;
    std::string periodText;
    in >> quotaText >> periodText;
    long long quota = 0;
    long long period = 0;
    if (quotaText == "max" || !parseNumber(quotaText, quota) || !parseNumber(periodText, period))
        return 0;
    return processorsForQuota(quota, period);
}

// "cpu.cfs_quota_us" (-1 for none) and "cpu.cfs_period_us" of the older per-controller hierarchy.
int controllerLimit(const std::string& folder) {
    long long quota = 0;
    long long period = 0;
    if (!parseNumber(readSmallFile(folder + "/cpu.cfs_quota_us"), quota) ||
        !parseNumber(readSmallFile(folder + "/cpu.cfs_period_us"), period))
        return 0;
    return processorsForQuota(quota, period);
}

int smallerLimit(int a, int b) {
    if (a == 0)
        return b;
    if (b == 0)
        return a;
    return std::min(a, b);
}

// The smallest quota from the group's folder up to the hierarchy's mount folder.
template <typename Limit>
int limitAlongPath(const std::string& mount, std::string path, Limit limit) {
    int result = 0;
    for (int depth = 0; depth < MaxGroupDepth; ++depth) {
        if (path.find("/..") != std::string::npos)
            break;
        result = smallerLimit(result, limit(mount + path));
        if (path.empty() || path == "/")
            break;
        const size_t slash = path.find_last_of('/');
        path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    return result;
}

bool hasCpuController(std::string_view controllers) {
    while (!controllers.empty()) {
        const size_t comma = controllers.find(',');
        if (controllers.substr(0, comma) == "cpu")
            return true;
        if (comma == std::string_view::npos)
            break;
        controllers.remove_prefix(comma + 1);
    }
    return false;
}

} // namespace

int affinityProcessors() {
    // The mask grows with the machine: a fixed cpu_set_t holds 1024 processors only.
    for (int processors = CPU_SETSIZE; processors <= AffinityMaskProcessors; processors *= 2) {
        cpu_set_t* set = CPU_ALLOC(processors);
        if (!set)
            return 0;
        const size_t size = CPU_ALLOC_SIZE(processors);
        CPU_ZERO_S(size, set);
        const bool read = sched_getaffinity(0, size, set) == 0;
        const int count = read ? CPU_COUNT_S(size, set) : 0;
        CPU_FREE(set);
        if (read)
            return count;
        if (errno != EINVAL)
            return 0;
    }
    return 0;
}

int cgroupQuotaProcessors(const std::string& root) {
    // Each line of /proc/self/cgroup: "<id>:<controllers>:<path>"; id 0 with no controllers is the
    // unified hierarchy.
    std::istringstream lines(readSmallFile(root + "/proc/self/cgroup"));
    const std::string base = root + "/sys/fs/cgroup";
    int result = 0;
    std::string line;
    while (std::getline(lines, line)) {
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string_view controllers = std::string_view(line).substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (path.empty() || path.front() != '/')
            continue;
        if (controllers.empty()) {
            result = smallerLimit(result, limitAlongPath(base, path, unifiedLimit));
        } else if (hasCpuController(controllers)) {
            // The controller is mounted as "cpu", "cpu,cpuacct" or "cpuacct,cpu" depending on the system.
            for (const char* mount : {"/cpu", "/cpu,cpuacct", "/cpuacct,cpu"})
                result = smallerLimit(result, limitAlongPath(base + mount, path, controllerLimit));
        }
    }
    return result;
}

int usableProcessors() {
    int processors = affinityProcessors();
    if (processors <= 0) {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        processors = online > 0 ? static_cast<int>(std::min<long>(online, AffinityMaskProcessors)) : 1;
    }
    const int quota = cgroupQuotaProcessors();
    if (quota > 0)
        processors = std::min(processors, quota);
    return std::max(processors, 1);
}

} // namespace platform::core
