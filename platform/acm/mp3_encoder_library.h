#pragma once

// The MP3 encoder library loaded at run time from a program folder's extern/ folder.

#include "platform/acm/mp3_encoder_api.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform::acm {

class Mp3EncoderLibrary {
public:
    // Loads LAME_ENC.DLL from externDir (the name found without regard to case). Null when the file is
    // missing or lacks a function; error then says why.
    static std::unique_ptr<Mp3EncoderLibrary> load(std::string_view externDir, std::string& error);
    ~Mp3EncoderLibrary();
    Mp3EncoderLibrary(const Mp3EncoderLibrary&) = delete;
    Mp3EncoderLibrary& operator=(const Mp3EncoderLibrary&) = delete;

    BeInitStreamFn beInitStream = nullptr;
    BeEncodeChunkFn beEncodeChunk = nullptr;
    BeDeinitStreamFn beDeinitStream = nullptr;
    BeCloseStreamFn beCloseStream = nullptr;

private:
    Mp3EncoderLibrary() = default;
    void* handle_ = nullptr;
};

} // namespace platform::acm
