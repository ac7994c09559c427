// A close request on SDL (what SIGTERM, SIGINT and the window's button
// become) cuts a sleep short. In a file of its own: the request, once made,
// holds for the rest of the process.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_internal.h"

namespace {

intptr_t quiet_proc(PlatWindow *, uint32_t, uintptr_t, intptr_t) { return 0; }

TEST(SdlClose, ACloseRequestEndsASleepEarly) {
  ASSERT_EQ(plat_init(), 1) << plat_error();
  ASSERT_NE(plat_window_create("Quillfire", 0, 0, 640, 480, quiet_proc),
            nullptr);
  const uint32_t before = SDL_GetTicks();
  plat_sleep(50);
  EXPECT_GE(SDL_GetTicks() - before, 50u);  // a sleep that nobody cuts short
  SDL_Event quit;
  SDL_zero(quit);
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  const uint32_t start = SDL_GetTicks();
  plat_sleep(2000);
  EXPECT_LT(SDL_GetTicks() - start, 1000u);
  EXPECT_EQ(plat_close_requested(), 1);
  plat_shutdown();
}

}  // namespace
