#include "platform/vfw/video_compressor.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/vfw/codec_driver_abi.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <sstream>

namespace platform::vfw {

namespace {

constexpr size_t ErrorSize = 512;
constexpr const char* DriverExt = ".dll";

std::string executableFolder() {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return core::currentDir();
    return core::extractFilePath(std::string(buffer.data(), static_cast<size_t>(n)));
}

std::string fourCCText(FOURCC fcc) {
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += static_cast<char>((fcc >> (8 * i)) & 0xFF);
    return text;
}

FOURCC upperFourCC(FOURCC fcc) {
    FOURCC result = 0;
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<unsigned char>((fcc >> (8 * i)) & 0xFF);
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        result |= static_cast<FOURCC>(c) << (8 * i);
    }
    return result;
}

std::vector<std::string> splitFields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator))
        fields.push_back(field);
    if (!line.empty() && line.back() == separator)
        fields.emplace_back();
    return fields;
}

struct ErrorBuffer {
    std::array<char, ErrorSize> text{};
    char* data() { return text.data(); }
    std::string str() const {
        std::string s(text.data());
        return s.empty() ? std::string("the codec reported a failure") : s;
    }
};

} // namespace

std::string codecSystemFolder() {
    if (const char* dir = std::getenv("KESTROVA_SYSTEM_DIR"); dir && *dir)
        return dir;
    const std::string exe = executableFolder();
    std::string folder = exe;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::string parent = core::extractFilePath(folder);
    return core::resolvePath(core::joinPath(parent.empty() ? folder : parent, "system"));
}

std::vector<CompressorInfo> listCompressors() {
    std::vector<CompressorInfo> found;
    const std::string folder = codecSystemFolder();
    for (const std::string& file : core::listFilesWithExt(folder, DriverExt)) {
        std::string error;
        auto compressor = VideoCompressor::openFile(file, error);
        if (compressor)
            found.push_back(compressor->info());
    }
    return found;
}

std::unique_ptr<VideoCompressor> VideoCompressor::load(const std::string& path, std::string& error) {
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        error = "Cannot load the codec " + path + (why ? std::string(": ") + why : std::string());
        return nullptr;
    }
    auto entry = reinterpret_cast<CodecDriverEntryFunction>(::dlsym(library, CodecDriverEntry));
    const CodecDriverApi* api = entry ? entry() : nullptr;
    if (!api || api->abiVersion != CodecDriverAbiVersion) {
        ::dlclose(library);
        error = path + " is not a codec driver";
        return nullptr;
    }
    void* instance = api->open();
    if (!instance) {
        ::dlclose(library);
        error = "The codec " + path + " cannot be opened";
        return nullptr;
    }
    std::unique_ptr<VideoCompressor> compressor(new VideoCompressor());
    compressor->library_ = library;
    compressor->api_ = api;
    compressor->instance_ = instance;
    CodecDriverInfo info{};
    api->getInfo(&info);
    info.name[sizeof info.name - 1] = '\0';
    info.description[sizeof info.description - 1] = '\0';
    compressor->info_.file = core::extractFileName(path);
    compressor->info_.handler = info.handler;
    compressor->info_.name = info.name;
    compressor->info_.description = info.description;
    return compressor;
}

std::unique_ptr<VideoCompressor> VideoCompressor::openFile(const std::string& fileName, std::string& error) {
    const std::string path = core::resolvePath(core::joinPath(codecSystemFolder(), fileName));
    if (!core::fileExists(path)) {
        error = "The codec " + fileName + " is not in " + codecSystemFolder();
        return nullptr;
    }
    return load(path, error);
}

std::unique_ptr<VideoCompressor> VideoCompressor::open(FOURCC handler, std::string& error) {
    const std::string folder = codecSystemFolder();
    const FOURCC wanted = upperFourCC(handler);
    for (const std::string& file : core::listFilesWithExt(folder, DriverExt)) {
        std::string ignored;
        auto compressor = load(core::joinPath(folder, file), ignored);
        if (compressor && upperFourCC(compressor->handler()) == wanted)
            return compressor;
    }
    error = "No codec for " + fourCCText(handler) + " in " + folder;
    return nullptr;
}

VideoCompressor::~VideoCompressor() {
    if (api_ && instance_) {
        // A run that was not ended is dropped with the instance: a first pass stopped half-way leaves
        // no log for a second pass to trust.
        if (decompressing_)
            api_->decompressEnd(instance_);
        api_->close(instance_);
    }
    if (library_)
        ::dlclose(library_);
}

std::vector<CodecControl> VideoCompressor::controls() const {
    std::vector<CodecControl> result;
    const char* text = api_->controls(instance_);
    std::istringstream in(text ? text : "");
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = splitFields(line, '\t');
        if (fields.size() < 3)
            continue;
        CodecControl control;
        control.id = fields[0];
        control.label = fields[1];
        control.value = fields[2];
        if (fields.size() > 4) {
            control.minimum = core::strToIntDef(fields[3], 0);
            control.maximum = core::strToIntDef(fields[4], 0);
        }
        if (fields.size() > 5 && !fields[5].empty())
            control.items = splitFields(fields[5], '\x1f');
        result.push_back(std::move(control));
    }
    return result;
}

bool VideoCompressor::setControl(const std::string& id, const std::string& value, std::string& error) {
    ErrorBuffer why;
    if (api_->setControl(instance_, id.c_str(), value.c_str(), why.data(), ErrorSize))
        return true;
    error = why.str();
    return false;
}

std::string VideoCompressor::control(const std::string& id) const {
    for (const CodecControl& c : controls())
        if (c.id == id)
            return c.value;
    return {};
}

bool VideoCompressor::begin(const CompressorInput& input, std::string& error) {
    if (running_) {
        error = "The compressor is already running";
        return false;
    }
    CodecDriverFormat format{
        input.width,      input.height,    input.rateNum,  input.rateDen, static_cast<int32_t>(input.format),
        input.frameCount, input.aspectNum, input.aspectDen};
    ErrorBuffer why;
    format_ = BITMAPINFOHEADER{};
    if (!api_->compressBegin(instance_, &format, &format_, why.data(), ErrorSize)) {
        error = why.str();
        return false;
    }
    running_ = true;
    return true;
}

bool VideoCompressor::compress(const InputPicture& picture, CompressedFrame& out, std::string& error) {
    if (!running_) {
        error = "The compressor has not begun";
        return false;
    }
    CodecDriverPicture in{};
    for (int i = 0; i < 3; ++i) {
        in.data[i] = picture.data[i];
        in.stride[i] = picture.stride[i];
    }
    CodecDriverPacket packet{};
    ErrorBuffer why;
    if (!api_->compress(instance_, &in, &packet, why.data(), ErrorSize)) {
        error = why.str();
        return false;
    }
    out.data.assign(packet.data, packet.data + packet.size);
    out.keyFrame = packet.keyFrame != 0;
    return true;
}

bool VideoCompressor::end(std::string& error) {
    if (!running_)
        return true;
    running_ = false;
    ErrorBuffer why;
    if (api_->compressEnd(instance_, why.data(), ErrorSize))
        return true;
    error = why.str();
    return false;
}

bool VideoCompressor::beginDecompress(int width, int height, std::string& error) {
    if (decompressing_)
        endDecompress();
    ErrorBuffer why;
    if (!api_->decompressBegin(instance_, width, height, why.data(), ErrorSize)) {
        error = why.str();
        return false;
    }
    decompressing_ = true;
    decodeWidth_ = width;
    decodeHeight_ = height;
    return true;
}

bool VideoCompressor::decompress(const uint8_t* data, size_t size, std::vector<uint8_t>& rgb24,
                                 std::string& error) {
    if (!decompressing_) {
        error = "The decompressor has not begun";
        return false;
    }
    rgb24.resize(static_cast<size_t>(decodeWidth_) * static_cast<size_t>(decodeHeight_) * 3);
    ErrorBuffer why;
    if (api_->decompress(instance_, data, size, rgb24.data(), why.data(), ErrorSize))
        return true;
    error = why.str();
    return false;
}

void VideoCompressor::endDecompress() {
    if (decompressing_)
        api_->decompressEnd(instance_);
    decompressing_ = false;
}

} // namespace platform::vfw
