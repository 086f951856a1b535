#pragma once

// A WAV file written from a DVD LPCM stream of 20 or 24 bits holds the disc's own layout: for every
// two sample frames, the top 16 bits of each sample big-endian, then the low bits of all of them (a
// byte each for 24 bits, a nibble each for 20 bits), grouped four samples at a time (two for mono).
// Read as PCM that is noise, so such a file is rewritten as little-endian 24-bit PCM (20-bit samples
// keep their 20 bits at the top), with a plain PCM header. 16-bit files are left to the byte swap.

#include <string>

namespace tools::stream_extractor {

enum class RepackStatus {
    NotNeeded,   // not a 20 or 24-bit WAV: nothing was done
    Repacked,    // rewritten as 24-bit PCM
    NotAWav,     // the file's chunks could not be walked: nothing was done
    WriteFailed, // the new file could not be written; the old one is as it was
};

RepackStatus repackDvdLpcm(const std::string& path);

} // namespace tools::stream_extractor
