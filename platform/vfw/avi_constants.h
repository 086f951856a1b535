#pragma once

// Chunk ids, record sizes and limits of the AVI and WAVE formats, shared by the reader and the writer.

#include "platform/vfw/vfw_types.h"

#include <cstdint>
#include <optional>

namespace platform::vfw::avi {

inline constexpr FOURCC ckidRIFF = mmioFOURCC('R', 'I', 'F', 'F');
inline constexpr FOURCC ckidLIST = mmioFOURCC('L', 'I', 'S', 'T');
inline constexpr FOURCC ckidJUNK = mmioFOURCC('J', 'U', 'N', 'K');
inline constexpr FOURCC formtypeAVI = mmioFOURCC('A', 'V', 'I', ' ');
inline constexpr FOURCC formtypeAVIX = mmioFOURCC('A', 'V', 'I', 'X'); // OpenDML extension RIFF
inline constexpr FOURCC formtypeWAVE = mmioFOURCC('W', 'A', 'V', 'E');
inline constexpr FOURCC listtypeHDRL = mmioFOURCC('h', 'd', 'r', 'l');
inline constexpr FOURCC listtypeSTRL = mmioFOURCC('s', 't', 'r', 'l');
inline constexpr FOURCC listtypeMOVI = mmioFOURCC('m', 'o', 'v', 'i');
inline constexpr FOURCC listtypeREC = mmioFOURCC('r', 'e', 'c', ' ');
inline constexpr FOURCC listtypeODML = mmioFOURCC('o', 'd', 'm', 'l');
inline constexpr FOURCC ckidAVIMAINHDR = mmioFOURCC('a', 'v', 'i', 'h');
inline constexpr FOURCC ckidSTREAMHEADER = mmioFOURCC('s', 't', 'r', 'h');
inline constexpr FOURCC ckidSTREAMFORMAT = mmioFOURCC('s', 't', 'r', 'f');
inline constexpr FOURCC ckidSTREAMNAME = mmioFOURCC('s', 't', 'r', 'n');
inline constexpr FOURCC ckidAVINEWINDEX = mmioFOURCC('i', 'd', 'x', '1');
inline constexpr FOURCC ckidODMLINDEX = mmioFOURCC('i', 'n', 'd', 'x');
inline constexpr FOURCC ckidWAVEFORMAT = mmioFOURCC('f', 'm', 't', ' ');
inline constexpr FOURCC ckidWAVEDATA = mmioFOURCC('d', 'a', 't', 'a');

// Two-character chunk types after the two-digit stream number ("00dc").
inline constexpr uint16_t cktypeDIBbits = 'd' | 'b' << 8;
inline constexpr uint16_t cktypeDIBcompressed = 'd' | 'c' << 8;
inline constexpr uint16_t cktypeWAVEbytes = 'w' | 'b' << 8;
inline constexpr uint16_t cktypePALchange = 'p' | 'c' << 8;
inline constexpr uint16_t cktypeTEXT = 't' | 'x' << 8;

inline constexpr uint32_t ChunkHeaderSize = 8;
inline constexpr uint32_t ListHeaderSize = 12; // "LIST", size, list type
inline constexpr uint32_t MainHeaderSize = 56;
inline constexpr uint32_t StreamHeaderSize = 56;
inline constexpr uint32_t StreamHeaderMinSize = 48; // older writers leave out rcFrame
inline constexpr uint32_t Idx1EntrySize = 16;
inline constexpr uint32_t WaveFormatMinSize = 14; // format tag to block align

// OpenDML index chunks ("indx" in a stream's header list, "ix##" in the data).
inline constexpr uint8_t AVI_INDEX_OF_INDEXES = 0x00;
inline constexpr uint8_t AVI_INDEX_OF_CHUNKS = 0x01;
inline constexpr uint32_t OdmlIndexHeaderSize = 24; // up to and including the chunk id / base offset
inline constexpr uint32_t OdmlSuperEntrySize = 16;
inline constexpr uint32_t OdmlChunkEntrySize = 8;
inline constexpr uint32_t OdmlNotKeyFrameBit = 0x80000000u;

// Stream numbers are two decimal digits.
inline constexpr int MaxStreams = 100;
// The number of RIFF chunks (AVI plus AVIX extensions) and index chunks a reader follows.
inline constexpr int MaxRiffChunks = 10000;
// AVI 1.0 sizes and offsets are 32-bit.
inline constexpr int64_t MaxAvi1FileSize = 0xFFFFFFFFll;

// "00dc" for stream 0 and type "dc".
constexpr FOURCC makeChunkId(int stream, uint16_t type) {
    const auto tens = static_cast<uint32_t>('0' + stream / 10 % 10);
    const auto ones = static_cast<uint32_t>('0' + stream % 10);
    return tens | ones << 8 | static_cast<uint32_t>(type) << 16;
}
// The stream number of a data chunk id, or nothing when it does not start with two digits.
std::optional<int> streamOfChunkId(FOURCC ckid);
inline uint16_t typeOfChunkId(FOURCC ckid) {
    return static_cast<uint16_t>(ckid >> 16);
}
// "ix00": an OpenDML index chunk in the data.
bool isIndexChunkId(FOURCC ckid);

inline int64_t padded(int64_t size) {
    return size + (size & 1);
}

} // namespace platform::vfw::avi
