#pragma once

// What the frame getter needs to know of an MPEG-4 part 2 chunk before decoding it: the coding type of
// its first VOP, how many VOPs it holds (two in a "packed" chunk, where a B-VOP rides along with the
// reference picture it depends on) and whether it carries the user data that marks a packed stream.

#include <cstddef>
#include <cstdint>

namespace platform::vfw {

enum class VopType : uint8_t { None, Intra, Predicted, Bidirectional, Sprite };

struct VopScan {
    VopType first = VopType::None; // coding type of the first VOP
    int count = 0;                 // VOP start codes in the chunk
    bool packedMarker = false;     // encoder user data ending in "p": B-VOPs are packed
};

// A chunk this small holds at most a VOP header without picture data (a not-coded VOP), as packed
// streams write in the slot of a picture that came earlier.
constexpr size_t MaxNotCodedVopBytes = 19;

VopScan scanVops(const uint8_t* data, size_t size);

} // namespace platform::vfw
