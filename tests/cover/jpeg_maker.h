#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace cover::test {

// The bytes of a baseline JPEG file of the given size whose pixel (x, y) has colour(x, y) (0xRRGGBB).
std::string makeJpeg(int width, int height, const std::function<std::uint32_t(int x, int y)>& colour);

} // namespace cover::test
