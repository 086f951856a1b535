#pragma once

// A VobSub pair written here for the subtitle tests: one language ("en", stream 0) with one
// subpicture, an opaque white bar of 40 x 10 pixels at (20, 90) of a 160 x 120 picture, shown from
// 0.5 s to about 1.5 s.

#include <string>

namespace kes::test {

inline constexpr int SubX = 20;
inline constexpr int SubY = 90;
inline constexpr int SubWidth = 40;
inline constexpr int SubHeight = 10;

std::string sampleIdx();
std::string sampleSub();

} // namespace kes::test
