// The skin's pictures as packaged: PNG bytes to pixels and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Bitmap.h"

namespace launcher {

// Decodes a PNG. A picture with an alpha channel (or a transparent colour) becomes 32-bit, any
// other 24-bit. False, with out left empty, when the bytes are not a PNG we can decode.
bool DecodePng(const std::uint8_t* data, std::size_t size, Bitmap* out);

// The picture as PNG bytes (colour type RGB or RGBA, as the picture is); empty when the picture
// is empty or cannot be encoded.
std::vector<std::uint8_t> EncodePng(const Bitmap& picture);

}  // namespace launcher
