#pragma once

// The two stream headers of an AVI file as the synchronizer finds, reads and patches them in place:
// the "vids" and "auds" type codes are searched in the first bytes of the file, and the header's
// scale, rate and start fields follow each code at fixed distances.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools::synchronizer {

// Distances from a stream header's type code to its fields (all 32-bit little-endian).
inline constexpr int64_t ScaleOffset = 20;
inline constexpr int64_t RateOffset = 24;
inline constexpr int64_t StartOffset = 28;
inline constexpr int64_t HeaderFieldsEnd = StartOffset + 4;
// The type codes are looked for at positions 0 to 5000.
inline constexpr int64_t LastHeaderScanPosition = 5000;
// The scale written with a new frame rate: the rate is the frame rate times 10000.
inline constexpr uint32_t PatchedVideoScale = 10000;

struct StreamHeaderPositions {
    int32_t video = 0; // byte position of "vids", 0 = not found
    int32_t audio = 0; // byte position of "auds", 0 = not found
};

// Finds the type codes: positions 0, 1, ... 5000 while either is still missing; a later match of a type
// already found replaces it. Nothing when the file cannot be read; a short file ends the scan.
std::optional<StreamHeaderPositions> findStreamHeaders(std::string_view path);

struct StreamHeaderFields {
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t start = 0; // the audio start is read as signed by its users
};

// The fields after a type code at `position`; nothing when they do not lie whole inside the file.
std::optional<StreamHeaderFields> readStreamHeaderFields(std::string_view path, int32_t position);

// One 32-bit little-endian value to store at a byte offset.
struct FieldWrite {
    int64_t offset = 0;
    uint32_t value = 0;
};

enum class PatchStatus {
    Done,
    CannotOpen,   // the file cannot be opened for writing: nothing written
    OutsideFile,  // a field lies beyond the end of the file: nothing written
    InvalidValue, // a value does not fit its field: nothing written
    WriteFailed,  // the system refused a write part way
};

// Writes every value in place, in order. All offsets are checked against the file's size first, so a
// patch never extends or truncates the file and a bad offset writes nothing.
PatchStatus patchFields(std::string_view path, const std::vector<FieldWrite>& writes);

// The scale, rate and start fields of both stream headers as the file holds them, as writes that
// would put them back; nothing when the headers cannot be found or read.
std::optional<std::vector<FieldWrite>> readHeaderValues(std::string_view path);

// True when the file's header fields differ from values read earlier (or can no longer be read).
bool headerValuesDiffer(std::string_view path, const std::vector<FieldWrite>& values);

// True when the file exists and this process may not write it (the read-only case).
bool fileIsReadOnly(std::string_view path);

} // namespace tools::synchronizer
