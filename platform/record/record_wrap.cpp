// The wrappers: every platform call the game's answers come from lands here
// (see record.h) and is recorded, answered from the recording, or forwarded.
#include <string.h>

#include <algorithm>

#include "platform/record/record_state.h"

namespace {

RecordState &s = record_state;

// The longest a wait for a key goes, a frame's time, while something must be
// answered meanwhile (keys merged into every read, a wait hook): the host's
// network is served after each, and at the keyboard read that follows.
const uint32_t RECORD_WAIT_SLICE_MS = 20;

bool writing() { return s.mode == RECORD_WRITING; }
bool replaying() { return s.mode == RECORD_REPLAYING; }

void put(uint8_t tag) {
  RecordBytes r;
  r.size = 0;
  record_put_byte(&r, tag);
  writer_put(&s.writer, r);
}

void put_result(uint8_t tag, int result) {
  RecordBytes r;
  r.size = 0;
  record_put_byte(&r, tag);
  record_put_byte(&r, result ? 1 : 0);
  writer_put(&s.writer, r);
}

int take_result(uint8_t tag) { return replay_take(tag).bytes[1]; }

uint64_t take_number(const RecordBytes &r, size_t *at) {
  uint64_t value = 0;
  if (!record_get_number(r, at, &value)) {
    replay_stop(2, "bad recording at frame " + std::to_string(s.frames + 1) +
                       ": a number is cut off");
  }
  return value;
}

// What must be answered while the game waits (the network).
void serve_waiting(void) {
  if (s.serve && s.mode != RECORD_OFF) s.serve(s.serve_user);
}

// Sleeps on the real clock until the recorded tick is due (a close request
// cuts the sleep short and stops the replay).
void pace(uint32_t tick) {
  if (!s.pace_started) {
    s.pace_started = 1;
    s.pace_recorded = tick;
    s.pace_real = s.below->ticks();
    return;
  }
  const int32_t due = (int32_t)(tick - s.pace_recorded);
  for (;;) {
    replay_check_close();
    const int32_t left = due - (int32_t)(s.below->ticks() - s.pace_real);
    if (left <= 0) return;
    s.below->sleep((uint32_t)left);
  }
}

ReplayVoice *find_voice(PlatVoice recorded) {
  for (ReplayVoice &v : s.voices) {
    if (v.recorded == recorded) return &v;
  }
  return nullptr;
}

// The real voice behind a recorded handle, or 0.
PlatVoice real_voice(PlatVoice recorded) {
  const ReplayVoice *v = find_voice(recorded);
  return v ? v->real : 0;
}

}  // namespace

namespace {

int layer_init(void) {
  const int real = s.below->init();
  if (writing()) put_result(TAG_INIT, real);
  if (!replaying()) return real;
  // Without a real display there is nothing to replay on: the game ends as
  // it does when it can't start.
  if (!real) {
    s.mode = RECORD_OFF;
    return 0;
  }
  return take_result(TAG_INIT);
}

int layer_desktop_size(int32_t *width, int32_t *height) {
  if (!replaying()) {
    const int real = s.below->desktop_size(width, height);
    if (writing()) {
      RecordBytes r;
      r.size = 0;
      record_put_byte(&r, TAG_DESKTOP);
      record_put_byte(&r, real ? 1 : 0);
      record_put_number(&r, real ? (uint32_t)*width : 0);
      record_put_number(&r, real ? (uint32_t)*height : 0);
      writer_put(&s.writer, r);
    }
    return real;
  }
  // The window is made to fit this desktop, whatever the recorded one was.
  s.real_size = s.below->desktop_size(&s.real_width, &s.real_height);
  const RecordBytes &r = replay_take(TAG_DESKTOP);
  size_t at = 2;
  const uint64_t w = take_number(r, &at), h = take_number(r, &at);
  if (!r.bytes[1]) return 0;
  *width = (int32_t)(uint32_t)w;
  *height = (int32_t)(uint32_t)h;
  return 1;
}

PlatWindow *layer_window_create(const char *title, int32_t x, int32_t y,
                                int32_t width, int32_t height,
                                PlatWindowProc proc) {
  if (!replaying()) {
    PlatWindow *real = s.below->window_create(title, x, y, width, height, proc);
    if (writing()) put_result(TAG_WINDOW, real != nullptr);
    return real;
  }
  if (s.real_size) {
    width = s.real_width;
    height = s.real_height;
  }
  PlatWindow *real = s.below->window_create(title, x, y, width, height, proc);
  if (!real) {
    s.mode = RECORD_OFF;
    return nullptr;
  }
  s.window = real;
  return take_result(TAG_WINDOW) ? real : nullptr;
}

void layer_shutdown(void) {
  if (replaying()) {
    // The end marker is taken while the window is still there, for the
    // last word shown in it.
    replay_take(TAG_END);
    s.complete = 1;
    if (s.replay_end) s.replay_end(s.replay_end_user);
    s.below->shutdown();
    record_finish();
    return;
  }
  s.below->shutdown();
  if (writing()) record_finish();
}

int layer_peek_message(PlatMessage *msg) {
  if (!replaying()) {
    const int taken = s.below->peek_message(msg);
    if (writing()) {
      if (!taken) {
        put(TAG_PEEK_NONE);
      } else {
        RecordBytes r;
        r.size = 0;
        record_put_byte(&r, TAG_PEEK);
        record_put_number(&r, msg->message);
        record_put_number(&r, (uint64_t)msg->wparam);
        const int64_t lp = (int64_t)msg->lparam;
        record_put_number(&r, ((uint64_t)lp << 1) ^ (uint64_t)(lp >> 63));
        record_put_byte(&r, msg->window ? 1 : 0);
        writer_put(&s.writer, r);
      }
    }
    return taken;
  }
  // The real queue is emptied and forgotten: it holds the window system's
  // events (keys, which a replay ignores) and the game's own posts, which
  // come back from the recording in their place.
  replay_check_close();
  PlatMessage dropped;
  while (s.below->peek_message(&dropped)) {
    if (s.real_message) s.real_message(&dropped, s.real_message_user);
  }
  const RecordBytes &r = replay_next();
  if (r.bytes[0] == TAG_PEEK_NONE) return 0;
  if (r.bytes[0] != TAG_PEEK) replay_out_of_step();
  size_t at = 1;
  msg->message = (uint32_t)take_number(r, &at);
  msg->wparam = (uintptr_t)take_number(r, &at);
  const uint64_t lp = take_number(r, &at);
  msg->lparam = (intptr_t)((int64_t)(lp >> 1) ^ -(int64_t)(lp & 1));
  if (at >= r.size || r.bytes[at] > 1) {
    replay_stop(2, "bad recording at frame " + std::to_string(s.frames + 1) +
                       ": a message is cut off");
  }
  msg->window = r.bytes[at] ? s.window : nullptr;
  return 1;
}

int layer_close_requested(void) {
  serve_waiting();  // what the fades poll as they wait
  if (replaying()) {
    replay_check_close();
    const uint8_t tag = replay_next().bytes[0];
    if (tag != TAG_CLOSE_NO && tag != TAG_CLOSE_YES) replay_out_of_step();
    return tag == TAG_CLOSE_YES;
  }
  const int real = s.below->close_requested();
  if (writing()) put(real ? TAG_CLOSE_YES : TAG_CLOSE_NO);
  return real;
}

uint32_t layer_ticks(void) {
  serve_waiting();
  if (replaying()) {
    const RecordBytes &r = replay_take(TAG_TICK);
    uint64_t delta = 0;
    if (record_is_tick(r.bytes[0])) {
      delta = r.bytes[0] - TAG_TICK;
    } else {
      size_t at = 1;
      delta = take_number(r, &at);
    }
    s.last_tick += (uint32_t)delta;
    if (s.paced) pace(s.last_tick);
    return s.last_tick;
  }
  const uint32_t real = s.below->ticks();
  if (writing()) {
    const uint32_t delta = real - s.last_tick;
    if (delta < 0x40) {
      put((uint8_t)(TAG_TICK + delta));
    } else {
      RecordBytes r;
      r.size = 0;
      record_put_byte(&r, TAG_TICK_BIG);
      record_put_number(&r, delta);
      writer_put(&s.writer, r);
    }
  }
  s.last_tick = real;
  return real;
}

// A replay's ticks are the recording's, not the real clock's: a deadline
// among them means nothing to the real backend, which paces by its own.
void layer_ticks_deadline(uint32_t deadline) {
  if (!replaying()) s.below->ticks_deadline(deadline);
}

// A paced replay sleeps too, so that what the game shows and plays before
// a sleep (the winner's message and tune) comes when it came; a timedemo
// doesn't wait.
void layer_sleep(uint32_t ms) {
  if (replaying() && !s.paced) {
    serve_waiting();
    return;
  }
  if (!s.serve || s.mode == RECORD_OFF) {
    s.below->sleep(ms);
    return;
  }
  // In slices, served between them (a close request ends each slice at
  // once, as it ends the backend's own sleep).
  for (uint32_t left = ms; left > 0;) {
    const uint32_t part =
        left < RECORD_SERVE_EVERY_MS ? left : RECORD_SERVE_EVERY_MS;
    s.below->sleep(part);
    left -= part;
    serve_waiting();
  }
}

// Records nothing: what the game does after a wait is said by the keyboard
// reads that follow it, and those are recorded. A replay's reads come from
// the recording, never from the player here, so it doesn't wait. While
// something merges keys into every read or must be served as the game waits
// (a host's network), the wait ends often enough to keep it served; while a
// note stands over a still screen, it ends when the note's time is up, so
// that the screen is shown clean again.
void layer_wait_input(const uint32_t *deadline_tick) {
  if (replaying()) {
    serve_waiting();
    return;
  }
  if (writing()) writer_cut(&s.writer);
  long long slice_ms = s.merge || s.serve ? RECORD_WAIT_SLICE_MS : -1;
  if (s.note_on_screen) {
    const long long note_ms =
        std::max(1LL, (s.note_until_ns - record_now_ns()) / 1000000 + 1);
    slice_ms = slice_ms < 0 ? note_ms : std::min(slice_ms, note_ms);
  }
  if (slice_ms < 0) {
    s.below->wait_input(deadline_tick);
    return;
  }
  uint32_t end = s.below->ticks() + (uint32_t)slice_ms;
  if (deadline_tick && (int32_t)(*deadline_tick - end) < 0)
    end = *deadline_tick;
  s.below->wait_input(&end);
  serve_waiting();
  record_note_expire();
}

int layer_display_set_mode(int32_t width, int32_t height, int32_t bits) {
  const int real = s.below->display_set_mode(width, height, bits);
  if (writing()) put_result(TAG_DISPLAY_MODE, real);
  return replaying() ? take_result(TAG_DISPLAY_MODE) : real;
}

void layer_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                   int32_t height, const uint8_t palette[1024]) {
  if (s.mode != RECORD_OFF) {
    const uint32_t hash =
        record_frame_hash(pixels, pitch, width, height, palette);
    if (writing()) {
      RecordBytes r;
      r.size = 0;
      record_put_byte(&r, TAG_CHECKPOINT);
      for (int i = 0; i < 4; i++)
        record_put_byte(&r, (uint8_t)(hash >> (8 * i)));
      writer_put(&s.writer, r);
      writer_flush(&s.writer);
      record_notice_failures();
    } else {
      replay_check_close();
      const RecordBytes &r = replay_take(TAG_CHECKPOINT);
      const uint32_t recorded = r.bytes[1] | (r.bytes[2] << 8) |
                                (r.bytes[3] << 16) |
                                ((uint32_t)r.bytes[4] << 24);
      if (recorded != hash) replay_out_of_step();
    }
    s.frames++;
  }
  if (s.over) pixels = s.over(pixels, pitch, width, height, s.over_user);
  record_present_noted(pixels, pitch, width, height, palette);
}

int layer_keyboard_open(void) {
  const int real = s.below->keyboard_open();
  if (writing()) put_result(TAG_KEYBOARD_OPEN, real);
  return replaying() ? take_result(TAG_KEYBOARD_OPEN) : real;
}

int layer_keyboard_read(uint8_t state[256]) {
  record_note_expire();
  if (replaying()) {
    replay_check_close();
    const RecordBytes &r = replay_next();
    if (r.bytes[0] == TAG_KEYS_FAIL) return 0;
    if (r.bytes[0] == TAG_KEYS) {
      for (size_t i = 2; i + 1 < r.size; i += 2)
        s.keys[r.bytes[i]] = r.bytes[i + 1];
    } else if (r.bytes[0] != TAG_KEYS_SAME) {
      replay_out_of_step();
    }
    memcpy(state, s.keys, 256);
    return 1;
  }
  const int real = s.below->keyboard_read(state);
  if (real && s.merge) s.merge(state, s.merge_user);
  if (!writing()) return real;
  if (!real) {
    put(TAG_KEYS_FAIL);
    return 0;
  }
  RecordBytes r;
  r.size = 0;
  record_put_byte(&r, TAG_KEYS);
  record_put_byte(&r, 0);
  int changed = 0;
  for (int k = 0; k < 256; k++) {
    if (state[k] != s.keys[k]) {
      record_put_byte(&r, (uint8_t)k);
      record_put_byte(&r, state[k]);
      s.keys[k] = state[k];
      changed++;
    }
  }
  if (changed == 0) {
    put(TAG_KEYS_SAME);
  } else {
    r.bytes[1] = (uint8_t)(changed - 1);
    writer_put(&s.writer, r);
  }
  return 1;
}

int layer_escape_down(void) {
  if (replaying()) {
    const uint8_t tag = replay_next().bytes[0];
    if (tag != TAG_ESCAPE_UP && tag != TAG_ESCAPE_DOWN) replay_out_of_step();
    return tag == TAG_ESCAPE_DOWN;
  }
  const int real = s.below->escape_down();
  if (writing()) put(real ? TAG_ESCAPE_DOWN : TAG_ESCAPE_UP);
  return real;
}

int layer_audio_open(void) {
  if (!replaying()) {
    const int real = writing() && s.mute ? 0 : s.below->audio_open();
    if (writing()) put_result(TAG_AUDIO_OPEN, real);
    return real;
  }
  // The game is told what it was told when recorded; the real device, when
  // there is one, still plays its sounds.
  const int recorded = take_result(TAG_AUDIO_OPEN);
  if (recorded && !s.mute) s.below->audio_open();
  return recorded;
}

PlatVoice layer_voice_create(uint32_t bytes) {
  if (!replaying()) {
    const PlatVoice real = s.below->voice_create(bytes);
    if (writing()) {
      RecordBytes r;
      r.size = 0;
      record_put_byte(&r, TAG_VOICE_CREATE);
      record_put_number(&r, (uint32_t)real);
      writer_put(&s.writer, r);
    }
    return real;
  }
  const RecordBytes &r = replay_take(TAG_VOICE_CREATE);
  size_t at = 1;
  const PlatVoice recorded = (PlatVoice)(uint32_t)take_number(r, &at);
  if (recorded != 0 && !find_voice(recorded)) {
    s.voices.push_back(
        ReplayVoice{recorded, s.below->voice_create(bytes), bytes, {}, 0});
  }
  return recorded;
}

uint8_t *layer_voice_lock(PlatVoice voice, uint32_t *bytes) {
  if (!replaying()) {
    uint8_t *real = s.below->voice_lock(voice, bytes);
    if (writing()) put_result(TAG_VOICE_LOCK, real != nullptr);
    return real;
  }
  if (!take_result(TAG_VOICE_LOCK)) return nullptr;
  ReplayVoice *v = find_voice(voice);
  if (!v) replay_out_of_step();  // locked what was never made
  if (v->real) {
    uint8_t *real = s.below->voice_lock(v->real, bytes);
    if (real && *bytes == v->size) {
      v->real_locked = 1;
      return real;
    }
    if (real) s.below->voice_unlock(v->real);
  }
  v->scratch.assign(v->size, 0);
  *bytes = v->size;
  return v->scratch.data();
}

int layer_voice_unlock(PlatVoice voice) {
  if (!replaying()) {
    const int real = s.below->voice_unlock(voice);
    if (writing()) put_result(TAG_VOICE_UNLOCK, real);
    return real;
  }
  ReplayVoice *v = find_voice(voice);
  if (v && v->real_locked) {
    s.below->voice_unlock(v->real);
    v->real_locked = 0;
  }
  if (v) {
    v->scratch.clear();
    v->scratch.shrink_to_fit();
  }
  return take_result(TAG_VOICE_UNLOCK);
}

int layer_voice_play(PlatVoice voice, int looping) {
  if (!replaying()) {
    const int real = s.below->voice_play(voice, looping);
    if (writing()) put_result(TAG_VOICE_PLAY, real);
    return real;
  }
  if (const PlatVoice real = real_voice(voice))
    s.below->voice_play(real, looping);
  return take_result(TAG_VOICE_PLAY);
}

int layer_voice_stop(PlatVoice voice) {
  if (!replaying()) {
    const int real = s.below->voice_stop(voice);
    if (writing()) put_result(TAG_VOICE_STOP, real);
    return real;
  }
  if (const PlatVoice real = real_voice(voice)) s.below->voice_stop(real);
  return take_result(TAG_VOICE_STOP);
}

int layer_voice_rewind(PlatVoice voice) {
  if (!replaying()) {
    const int real = s.below->voice_rewind(voice);
    if (writing()) put_result(TAG_VOICE_REWIND, real);
    return real;
  }
  if (const PlatVoice real = real_voice(voice)) s.below->voice_rewind(real);
  return take_result(TAG_VOICE_REWIND);
}

int layer_voice_playing(PlatVoice voice) {
  if (!replaying()) {
    const int real = s.below->voice_playing(voice);
    if (writing()) put_result(TAG_VOICE_PLAYING, real);
    return real;
  }
  return take_result(TAG_VOICE_PLAYING);
}

void layer_voice_destroy(PlatVoice voice) {
  if (replaying()) {
    for (size_t i = 0; i < s.voices.size(); i++) {
      if (s.voices[i].recorded == voice) {
        if (s.voices[i].real) s.below->voice_destroy(s.voices[i].real);
        s.voices.erase(s.voices.begin() + (long)i);
        break;
      }
    }
    return;
  }
  s.below->voice_destroy(voice);
}

void layer_audio_close(void) {
  s.voices.clear();
  s.below->audio_close();
}

}  // namespace

void record_layer_use(void) {
  RecordState &st = record_state;
  if (plat_in_use() == &st.table) return;
  st.below = plat_in_use();
  // What the layer doesn't see goes straight to the backend below.
  PlatBackend t = *st.below;
  t.name = "record";
  t.init = layer_init;
  t.desktop_size = layer_desktop_size;
  t.window_create = layer_window_create;
  t.shutdown = layer_shutdown;
  t.peek_message = layer_peek_message;
  t.close_requested = layer_close_requested;
  t.ticks = layer_ticks;
  t.ticks_deadline = layer_ticks_deadline;
  t.sleep = layer_sleep;
  t.wait_input = layer_wait_input;
  t.display_set_mode = layer_display_set_mode;
  t.present = layer_present;
  t.keyboard_open = layer_keyboard_open;
  t.keyboard_read = layer_keyboard_read;
  t.escape_down = layer_escape_down;
  t.audio_open = layer_audio_open;
  t.voice_create = layer_voice_create;
  t.voice_lock = layer_voice_lock;
  t.voice_unlock = layer_voice_unlock;
  t.voice_play = layer_voice_play;
  t.voice_stop = layer_voice_stop;
  t.voice_rewind = layer_voice_rewind;
  t.voice_playing = layer_voice_playing;
  t.voice_destroy = layer_voice_destroy;
  t.audio_close = layer_audio_close;
  st.table = t;
  plat_use(&st.table);
}
