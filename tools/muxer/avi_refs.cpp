#include "tools/muxer/avi_refs.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/vfw/avi_constants.h"

#include <filesystem>
#include <system_error>

namespace tools::muxer {

namespace core = platform::core;

namespace {

constexpr const char* WorkSuffix = ".muxing";
constexpr int WorkNameAttempts = 100;

constexpr int64_t FormTypeOffset = 8;
constexpr int64_t MainHeaderIdOffset = 24;

} // namespace

void StreamRef::reset() {
    if (stream_ != nullptr)
        vfw::AVIStreamRelease(stream_);
    stream_ = nullptr;
}

void FileRef::reset() {
    if (file_ != nullptr)
        vfw::AVIFileRelease(file_);
    file_ = nullptr;
}

bool AviTarget::create(const std::string& target) {
    discard();
    target_ = target;
    const std::string base = target + WorkSuffix;
    for (int i = 0; i < WorkNameAttempts && work_.empty(); ++i) {
        const std::string candidate = i == 0 ? base : base + core::intToStr(i);
        if (!core::fileExists(candidate) && !core::directoryExists(candidate))
            work_ = candidate;
    }
    if (work_.empty())
        return false;
    if (vfw::AVIFileOpen(file_.out(), work_, vfw::OF_CREATE | vfw::OF_WRITE) != vfw::AVIERR_OK) {
        file_.reset();
        work_.clear();
        return false;
    }
    return true;
}

vfw::HRESULT AviTarget::createStream(const vfw::AVISTREAMINFO& info, StreamRef& stream) {
    if (!file_)
        return vfw::AVIERR_BADHANDLE;
    return vfw::AVIFileCreateStream(file_.get(), stream.out(), &info);
}

bool AviTarget::createStream(const vfw::AVISTREAMINFO& info, const std::vector<uint8_t>& format,
                             StreamRef& stream) {
    return createStream(info, stream) == vfw::AVIERR_OK &&
           vfw::AVIStreamSetFormat(stream.get(), 0, format.data(), static_cast<vfw::LONG>(format.size())) ==
               vfw::AVIERR_OK;
}

bool AviTarget::commit(StreamRef& video, StreamRef& audio) {
    if (!file_)
        return false;
    video.reset();
    audio.reset();
    file_.reset();
    // The writer gives the file its name only when it was stored whole.
    bool ok = core::fileExists(work_) && setInterleavedFlag(work_);
    if (ok) {
        std::error_code error;
        std::filesystem::rename(work_, core::resolvePath(target_), error);
        ok = !error;
    }
    if (ok)
        work_.clear();
    else
        discard();
    return ok;
}

void AviTarget::discard() {
    file_.reset();
    if (!work_.empty() && core::fileExists(work_)) {
        // A work file that cannot be removed stays under its work name; the target is untouched either way.
        [[maybe_unused]] const bool removed = core::deleteFile(work_);
    }
    work_.clear();
}

bool setInterleavedFlag(const std::string& path) {
    namespace avi = platform::vfw::avi;
    const auto riff = core::readLE32(path, 0);
    const auto form = core::readLE32(path, FormTypeOffset);
    const auto avih = core::readLE32(path, MainHeaderIdOffset);
    if (!riff || !form || !avih || *riff != avi::ckidRIFF || *form != avi::formtypeAVI ||
        *avih != avi::ckidAVIMAINHDR)
        return false;
    return core::patchLE16(path, InterleaveFlagOffset, static_cast<uint16_t>(InterleaveFlagBytes));
}

TemporaryName::TemporaryName(const std::string& path, const std::string& otherName)
    : original_(path), current_(path) {
    const std::string other = core::resolvePath(core::extractFilePath(path) + otherName);
    std::error_code error;
    if (core::fileExists(path) && !std::filesystem::exists(std::filesystem::symlink_status(other, error))) {
        std::filesystem::create_hard_link(core::resolvePath(path), other, error);
        if (!error) {
            current_ = other;
            linked_ = true;
        }
    }
}

bool TemporaryName::restore() {
    if (!linked_)
        return true;
    std::error_code error;
    if (!std::filesystem::remove(current_, error) || error)
        return false;
    linked_ = false;
    current_ = original_;
    return true;
}

} // namespace tools::muxer
