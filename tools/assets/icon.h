// The game's icon for menus and launchers, drawn afresh at each size so that
// small icons stay sharp: a burning ball between the two paddles on the
// night court, in the colours of palette.h.
#ifndef QUILLFIRE_TOOLS_ICON_H
#define QUILLFIRE_TOOLS_ICON_H

#include <stdint.h>

#include "assets/canvas.h"

// The sizes installed, in pixels.
const int32_t ICON_SIZES[] = {16, 32, 48, 64, 128, 256};

// A size x size picture; index 0 (black) only outside the rounded corners.
Canvas picture_icon(int32_t size);

#endif
