#pragma once

// The command line of ac3dec.exe:
//   ac3dec.exe VOB [-allvob] [-substream 0x8n [name]] [-overwrite] [-44100] -pcmwav WAV
//   ac3dec.exe VOB [-allvob] [-substream 0x8n [name]] [-44100] -pcm -out
// The first writes the decoded stream as a 16-bit stereo WAV, the second plays it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace outside::ac3dec {

struct Ac3DecOptions {
    std::string vob;
    bool allVob = false;      // every VOB of the title from the one named
    uint8_t subStream = 0x80; // AC3 sub-stream of private stream 1
    bool overwrite = false;   // replace an existing WAV
    bool rate44100 = false;   // resample to 44.1 kHz (else 48 kHz)
    std::string wav;          // -pcmwav
    bool play = false;        // -out
    int sampleRate() const { return rate44100 ? 44100 : 48000; }
};

// Nothing, with error set, for a line that cannot be run.
std::optional<Ac3DecOptions> parseAc3DecOptions(const std::vector<std::string>& args, std::string& error);

inline constexpr const char* kAc3DecUsage =
    "usage: ac3dec.exe VOB [-allvob] [-substream 0x80..0x87] [-overwrite] [-44100] (-pcmwav WAV | -pcm -out)";

} // namespace outside::ac3dec
