// The layer's calls: what the game asks the platform lands here while a
// recording or a replay runs (record.h), and is recorded, answered from the
// stream, or passed to the backend below.
//
// Recorded, and answered from the stream in a replay, are the game's inputs
// only: each keyboard read, Escape query and close check, each message of
// the window system the game takes from its queue, and how long the game
// waited for the player. Everything else goes to the backend below in both
// (the window, the sound, the keyboard's opening); a replay's clock is the
// layer's own, virtual, moved by the frame clock's deadlines, the sleeps
// and the recorded waits.
#include <string.h>

#include <algorithm>

#include "platform/record/record_state.h"

namespace {

RecordState &s = record_state;

// The longest a wait for a key goes, a frame's time, while something must be
// answered meanwhile (keys merged into every read, a wait hook): the host's
// network is served after each, and at the keyboard read that follows.
const uint32_t RECORD_WAIT_SLICE_MS = 20;

bool writing() { return s.mode == RECORD_WRITING && !s.paused; }
bool replaying() { return s.mode == RECORD_REPLAYING; }
// A replay that was asked to stop: the game is answered as a window being
// closed, and ends its own way.
bool stopping() { return s.mode == RECORD_STOPPING; }

void put(uint8_t tag) {
  RecordBytes r;
  r.size = 0;
  record_put_byte(&r, tag);
  writer_put(&s.writer, r);
}

// A question answered yes or no (a close check, an Escape query): the
// backend's answer, recorded as one of two tags when recording.
int record_yes_no(int answer, uint8_t no, uint8_t yes) {
  if (writing()) put(answer ? yes : no);
  return answer;
}

// Replay: the recorded answer, the next record, which must be one of the two
// tags; `if_stopped` once the replay stops (out of step included).
int replay_yes_no(uint8_t no, uint8_t yes, int if_stopped) {
  const RecordBytes *r = replay_next();
  if (!r) return if_stopped;
  if (r->bytes[0] != no && r->bytes[0] != yes) {
    replay_out_of_step();
    return if_stopped;
  }
  return r->bytes[0] == yes;
}

// What must be answered while the game waits (the network).
void serve_waiting(void) {
  if (s.serve && s.mode != RECORD_OFF) s.serve(s.serve_user);
}

// A replay's clock moved: a paced replay sleeps on the real clock until
// that moment is due, as it was when recorded; a timedemo and a frame run
// unseen don't wait.
void pace(void) {
  if (!s.paced || s.unseen || !replaying()) return;
  if (!s.pace_started) {
    s.pace_started = 1;
    s.pace_virtual = s.clock;
    s.pace_real = s.below->ticks();
    return;
  }
  const int32_t due = (int32_t)(s.clock - s.pace_virtual);
  while (replaying()) {
    replay_check_close();
    const int32_t left = due - (int32_t)(s.below->ticks() - s.pace_real);
    if (left <= 0) return;
    s.below->sleep((uint32_t)left);
  }
}

void clock_advance(uint32_t ms) {
  s.clock += ms;
  s.last_tick = s.clock;
  pace();
}

// Recording: is `msg` the next of the game's own posts? Those come back out
// of the queue in the order they were posted, among the window system's.
bool take_own_post(const PlatMessage &msg) {
  if (s.posted.empty()) return false;
  const PlatMessage &p = s.posted.front();
  if (p.window != msg.window || p.message != msg.message ||
      p.wparam != msg.wparam || p.lparam != msg.lparam) {
    return false;
  }
  s.posted.pop_front();
  return true;
}

void put_message(const PlatMessage &msg) {
  RecordBytes r;
  r.size = 0;
  record_put_byte(&r, TAG_MESSAGE);
  record_put_number(&r, msg.message);
  record_put_number(&r, (uint64_t)msg.wparam);
  const int64_t lp = (int64_t)msg.lparam;
  record_put_number(&r, ((uint64_t)lp << 1) ^ (uint64_t)(lp >> 63));
  writer_put(&s.writer, r);
}

// --- the window and its messages ---

PlatWindow *layer_window_create(const char *title, int32_t x, int32_t y,
                                int32_t width, int32_t height,
                                PlatWindowProc proc) {
  PlatWindow *window = s.below->window_create(title, x, y, width, height, proc);
  s.window = window;
  return window;
}

void layer_shutdown(void) {
  if (replaying()) {
    // The end marker is taken while the window is still there, for the
    // last word shown in it; messages the game never took are passed.
    const RecordBytes *r = replay_peek();
    while (r && r->bytes[0] == TAG_MESSAGE) {
      replay_next();
      r = replay_peek();
    }
    if (r && r->bytes[0] == TAG_END) {
      replay_next();
      s.complete = 1;
      if (s.replay_end) s.replay_end(s.replay_end_user);
    } else if (r) {
      replay_out_of_step();
    }
  }
  s.below->shutdown();
  record_finish();
}

int layer_post_message(PlatWindow *window, uint32_t message, uintptr_t wparam,
                       intptr_t lparam) {
  if (replaying() || stopping()) {
    // The real queue is the window system's, emptied and forgotten; the
    // game's own posts are kept here.
    if (!window) return 0;
    s.replay_posts.push_back(PlatMessage{window, message, wparam, lparam});
    return 1;
  }
  const int posted = s.below->post_message(window, message, wparam, lparam);
  // Not while paused: what paused frames post and take is taken back, with
  // them, before the recording goes on (record_pause).
  if (posted && writing()) {
    s.posted.push_back(PlatMessage{window, message, wparam, lparam});
  }
  return posted;
}

void layer_post_quit_message(int exit_code) {
  const PlatMessage quit = {nullptr, WM_QUIT, (uintptr_t)exit_code, 0};
  if (replaying() || stopping()) {
    s.replay_posts.push_back(quit);
    return;
  }
  s.below->post_quit_message(exit_code);
  if (writing()) s.posted.push_back(quit);
}

// Drops what the real window system queued (keys, which a replay ignores,
// and its own messages, which come from the stream).
void drop_real_messages(void) {
  PlatMessage dropped;
  while (s.below->peek_message(&dropped)) {
  }
}

int take_replay_post(PlatMessage *msg) {
  if (s.replay_posts.empty()) return 0;
  *msg = s.replay_posts.front();
  s.replay_posts.pop_front();
  return 1;
}

int layer_peek_message(PlatMessage *msg) {
  if (writing()) {
    const int taken = s.below->peek_message(msg);
    // A paint asks for nothing the game does: the picture is the display's.
    if (taken && !take_own_post(*msg) && msg->message != WM_PAINT) {
      put_message(*msg);
    }
    return taken;
  }
  if (!replaying() && !stopping()) return s.below->peek_message(msg);
  drop_real_messages();
  if (stopping()) {
    // Once, as the window system does when its window is closed.
    if (!s.close_sent && s.window) {
      s.close_sent = 1;
      *msg = PlatMessage{s.window, WM_CLOSE, 0, 0};
      return 1;
    }
    return take_replay_post(msg);
  }
  replay_check_close();
  const RecordBytes *r = replay_peek();
  if (!r || r->bytes[0] != TAG_MESSAGE) return take_replay_post(msg);
  replay_next();
  size_t at = 1;
  uint64_t message = 0, wparam = 0, lp = 0;
  if (!record_get_number(*r, &at, &message) ||
      !record_get_number(*r, &at, &wparam) ||
      !record_get_number(*r, &at, &lp)) {
    replay_bad("a message is cut off");
    return take_replay_post(msg);
  }
  msg->window = s.window;
  msg->message = (uint32_t)message;
  msg->wparam = (uintptr_t)wparam;
  msg->lparam = (intptr_t)((int64_t)(lp >> 1) ^ -(int64_t)(lp & 1));
  return 1;
}

int layer_close_requested(void) {
  serve_waiting();  // what the fades poll as they wait
  if (stopping()) return 1;
  if (replaying()) {
    replay_check_close();
    return replay_yes_no(TAG_CLOSE_NO, TAG_CLOSE_YES, 1);
  }
  return record_yes_no(s.below->close_requested(), TAG_CLOSE_NO, TAG_CLOSE_YES);
}

// --- time ---

uint32_t layer_ticks(void) {
  serve_waiting();
  if (!replaying() && !stopping()) {
    s.last_tick = s.below->ticks();
    return s.last_tick;
  }
  // The frame clock said where its wait ends: the clock is there at once.
  // Any other look moves it a millisecond, so that nothing spins for ever.
  if (s.deadline_set && (int32_t)(s.deadline - s.clock) > 0) {
    s.deadline_set = 0;
    clock_advance(s.deadline - s.clock);
  } else {
    s.deadline_set = 0;
    clock_advance(1);
  }
  return s.clock;
}

void layer_ticks_deadline(uint32_t deadline) {
  if (!replaying() && !stopping()) {
    s.below->ticks_deadline(deadline);
    return;
  }
  s.deadline = deadline;
  s.deadline_set = 1;
}

// A replay sleeps on its own clock (paced: on the real one too), so that
// what the game shows and plays before a sleep (the winner's message and
// tune) comes when it came.
void layer_sleep(uint32_t ms) {
  if (stopping()) return;
  if (replaying()) {
    serve_waiting();
    clock_advance(ms);
    return;
  }
  if (!s.serve) {
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

// Records how long the game waited for the player (what the keyboard reads
// that follow saw is recorded by them). While something merges keys into
// every read or must be served as the game waits (a host's network), the
// wait ends often enough to keep it served; while a note stands over a
// still screen, it ends when the note's time is up, so that the screen is
// shown clean again. A replay doesn't wait for the player: it moves its
// clock by the time recorded.
void layer_wait_input(const uint32_t *deadline_tick) {
  if (stopping()) return;
  if (replaying()) {
    serve_waiting();
    const RecordBytes *r = replay_peek();
    if (r && r->bytes[0] == TAG_WAITED) {
      replay_next();
      size_t at = 1;
      uint64_t ms = 0;
      if (!record_get_number(*r, &at, &ms) || ms > UINT32_MAX) {
        replay_bad("a wait is cut off");
        return;
      }
      clock_advance((uint32_t)ms);
    }
    return;
  }
  const uint32_t start = s.below->ticks();
  // -1: no slice (the wait is the backend's own, to its deadline or none).
  long long slice_ms =
      s.merge || s.serve ? (long long)RECORD_WAIT_SLICE_MS : -1;
  if (s.note_on_screen) {
    const long long note_ms =
        std::max(1LL, (s.note_until_ns - record_now_ns()) / 1000000 + 1);
    slice_ms = slice_ms < 0 ? note_ms : std::min(slice_ms, note_ms);
  }
  if (slice_ms < 0) {
    s.below->wait_input(deadline_tick);
  } else {
    uint32_t end = start + (uint32_t)slice_ms;
    if (deadline_tick && (int32_t)(*deadline_tick - end) < 0) {
      end = *deadline_tick;
    }
    s.below->wait_input(&end);
  }
  if (slice_ms >= 0) {
    serve_waiting();
    record_note_expire();
  }
  if (writing()) {
    RecordBytes r;
    r.size = 0;
    record_put_byte(&r, TAG_WAITED);
    record_put_number(&r, (uint32_t)(s.below->ticks() - start));
    writer_put(&s.writer, r);
    writer_cut(&s.writer);
  }
}

// --- the screen ---

void layer_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                   int32_t height, const uint8_t palette[1024]) {
  if (writing() || replaying()) {
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
      const RecordBytes *r = replay_next();
      if (r && r->bytes[0] != TAG_CHECKPOINT) {
        replay_out_of_step();
      } else if (r) {
        const uint32_t recorded = r->bytes[1] | (r->bytes[2] << 8) |
                                  (r->bytes[3] << 16) |
                                  ((uint32_t)r->bytes[4] << 24);
        if (recorded != hash) replay_out_of_step();
      }
    }
    if (replaying() || writing()) s.frames++;
  }
  if (s.unseen) return;
  if (s.over) pixels = s.over(pixels, pitch, width, height, s.over_user);
  record_present_noted(pixels, pitch, width, height, palette);
}

// --- the keyboard ---

int layer_keyboard_open(void) {
  const int real = s.below->keyboard_open();
  // A replay's keyboard is the stream.
  return replaying() || stopping() ? 1 : real;
}

int layer_keyboard_read(uint8_t state[256]) {
  record_note_expire();
  if (stopping()) {
    memcpy(state, s.keys, 256);
    return 1;
  }
  if (replaying()) {
    replay_check_close();
    const RecordBytes *r = replay_next();
    if (r && r->bytes[0] == TAG_KEYS_FAIL) return 0;
    if (r && r->bytes[0] == TAG_KEYS) {
      for (size_t i = 2; i + 1 < r->size; i += 2)
        s.keys[r->bytes[i]] = r->bytes[i + 1];
    } else if (r && r->bytes[0] != TAG_KEYS_SAME) {
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
  if (stopping()) return 0;
  if (replaying()) return replay_yes_no(TAG_ESCAPE_UP, TAG_ESCAPE_DOWN, 0);
  return record_yes_no(s.below->escape_down(), TAG_ESCAPE_UP, TAG_ESCAPE_DOWN);
}

// --- sound: the backend's own, except in frames run unseen, which start
// nothing ---

int layer_voice_play(PlatVoice voice, int looping) {
  if (s.unseen) return voice != 0;
  return s.below->voice_play(voice, looping);
}

int layer_voice_stop(PlatVoice voice) {
  if (s.unseen) return voice != 0;
  return s.below->voice_stop(voice);
}

int layer_voice_rewind(PlatVoice voice) {
  if (s.unseen) return voice != 0;
  return s.below->voice_rewind(voice);
}

}  // namespace

void record_layer_use(void) {
  RecordState &st = record_state;
  if (plat_in_use() == &st.table) return;
  st.below = plat_in_use();
  // What the layer doesn't see goes straight to the backend below.
  PlatBackend t = *st.below;
  t.name = "record";
  t.window_create = layer_window_create;
  t.shutdown = layer_shutdown;
  t.post_message = layer_post_message;
  t.post_quit_message = layer_post_quit_message;
  t.peek_message = layer_peek_message;
  t.close_requested = layer_close_requested;
  t.ticks = layer_ticks;
  t.ticks_deadline = layer_ticks_deadline;
  t.sleep = layer_sleep;
  t.wait_input = layer_wait_input;
  t.present = layer_present;
  t.keyboard_open = layer_keyboard_open;
  t.keyboard_read = layer_keyboard_read;
  t.escape_down = layer_escape_down;
  t.voice_play = layer_voice_play;
  t.voice_stop = layer_voice_stop;
  t.voice_rewind = layer_voice_rewind;
  st.table = t;
  plat_use(&st.table);
}
