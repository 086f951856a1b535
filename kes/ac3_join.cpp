#include "kes/ac3_join.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <cstdio>
#include <memory>

namespace kes {

namespace core = platform::core;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file)
            std::fclose(file); // opened for reading only: nothing to lose on close
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Appends one piece to the joined file, reporting every read. False when a read or a write failed.
bool appendPiece(std::FILE* piece, core::AtomicFile& joined, std::vector<char>& buffer, Ac3JoinSink& sink,
                 bool& writeFailed, int64_t& written) {
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), piece);
        if (std::ferror(piece))
            return false;
        if (got > 0 && !joined.write(std::string_view(buffer.data(), got))) {
            writeFailed = true;
            return false;
        }
        written += static_cast<int64_t>(got);
        sink.blockRead(static_cast<int64_t>(got));
        sink.processMessages();
        if (got < buffer.size())
            return true;
    }
}

} // namespace

std::string ac3PieceName(int index) {
    return "audio" + std::to_string(index) + ".ac3";
}

Ac3JoinResult joinAc3Pieces(std::string_view folder, int count, Ac3JoinSink& sink) {
    Ac3JoinResult result;
    const std::string joinedPath = std::string(folder) + std::string(JoinedAc3Name);
    core::AtomicFile joined(joinedPath);
    if (!joined.isOpen()) {
        result.status = Ac3JoinStatus::WriteFailed;
        result.path = joinedPath;
        return result;
    }
    std::vector<char> buffer(Ac3JoinBlockBytes);
    std::vector<std::string> pieces;
    for (int i = 1; i <= count; ++i) {
        const std::string name = ac3PieceName(i);
        const std::string path = std::string(folder) + name;
        if (!core::fileExists(path)) {
            result.status = Ac3JoinStatus::MissingPiece;
            result.path = path;
            return result;
        }
        // Only a regular file is read: a pipe of that name is refused, not waited on.
        const int fd = core::openForReading(path);
        FileHandle piece(fd >= 0 ? ::fdopen(fd, "rb") : nullptr);
        if (fd >= 0 && !piece)
            ::close(fd);
        if (!piece) {
            result.status = Ac3JoinStatus::ReadFailed;
            result.path = path;
            return result;
        }
        sink.pieceStarted(name, core::fileSize(path));
        bool writeFailed = false;
        if (!appendPiece(piece.get(), joined, buffer, sink, writeFailed, result.bytes)) {
            result.status = writeFailed ? Ac3JoinStatus::WriteFailed : Ac3JoinStatus::ReadFailed;
            result.path = writeFailed ? joinedPath : path;
            return result;
        }
        pieces.push_back(path);
    }
    if (!joined.commit()) {
        result.status = Ac3JoinStatus::WriteFailed;
        result.path = joinedPath;
        return result;
    }
    for (const std::string& piece : pieces)
        if (!core::deleteFile(piece))
            result.piecesKept.push_back(piece);
    return result;
}

} // namespace kes
