#include "assets/bmp_write.h"

#include "assets/bytes.h"

namespace {
const uint32_t FILE_HEADER_BYTES = 14;
const uint32_t INFO_HEADER_BYTES = 40;
const uint32_t COLOUR_TABLE_BYTES = 256 * 4;
const uint32_t PIXELS_PER_METRE = 2835;  // 72 dots per inch
}  // namespace

std::vector<uint8_t> bmp_encode(const Canvas &canvas, const Rgb palette[256]) {
  std::vector<uint8_t> out;
  if (canvas.width <= 0 || canvas.height <= 0 || canvas.width % 4 != 0) {
    return out;
  }
  const uint32_t image_bytes = (uint32_t)canvas.width * (uint32_t)canvas.height;
  const uint32_t offset =
      FILE_HEADER_BYTES + INFO_HEADER_BYTES + COLOUR_TABLE_BYTES;
  out.reserve(offset + image_bytes);

  out.push_back('B');
  out.push_back('M');
  put_u32le(out, offset + image_bytes);
  put_u16le(out, 0);
  put_u16le(out, 0);
  put_u32le(out, offset);

  put_u32le(out, INFO_HEADER_BYTES);
  put_u32le(out, (uint32_t)canvas.width);
  put_u32le(out, (uint32_t)canvas.height);  // positive: stored bottom-up
  put_u16le(out, 1);                        // planes
  put_u16le(out, 8);                        // bits per pixel
  put_u32le(out, 0);                        // no compression
  put_u32le(out, image_bytes);
  put_u32le(out, PIXELS_PER_METRE);
  put_u32le(out, PIXELS_PER_METRE);
  put_u32le(out, 256);  // colours used
  put_u32le(out, 0);    // all of them important

  for (int32_t i = 0; i < 256; i++) {
    out.push_back(palette[i].b);
    out.push_back(palette[i].g);
    out.push_back(palette[i].r);
    out.push_back(0);
  }
  for (int32_t y = canvas.height - 1; y >= 0; y--) {
    const uint8_t *row = &canvas.pixels[(size_t)y * canvas.width];
    out.insert(out.end(), row, row + canvas.width);
  }
  return out;
}

int32_t bmp_write(const char *path, const Canvas &canvas,
                  const Rgb palette[256]) {
  const std::vector<uint8_t> data = bmp_encode(canvas, palette);
  if (data.empty()) return 0;
  return write_file(path, data);
}
