// Fuzz target of the registry store's file (libFuzzer): any bytes are the store every program reads
// its settings from. Each value read must read back the same after a write to the store, which
// rewrites the file from what was readable.
#include "platform/core/files.h"
#include "platform/core/registry.h"
#include "platform/core/text.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <optional>

namespace {

namespace core = platform::core;
namespace reg = platform::core::registry;

struct Read {
    core::RootKey root;
    std::string key;
    std::string name;
    std::optional<std::string> text;
    std::optional<uint32_t> number;
};

// Every value of the first keys under both roots, a few levels down.
void collect(core::RootKey root, const std::string& key, int depth, std::vector<Read>& out) {
    constexpr size_t MaxKeys = 16;
    constexpr int MaxDepth = 3;
    for (const std::string& name : reg::valueNames(root, key)) {
        out.push_back({root, key, name, reg::readString(root, key, name), reg::readDword(root, key, name)});
        if (out.size() > MaxKeys * MaxKeys)
            return;
    }
    if (depth >= MaxDepth)
        return;
    size_t taken = 0;
    for (const std::string& sub : reg::subKeys(root, key)) {
        if (++taken > MaxKeys)
            break;
        collect(root, key.empty() ? sub : key + "\\" + sub, depth + 1, out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string store = [] {
        const std::string path = kes::fuzz::scratchFolder() + "/registry";
        ::setenv("KESTROVA_REGISTRY", path.c_str(), 1);
        return path;
    }();
    kes::fuzz::scratchFile("registry", kes::fuzz::bytesOf(data, size));
    std::vector<Read> before;
    for (const core::RootKey root : {core::RootKey::CurrentUser, core::RootKey::LocalMachine})
        collect(root, "", 0, before);
    if (!reg::writeDword(core::RootKey::CurrentUser, "Software\\Kestrova", "fuzz", 1))
        return 0;
    for (const Read& r : before) {
        if (r.root == core::RootKey::CurrentUser && core::equalsIgnoreCase(r.key, "Software\\Kestrova") &&
            core::equalsIgnoreCase(r.name, "fuzz"))
            continue;
        if (reg::readString(r.root, r.key, r.name) != r.text ||
            reg::readDword(r.root, r.key, r.name) != r.number)
            std::abort();
    }
    return 0;
}
