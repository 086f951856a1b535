#pragma once

// RIFF chunk file I/O: a file opened for reading or created, walked and written chunk by chunk.
//
// A chunk is a four-character id, a 32-bit little-endian size and that many data bytes, padded to an
// even length. "RIFF" and "LIST" chunks begin their data with a four-character form or list type and
// hold further chunks. Calls return 0 or one of the MMIOERR_ codes below; read, write and seek return
// a byte count or position, or -1 on an I/O error.
//
// Everything read from a file is distrusted: a chunk's size is clamped to its parent and to the file
// (an outermost "RIFF" chunk whose size field is 0, as streaming writers leave it, runs to the end),
// searches end at the parent's end, and every step moves forward, so no file can make a walk loop.

#include "platform/core/temporary_files.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform::mmio {

using FourCC = uint32_t;

// The code of a four-character id as it is stored in the file ("RIFF" -> bytes 'R','I','F','F').
constexpr FourCC makeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24;
}
constexpr FourCC makeFourCC(std::string_view id) {
    return id.size() == 4 ? makeFourCC(id[0], id[1], id[2], id[3]) : 0;
}
std::string fourCCText(FourCC id);

inline constexpr FourCC FOURCC_RIFF = makeFourCC('R', 'I', 'F', 'F');
inline constexpr FourCC FOURCC_LIST = makeFourCC('L', 'I', 'S', 'T');

inline constexpr int MMSYSERR_NOERROR = 0;
inline constexpr int MMIOERR_CANNOTREAD = 261;
inline constexpr int MMIOERR_CANNOTWRITE = 262;
inline constexpr int MMIOERR_CANNOTSEEK = 263;
inline constexpr int MMIOERR_CHUNKNOTFOUND = 265;
inline constexpr int64_t MMIO_IOERROR = -1;

// Size of a chunk header (id and size) and of the form type that follows it in RIFF and LIST chunks.
inline constexpr int64_t ChunkHeaderSize = 8;
inline constexpr int64_t FormTypeSize = 4;

struct ChunkInfo {
    FourCC ckid = 0;
    // Data bytes of the chunk (with the form type of a RIFF or LIST chunk), clamped to the parent and
    // to the file when read; the size so far when created.
    uint32_t cksize = 0;
    FourCC fccType = 0;        // form or list type of a RIFF or LIST chunk
    int64_t dataOffset = 0;    // file offset of the first data byte (of the form type for RIFF and LIST)
    uint32_t declaredSize = 0; // the size field exactly as the file holds it
    bool created = false;      // made by createChunk: ascend completes its size
};

enum class Descend {
    Current,   // the chunk that starts at the current position
    FindChunk, // the first chunk whose id is ck.ckid
    FindRiff,  // the first "RIFF" chunk whose form type is ck.fccType
    FindList,  // the first "LIST" chunk whose list type is ck.fccType
};

enum class CreateKind { Chunk, Riff, List };

enum class OpenMode {
    Read,
    // A new file. It is written under a temporary name in the target's folder and takes the target's
    // name only when close() succeeds, so a failed or abandoned file never replaces anything.
    Create,
};

class RiffFile {
public:
    // The path is resolved without regard to case. Null when the file cannot be opened or created.
    static std::unique_ptr<RiffFile> open(std::string_view path, OpenMode mode);
    ~RiffFile(); // a created file that was not closed is discarded
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    // Writes a chunk header at the current position (ck.ckid, ck.cksize, and ck.fccType for RIFF and
    // LIST) and leaves the position at the start of its data. MMIOERR_CANNOTWRITE when it cannot.
    int createChunk(ChunkInfo& ck, CreateKind kind);
    // Searches from the current position up to the end of parent (or of the file) and leaves the
    // position at the chunk's data (after the form type of RIFF and LIST). MMIOERR_CHUNKNOTFOUND when
    // there is no such chunk, MMIOERR_CANNOTREAD when the file cannot be read.
    int descend(ChunkInfo& ck, const ChunkInfo* parent, Descend how);
    // Leaves a chunk: a created chunk gets its size written and a pad byte when odd; then the position
    // moves past the chunk and its padding. MMIOERR_CANNOTWRITE or MMIOERR_CANNOTSEEK when it cannot.
    int ascend(ChunkInfo& ck);

    int64_t read(void* buffer, int64_t count);        // bytes read, 0 at the end, -1 on an error
    int64_t write(const void* buffer, int64_t count); // bytes written (all of them) or -1
    int64_t seek(int64_t offset, int origin);         // SEEK_SET, SEEK_CUR, SEEK_END; -1 when invalid

    int64_t position() const { return pos_; }
    int64_t size() const { return size_; }
    const std::string& path() const { return path_; }

    // Closes the file; a created file takes its name now. 0, or MMIOERR_CANNOTWRITE when the data
    // could not be stored (the created file is then removed).
    int close();
    // Closes a created file and removes it, leaving whatever stood under its name untouched.
    void discard();

private:
    RiffFile(int fd, OpenMode mode, std::string path, std::string temp, int64_t size);
    bool readExact(int64_t offset, void* buffer, int64_t count);
    bool writeAt(int64_t offset, const void* buffer, int64_t count);

    int fd_ = -1;
    OpenMode mode_;
    std::string path_;
    std::string temp_;
    std::unique_ptr<core::TemporaryFile> held_; // removed should the program be ended meanwhile
    int64_t size_ = 0;
    int64_t pos_ = 0;
};

} // namespace platform::mmio
