// A clipper from a list of rectangles, attached to a surface so that later
// blits onto it are clipped to the list.
#ifndef QUILLFIRE_CLIPPER_H
#define QUILLFIRE_CLIPPER_H

#include <stdint.h>

#include "engine/display/ddraw.h"

DDClipper *clipper_attach(DDSurface *surface, int32_t count, const RECT *rects);

#endif
