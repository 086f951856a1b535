#pragma once

// The sub-stream argument of the AC3 tools: "0x80" to "0x87", which the main window may follow by the
// stream's name in brackets ("0x80 [English]", "0x81 [Latvian, Lettish]"). The command line splits the
// name at its blanks, so the name may run over several arguments; they are passed over.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace outside::dvd_audio {

struct SubStreamArg {
    uint8_t id = 0;  // 0x80..0x87
    size_t next = 0; // index of the first argument after the sub-stream text and its name
};

// Reads the sub-stream text at args[at]: its first four characters give the stream, a bracketed
// name after them (in the same argument or in the following ones) is passed over. Nothing, with
// error set, when the text is not "0x8n" with n from 0 to 7 or the name's bracket is never closed.
std::optional<SubStreamArg> readSubStreamArg(const std::vector<std::string>& args, size_t at,
                                             std::string& error);

// "0x80" for 0x80.
std::string subStreamText(uint8_t id);

} // namespace outside::dvd_audio
