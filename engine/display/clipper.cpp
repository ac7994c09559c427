// Not built yet: the clipper.
#include "engine/display/clipper.h"

DDClipper *clipper_attach(DDSurface *, int32_t, const RECT *) {
  return nullptr;
}
