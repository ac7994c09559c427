// The BMP loader: a Windows BMP file into its headers, its palette and a
// top-down pixel buffer.
#ifndef QUILLFIRE_BMP_H
#define QUILLFIRE_BMP_H

#include <stdint.h>

#include "engine/display/ddraw.h"

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
  uint16_t bfType;
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;
};

struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
#pragma pack(pop)

static_assert(sizeof(BITMAPFILEHEADER) == 14, "file header is 14 bytes");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "info header is 40 bytes");

const uint16_t BITMAP_ID = 0x4D42;  // "BM"

struct BitmapFile {
  BITMAPFILEHEADER file_header;
  BITMAPINFOHEADER info_header;
  PALETTEENTRY palette[256];
  uint8_t *buffer;  // top-down pixels, owned; null when nothing is loaded
};

// 1 when loaded; 0 for a file that can't be opened, is not a regular file
// (a FIFO or a device is never opened for reading) or is no picture the
// loader reads (bmp.cpp says which).
int32_t bmp_load(BitmapFile *bitmap, const char *filename);
int32_t bmp_unload(BitmapFile *bitmap);
int32_t bmp_flip_rows(uint8_t *buffer, int32_t bytes_per_row, int32_t rows);

// Where a width x height rectangle of a loaded 8-bit picture starts: at cell
// (cx, cy) in cell mode (mode 0: cells framed by 1-pixel lines, so cell (c, r)
// starts at pixel (c x (width + 1) + 1, r x (height + 1) + 1)), or at pixel
// (cx, cy) with any other mode. Its rows are biWidth bytes apart. Null when
// the picture holds no 8-bit pixels or any of the rectangle lies outside it.
const uint8_t *bmp_cell(const BitmapFile *bitmap, int32_t width, int32_t height,
                        int32_t cx, int32_t cy, int32_t mode);

#endif
