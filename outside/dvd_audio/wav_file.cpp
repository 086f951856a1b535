#include "outside/dvd_audio/wav_file.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace outside::dvd_audio {

namespace filters = platform::dshow::filters;
namespace core = platform::core;

namespace {
constexpr size_t kBlockBytes = 1 << 20;
constexpr int kChannels = 2;
constexpr int kBitsPerSample = 16;
} // namespace

OutputFile::OutputFile(const std::string& target) : file_(core::resolvePath(target)) {
    pending_.reserve(kBlockBytes);
}

bool OutputFile::flush() {
    if (pending_.empty())
        return !failed_;
    if (!failed_ && !file_.write(flushed_, pending_))
        failed_ = true;
    flushed_ += static_cast<int64_t>(pending_.size());
    pending_.clear();
    return !failed_;
}

bool OutputFile::append(std::span<const uint8_t> bytes) {
    if (failed_)
        return false;
    if (pending_.size() + bytes.size() > kBlockBytes && !flush())
        return false;
    if (bytes.size() >= kBlockBytes) {
        if (!file_.write(flushed_, bytes))
            failed_ = true;
        flushed_ += static_cast<int64_t>(bytes.size());
    } else {
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    }
    size_ += static_cast<int64_t>(bytes.size());
    return !failed_;
}

bool OutputFile::writeAt(int64_t offset, std::span<const uint8_t> bytes) {
    if (offset == size_)
        return append(bytes);
    // A write behind what is gathered (a header): everything gathered goes out first.
    if (!flush())
        return false;
    if (!file_.write(offset, bytes))
        failed_ = true;
    size_ = std::max<int64_t>(size_, offset + static_cast<int64_t>(bytes.size()));
    flushed_ = size_;
    return !failed_;
}

bool OutputFile::commit() {
    return flush() && file_.commit();
}

bool WavFile::Sink::write(int64_t offset, std::span<const uint8_t> bytes) {
    return out_.writeAt(offset, bytes);
}

WavFile::WavFile(const std::string& target) : out_(target) {}

bool WavFile::begin(int sampleRate) {
    if (!out_.isOpen() || writer_)
        return false;
    writer_ = std::make_unique<filters::WavWriter>(
        sink_, filters::pcmWaveFormat(sampleRate, kChannels, kBitsPerSample));
    return writer_->begin();
}

bool WavFile::append(std::span<const uint8_t> samples) {
    return writer_ && writer_->append(samples);
}

bool WavFile::commit() {
    return writer_ && writer_->finish() && out_.commit();
}

std::string cannotWriteMessage(const std::string& target) {
    std::string folder = core::extractFilePath(target);
    if (folder.empty())
        folder = ".";
    std::string reason;
    if (!core::directoryExists(folder))
        reason = " (its folder does not exist)";
    else if (::access(core::resolvePath(folder).c_str(), W_OK) != 0)
        reason = std::string(" (") + std::strerror(errno) + ")";
    return "Cannot write the file " + target + reason + ".";
}

} // namespace outside::dvd_audio
