#include "engine/display/ddraw.h"

#include <stdlib.h>
#include <string.h>

#include "engine/display/ddraw_testing.h"

namespace {

// The one primary surface: what the player sees.
DDSurface *screen;

int32_t live_surfaces;
int32_t live_clippers;
int32_t surfaces_before_failure = -1;

DDSurface *new_surface(DDObject *owner, int32_t width, int32_t height,
                       uint32_t caps) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    return nullptr;
  }
  DDSurface *s = (DDSurface *)calloc(1, sizeof(DDSurface));
  if (!s) return nullptr;
  s->pixels = (uint8_t *)calloc((size_t)width * height, 1);
  if (!s->pixels) {
    free(s);
    return nullptr;
  }
  s->refs = 1;
  s->width = width;
  s->height = height;
  s->pitch = width;
  s->caps = caps;
  s->owner = owner;
  live_surfaces++;
  return s;
}

bool is_screen(const DDSurface *s) { return s && s == screen; }

// Intersects `r` with `clip`; false when nothing is left.
bool intersect(RECT *r, const RECT &clip) {
  if (clip.left > r->left) r->left = clip.left;
  if (clip.top > r->top) r->top = clip.top;
  if (clip.right < r->right) r->right = clip.right;
  if (clip.bottom < r->bottom) r->bottom = clip.bottom;
  return r->left < r->right && r->top < r->bottom;
}

// Copies the part of the source rectangle that lands inside `visible` of the
// destination. The rectangles have the same size.
void copy_clipped(DDSurface *dest, const RECT &dest_rect, DDSurface *source,
                  const RECT &source_rect, int keyed, const RECT &visible) {
  RECT d = dest_rect;
  if (!intersect(&d, visible)) return;
  const int32_t sx = source_rect.left + (d.left - dest_rect.left);
  const int32_t sy = source_rect.top + (d.top - dest_rect.top);
  const int32_t w = d.right - d.left;
  const uint8_t low = source->color_key_low;
  const uint8_t high = source->color_key_high;
  for (int32_t row = 0; row < d.bottom - d.top; row++) {
    const uint8_t *from =
        source->pixels + (ptrdiff_t)(sy + row) * source->pitch + sx;
    uint8_t *to =
        dest->pixels + (ptrdiff_t)(d.top + row) * dest->pitch + d.left;
    if (!keyed) {
      memcpy(to, from, (size_t)w);
      continue;
    }
    for (int32_t i = 0; i < w; i++) {
      if (from[i] < low || from[i] > high) to[i] = from[i];
    }
  }
}

}  // namespace

void dd_present(DDSurface *primary) {
  if (!primary || !primary->palette) return;
  plat_present(primary->pixels, primary->pitch, primary->width, primary->height,
               (const uint8_t *)primary->palette->entries);
}

const DDPalette *dd_screen_palette(void) {
  return screen ? screen->palette : nullptr;
}

int32_t dd_create(DDObject **object) {
  DDObject *o = (DDObject *)calloc(1, sizeof(DDObject));
  if (!o) return DDERR_OUTOFMEMORY;
  o->refs = 1;
  *object = o;
  return DD_OK;
}

int32_t dd_set_cooperative_level(DDObject *object, PlatWindow *window,
                                 uint32_t flags) {
  if (!object || !window) return DDERR_INVALIDPARAMS;
  object->window = window;
  object->cooperative_flags = flags;
  return DD_OK;
}

int32_t dd_set_display_mode(DDObject *object, int32_t width, int32_t height,
                            int32_t bits) {
  if (!object) return DDERR_INVALIDPARAMS;
  if (!(object->cooperative_flags & DDSCL_EXCLUSIVE)) {
    return DDERR_NOEXCLUSIVEMODE;
  }
  if (!plat_display_set_mode(width, height, bits)) return DDERR_UNSUPPORTEDMODE;
  object->width = width;
  object->height = height;
  object->bits = bits;
  object->mode_set = 1;
  return DD_OK;
}

int32_t dd_create_primary(DDObject *object, uint32_t caps, int32_t back_count,
                          DDSurface **primary) {
  if (!object || !object->mode_set || back_count != 1) {
    return DDERR_INVALIDPARAMS;
  }
  DDSurface *p = new_surface(object, object->width, object->height, caps);
  DDSurface *b =
      new_surface(object, object->width, object->height, DDSCAPS_BACKBUFFER);
  if (!p || !b) {
    dd_release_surface(p);
    dd_release_surface(b);
    return DDERR_OUTOFMEMORY;
  }
  p->back = b;
  screen = p;
  *primary = p;
  return DD_OK;
}

int32_t dd_get_attached_surface(DDSurface *primary, uint32_t caps,
                                DDSurface **back) {
  if (!primary || !primary->back || !(caps & DDSCAPS_BACKBUFFER)) {
    return DDERR_INVALIDPARAMS;
  }
  primary->back->refs++;
  *back = primary->back;
  return DD_OK;
}

int32_t dd_create_surface(DDObject *object, int32_t width, int32_t height,
                          uint32_t caps, DDSurface **surface) {
  if (!object) return DDERR_INVALIDPARAMS;
  if (surfaces_before_failure == 0) return DDERR_OUTOFMEMORY;
  if (surfaces_before_failure > 0) surfaces_before_failure--;
  DDSurface *s = new_surface(object, width, height, caps);
  if (!s) return DDERR_OUTOFMEMORY;
  *surface = s;
  return DD_OK;
}

int32_t dd_set_color_key(DDSurface *surface, uint8_t low, uint8_t high) {
  if (!surface) return DDERR_INVALIDPARAMS;
  surface->has_color_key = 1;
  surface->color_key_low = low;
  surface->color_key_high = high;
  return DD_OK;
}

int32_t dd_create_palette(DDObject *object, const PALETTEENTRY entries[256],
                          DDPalette **palette) {
  if (!object || !entries) return DDERR_INVALIDPARAMS;
  DDPalette *p = (DDPalette *)calloc(1, sizeof(DDPalette));
  if (!p) return DDERR_OUTOFMEMORY;
  p->refs = 1;
  memcpy(p->entries, entries, sizeof p->entries);
  *palette = p;
  return DD_OK;
}

int32_t dd_set_palette(DDSurface *primary, DDPalette *palette) {
  if (!primary || !palette) return DDERR_INVALIDPARAMS;
  palette->refs++;
  if (primary->palette) dd_release_palette(primary->palette);
  primary->palette = palette;
  palette->shown_on = primary;
  dd_present(primary);
  return DD_OK;
}

int32_t dd_palette_set_entries(DDPalette *palette, int32_t first, int32_t count,
                               const PALETTEENTRY *entries) {
  if (!palette || !entries || first < 0 || count < 0 || first > 256 ||
      count > 256 - first) {
    return DDERR_INVALIDPARAMS;
  }
  memcpy(&palette->entries[first], entries, (size_t)count * sizeof *entries);
  if (is_screen(palette->shown_on)) dd_present(palette->shown_on);
  return DD_OK;
}

int32_t dd_create_clipper(DDObject *object, DDClipper **clipper) {
  if (!object) return DDERR_INVALIDPARAMS;
  DDClipper *c = (DDClipper *)calloc(1, sizeof(DDClipper));
  if (!c) return DDERR_OUTOFMEMORY;
  c->refs = 1;
  live_clippers++;
  *clipper = c;
  return DD_OK;
}

int32_t dd_clipper_set_list(DDClipper *clipper, const RGNDATA *region) {
  if (!clipper || !region || region->rdh.iType != RDH_RECTANGLES ||
      region->rdh.nCount > 4096) {
    return DDERR_INVALIDPARAMS;
  }
  const int32_t count = (int32_t)region->rdh.nCount;
  RECT *rects = nullptr;
  if (count > 0) {
    rects = (RECT *)malloc((size_t)count * sizeof(RECT));
    if (!rects) return DDERR_OUTOFMEMORY;
    memcpy(rects, region->Buffer, (size_t)count * sizeof(RECT));
  }
  free(clipper->rects);
  clipper->rects = rects;
  clipper->count = count;
  return DD_OK;
}

int32_t dd_set_clipper(DDSurface *surface, DDClipper *clipper) {
  if (!surface) return DDERR_INVALIDPARAMS;
  if (clipper) clipper->refs++;
  if (surface->clipper) dd_release_clipper(surface->clipper);
  surface->clipper = clipper;
  return DD_OK;
}

int32_t dd_blt_fill(DDSurface *surface, uint32_t color) {
  if (!surface) return DDERR_INVALIDPARAMS;
  if (surface->locked) return DDERR_SURFACEBUSY;
  for (int32_t y = 0; y < surface->height; y++) {
    memset(surface->pixels + (ptrdiff_t)y * surface->pitch, (uint8_t)color,
           (size_t)surface->width);
  }
  if (is_screen(surface)) dd_present(surface);
  return DD_OK;
}

int32_t dd_blt(DDSurface *dest, const RECT *dest_rect, DDSurface *source,
               const RECT *source_rect, int keyed) {
  if (!dest || !source || !dest_rect || !source_rect) {
    return DDERR_INVALIDPARAMS;
  }
  if (dest->locked || source->locked) return DDERR_SURFACEBUSY;
  const RECT &d = *dest_rect;
  const RECT &s = *source_rect;
  const int64_t w = (int64_t)d.right - d.left;
  const int64_t h = (int64_t)d.bottom - d.top;
  if (w <= 0 || h <= 0 || w != (int64_t)s.right - s.left ||
      h != (int64_t)s.bottom - s.top) {
    return DDERR_INVALIDRECT;
  }
  if (s.left < 0 || s.top < 0 || s.right > source->width ||
      s.bottom > source->height) {
    return DDERR_INVALIDRECT;
  }
  keyed = keyed && source->has_color_key;
  const RECT whole = {0, 0, dest->width, dest->height};
  if (!dest->clipper) {
    if (d.left < 0 || d.top < 0 || d.right > dest->width ||
        d.bottom > dest->height) {
      return DDERR_INVALIDRECT;
    }
    copy_clipped(dest, d, source, s, keyed, whole);
  } else {
    for (int32_t i = 0; i < dest->clipper->count; i++) {
      RECT visible = dest->clipper->rects[i];
      if (intersect(&visible, whole)) {
        copy_clipped(dest, d, source, s, keyed, visible);
      }
    }
  }
  if (is_screen(dest)) dd_present(dest);
  return DD_OK;
}

int32_t dd_flip(DDSurface *primary) {
  const int32_t result = dd_flip_unshown(primary);
  if (result == DD_OK) dd_present(primary);
  return result;
}

int32_t dd_flip_unshown(DDSurface *primary) {
  if (!primary || !primary->back) return DDERR_INVALIDPARAMS;
  if (primary->locked || primary->back->locked) return DDERR_SURFACEBUSY;
  uint8_t *shown = primary->pixels;
  primary->pixels = primary->back->pixels;
  primary->back->pixels = shown;
  return DD_OK;
}

int32_t dd_lock(DDSurface *surface, uint8_t **pixels, int32_t *pitch) {
  if (!surface) return DDERR_INVALIDPARAMS;
  if (surface->locked) return DDERR_SURFACEBUSY;
  surface->locked = 1;
  *pixels = surface->pixels;
  *pitch = surface->pitch;
  return DD_OK;
}

int32_t dd_unlock(DDSurface *surface) {
  if (!surface) return DDERR_INVALIDPARAMS;
  if (!surface->locked) return DDERR_NOTLOCKED;
  surface->locked = 0;
  if (is_screen(surface)) dd_present(surface);
  return DD_OK;
}

int32_t dd_get_dc(DDSurface *surface, DDDeviceContext *dc) {
  if (!surface || !dc) return DDERR_INVALIDPARAMS;
  if (surface->locked) return DDERR_SURFACEBUSY;
  // A surface with a device context out counts as locked, as in DirectDraw.
  surface->locked = 1;
  dc->surface = surface;
  dc->text_color = 0;
  dc->background_mode = OPAQUE;
  return DD_OK;
}

int32_t dd_release_dc(DDSurface *surface, DDDeviceContext *dc) {
  if (!surface || !dc || dc->surface != surface) return DDERR_INVALIDPARAMS;
  dc->surface = nullptr;
  return dd_unlock(surface);
}

void dd_release_object(DDObject *object) {
  if (!object || --object->refs > 0) return;
  if (object->mode_set) plat_display_close();
  free(object);
}

void dd_release_surface(DDSurface *surface) {
  if (!surface || --surface->refs > 0) return;
  if (surface == screen) screen = nullptr;
  if (surface->back) dd_release_surface(surface->back);
  if (surface->palette) {
    surface->palette->shown_on = nullptr;
    dd_release_palette(surface->palette);
  }
  if (surface->clipper) dd_release_clipper(surface->clipper);
  free(surface->pixels);
  free(surface);
  live_surfaces--;
}

void dd_release_palette(DDPalette *palette) {
  if (!palette || --palette->refs > 0) return;
  free(palette);
}

void dd_release_clipper(DDClipper *clipper) {
  if (!clipper || --clipper->refs > 0) return;
  free(clipper->rects);
  free(clipper);
  live_clippers--;
}

int32_t dd_live_surfaces(void) { return live_surfaces; }
int32_t dd_live_clippers(void) { return live_clippers; }
void dd_fail_surfaces_after(int32_t successes) {
  surfaces_before_failure = successes;
}

void dd_reset(void) {
  screen = nullptr;
  surfaces_before_failure = -1;
}
