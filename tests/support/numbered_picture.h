#pragma once

// Pictures that carry their own number, so that a test can tell which source picture every decoded
// frame shows: two rows of large blocks across the middle of the picture, the number's bits in white
// (1) and black (0) in the upper row and inverted in the lower one. Blocks of that size survive MPEG-4
// compression and resizing; a frame whose blocks are grey or whose rows disagree (fields of two
// pictures woven together, a picture blended into the next) reads as no number.

#include "tests/support/vobgen_video.h"

namespace kes::test {

inline constexpr int kPictureNumberBits = 14;

// Writes the number (0 .. 2^14 - 1) into the picture, over whatever it shows.
void drawPictureNumber(TestPicture& picture, int number);

// The number a decoded picture carries, or -1 when it carries none clearly.
int readPictureNumber(const TestPicture& picture);

} // namespace kes::test
