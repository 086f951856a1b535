#include "kes/audio_stream_lines.h"

#include "platform/core/files.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr char Q = '"';
constexpr size_t StreamDigitIndex = 3;

std::string quoted(std::string_view text) {
    return std::string(1, Q) + std::string(text) + Q;
}

std::string tonegrab(std::string_view externDir, std::string_view vobfile) {
    return std::string(externDir) + ExtractorProgram + " " + quoted(vobfile);
}

const char* flipFlag(bool flip) {
    return flip ? "1 " : "X ";
}

} // namespace

std::string streamCountLine(std::string_view externDir, std::string_view vobfile) {
    return tonegrab(externDir, vobfile) + " X X X X";
}

std::string flippedStreamCountLine(std::string_view externDir, std::string_view vobfile, bool flip) {
    return tonegrab(externDir, vobfile) + " X X X " + flipFlag(flip);
}

std::optional<char> streamDigit(std::string_view streamText) {
    if (streamText.size() <= StreamDigitIndex)
        return std::nullopt;
    const char digit = streamText[StreamDigitIndex];
    if (digit < '0' || digit > '9')
        return std::nullopt;
    return digit;
}

std::string ac3PlayLine(std::string_view externDir, std::string_view vobfile, char digit) {
    return std::string(externDir) + "ac3dec.exe " + quoted(vobfile) + " -substream 0x8" + digit +
           " -pcm -out";
}

std::string tonegrabPlayLine(std::string_view externDir, std::string_view vobfile, char digit,
                             std::string_view samplerate, bool flip) {
    return tonegrab(externDir, vobfile) + " X " + digit + " " + std::string(samplerate) + " " +
           flipFlag(flip);
}

std::optional<int> readStreamCount(std::string_view externDir) {
    const std::optional<std::string> bytes = core::readFile(std::string(externDir) + StreamCountFile);
    if (!bytes || bytes->empty())
        return std::nullopt;
    return static_cast<unsigned char>(bytes->front());
}

} // namespace kes
