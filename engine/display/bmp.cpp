#include "engine/display/bmp.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "platform/os.h"

namespace {

const uint32_t BI_RGB = 0;  // uncompressed pixel data
const uint32_t FILE_HEADER_BYTES = 14;
const uint32_t INFO_HEADER_BYTES = 40;
const uint32_t LARGEST_INFO_HEADER_BYTES = 124;  // the fifth version's
const int32_t PALETTE_ENTRIES = 256;

// Files are untrusted, so the picture is bounded: far beyond the game's
// 640 x 480, yet small enough that no size worked out from it overflows and
// no allocation grows without limit.
const int32_t MAX_SIDE = 16384;
const int64_t MAX_PIXELS = 16 * 1024 * 1024;
const int64_t MAX_DATA_BYTES = 64 * 1024 * 1024;

// Where a file's parts are, worked out from its headers and its size and
// checked before anything is allocated.
struct Layout {
  int32_t bytes_per_pixel;  // in the file: 1, 2 or 3
  int32_t row_bytes;        // pixels of one row, without filler
  int32_t stride;           // from one row of the file to the next
  int64_t data_bytes;       // the pixel data: the file's last data_bytes
  int32_t colours;          // entries in the colour table (8-bit files)
};

bool read_exact(FILE *file, void *to, size_t bytes) {
  return fread(to, 1, bytes, file) == bytes;
}

// The file's length in bytes, or -1 when it can't be told.
int64_t file_length(FILE *file) {
  if (fseek(file, 0, SEEK_END) != 0) return -1;
  return (int64_t)ftell(file);
}

// The loader reads uncompressed 8, 16 and 24-bit pictures stored bottom-up,
// with rows packed (the row length a multiple of 4 bytes, or biSizeImage
// just the packed rows) or padded to 4 bytes as most BMP writers do
// (biSizeImage covering the padded rows, or 0). The colour table follows the
// info header, whatever its version. Anything else is refused: false.
bool work_out_layout(const BITMAPINFOHEADER &info, int64_t file_bytes,
                     Layout *out) {
  if (info.biSize < INFO_HEADER_BYTES ||
      info.biSize > LARGEST_INFO_HEADER_BYTES) {
    return false;
  }
  if (info.biCompression != BI_RGB) return false;
  if (info.biBitCount != 8 && info.biBitCount != 16 && info.biBitCount != 24) {
    return false;
  }
  // Zero or negative sizes: nothing to show, or a top-down picture.
  if (info.biWidth <= 0 || info.biHeight <= 0) return false;
  if (info.biWidth > MAX_SIDE || info.biHeight > MAX_SIDE ||
      (int64_t)info.biWidth * info.biHeight > MAX_PIXELS) {
    return false;
  }
  Layout l;
  l.bytes_per_pixel = info.biBitCount / 8;
  l.row_bytes = info.biWidth * l.bytes_per_pixel;
  const int32_t padded = (l.row_bytes + 3) & ~3;
  const int64_t packed_total = (int64_t)l.row_bytes * info.biHeight;
  const int64_t padded_total = (int64_t)padded * info.biHeight;
  l.data_bytes = info.biSizeImage ? (int64_t)info.biSizeImage : padded_total;
  if (l.data_bytes < packed_total || l.data_bytes > MAX_DATA_BYTES)
    return false;
  l.stride = l.data_bytes >= padded_total ? padded : l.row_bytes;
  l.colours = 0;
  if (info.biBitCount == 8) {
    if (info.biClrUsed > (uint32_t)PALETTE_ENTRIES) return false;
    l.colours = info.biClrUsed ? (int32_t)info.biClrUsed : PALETTE_ENTRIES;
  }
  const int64_t headers = FILE_HEADER_BYTES + info.biSize + 4 * l.colours;
  if (file_bytes < headers + l.data_bytes) return false;
  *out = l;
  return true;
}

// The colour table's blue, green, red, reserved into palette entries; entries
// the table does not have are black.
void take_palette(BitmapFile *bitmap, const uint8_t *table, int32_t colours) {
  for (int32_t i = 0; i < PALETTE_ENTRIES; i++) {
    PALETTEENTRY &e = bitmap->palette[i];
    const uint8_t *from = table + 4 * i;
    e.peRed = i < colours ? from[2] : 0;
    e.peGreen = i < colours ? from[1] : 0;
    e.peBlue = i < colours ? from[0] : 0;
    e.peFlags = PC_NOCOLLAPSE;
  }
}

// Padded rows closed up, so that each row follows the one before.
void close_up_rows(uint8_t *pixels, const Layout &l, int32_t rows) {
  if (l.stride == l.row_bytes) return;
  for (int32_t r = 1; r < rows; r++) {
    memmove(pixels + (size_t)r * l.row_bytes, pixels + (size_t)r * l.stride,
            (size_t)l.row_bytes);
  }
}

// 24-bit blue, green, red into 16-bit 5-5-5 values, stored low byte first.
void convert_24_to_16(const uint8_t *from, const Layout &l, int32_t width,
                      int32_t rows, uint8_t *to) {
  for (int32_t r = 0; r < rows; r++) {
    const uint8_t *p = from + (size_t)r * l.stride;
    for (int32_t x = 0; x < width; x++, p += 3, to += 2) {
      const uint16_t v =
          (uint16_t)(((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3));
      to[0] = (uint8_t)(v & 0xFF);
      to[1] = (uint8_t)(v >> 8);
    }
  }
}

// Reads the pixel data (the file's last data_bytes) into a new buffer,
// top-down, in the buffer's form. Null when memory or the read fails.
uint8_t *read_pixels(FILE *file, const BITMAPINFOHEADER &info,
                     const Layout &l) {
  if (fseek(file, -(long)l.data_bytes, SEEK_END) != 0) return nullptr;
  uint8_t *data = (uint8_t *)malloc((size_t)l.data_bytes);
  if (!data) return nullptr;
  if (!read_exact(file, data, (size_t)l.data_bytes)) {
    free(data);
    return nullptr;
  }
  uint8_t *pixels = data;
  if (l.bytes_per_pixel == 3) {
    pixels = (uint8_t *)malloc((size_t)info.biWidth * info.biHeight * 2);
    if (pixels) convert_24_to_16(data, l, info.biWidth, info.biHeight, pixels);
    free(data);
    if (!pixels) return nullptr;
  } else {
    close_up_rows(pixels, l, info.biHeight);
  }
  return pixels;
}

}  // namespace

int32_t bmp_load(BitmapFile *bitmap, const char *filename) {
  FILE *file = os_open_regular(filename, nullptr);
  if (!file) return 0;
  BITMAPFILEHEADER file_header;
  BITMAPINFOHEADER info;
  Layout layout;
  uint8_t table[4 * PALETTE_ENTRIES];
  if (!read_exact(file, &file_header, sizeof file_header)) {
    fclose(file);
    return 0;
  }
  if (file_header.bfType != BITMAP_ID) {
    bitmap->file_header = file_header;
    fclose(file);
    return 0;
  }
  if (!read_exact(file, &info, sizeof info) ||
      !work_out_layout(info, file_length(file), &layout) ||
      fseek(file, (long)(FILE_HEADER_BYTES + info.biSize), SEEK_SET) != 0 ||
      !read_exact(file, table, 4 * (size_t)layout.colours)) {
    fclose(file);
    return 0;
  }

  bitmap->file_header = file_header;
  bitmap->info_header = info;
  if (info.biBitCount == 8) take_palette(bitmap, table, layout.colours);
  free(bitmap->buffer);
  bitmap->buffer = read_pixels(file, info, layout);
  fclose(file);
  if (!bitmap->buffer) return 0;
  if (info.biBitCount == 24) bitmap->info_header.biBitCount = 16;
  const int32_t buffer_row_bytes =
      info.biWidth * (info.biBitCount == 8 ? 1 : 2);
  bmp_flip_rows(bitmap->buffer, buffer_row_bytes, info.biHeight);
  return 1;
}

int32_t bmp_unload(BitmapFile *bitmap) {
  free(bitmap->buffer);
  bitmap->buffer = nullptr;
  return 1;
}

// Rows are exchanged in place, pairwise from the outside in, so no scratch
// memory is needed and the flip cannot fail for want of it.
int32_t bmp_flip_rows(uint8_t *buffer, int32_t bytes_per_row, int32_t rows) {
  if (!buffer || bytes_per_row < 0 || rows < 0) return 0;
  for (int32_t top = 0, bottom = rows - 1; top < bottom; top++, bottom--) {
    uint8_t *a = buffer + (size_t)top * bytes_per_row;
    uint8_t *b = buffer + (size_t)bottom * bytes_per_row;
    std::swap_ranges(a, a + bytes_per_row, b);
  }
  return 1;
}

// The sums are taken in 64 bits so that no cell number, however large, wraps
// round into the picture.
const uint8_t *bmp_cell(const BitmapFile *bitmap, int32_t width, int32_t height,
                        int32_t cx, int32_t cy, int32_t mode) {
  if (!bitmap || !bitmap->buffer || bitmap->info_header.biBitCount != 8) {
    return nullptr;
  }
  const int64_t picture_width = bitmap->info_header.biWidth;
  const int64_t picture_height = llabs(bitmap->info_header.biHeight);
  int64_t left = cx, top = cy;
  if (mode == 0) {
    left = (int64_t)cx * (width + 1) + 1;
    top = (int64_t)cy * (height + 1) + 1;
  }
  if (width <= 0 || height <= 0 || left < 0 || top < 0 ||
      left + width > picture_width || top + height > picture_height) {
    return nullptr;
  }
  return bitmap->buffer + top * picture_width + left;
}
