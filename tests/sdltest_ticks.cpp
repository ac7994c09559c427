// The frame clock's wait on SDL: once it has said where its wait ends, the
// first read sleeps right up to that tick, so a frame's wait is one wake-up;
// a deadline no frame's wait could have is not slept through.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(SdlTicks, TheFirstReadSleepsToAGivenDeadline) {
  const uint32_t start = plat_ticks();
  plat_ticks_deadline(start + 15);
  const uint32_t first = plat_ticks();
  EXPECT_GE(first - start, 15u);
  // The deadline is spent: the reads after it don't wait for it again.
  plat_ticks_deadline(plat_ticks() + 5000);
  const uint32_t far = plat_ticks();
  EXPECT_LT(far - first, 1000u);
  plat_ticks_deadline(far - 1);  // already passed
  EXPECT_LT(plat_ticks() - far, 1000u);
}

}  // namespace
