// Every backend's table holds every call of the platform interface, the
// recording layer's too, and each plat_* call reaches its own slot of the
// table in use.
#include <gtest/gtest.h>
#include <string.h>

#include "platform/headless/headless.h"
#include "platform/plat_backend.h"
#include "platform/record/record.h"
#ifdef QF_WITH_SDL_BACKEND
#include "platform/sdl/sdl_backend.h"
#endif

namespace {

#define COUNT_CALL(prefix, call) +1
const int CALLS = 0 PLAT_BACKEND_CALLS(COUNT_CALL, _);
#undef COUNT_CALL
using AnyCall = void (*)(void);
// The list the tables are made from has one entry per slot.
static_assert(sizeof(PlatBackend) == sizeof(char *) + CALLS * sizeof(AnyCall),
              "PLAT_BACKEND_CALLS and PlatBackend differ");

// The slots of a table that are null.
int missing_calls(const PlatBackend *table) {
  int missing = 0;
  for (int i = 0; i < CALLS; i++) {
    AnyCall call;
    memcpy(&call,
           reinterpret_cast<const char *>(table) + sizeof(char *) +
               i * sizeof(AnyCall),
           sizeof call);
    if (!call) missing++;
  }
  return missing;
}

TEST(EveryCall, EveryBackendAndTheLayerFillEverySlot) {
  std::vector<const PlatBackend *> backends = {null_backend(),
                                               headless_backend()};
#ifdef QF_WITH_SDL_BACKEND
  backends.push_back(sdl_backend());
#endif
  for (const PlatBackend *backend : backends) {
    SCOPED_TRACE(backend->name);
    EXPECT_EQ(missing_calls(backend), 0);
    // The recording layer, put over that backend, forwards what it doesn't
    // answer itself: its table is whole too.
    plat_use(backend);
    ASSERT_TRUE(record_start());
    const PlatBackend *layer = plat_in_use();
    EXPECT_NE(layer, backend);
    EXPECT_EQ(missing_calls(layer), 0);
    record_finish();
    EXPECT_EQ(plat_in_use(), backend) << "the layer leaves its backend in use";
  }
  plat_use(nullptr);
  EXPECT_EQ(plat_in_use(), null_backend());
}

// A table whose every slot counts its own calls.
int hits[64];
template <int SLOT, typename R, typename... A>
R (*probe_for(R (*)(A...)))
(A...) {
  return [](A...) -> R {
    hits[SLOT]++;
    return R();
  };
}

TEST(EveryCall, EachCallReachesItsOwnSlot) {
  PlatBackend probe = *null_backend();
  int slot = 0;
#define PROBE(prefix, call) \
  probe.call = probe_for<__COUNTER__>(probe.call), slot++;
  const int first = __COUNTER__ + 1;
  PLAT_BACKEND_CALLS(PROBE, _)
#undef PROBE
  ASSERT_EQ(slot, CALLS);
  plat_use(&probe);
  memset(hits, 0, sizeof hits);
  PlatMessage msg = {};
  PlatWindowPlace place = {};
  uint8_t keys[256] = {};
  uint8_t palette[1024] = {};
  uint32_t bytes = 0, tick = 0;
  int32_t w = 0, h = 0;
  // In the order of the slots.
  plat_init();
  plat_error();
  plat_instance();
  plat_desktop_size(&w, &h);
  plat_window_options(0, 0);
  plat_window_place_restore(&place);
  plat_window_place(&place);
  plat_window_icon(nullptr, 0, 0);
  plat_window_create("t", 0, 0, 1, 1, nullptr);
  plat_show_cursor(0);
  plat_shutdown();
  plat_peek_message(&msg);
  plat_dispatch_message(&msg);
  plat_post_message(nullptr, 0, 0, 0);
  plat_post_quit_message(0);
  plat_default_window_proc(nullptr, 0, 0, 0);
  plat_close_requested();
  plat_ticks();
  plat_ticks_deadline(0);
  plat_sleep(0);
  plat_wait_input(&tick);
  plat_wait_watch(0);
  plat_wait_unwatch(0);
  plat_display_set_mode(640, 480, 8);
  plat_present(keys, 1, 1, 1, palette);
  plat_display_close();
  plat_keyboard_open();
  plat_keyboard_read(keys);
  plat_escape_down();
  plat_keyboard_close();
  plat_audio_open();
  plat_voice_create(1);
  plat_voice_lock(1, &bytes);
  plat_voice_unlock(1);
  plat_voice_play(1, 0);
  plat_voice_stop(1);
  plat_voice_rewind(1);
  plat_voice_playing(1);
  plat_voice_destroy(1);
  plat_audio_close();
  plat_audio_muted();
  plat_audio_mute(0);
  for (int i = 0; i < CALLS; i++) {
    EXPECT_EQ(hits[first + i], 1) << "slot " << i;
  }
  plat_use(nullptr);
}

}  // namespace
