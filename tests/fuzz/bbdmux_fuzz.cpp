// Fuzz target of the AC3 demultiplexer "bbdmux.exe" and the tools that share its sub-stream argument
// (libFuzzer): the input is a command line, a NUL byte and a VOB file's bytes. The command line's
// words are read as the sub-stream argument as each tool reads it; the bytes are read through the
// sub-stream reader for every AC3 sub-stream, as the demultiplexer copies them.
#include "outside/dvd_audio/substream_arg.h"
#include "outside/dvd_audio/substream_reader.h"
#include "platform/core/process.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace dvd_audio = outside::dvd_audio;
    const auto parts = kes::fuzz::fields(kes::fuzz::bytesOf(data, size), 2);
    const std::vector<std::string> args = platform::core::splitCommandLine(parts[0]);
    for (size_t at = 0; at <= args.size(); ++at) {
        std::string error;
        const auto stream = dvd_audio::readSubStreamArg(args, at, error);
        if (stream &&
            (stream->id < 0x80 || stream->id > 0x87 || stream->next <= at || stream->next > args.size()))
            std::abort();
    }
    if (parts.size() < 2)
        return 0;
    const std::string& vob = parts[1];
    for (uint8_t id = 0x80; id <= 0x81; ++id) {
        platform::dshow::filters::MemoryByteSource source(std::vector<uint8_t>(vob.begin(), vob.end()));
        dvd_audio::SubStreamReader reader(source, id);
        std::string error;
        if (!reader.open(error))
            continue;
        std::span<const uint8_t> payload;
        size_t total = 0;
        while (reader.next(payload) == dvd_audio::SubStreamReader::Step::Payload) {
            total += payload.size();
            if (total > vob.size())
                std::abort();
        }
    }
    return 0;
}
