#include "platform/dshow/filters/decoder_parts.h"

#include "platform/core/paths.h"

#include <dlfcn.h>

#include <array>
#include <map>
#include <mutex>

namespace platform::dshow::filters {

namespace {

constexpr size_t kErrorTextSize = 256;

// Loaded libraries by path: never unloaded, since decoders made from them may live anywhere.
void* loadLibrary(const std::string& path, std::string& error) {
    static std::mutex mutex;
    static std::map<std::string, void*> loaded;
    std::lock_guard lock(mutex);
    if (const auto it = loaded.find(path); it != loaded.end())
        return it->second;
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "The library " + path + " could not be loaded.";
        return nullptr;
    }
    loaded.emplace(path, handle);
    return handle;
}

template <typename Fn>
Fn loadExport(const std::string& folder, const char* file, const char* name, std::string& error) {
    const std::string path = platform::core::resolvePath(folder + file);
    void* handle = loadLibrary(path, error);
    if (!handle)
        return nullptr;
    auto fn = reinterpret_cast<Fn>(dlsym(handle, name));
    if (!fn)
        error = std::string("The library ") + file + " does not export " + name + ".";
    return fn;
}

} // namespace

DecoderParts loadDecoderParts(const std::string& folder, std::string& error) {
    const auto createCore = loadExport<CreateCoreFn>(folder, kCoreLibraryName, kCreateCoreExport, error);
    if (!createCore)
        return {};
    const auto createConverter =
        loadExport<CreateConverterFn>(folder, kConversionLibraryName, kCreateConverterExport, error);
    if (!createConverter)
        return {};
    DecoderParts parts;
    parts.makeCore = [createCore](const StreamFormat& format, std::string& why) {
        std::array<char, kErrorTextSize> text{};
        std::unique_ptr<DecodeCore> core(createCore(&format, text.data(), text.size()));
        if (!core)
            why = text.data();
        return core;
    };
    parts.makeConverter = [createConverter](int rate) {
        return std::unique_ptr<SampleConverter>(createConverter(rate));
    };
    return parts;
}

} // namespace platform::dshow::filters
