#pragma once

// The RAR 4 archive layout: a fixed marker block, then blocks that each begin with a 7-byte header
// (16-bit check, type, flags, header size), little-endian throughout, the file data following its
// file header. The reader takes an archive held in memory and never reads outside it; it reads stored
// members and names the others it cannot unpack.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace outside::rar {

inline constexpr std::string_view Rar4Signature{"Rar!\x1a\x07\x00", 7};
inline constexpr std::string_view Rar5Signature{"Rar!\x1a\x07\x01\x00", 8};

enum BlockType : uint8_t {
    MarkerBlock = 0x72,
    ArchiveBlock = 0x73,
    FileBlock = 0x74,
    OldCommentBlock = 0x75,
    OldAuthBlock = 0x76,
    OldSubBlock = 0x77,
    OldRecoveryBlock = 0x78,
    OldAuthBlock2 = 0x79,
    SubBlock = 0x7A, // service data that belongs to the file before it
    EndBlock = 0x7B,
};

// Flags of every block.
inline constexpr uint16_t LongBlock = 0x8000; // a 32-bit data size follows the header fields
inline constexpr uint16_t SkipIfUnknown = 0x4000;

// Flags of the archive header.
inline constexpr uint16_t ArchiveVolume = 0x0001;
inline constexpr uint16_t ArchiveLocked = 0x0004;
inline constexpr uint16_t ArchiveSolid = 0x0008;
inline constexpr uint16_t ArchiveEncryptedHeaders = 0x0080;

// Flags of a file header.
inline constexpr uint16_t FileSplitBefore = 0x0001;
inline constexpr uint16_t FileSplitAfter = 0x0002;
inline constexpr uint16_t FileEncrypted = 0x0004;
inline constexpr uint16_t FileSolid = 0x0010;
inline constexpr uint16_t FileWindowMask = 0x00E0; // all set: the entry is a folder
inline constexpr uint16_t FileLargeSizes = 0x0100;
inline constexpr uint16_t FileUnicodeName = 0x0200;
inline constexpr uint16_t FileSalt = 0x0400;
inline constexpr uint16_t FileExtendedTime = 0x1000;

inline constexpr size_t BaseHeaderSize = 7;
inline constexpr size_t ArchiveHeaderSize = 13;
inline constexpr size_t FileHeaderFixedSize = 32; // up to the name, without the large sizes
inline constexpr size_t LargeSizesSize = 8;
inline constexpr uint8_t MethodStore = 0x30;
inline constexpr uint8_t HostMsDos = 0;
inline constexpr uint8_t HostWin32 = 2;
inline constexpr uint8_t HostUnix = 3;
inline constexpr uint8_t StoreVersion = 20; // the version needed to extract a stored member: 2.0

// A damaged or unreadable archive, or a member this reader cannot give.
class RarError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The standard CRC-32 (as in zlib), continued from crc.
uint32_t crc32(std::string_view bytes, uint32_t crc = 0);
// The 16-bit check of a block header: the low half of the CRC-32 of the header after the check field.
uint16_t headerCheck(std::string_view headerAfterCheck);

// The name of the Unicode form that follows the plain name after a zero byte, as UTF-8; empty when
// the encoded bytes do not fit the plain name.
std::string decodeUnicodeName(std::string_view plain, std::string_view encoded);

struct RarMember {
    std::string name; // as stored, with "\" turned into "/"
    uint16_t flags = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
    uint32_t dosTime = 0;
    uint32_t attributes = 0;
    uint8_t hostOs = 0;
    uint8_t version = 0;
    uint8_t method = 0;
    size_t dataOffset = 0; // in the archive's bytes

    bool directory() const { return (flags & FileWindowMask) == FileWindowMask; }
    bool stored() const { return method == MethodStore; }
    bool encrypted() const { return (flags & FileEncrypted) != 0; }
    bool split() const { return (flags & (FileSplitBefore | FileSplitAfter)) != 0; }
};

// One block as it stands in the archive: its bytes are [offset, offset + size), data included.
struct RarBlock {
    uint8_t type = 0;
    size_t offset = 0;
    size_t size = 0;
    int member = -1; // index into RarArchive::members for file blocks
};

struct RarArchive {
    uint16_t archiveFlags = 0;
    std::vector<RarBlock> blocks; // after the marker, up to and including the end block when there is one
    std::vector<RarMember> members;
};

// Reads the block structure of a RAR 4 archive. Throws RarError, whose text says what is wrong.
RarArchive parseRarArchive(std::string_view bytes);

// The member whose name equals the given one without regard to ASCII case ("\" and "/" alike), or
// nullptr.
const RarMember* findMember(const RarArchive& archive, std::string_view name);
bool sameMemberName(std::string_view a, std::string_view b);

// The bytes of a member, checked against its CRC. Throws RarError for a folder, an encrypted, split or
// compressed member, or data that does not match.
std::string memberData(std::string_view archiveBytes, const RarMember& member);

} // namespace outside::rar
