// Linked against each backend in turn: takes the address of every call of the
// platform interface, so a call missing from a backend fails at link time.
// Running it checks only that none of them is missing.
#include "platform/platform.h"

namespace {
using Any = void (*)(void);
#define CALL(f) reinterpret_cast<Any>(&f)
const Any every_call[] = {CALL(plat_init),
                          CALL(plat_error),
                          CALL(plat_instance),
                          CALL(plat_desktop_size),
                          CALL(plat_window_options),
                          CALL(plat_window_place_restore),
                          CALL(plat_window_place),
                          CALL(plat_window_icon),
                          CALL(plat_window_create),
                          CALL(plat_show_cursor),
                          CALL(plat_shutdown),
                          CALL(plat_peek_message),
                          CALL(plat_dispatch_message),
                          CALL(plat_post_message),
                          CALL(plat_post_quit_message),
                          CALL(plat_default_window_proc),
                          CALL(plat_close_requested),
                          CALL(plat_ticks),
                          CALL(plat_ticks_deadline),
                          CALL(plat_sleep),
                          CALL(plat_wait_input),
                          CALL(plat_wait_watch),
                          CALL(plat_wait_unwatch),
                          CALL(plat_display_set_mode),
                          CALL(plat_present),
                          CALL(plat_display_close),
                          CALL(plat_keyboard_open),
                          CALL(plat_keyboard_read),
                          CALL(plat_escape_down),
                          CALL(plat_keyboard_close),
                          CALL(plat_audio_open),
                          CALL(plat_voice_create),
                          CALL(plat_voice_lock),
                          CALL(plat_voice_unlock),
                          CALL(plat_voice_play),
                          CALL(plat_voice_stop),
                          CALL(plat_voice_rewind),
                          CALL(plat_voice_playing),
                          CALL(plat_voice_destroy),
                          CALL(plat_audio_close),
                          CALL(plat_audio_muted),
                          CALL(plat_audio_mute)};
#undef CALL
}  // namespace

int main(void) {
  for (Any call : every_call) {
    if (!call) return 1;
  }
  return 0;
}
