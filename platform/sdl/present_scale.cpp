#include "platform/sdl/present_scale.h"

#include <stddef.h>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#define QF_SCALE_AVX2 1
#endif

namespace {

// Target pixel t of an axis `to` pixels long over a frame axis `from` pixels
// long (to >= from): the frame pixel it starts in, and the weight of the next
// one by how much of t it covers. Measured in units of 1 / (from * to) of a
// target pixel, so that everything stays whole: t spans [t * from, (t + 1) *
// from) and frame pixel i spans [i * to, (i + 1) * to).
void axis_sample(int64_t t, int32_t from, int32_t to, int32_t *first,
                 uint16_t *weight) {
  int32_t i = (int32_t)(t * from / to);
  const int64_t end_of_first = (int64_t)(i + 1) * to;
  const int64_t end = (t + 1) * from;
  uint32_t w = 0;
  if (end > end_of_first) {
    w = (uint32_t)(((end - end_of_first) * SCALE_WEIGHT_ONE + from / 2) / from);
    if (w >= (uint32_t)SCALE_WEIGHT_ONE) {  // all but a trace is the next
      i++;
      w = 0;
    }
  }
  *first = i;
  *weight = (uint16_t)w;
}

#if QF_SCALE_AVX2
// The same blends eight pixels at a time, on processors that have AVX2 (the
// unpacking and packing work within each 128-bit half, so the order holds).
__attribute__((target("avx2"))) __m256i blend8(__m256i a, __m256i b,
                                               __m256i take_lo,
                                               __m256i take_hi) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi16((short)SCALE_WEIGHT_ONE);
  const __m256i half = _mm256_set1_epi16(128);
  const __m256i lo = _mm256_add_epi16(
      _mm256_add_epi16(
          _mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero),
                             _mm256_sub_epi16(one, take_lo)),
          _mm256_mullo_epi16(_mm256_unpacklo_epi8(b, zero), take_lo)),
      half);
  const __m256i hi = _mm256_add_epi16(
      _mm256_add_epi16(
          _mm256_mullo_epi16(_mm256_unpackhi_epi8(a, zero),
                             _mm256_sub_epi16(one, take_hi)),
          _mm256_mullo_epi16(_mm256_unpackhi_epi8(b, zero), take_hi)),
      half);
  return _mm256_packus_epi16(_mm256_srli_epi16(lo, 8),
                             _mm256_srli_epi16(hi, 8));
}

__attribute__((target("avx2"))) int32_t blend_rows_avx2(const uint32_t *a,
                                                        const uint32_t *b,
                                                        uint32_t weight,
                                                        uint32_t *to,
                                                        int32_t count) {
  const __m256i take = _mm256_set1_epi16((short)weight);
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    _mm256_storeu_si256(
        (__m256i *)(to + x),
        blend8(_mm256_loadu_si256((const __m256i *)(a + x)),
               _mm256_loadu_si256((const __m256i *)(b + x)), take, take));
  }
  return x;
}

__attribute__((target("avx2"))) __m256i load_lanes(const uint16_t *lanes,
                                                   int32_t low, int32_t high) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(
          _mm_loadu_si128((const __m128i *)(lanes + 4 * low))),
      _mm_loadu_si128((const __m128i *)(lanes + 4 * high)), 1);
}

__attribute__((target("avx2"))) int32_t blend_seams_avx2(
    const uint32_t *colours, const uint16_t *seam_lanes, int32_t count,
    uint32_t *seams) {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    _mm256_storeu_si256(
        (__m256i *)(seams + i),
        blend8(_mm256_loadu_si256((const __m256i *)(colours + i)),
               _mm256_loadu_si256((const __m256i *)(colours + i + 1)),
               load_lanes(seam_lanes, i, i + 4),
               load_lanes(seam_lanes, i + 2, i + 6)));
  }
  return i;
}

const bool HAS_AVX2 = __builtin_cpu_supports("avx2");
#endif

// The seam pixels of a row: colours[i] mixed with colours[i + 1] by
// seam_lanes (column i's weight in each of its four bytes' lanes).
void blend_seams(const uint32_t *colours, const uint16_t *seam_lanes,
                 int32_t count, uint32_t *seams) {
  int32_t i = 0;
#if QF_SCALE_AVX2
  if (HAS_AVX2) i = blend_seams_avx2(colours, seam_lanes, count, seams);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16((short)SCALE_WEIGHT_ONE);
  const __m128i half = _mm_set1_epi16(128);
  for (; i + 4 <= count; i += 4) {
    const __m128i va = _mm_loadu_si128((const __m128i *)(colours + i));
    const __m128i vb = _mm_loadu_si128((const __m128i *)(colours + i + 1));
    const __m128i take_lo =
        _mm_loadu_si128((const __m128i *)(seam_lanes + 4 * i));
    const __m128i take_hi =
        _mm_loadu_si128((const __m128i *)(seam_lanes + 4 * i + 8));
    __m128i lo = _mm_add_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero),
                                      _mm_sub_epi16(one, take_lo)),
                      _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), take_lo)),
        half);
    __m128i hi = _mm_add_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero),
                                      _mm_sub_epi16(one, take_hi)),
                      _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), take_hi)),
        half);
    _mm_storeu_si128(
        (__m128i *)(seams + i),
        _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
  }
#endif
  for (; i < count; i++) {
    seams[i] = present_blend(colours[i], colours[i + 1], seam_lanes[4 * i]);
  }
}

// The stores of these two go where neither the table, the frame nor the
// colours are; saying so lets the loads run ahead of the stores.
void look_up(const uint8_t *__restrict from, int32_t count,
             const uint32_t *__restrict lut, uint32_t *__restrict to) {
  for (int32_t i = 0; i < count; i++) to[i] = lut[from[i]];
}

void pick_pixels(const uint32_t *__restrict from,
                 const uint16_t *__restrict pick, int32_t count,
                 uint32_t *__restrict to) {
  for (int32_t x = 0; x < count; x++) to[x] = from[pick[x]];
}

// One frame row looked up and widened to the picture's width: each column's
// run of its own colour, then its seam pixel, if any. The lookup and the
// seams are made for the whole row first, in passes the processor runs
// quickest.
void widen_row(PresentScale *s, const uint8_t *from, const uint32_t lut[256],
               uint32_t *to) {
  const int32_t width = s->frame_width;
  uint32_t *colours = s->colours.data();
  look_up(from, width, lut, colours);
  colours[width] = colours[width - 1];
  blend_seams(colours, s->seam_lanes.data(), width, colours + width + 4);
  pick_pixels(colours, s->pick.data(), s->fit.width, to);
}

// The widened frame row `row`, made now unless one of the two held rows is
// it. Rows are asked for in rising order, so the lower held row goes.
const uint32_t *wide_row(PresentScale *s, const uint8_t *pixels, int32_t pitch,
                         const uint32_t lut[256], int32_t row) {
  const size_t width = (size_t)s->fit.width;
  for (int k = 0; k < 2; k++) {
    if (s->wide_row_of[k] == row) return s->wide_rows.data() + k * width;
  }
  const int k = s->wide_row_of[0] < s->wide_row_of[1] ? 0 : 1;
  uint32_t *to = s->wide_rows.data() + k * width;
  widen_row(s, pixels + (ptrdiff_t)row * pitch, lut, to);
  s->wide_row_of[k] = row;
  return to;
}

void blend_rows(const uint32_t *a, const uint32_t *b, uint32_t weight,
                uint32_t *to, int32_t count) {
  int32_t x = 0;
#if QF_SCALE_AVX2
  if (HAS_AVX2) x = blend_rows_avx2(a, b, weight, to, count);
#endif
#if defined(__SSE2__)
  // Four pixels at a time, each byte widened to 16 bits: the same sums as
  // present_blend, none of which passes 65535.
  const __m128i zero = _mm_setzero_si128();
  const __m128i keep = _mm_set1_epi16((short)(SCALE_WEIGHT_ONE - weight));
  const __m128i take = _mm_set1_epi16((short)weight);
  const __m128i half = _mm_set1_epi16(128);
  for (; x + 4 <= count; x += 4) {
    const __m128i va = _mm_loadu_si128((const __m128i *)(a + x));
    const __m128i vb = _mm_loadu_si128((const __m128i *)(b + x));
    __m128i lo = _mm_add_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), keep),
                      _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), take)),
        half);
    __m128i hi = _mm_add_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), keep),
                      _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), take)),
        half);
    lo = _mm_srli_epi16(lo, 8);
    hi = _mm_srli_epi16(hi, 8);
    _mm_storeu_si128((__m128i *)(to + x), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; x < count; x++) to[x] = present_blend(a[x], b[x], weight);
}

}  // namespace

PresentFit present_fit_shape(int32_t frame_width, int32_t frame_height,
                             int32_t target_width, int32_t target_height) {
  PresentFit fit;
  if ((int64_t)target_width * frame_height <=
      (int64_t)target_height * frame_width) {
    // Narrower than the frame's shape: full width, bars above and below.
    fit.width = target_width;
    fit.height =
        (int32_t)(((int64_t)target_width * frame_height + frame_width / 2) /
                  frame_width);
  } else {
    fit.height = target_height;
    fit.width =
        (int32_t)(((int64_t)target_height * frame_width + frame_height / 2) /
                  frame_height);
  }
  if (fit.width < 1) fit.width = 1;
  if (fit.height < 1) fit.height = 1;
  fit.left = (target_width - fit.width) / 2;
  fit.top = (target_height - fit.height) / 2;
  const bool whole = fit.width % frame_width == 0 &&
                     fit.height % frame_height == 0 &&
                     fit.width / frame_width == fit.height / frame_height;
  fit.scale = whole ? fit.width / frame_width : 0;
  return fit;
}

void present_scale_layout(PresentScale *s, int32_t frame_width,
                          int32_t frame_height, int32_t target_width,
                          int32_t target_height, int32_t whole_only) {
  s->frame_width = frame_width;
  s->frame_height = frame_height;
  s->fit = whole_only ? present_fit(frame_width, frame_height, target_width,
                                    target_height)
                      : present_fit_shape(frame_width, frame_height,
                                          target_width, target_height);
  // Smaller than the frame, a target pixel would mix more than two frame
  // pixels: nearest neighbour there, as with whole factors.
  s->sharp = s->fit.scale == 0 && s->fit.width >= frame_width &&
             s->fit.height >= frame_height;
  s->wide_row_of[0] = s->wide_row_of[1] = -1;
  if (!s->sharp) return;
  s->column_run.assign((size_t)frame_width, 0);
  s->column_seam.assign((size_t)frame_width, 0);
  for (int32_t x = 0; x < s->fit.width; x++) {
    int32_t i;
    uint16_t w;
    axis_sample(x, frame_width, s->fit.width, &i, &w);
    if (w) {
      s->column_seam[(size_t)i] = w;
    } else {
      s->column_run[(size_t)i]++;
    }
  }
  s->row_source.resize((size_t)s->fit.height);
  s->row_weight.resize((size_t)s->fit.height);
  for (int32_t y = 0; y < s->fit.height; y++) {
    axis_sample(y, frame_height, s->fit.height, &s->row_source[(size_t)y],
                &s->row_weight[(size_t)y]);
  }
  s->seam_lanes.assign((size_t)frame_width * 4 + 8, 0);
  for (size_t i = 0; i < (size_t)frame_width * 4; i++) {
    s->seam_lanes[i] = s->column_seam[i / 4];
  }
  s->colours.assign((size_t)frame_width * 2 + 8, 0);
  s->pick.clear();
  for (int32_t i = 0; i < frame_width; i++) {
    s->pick.insert(s->pick.end(), (size_t)s->column_run[(size_t)i],
                   (uint16_t)i);
    if (s->column_seam[(size_t)i]) {
      s->pick.push_back((uint16_t)(frame_width + 4 + i));
    }
  }
  s->wide_rows.assign((size_t)s->fit.width * 2, 0);
}

void present_scale_draw(PresentScale *s, const uint8_t *pixels, int32_t pitch,
                        const uint32_t lut[256], uint8_t *dest,
                        int32_t dest_pitch) {
  int32_t top, end;
  present_scale_draw_rows(s, pixels, pitch, lut, dest, dest_pitch, 0,
                          s->frame_height, &top, &end);
}

namespace {

// The target rows [*top, *end) that show any of frame rows [first, last_end),
// for whole factors and sharp scaling.
void target_rows_of(const PresentScale *s, int32_t first, int32_t last_end,
                    int32_t *top, int32_t *end) {
  if (s->fit.scale >= 1) {
    *top = first * s->fit.scale;
    *end = last_end * s->fit.scale;
    return;
  }
  // A seam row shows the row it starts in and the one after.
  int32_t y = 0;
  while (y < s->fit.height &&
         s->row_source[(size_t)y] + (s->row_weight[(size_t)y] ? 1 : 0) <
             first) {
    y++;
  }
  *top = y;
  while (y < s->fit.height && s->row_source[(size_t)y] < last_end) y++;
  *end = y;
}

}  // namespace

void present_scale_draw_rows(PresentScale *s, const uint8_t *pixels,
                             int32_t pitch, const uint32_t lut[256],
                             uint8_t *dest, int32_t dest_pitch,
                             int32_t first_row, int32_t end_row,
                             int32_t *target_top, int32_t *target_end) {
  *target_top = *target_end = 0;
  if (first_row >= end_row) return;
  if (s->fit.scale < 1 && !s->sharp) {
    // Drawn whole: a target smaller than the frame is cheap anyway.
    present_convert_any(pixels, pitch, s->frame_width, s->frame_height, lut,
                        dest, dest_pitch, s->fit.width, s->fit.height, 4);
    *target_end = s->fit.height;
    return;
  }
  int32_t top, end;
  target_rows_of(s, first_row, end_row, &top, &end);
  if (top >= end) return;
  *target_top = top;
  *target_end = end;
  if (s->fit.scale >= 1) {
    present_convert_scaled(pixels + (ptrdiff_t)first_row * pitch, pitch,
                           s->frame_width, end_row - first_row, lut,
                           s->fit.scale, dest + (ptrdiff_t)top * dest_pitch,
                           dest_pitch);
    return;
  }
  s->wide_row_of[0] = s->wide_row_of[1] = -1;  // a new frame
  const size_t row_bytes = (size_t)s->fit.width * 4;
  for (int32_t y = top; y < end; y++) {
    uint32_t *to = (uint32_t *)(dest + (ptrdiff_t)y * dest_pitch);
    const int32_t row = s->row_source[(size_t)y];
    const uint32_t *a = wide_row(s, pixels, pitch, lut, row);
    const uint16_t w = s->row_weight[(size_t)y];
    if (w == 0) {
      memcpy(to, a, row_bytes);
    } else {
      blend_rows(a, wide_row(s, pixels, pitch, lut, row + 1), w, to,
                 s->fit.width);
    }
  }
}
