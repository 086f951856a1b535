#pragma once

// The DVD title's IFO file beside its VOB files, the subtitle destination beside the final AVI, and
// the bounded read of an IFO file's head, where the audio and subpicture attributes lie.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kes {

inline constexpr const char* NoIfoFile = "NONE";

// The IFO file of the title whose VOB is given: the folder and file name of the VOB with the
// extension (from where its text first occurs in the name) and the digits just before it removed,
// then "0.IFO" (VTS_01_1.VOB gives VTS_01_0.IFO in the same folder). "NONE" when that file does not
// exist.
std::string IfoNameOfVob(std::string_view vob);

// The final AVI path with its extension replaced by ".sub" (appended when the name has none).
std::string SubNameOfAvi(std::string_view finalAvi);

// The first bytes of an IFO file, enough for every attribute the pages read: an IFO may be large, and
// a file given in its place may be huge. Nothing when the file cannot be opened or read.
inline constexpr size_t IfoHeadSize = 4096;
std::optional<std::string> readIfoHead(std::string_view path);

// Bounds-checked access to the bytes read.
class IfoBytes {
public:
    explicit IfoBytes(std::string_view bytes) : bytes_(bytes) {}
    // Whether count bytes from offset are there.
    bool has(size_t offset, size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    // The byte at offset; nothing beyond the end.
    std::optional<uint8_t> byte(size_t offset) const;

private:
    std::string_view bytes_;
};

} // namespace kes
