// A clipper from a list of rectangles, attached to a surface so that later
// blits onto it are clipped to the list.
#ifndef QUILLFIRE_CLIPPER_H
#define QUILLFIRE_CLIPPER_H

#include <stdint.h>

#include "engine/display/ddraw.h"

// The region block handed to the clipper: a 32-byte header (its bounds the
// smallest rectangle that holds every one) followed by the `count`
// rectangles, (count + 2) x 16 bytes from the heap that the caller frees.
// Null for a count below 1, no rectangles, or no memory.
RGNDATA *clipper_region(int32_t count, const RECT *rects);

// A new clipper holding the rectangles, attached to `surface`, or null. The
// caller owns the clipper; the surface keeps its own reference.
DDClipper *clipper_attach(DDSurface *surface, int32_t count, const RECT *rects);

#endif
