#include "assets/font_big.h"

#include <math.h>

#include "assets/palette.h"

namespace {

const float PI = 3.14159265f;

struct Pen {
  std::vector<Segment> *out;
  float x, y;  // where the glyph's origin lies, in units
};

void line(Pen &pen, float x0, float y0, float x1, float y1) {
  pen.out->push_back({pen.x + x0, pen.y + y0, pen.x + x1, pen.y + y1});
}

// An elliptic arc from angle a0 to a1 in degrees (0 is right, 90 is down).
void arc(Pen &pen, float cx, float cy, float rx, float ry, float a0, float a1) {
  const int32_t steps = 24;
  float px = cx + rx * cosf(a0 * PI / 180.0f);
  float py = cy + ry * sinf(a0 * PI / 180.0f);
  for (int32_t i = 1; i <= steps; i++) {
    const float a = (a0 + (a1 - a0) * (float)i / (float)steps) * PI / 180.0f;
    const float x = cx + rx * cosf(a), y = cy + ry * sinf(a);
    line(pen, px, py, x, y);
    px = x;
    py = y;
  }
}

// Draws one letter at the pen; gives its width in units, or -1 if it has no
// drawing.
float glyph(Pen &pen, char c) {
  switch (c) {
    case 'Q':
      arc(pen, 2.0f, 3.0f, 2.0f, 3.0f, 0.0f, 360.0f);
      line(pen, 2.5f, 4.3f, 4.2f, 6.3f);
      return 4.0f;
    case 'U':
      line(pen, 0.0f, 0.0f, 0.0f, 4.0f);
      arc(pen, 2.0f, 4.0f, 2.0f, 2.0f, 180.0f, 0.0f);
      line(pen, 4.0f, 4.0f, 4.0f, 0.0f);
      return 4.0f;
    case 'I':
      line(pen, 1.0f, 0.0f, 1.0f, 6.0f);
      line(pen, 0.0f, 0.0f, 2.0f, 0.0f);
      line(pen, 0.0f, 6.0f, 2.0f, 6.0f);
      return 2.0f;
    case 'L':
      line(pen, 0.0f, 0.0f, 0.0f, 6.0f);
      line(pen, 0.0f, 6.0f, 3.4f, 6.0f);
      return 3.4f;
    case 'F':
      line(pen, 0.0f, 0.0f, 0.0f, 6.0f);
      line(pen, 0.0f, 0.0f, 3.4f, 0.0f);
      line(pen, 0.0f, 2.9f, 2.7f, 2.9f);
      return 3.4f;
    case 'R':
      line(pen, 0.0f, 6.0f, 0.0f, 0.0f);
      line(pen, 0.0f, 0.0f, 2.0f, 0.0f);
      arc(pen, 2.0f, 1.5f, 1.5f, 1.5f, -90.0f, 90.0f);
      line(pen, 2.0f, 3.0f, 0.0f, 3.0f);
      line(pen, 1.7f, 3.0f, 3.6f, 6.0f);
      return 3.6f;
    case 'E':
      line(pen, 3.4f, 0.0f, 0.0f, 0.0f);
      line(pen, 0.0f, 0.0f, 0.0f, 6.0f);
      line(pen, 0.0f, 6.0f, 3.4f, 6.0f);
      line(pen, 0.0f, 2.9f, 2.8f, 2.9f);
      return 3.4f;
    default:
      return -1.0f;
  }
}

float segment_distance(const Segment &s, float x, float y, float *nx,
                       float *ny) {
  const float vx = s.x1 - s.x0, vy = s.y1 - s.y0;
  const float len2 = vx * vx + vy * vy;
  float t = len2 > 0.0f ? ((x - s.x0) * vx + (y - s.y0) * vy) / len2 : 0.0f;
  t = fmaxf(0.0f, fminf(1.0f, t));
  const float dx = x - (s.x0 + t * vx), dy = y - (s.y0 + t * vy);
  const float d = sqrtf(dx * dx + dy * dy);
  *nx = d > 0.0f ? dx / d : 0.0f;
  *ny = d > 0.0f ? dy / d : 0.0f;
  return d;
}

}  // namespace

BigText big_text_layout(const char *text, float centre_x, float top, float unit,
                        float radius, float slant) {
  const float gap = 1.45f;  // between letters, in units
  std::vector<Segment> units;
  Pen pen = {&units, 0.0f, 0.0f};
  float width = 0.0f;
  for (const char *p = text; *p; p++) {
    const float w = glyph(pen, *p);
    if (w < 0.0f) continue;
    width = pen.x + w;
    pen.x += w + gap;
  }

  BigText out;
  out.radius = radius;
  const float height = 6.0f * unit;
  // Slanting moves the top right by slant * height; centre what results.
  const float left = centre_x - (width * unit + slant * height) / 2.0f;
  auto place = [&](float ux, float uy, float *px, float *py) {
    *py = top + uy * unit;
    *px = left + ux * unit + slant * (height - uy * unit);
  };
  out.left = out.top = 1e9f;
  out.right = out.bottom = -1e9f;
  for (const Segment &s : units) {
    Segment p;
    place(s.x0, s.y0, &p.x0, &p.y0);
    place(s.x1, s.y1, &p.x1, &p.y1);
    out.segments.push_back(p);
    out.left = fminf(out.left, fminf(p.x0, p.x1) - radius);
    out.right = fmaxf(out.right, fmaxf(p.x0, p.x1) + radius);
    out.top = fminf(out.top, fminf(p.y0, p.y1) - radius);
    out.bottom = fmaxf(out.bottom, fmaxf(p.y0, p.y1) + radius);
  }
  return out;
}

float big_text_distance(const BigText &text, float x, float y, float *nx,
                        float *ny) {
  float best = 1e9f;
  *nx = *ny = 0.0f;
  for (const Segment &s : text.segments) {
    float sx, sy;
    const float d = segment_distance(s, x, y, &sx, &sy);
    if (d < best) {
      best = d;
      *nx = sx;
      *ny = sy;
    }
  }
  return best;
}

void big_text_draw(Canvas &canvas, const BigText &text) {
  const float r = text.radius;
  const float bevel = r * 0.5f;
  const float outline = 2.0f;
  const float shadow_dx = 4.0f, shadow_dy = 5.0f;
  // Light from the upper left and in front.
  const float lx = -0.45f, ly = -0.6f, lz = 0.66f;
  const int32_t x0 = (int32_t)floorf(text.left - outline - 1.0f);
  const int32_t x1 = (int32_t)ceilf(text.right + outline + shadow_dx + 1.0f);
  const int32_t y0 = (int32_t)floorf(text.top - outline - 1.0f);
  const int32_t y1 = (int32_t)ceilf(text.bottom + outline + shadow_dy + 1.0f);
  for (int32_t y = y0; y <= y1; y++) {
    for (int32_t x = x0; x <= x1; x++) {
      float nx, ny;
      const float px = (float)x + 0.5f, py = (float)y + 0.5f;
      const float d = big_text_distance(text, px, py, &nx, &ny);
      if (d <= r) {
        float sx = 0.0f, sy = 0.0f, sz = 1.0f;
        if (r - d < bevel) {
          // The bevel slopes down toward the edge of the stroke.
          sx = nx;
          sy = ny;
          sz = 0.8f;
        }
        const float len = sqrtf(sx * sx + sy * sy + sz * sz);
        const float light = (sx * lx + sy * ly + sz * lz) / len;
        // Lower parts of the letters are a little darker, as if lit from
        // above by the title's glow.
        const float fall = (py - text.top) / (text.bottom - text.top);
        const float t = 0.08f + 0.95f * light - 0.22f * fall;
        canvas_put(canvas, x, y, shade_dither(RAMP_GOLD, t, x, y));
      } else if (d <= r + outline) {
        canvas_put(canvas, x, y, shade(RAMP_EMBER, 0.25f));
      } else {
        float unused_x, unused_y;
        const float ds = big_text_distance(text, px - shadow_dx, py - shadow_dy,
                                           &unused_x, &unused_y);
        if (ds <= r + outline) canvas_put(canvas, x, y, shade(RAMP_SKY, 0.0f));
      }
    }
  }
}
