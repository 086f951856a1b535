#include "kes/rip_audio_lines.h"

#include "kes/ac3_join.h"

namespace kes {

namespace {

constexpr char Q = '"';
// "0x81": the stream digit is the fourth character.
constexpr size_t StreamDigitIndex = 3;

std::string quoted(std::string_view text) {
    return std::string(1, Q) + std::string(text) + Q;
}

} // namespace

std::string bbdmuxLine(std::string_view externDir, std::string_view vob, std::string_view folder, int index,
                       std::string_view subStream) {
    return std::string(externDir) + "bbdmux.exe " + quoted(vob) + " 0xbd " +
           quoted(std::string(folder) + ac3PieceName(index)) + " " + std::string(subStream);
}

std::string azidLine(std::string_view externDir, std::string_view folder, std::string_view wav, int stream) {
    const char* program = stream == 1 ? "azid.exe -c normal -L -3dB " : "azid.exe -c normal -g max -L -3dB ";
    return std::string(externDir) + program + quoted(std::string(folder) + std::string(JoinedAc3Name)) + " " +
           quoted(wav);
}

std::string tonegrabLine(std::string_view externDir, std::string_view vobfile, std::string_view wav,
                         std::string_view subStream, std::string_view samplerate, bool flip) {
    const std::string digit =
        subStream.size() > StreamDigitIndex ? std::string(1, subStream[StreamDigitIndex]) : std::string();
    return std::string(externDir) + "Tonegrab.exe " + quoted(vobfile) + " " + quoted(wav) + " " + digit +
           " " + std::string(samplerate) + " " + (flip ? "1 " : "X ");
}

} // namespace kes
