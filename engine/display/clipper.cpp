// The clipper: the rectangles are made into a region block, given to a new
// clipper and the clipper attached to the surface.
#include "engine/display/clipper.h"

#include <stdlib.h>
#include <string.h>

#include "engine/display/display.h"

namespace {

const uint32_t HEADER_BYTES = 32;
const uint32_t RECT_BYTES = 16;
// Where the bounds start, so that the first rectangle replaces every side.
const int32_t BOUND_START = 64000;

}  // namespace

RGNDATA *clipper_region(int32_t count, const RECT *rects) {
  if (count < 1 || !rects) return nullptr;
  const size_t bytes = ((size_t)count + 2) * RECT_BYTES;
  RGNDATA *region = (RGNDATA *)malloc(bytes);
  if (!region) return nullptr;
  memcpy((char *)region + HEADER_BYTES, rects, (size_t)count * RECT_BYTES);

  RGNDATAHEADER &header = region->rdh;
  header.dwSize = HEADER_BYTES;
  header.iType = RDH_RECTANGLES;
  header.nCount = (uint32_t)count;
  header.nRgnSize = (uint32_t)count * RECT_BYTES;
  header.rcBound = RECT{BOUND_START, BOUND_START, -BOUND_START, -BOUND_START};
  for (int32_t i = 0; i < count; i++) {
    const RECT &r = rects[i];
    if (r.left < header.rcBound.left) header.rcBound.left = r.left;
    if (r.right > header.rcBound.right) header.rcBound.right = r.right;
    if (r.top < header.rcBound.top) header.rcBound.top = r.top;
    if (r.bottom > header.rcBound.bottom) header.rcBound.bottom = r.bottom;
  }
  return region;
}

// On every failure the clipper made here is released as well as the block:
// nobody else holds it, so keeping it would only leak it.
DDClipper *clipper_attach(DDSurface *surface, int32_t count,
                          const RECT *rects) {
  if (count < 1 || !rects) return nullptr;
  DDClipper *clipper = nullptr;
  if (dd_create_clipper(ddraw_object, &clipper) != DD_OK) return nullptr;
  RGNDATA *region = clipper_region(count, rects);
  if (!region) {
    dd_release_clipper(clipper);
    return nullptr;
  }
  if (dd_clipper_set_list(clipper, region) != DD_OK ||
      dd_set_clipper(surface, clipper) != DD_OK) {
    free(region);
    dd_release_clipper(clipper);
    return nullptr;
  }
  free(region);
  return clipper;
}
