#include "screenshot/png_write.h"

#include <zlib.h>

#include "assets/bytes.h"

namespace {

// A chunk: length, type, data, then the CRC of type and data.
void put_chunk(std::vector<uint8_t> &out, const char type[4],
               const std::vector<uint8_t> &data) {
  put_u32be(out, (uint32_t)data.size());
  const size_t crc_from = out.size();
  put_tag(out, type);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc =
      crc32(0L, out.data() + crc_from, (uInt)(out.size() - crc_from));
  put_u32be(out, (uint32_t)crc);
}

}  // namespace

std::vector<uint8_t> png_encode_indexed(const uint8_t *pixels, int32_t width,
                                        int32_t height,
                                        const uint8_t palette[1024]) {
  std::vector<uint8_t> out;
  if (!pixels || width <= 0 || height <= 0) return out;
  const size_t row = (size_t)width;

  // Every row starts with its filter type, 0 (none): for palette indices
  // the predictors rarely help.
  std::vector<uint8_t> raw;
  raw.reserve((row + 1) * (size_t)height);
  int32_t highest = 0;
  for (int32_t y = 0; y < height; y++) {
    raw.push_back(0);
    const uint8_t *src = pixels + (size_t)y * row;
    raw.insert(raw.end(), src, src + row);
    for (size_t x = 0; x < row; x++) {
      if (src[x] > highest) highest = src[x];
    }
  }
  uLongf packed_size = compressBound((uLong)raw.size());
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), (uLong)raw.size(),
                Z_BEST_COMPRESSION) != Z_OK) {
    return out;
  }
  packed.resize(packed_size);

  static const uint8_t signature[8] = {0x89, 'P',  'N',  'G',
                                       '\r', '\n', 0x1A, '\n'};
  out.insert(out.end(), signature, signature + 8);

  std::vector<uint8_t> header;
  put_u32be(header, (uint32_t)width);
  put_u32be(header, (uint32_t)height);
  header.push_back(8);  // bits per index
  header.push_back(3);  // colour type: palette
  header.push_back(0);  // deflate
  header.push_back(0);  // adaptive filtering
  header.push_back(0);  // not interlaced
  put_chunk(out, "IHDR", header);

  std::vector<uint8_t> colours;
  for (int32_t i = 0; i <= highest; i++) {
    colours.push_back(palette[4 * i]);
    colours.push_back(palette[4 * i + 1]);
    colours.push_back(palette[4 * i + 2]);
  }
  put_chunk(out, "PLTE", colours);
  put_chunk(out, "IDAT", packed);
  put_chunk(out, "IEND", {});
  return out;
}

int32_t png_write_indexed(const char *path, const uint8_t *pixels,
                          int32_t width, int32_t height,
                          const uint8_t palette[1024]) {
  const std::vector<uint8_t> data =
      png_encode_indexed(pixels, width, height, palette);
  if (data.empty()) return 0;
  return write_file(path, data);
}
