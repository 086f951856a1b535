#pragma once

// Joins the AC3 pieces that the demultiplexer wrote, one per VOB file ("audio1.ac3", "audio2.ac3",
// ...), into one stream "audio.ac3" in the same folder, in blocks of 1 MiB. Window-free: the progress
// window follows the join through a sink.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

inline constexpr size_t Ac3JoinBlockBytes = 1048576;
inline constexpr std::string_view JoinedAc3Name = "audio.ac3";

// "audio" + index + ".ac3", index from 1.
std::string ac3PieceName(int index);

class Ac3JoinSink {
public:
    virtual ~Ac3JoinSink() = default;
    // A piece is about to be read: its file name and size in bytes.
    virtual void pieceStarted(const std::string& /*name*/, int64_t /*size*/) {}
    // One read of a piece, with the bytes it returned (the last read of a piece returns fewer than a
    // block, possibly none).
    virtual void blockRead(int64_t /*bytes*/) {}
    // Lets pending window messages run; called after every block.
    virtual void processMessages() {}
};

enum class Ac3JoinStatus {
    Joined,       // "audio.ac3" holds every piece; the pieces are deleted
    MissingPiece, // path names the first missing piece
    ReadFailed,   // path names the piece that could not be read
    WriteFailed,  // path names the joined file
};

struct Ac3JoinResult {
    Ac3JoinStatus status = Ac3JoinStatus::Joined;
    std::string path;
    int64_t bytes = 0;                   // written to the joined file
    std::vector<std::string> piecesKept; // pieces that could not be deleted after a join
};

// Joins pieces 1..count of folder (with its trailing "/") into folder + "audio.ac3". The joined file
// replaces an older one only when every piece was read and written; the pieces are deleted only then,
// so a failed join loses nothing.
Ac3JoinResult joinAc3Pieces(std::string_view folder, int count, Ac3JoinSink& sink);

} // namespace kes
