// Our own small DirectDraw: 8-bit surfaces in ordinary memory, a primary
// surface with one back buffer, colour fills, keyed and clipped blits, locks,
// a 256-entry palette, clippers and device contexts for text.
//
// It keeps the results the display library relies on (what is drawn where,
// what each call returns) and none of the COM machinery: objects are plain
// records with a reference count, and every call returns DD_OK or an error
// code. Whatever changes the picture or the colours of the primary surface
// is shown on the screen at once through the platform.
#ifndef QUILLFIRE_DDRAW_H
#define QUILLFIRE_DDRAW_H

#include <stdint.h>

#include "platform/platform.h"

struct PALETTEENTRY {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};

const uint8_t PC_NOCOLLAPSE = 4;

// Right column and bottom row lie outside the rectangle.
struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

const uint32_t RDH_RECTANGLES = 1;

struct RGNDATAHEADER {
  uint32_t dwSize;
  uint32_t iType;
  uint32_t nCount;
  uint32_t nRgnSize;
  RECT rcBound;
};

// A region: the header, then nCount rectangles.
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};

// Results.
const int32_t DD_OK = 0;
const int32_t DDERR_GENERIC = -1;
const int32_t DDERR_INVALIDPARAMS = -2;
const int32_t DDERR_INVALIDRECT = -3;
const int32_t DDERR_OUTOFMEMORY = -4;
const int32_t DDERR_SURFACEBUSY = -5;
const int32_t DDERR_NOTLOCKED = -6;
const int32_t DDERR_NOEXCLUSIVEMODE = -7;
const int32_t DDERR_UNSUPPORTEDMODE = -8;

// Capability bits of a surface description (only those the library passes).
const uint32_t DDSCAPS_BACKBUFFER = 0x4;
const uint32_t DDSCAPS_COMPLEX = 0x8;
const uint32_t DDSCAPS_FLIP = 0x10;
const uint32_t DDSCAPS_OFFSCREENPLAIN = 0x40;
const uint32_t DDSCAPS_PRIMARYSURFACE = 0x200;
const uint32_t DDSCAPS_SYSTEMMEMORY = 0x800;

const uint32_t DDSCL_FULLSCREEN = 0x1;
const uint32_t DDSCL_ALLOWREBOOT = 0x2;
const uint32_t DDSCL_EXCLUSIVE = 0x10;
const uint32_t DDSCL_ALLOWMODEX = 0x40;

const int32_t TRANSPARENT = 1;  // background mode: only glyphs are painted
const int32_t OPAQUE = 2;

struct DDObject;
struct DDSurface;

struct DDPalette {
  int32_t refs;
  PALETTEENTRY entries[256];
  DDSurface *shown_on;  // the primary it is attached to, if any
};

struct DDClipper {
  int32_t refs;
  RECT *rects;
  int32_t count;
};

struct DDSurface {
  int32_t refs;
  uint8_t *pixels;
  int32_t width;
  int32_t height;
  int32_t pitch;
  uint32_t caps;
  int32_t locked;
  int32_t has_color_key;
  uint8_t color_key_low;
  uint8_t color_key_high;
  DDClipper *clipper;
  DDPalette *palette;  // the primary's palette
  DDSurface *back;     // the primary's back buffer
  DDObject *owner;
};

struct DDObject {
  int32_t refs;
  PlatWindow *window;
  uint32_t cooperative_flags;
  int32_t width;
  int32_t height;
  int32_t bits;
  int32_t mode_set;
};

// A device context: where GDI-style text goes and in which colour.
struct DDDeviceContext {
  DDSurface *surface;
  uint32_t text_color;  // COLORREF, 0x00BBGGRR
  int32_t background_mode;
};

// The object, the mode and the screen.
int32_t dd_create(DDObject **object);
int32_t dd_set_cooperative_level(DDObject *object, PlatWindow *window,
                                 uint32_t flags);
int32_t dd_set_display_mode(DDObject *object, int32_t width, int32_t height,
                            int32_t bits);

// Surfaces. The primary is made with its one back buffer attached; an
// off-screen surface is width by height pixels whose rows are exactly
// `width` bytes apart.
int32_t dd_create_primary(DDObject *object, uint32_t caps, int32_t back_count,
                          DDSurface **primary);
int32_t dd_get_attached_surface(DDSurface *primary, uint32_t caps,
                                DDSurface **back);
int32_t dd_create_surface(DDObject *object, int32_t width, int32_t height,
                          uint32_t caps, DDSurface **surface);
int32_t dd_set_color_key(DDSurface *surface, uint8_t low, uint8_t high);

// Palettes.
int32_t dd_create_palette(DDObject *object, const PALETTEENTRY entries[256],
                          DDPalette **palette);
int32_t dd_set_palette(DDSurface *primary, DDPalette *palette);
int32_t dd_palette_set_entries(DDPalette *palette, int32_t first, int32_t count,
                               const PALETTEENTRY *entries);

// Clippers.
int32_t dd_create_clipper(DDObject *object, DDClipper **clipper);
int32_t dd_clipper_set_list(DDClipper *clipper, const RGNDATA *region);
int32_t dd_set_clipper(DDSurface *surface, DDClipper *clipper);

// Drawing. A fill covers the whole surface with the colour's low byte. A blit
// copies between rectangles of equal size (no stretching); `keyed` leaves
// out source pixels within the source's colour key. Onto a surface with a
// clipper the blit is clipped to its rectangles; without one, a destination
// rectangle that leaves the surface is refused. Neither works on a locked
// surface.
int32_t dd_blt_fill(DDSurface *surface, uint32_t color);
int32_t dd_blt(DDSurface *dest, const RECT *dest_rect, DDSurface *source,
               const RECT *source_rect, int keyed);

// The primary shows its back buffer's picture; the back buffer then holds the
// former one. Refused while either is locked.
int32_t dd_flip(DDSurface *primary);
// The same exchange, not shown: the screen keeps its picture until the next
// present. For a picture that must be in place before a palette change
// shows it.
int32_t dd_flip_unshown(DDSurface *primary);

// Pixel access: the first byte of the surface and the bytes from one row to
// the next. A locked surface can't be locked again.
int32_t dd_lock(DDSurface *surface, uint8_t **pixels, int32_t *pitch);
int32_t dd_unlock(DDSurface *surface);

// Device contexts, one at a time per surface.
int32_t dd_get_dc(DDSurface *surface, DDDeviceContext *dc);
int32_t dd_release_dc(DDSurface *surface, DDDeviceContext *dc);

// The palette the screen is shown through (that of the primary), or null.
const DDPalette *dd_screen_palette(void);

// Release: each gives up one reference; the last one frees the object.
void dd_release_object(DDObject *object);
void dd_release_surface(DDSurface *surface);
void dd_release_palette(DDPalette *palette);
void dd_release_clipper(DDClipper *clipper);

// Shows the primary surface through its palette (after a change that the
// calls above don't see, such as pixels written through a lock).
void dd_present(DDSurface *primary);

// Forgets the screen and lets every surface creation succeed again, as at
// start; called by display_reset once the display has released its objects.
// The counts of live surfaces and clippers stay: they count objects that
// still exist, so a leak stays visible.
void dd_reset(void);

#endif
