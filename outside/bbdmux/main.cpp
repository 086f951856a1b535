// bbdmux.exe VOB 0xbd OUT SUBSTREAM: writes the AC3 frames of one sub-stream of private stream 1 of a
// VOB file to OUT, placed on the title's clock (timed_piece.h): the pieces of a title's VOB files,
// joined end to end in the order of its "vob.lst", give one stream that begins at the title's first
// picture and keeps its time across lost data.

#include "outside/bbdmux/timed_piece.h"
#include "outside/dvd_audio/substream_arg.h"
#include "outside/dvd_audio/tool_message.h"

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
    size_t index = 0;
    const std::vector<std::string> files = outside::bbdmux::titleFilesOf(vob, index);
    outside::bbdmux::PieceReport report;
    std::string error;
    if (!outside::bbdmux::writeTimedPiece(files, index, subStream, target, report, error))
        return fail(kProgram, error);
    if (report.damage)
        tellUser(kProgram, "warning: damaged bytes of " + vob + " were passed over.");
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
