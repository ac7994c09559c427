// The platform's calls as the game makes them: each goes to the table in
// use (platform/plat_backend.h), the backend's own or a layer's over it.
#include "platform/plat_backend.h"

namespace {

const PlatBackend *in_use = nullptr;

}  // namespace

void plat_use(const PlatBackend *backend) { in_use = backend; }

const PlatBackend *plat_in_use(void) {
  return in_use ? in_use : null_backend();
}

int plat_init(void) { return plat_in_use()->init(); }
const char *plat_error(void) { return plat_in_use()->error(); }
void *plat_instance(void) { return plat_in_use()->instance(); }
int plat_desktop_size(int32_t *width, int32_t *height) {
  return plat_in_use()->desktop_size(width, height);
}
void plat_window_options(int windowed, int whole_scale_only) {
  plat_in_use()->window_options(windowed, whole_scale_only);
}
void plat_window_place_restore(const PlatWindowPlace *place) {
  plat_in_use()->window_place_restore(place);
}
int plat_window_place(PlatWindowPlace *place) {
  return plat_in_use()->window_place(place);
}
void plat_window_icon(const uint32_t *argb, int32_t width, int32_t height) {
  plat_in_use()->window_icon(argb, width, height);
}
PlatWindow *plat_window_create(const char *title, int32_t x, int32_t y,
                               int32_t width, int32_t height,
                               PlatWindowProc proc) {
  return plat_in_use()->window_create(title, x, y, width, height, proc);
}
void plat_show_cursor(int show) { plat_in_use()->show_cursor(show); }
void plat_shutdown(void) { plat_in_use()->shutdown(); }
int plat_peek_message(PlatMessage *msg) {
  return plat_in_use()->peek_message(msg);
}
intptr_t plat_dispatch_message(const PlatMessage *msg) {
  return plat_in_use()->dispatch_message(msg);
}
int plat_post_message(PlatWindow *window, uint32_t message, uintptr_t wparam,
                      intptr_t lparam) {
  return plat_in_use()->post_message(window, message, wparam, lparam);
}
void plat_post_quit_message(int exit_code) {
  plat_in_use()->post_quit_message(exit_code);
}
intptr_t plat_default_window_proc(PlatWindow *window, uint32_t message,
                                  uintptr_t wparam, intptr_t lparam) {
  return plat_in_use()->default_window_proc(window, message, wparam, lparam);
}
int plat_close_requested(void) { return plat_in_use()->close_requested(); }
uint32_t plat_ticks(void) { return plat_in_use()->ticks(); }
void plat_ticks_deadline(uint32_t deadline) {
  plat_in_use()->ticks_deadline(deadline);
}
void plat_sleep(uint32_t ms) { plat_in_use()->sleep(ms); }
void plat_wait_input(const uint32_t *deadline_tick) {
  plat_in_use()->wait_input(deadline_tick);
}
int plat_wait_watch(int fd) { return plat_in_use()->wait_watch(fd); }
void plat_wait_unwatch(int fd) { plat_in_use()->wait_unwatch(fd); }
int plat_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  return plat_in_use()->display_set_mode(width, height, bits);
}
void plat_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]) {
  plat_in_use()->present(pixels, pitch, width, height, palette);
}
void plat_display_close(void) { plat_in_use()->display_close(); }
int plat_keyboard_open(void) { return plat_in_use()->keyboard_open(); }
int plat_keyboard_read(uint8_t state[256]) {
  return plat_in_use()->keyboard_read(state);
}
int plat_escape_down(void) { return plat_in_use()->escape_down(); }
void plat_keyboard_close(void) { plat_in_use()->keyboard_close(); }
int plat_audio_open(void) { return plat_in_use()->audio_open(); }
PlatVoice plat_voice_create(uint32_t bytes) {
  return plat_in_use()->voice_create(bytes);
}
uint8_t *plat_voice_lock(PlatVoice voice, uint32_t *bytes) {
  return plat_in_use()->voice_lock(voice, bytes);
}
int plat_voice_unlock(PlatVoice voice) {
  return plat_in_use()->voice_unlock(voice);
}
int plat_voice_play(PlatVoice voice, int looping) {
  return plat_in_use()->voice_play(voice, looping);
}
int plat_voice_stop(PlatVoice voice) {
  return plat_in_use()->voice_stop(voice);
}
int plat_voice_rewind(PlatVoice voice) {
  return plat_in_use()->voice_rewind(voice);
}
int plat_voice_playing(PlatVoice voice) {
  return plat_in_use()->voice_playing(voice);
}
void plat_voice_destroy(PlatVoice voice) {
  plat_in_use()->voice_destroy(voice);
}
void plat_audio_close(void) { plat_in_use()->audio_close(); }
int plat_audio_muted(void) { return plat_in_use()->audio_muted(); }
void plat_audio_mute(int mute) { plat_in_use()->audio_mute(mute); }
