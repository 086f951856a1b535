#include "platform/mmio/wave_layout.h"

#include "platform/mmio/riff_file.h"

#include <algorithm>
#include <cstdio>

namespace platform::mmio {

namespace {

constexpr FourCC FourccWave = makeFourCC("WAVE");
constexpr FourCC FourccFmt = makeFourCC("fmt ");
constexpr FourCC FourccData = makeFourCC("data");
constexpr int64_t MaxFormatBytes = 64;
// Offsets in the format chunk's data.
constexpr size_t TagField = 0;
constexpr size_t ChannelsField = 2;
constexpr size_t RateField = 4;
constexpr size_t AlignField = 12;
constexpr size_t BitsField = 14;
constexpr size_t SubFormatField = 24; // WAVE_FORMAT_EXTENSIBLE: the first two bytes of the GUID

uint32_t field(const std::vector<uint8_t>& bytes, size_t at, size_t width) {
    if (at + width > bytes.size())
        return 0;
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

// Finds a chunk among the children of the form, searching from the form's first child.
bool findChild(RiffFile& file, const ChunkInfo& form, FourCC id, ChunkInfo& found) {
    if (file.seek(form.dataOffset + FormTypeSize, SEEK_SET) < 0)
        return false;
    found = {};
    found.ckid = id;
    return file.descend(found, &form, Descend::FindChunk) == MMSYSERR_NOERROR;
}

} // namespace

uint16_t WaveLayout::formatTag() const {
    const auto tag = static_cast<uint16_t>(field(format, TagField, 2));
    return tag == WaveTagExtensible ? static_cast<uint16_t>(field(format, SubFormatField, 2)) : tag;
}

uint16_t WaveLayout::channels() const {
    return static_cast<uint16_t>(field(format, ChannelsField, 2));
}

uint32_t WaveLayout::sampleRate() const {
    return field(format, RateField, 4);
}

uint16_t WaveLayout::blockAlign() const {
    return static_cast<uint16_t>(field(format, AlignField, 2));
}

uint16_t WaveLayout::bitsPerSample() const {
    return static_cast<uint16_t>(field(format, BitsField, 2));
}

std::optional<WaveLayout> readWaveLayout(std::string_view path) {
    auto file = RiffFile::open(path, OpenMode::Read);
    if (!file)
        return std::nullopt;
    ChunkInfo form;
    form.fccType = FourccWave;
    if (file->descend(form, nullptr, Descend::FindRiff) != MMSYSERR_NOERROR)
        return std::nullopt;
    WaveLayout layout;
    layout.fileSize = file->size();
    ChunkInfo fmt;
    if (!findChild(*file, form, FourccFmt, fmt))
        return std::nullopt;
    layout.formatOffset = fmt.dataOffset;
    layout.format.resize(static_cast<size_t>(std::min<int64_t>(fmt.cksize, MaxFormatBytes)));
    const int64_t got = file->read(layout.format.data(), std::ssize(layout.format));
    if (got < 0)
        return std::nullopt;
    layout.format.resize(static_cast<size_t>(got));
    ChunkInfo data;
    if (!findChild(*file, form, FourccData, data))
        return std::nullopt;
    layout.dataOffset = data.dataOffset;
    // cksize is already the smaller of the field and what the form and the file hold.
    const int64_t formEnd = std::min<int64_t>(form.dataOffset + form.cksize, layout.fileSize);
    layout.dataBytes = data.declaredSize != 0 ? data.cksize : std::max<int64_t>(0, formEnd - data.dataOffset);
    return layout;
}

} // namespace platform::mmio
