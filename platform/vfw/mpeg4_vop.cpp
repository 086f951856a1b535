#include "platform/vfw/mpeg4_vop.h"

namespace platform::vfw {

namespace {

constexpr uint8_t VopStartCode = 0xB6;
constexpr uint8_t UserDataStartCode = 0xB2;
constexpr int VopTypeShift = 6;
// The encoder's user data is a short text ("DivX503b1393p"); longer runs are not that text.
constexpr size_t MaxUserDataText = 255;

// The position just after the next start code prefix 00 00 01 at or after from, or size.
size_t nextStartCode(const uint8_t* data, size_t size, size_t from) {
    for (size_t i = from; i + 3 <= size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1)
            return i + 3;
    return size;
}

bool endsInPackedMark(const uint8_t* text, size_t size) {
    size_t n = 0;
    while (n < size && n < MaxUserDataText && text[n] != 0)
        ++n;
    return n > 0 && text[n - 1] == 'p';
}

} // namespace

VopScan scanVops(const uint8_t* data, size_t size) {
    VopScan scan;
    if (data == nullptr)
        return scan;
    for (size_t at = nextStartCode(data, size, 0); at < size; at = nextStartCode(data, size, at)) {
        const uint8_t code = data[at++];
        if (code == UserDataStartCode) {
            if (endsInPackedMark(data + at, size - at))
                scan.packedMarker = true;
        } else if (code == VopStartCode) {
            if (scan.count++ == 0 && at < size) {
                static constexpr VopType Types[] = {VopType::Intra, VopType::Predicted,
                                                    VopType::Bidirectional, VopType::Sprite};
                scan.first = Types[data[at] >> VopTypeShift];
            }
        }
    }
    return scan;
}

} // namespace platform::vfw
