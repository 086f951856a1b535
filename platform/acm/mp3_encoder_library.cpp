#include "platform/acm/mp3_encoder_library.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <dlfcn.h>

namespace platform::acm {

namespace {

template <typename Fn>
bool resolve(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(dlsym(handle, name));
    return out != nullptr;
}

} // namespace

std::unique_ptr<Mp3EncoderLibrary> Mp3EncoderLibrary::load(std::string_view externDir, std::string& error) {
    const std::string path = core::resolvePath(core::joinPath(externDir, Mp3EncoderFileName));
    if (!core::fileExists(path)) {
        error = path + " not found";
        return nullptr;
    }
    std::unique_ptr<Mp3EncoderLibrary> library(new Mp3EncoderLibrary);
    library->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library->handle_ == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : path;
        return nullptr;
    }
    if (!resolve(library->handle_, "beInitStream", library->beInitStream) ||
        !resolve(library->handle_, "beEncodeChunk", library->beEncodeChunk) ||
        !resolve(library->handle_, "beDeinitStream", library->beDeinitStream) ||
        !resolve(library->handle_, "beCloseStream", library->beCloseStream)) {
        error = path + " lacks an encoder function";
        return nullptr;
    }
    return library;
}

Mp3EncoderLibrary::~Mp3EncoderLibrary() {
    if (handle_ != nullptr)
        dlclose(handle_);
}

} // namespace platform::acm
