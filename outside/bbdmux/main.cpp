// bbdmux.exe VOB 0xbd OUT SUBSTREAM: writes the AC3 bytes of one sub-stream of private stream 1 of a
// VOB file to OUT, exactly as they stand in its packets (without the sub-stream headers). A VOB file
// of a title ends and the next one begins at a pack, so the pieces of consecutive files joined end to
// end give the whole stream, frames that cross from one file into the next included.

#include "outside/dvd_audio/file_set_source.h"
#include "outside/dvd_audio/substream_arg.h"
#include "outside/dvd_audio/substream_reader.h"
#include "outside/dvd_audio/tool_message.h"
#include "outside/dvd_audio/wav_file.h"

#include <string>
#include <vector>

namespace {

using namespace outside::dvd_audio;

constexpr const char* kProgram = "bbdmux";
constexpr const char* kUsage = "usage: bbdmux.exe VOB 0xbd OUT.ac3 0x80..0x87 [name]";

bool isPrivateStream1(const std::string& text) {
    return text == "0xbd" || text == "0xBD" || text == "0XBD" || text == "0Xbd";
}

int demultiplex(const std::string& vob, const std::string& target, uint8_t subStream) {
    FileSetSource source;
    if (!source.open({vob}))
        return fail(kProgram, source.error());
    SubStreamReader reader(source, subStream);
    std::string error;
    if (!reader.open(error))
        return fail(kProgram, vob + ": " + error);
    OutputFile out(target);
    if (!out.isOpen())
        return fail(kProgram, cannotWriteMessage(target));
    std::span<const uint8_t> payload;
    for (;;) {
        const auto step = reader.next(payload);
        if (step == SubStreamReader::Step::End)
            break;
        if (step == SubStreamReader::Step::Error)
            return fail(kProgram, "The file " + vob + " could not be read to its end.");
        if (!out.append(payload))
            return fail(kProgram, cannotWriteMessage(target));
    }
    if (reader.sawDamage())
        tellUser(kProgram, "warning: damaged bytes of " + vob + " were passed over.");
    if (!out.commit())
        return fail(kProgram, cannotWriteMessage(target));
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 4)
        return fail(kProgram, kUsage, kExitCommandLine);
    if (!isPrivateStream1(args[1]))
        return fail(kProgram, "Only private stream 0xbd can be taken, not " + args[1] + ".",
                    kExitCommandLine);
    std::string error;
    const auto subStream = readSubStreamArg(args, 3, error);
    if (!subStream)
        return fail(kProgram, error, kExitCommandLine);
    if (subStream->next != args.size())
        return fail(kProgram, "Unexpected argument " + args[subStream->next] + ". " + kUsage,
                    kExitCommandLine);
    return demultiplex(args[0], args[2], subStream->id);
}
