#include "platform/mmio/avi_movi.h"

#include "platform/mmio/riff_file.h"

#include <cstdio>

namespace platform::mmio {

namespace {

constexpr FourCC FourccAvi = makeFourCC("AVI ");
constexpr FourCC FourccAvix = makeFourCC("AVIX");
constexpr FourCC FourccMovi = makeFourCC("movi");

} // namespace

std::optional<int64_t> aviMoviBytes(std::string_view path) {
    auto file = RiffFile::open(path, OpenMode::Read);
    if (!file)
        return std::nullopt;
    int64_t total = 0;
    bool first = true;
    bool found = false;
    while (file->position() < file->size()) {
        ChunkInfo riff;
        if (file->descend(riff, nullptr, Descend::Current) != MMSYSERR_NOERROR)
            break;
        const bool avi = riff.ckid == FOURCC_RIFF && riff.fccType == (first ? FourccAvi : FourccAvix);
        if (first && !avi)
            return std::nullopt;
        first = false;
        if (avi) {
            ChunkInfo movi;
            movi.fccType = FourccMovi;
            if (file->descend(movi, &riff, Descend::FindList) == MMSYSERR_NOERROR) {
                total += movi.cksize;
                found = true;
            }
        }
        const int64_t next = riff.dataOffset + riff.cksize + (riff.cksize & 1);
        if (file->seek(next, SEEK_SET) < 0)
            break;
    }
    return found ? std::optional<int64_t>(total) : std::nullopt;
}

} // namespace platform::mmio
