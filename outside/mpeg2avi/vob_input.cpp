#include "outside/mpeg2avi/vob_input.h"

#include "platform/core/files.h"

#include <algorithm>
#include <cstdio>

namespace mpeg2avi {

void StderrSink::warning(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

bool StderrSink::question(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s (yes)\n", caption.c_str(), text.c_str());
    return true;
}

std::unique_ptr<VobInput> VobInput::open(const std::string& listPath, std::string& error) {
    if (!platform::core::fileExists(listPath)) {
        error = "The VOB list " + listPath + " cannot be found.";
        return nullptr;
    }
    std::unique_ptr<VobInput> input(new VobInput());
    input->list_.load(listPath);
    if (input->list_.count() == 0) {
        error = "The VOB list " + listPath + " names no VOB file.";
        return nullptr;
    }
    for (size_t i = 0; i < input->list_.names().size(); ++i) {
        const std::string& name = input->list_.names()[i];
        if (!platform::core::fileExists(name)) {
            error = "The VOB file " + name + " named in " + listPath + " cannot be found.";
            return nullptr;
        }
    }
    input->inputer_.open(input->list_);
    if (!input->inputer_.isOpen()) {
        error = "The VOB files of " + listPath + " cannot be opened.";
        return nullptr;
    }
    return input;
}

platform::dshow::filters::SourceRead VobInput::read(int64_t offset, std::span<uint8_t> into) {
    platform::dshow::filters::SourceRead result;
    if (offset >= inputer_.total())
        return result;
    if (inputer_.position() != offset)
        inputer_.seek(offset);
    if (inputer_.position() != offset) {
        result.failed = true;
        return result;
    }
    // The reader refuses to read past the end of the set: ask for what is there.
    const int64_t wanted = std::min<int64_t>(static_cast<int64_t>(into.size()), inputer_.total() - offset);
    const int64_t got = inputer_.readBlock(into.data(), wanted);
    result.count = static_cast<size_t>(got < 0 ? 0 : got);
    // A short read before the end of the set is a file that failed.
    result.failed = got < wanted;
    return result;
}

} // namespace mpeg2avi
