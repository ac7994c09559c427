// The layer's table: what the game asks the platform while network play
// runs lands here. The keyboard, the Escape query and the window's messages
// are made from the ticks' inputs; the clock is virtual in passes run
// unseen; presents and sounds are held back in them; everything else goes
// to the backend below.
#include <string.h>

#include <new>

#include "platform/rollback/rollback_state.h"

namespace {

RollbackState &s = rollback_state;

// The network is served at least this often while the game waits between
// frames, in fades and in the winner's message.
const uint32_t SERVE_EVERY_MS = 2;
// A sleep is cut into slices this long, the network served between them.
const uint32_t SLEEP_SLICE_MS = 5;
// A wait for a key at the title or a prompt looks at the network this
// often.
const uint32_t WAIT_INPUT_SLICE_MS = 20;
// A screen that waits is shown again this often, for a note that changed
// over it (the round trip, the other player gone quiet).
const uint32_t SHOW_AGAIN_EVERY_MS = 250;

void serve_now_and_then(void) {
  if (s.below->ticks() - s.last_served_ms >= SERVE_EVERY_MS) rollback_serve(0);
}

// --- the window and its messages ---

PlatWindow *layer_window_create(const char *title, int32_t x, int32_t y,
                                int32_t width, int32_t height,
                                PlatWindowProc proc) {
  s.window = s.below->window_create(title, x, y, width, height, proc);
  return s.window;
}

// The game's own posts are kept here, so that a moment of the game can be
// gone back to with them; the window system's messages are the layer's.
int layer_post_message(PlatWindow *window, uint32_t message, uintptr_t wparam,
                       intptr_t lparam) {
  if (!window) return 0;
  s.posts.push_back(PlatMessage{window, message, wparam, lparam});
  return 1;
}

void layer_post_quit_message(int exit_code) {
  s.posts.push_back(PlatMessage{nullptr, WM_QUIT, (uintptr_t)exit_code, 0});
}

int layer_peek_message(PlatMessage *msg) {
  rollback_drain_messages();
  if (s.close_owed && s.window) {
    s.close_owed = 0;
    s.close_taken = 1;
    *msg = PlatMessage{s.window, WM_CLOSE, 0, 0};
    return 1;
  }
  if (s.posts.empty()) return 0;
  *msg = s.posts.front();
  s.posts.pop_front();
  return 1;
}

int layer_close_requested(void) {
  serve_now_and_then();
  return s.ended || s.below->close_requested();
}

// --- time: the backend's, but for passes run unseen, which take none ---

uint32_t layer_ticks(void) {
  if (!s.unseen) {
    serve_now_and_then();
    return s.below->ticks();
  }
  return ++s.clock;
}

void layer_ticks_deadline(uint32_t deadline) {
  if (!s.unseen) {
    s.below->ticks_deadline(deadline);
    return;
  }
  // The frame clock's wait is over at once.
  if ((int32_t)(deadline - s.clock) > 0) s.clock = deadline - 1;
}

void layer_sleep(uint32_t ms) {
  if (s.unseen) {
    s.clock += ms;
    return;
  }
  const uint32_t start = s.below->ticks();
  for (;;) {
    if (s.ended || s.below->close_requested()) return;
    const uint32_t gone = s.below->ticks() - start;
    if (gone >= ms) return;
    const uint32_t left = ms - gone;
    s.below->sleep(left < SLEEP_SLICE_MS ? left : SLEEP_SLICE_MS);
    rollback_serve(0);
  }
}

// The title and the prompts wait for a key here. The wait ends at this
// machine's key, or when the other player has read ticks this one hasn't
// (its game waits for this one's input of them), not at every datagram:
// otherwise two waiting screens would keep each other reading.
void layer_wait_input(const uint32_t *deadline_tick) {
  if (s.unseen) return;
  for (;;) {
    if (s.ended || s.below->close_requested()) return;
    if (s.remote_known > s.tick) return;
    const uint32_t now = s.below->ticks();
    if (deadline_tick && (int32_t)(*deadline_tick - now) <= 0) return;
    uint32_t end = now + WAIT_INPUT_SLICE_MS;
    if (deadline_tick && (int32_t)(*deadline_tick - end) < 0)
      end = *deadline_tick;
    s.below->wait_input(&end);
    rollback_drain_messages();
    rollback_serve(0);
    if (!s.posts.empty()) return;
    uint8_t keys[256];
    if (s.below->keyboard_read(keys) && memcmp(keys, s.raw_keys, 256) != 0) {
      // Kept for the read that follows, so that a short tap isn't lost.
      memcpy(s.raw_keys, keys, 256);
      s.raw_pending = 1;
      return;
    }
    rollback_refresh();
  }
}

// --- the screen ---

// FNV-1a over a frame's indices and palette.
uint32_t frame_hash(const uint8_t *pixels, int32_t pitch, int32_t width,
                    int32_t height, const uint8_t palette[1024]) {
  uint32_t hash = 2166136261u;
  for (int32_t y = 0; y < height; y++) {
    const uint8_t *row = pixels + (size_t)y * pitch;
    for (int32_t x = 0; x < width; x++) hash = (hash ^ row[x]) * 16777619u;
  }
  for (int i = 0; i < 1024; i++) hash = (hash ^ palette[i]) * 16777619u;
  return hash;
}

// A frame of a tick run on a guess is kept as its hash when shown, and
// compared when the tick runs again on known keys.
void compare_with_shown(const uint8_t *pixels, int32_t pitch, int32_t width,
                        int32_t height, const uint8_t palette[1024]) {
  const uint32_t tick = s.tick - 1;
  if (!s.unseen) {
    if (s.guesses.count(tick))
      s.shown_on_guess[tick] =
          frame_hash(pixels, pitch, width, height, palette);
    return;
  }
  if (!s.confirming) return;
  auto shown = s.shown_on_guess.find(tick);
  if (shown == s.shown_on_guess.end()) return;
  const int same =
      shown->second == frame_hash(pixels, pitch, width, height, palette);
  if (same)
    s.counts.shown_right++;
  else
    s.counts.shown_wrong++;
  if (s.verdict) s.verdict(tick, same);
  s.shown_on_guess.erase(shown);
}

void layer_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                   int32_t height, const uint8_t palette[1024]) {
  // Only for a test that asks (it costs a pass over the frame).
  if (s.verdict && s.tick > 0)
    compare_with_shown(pixels, pitch, width, height, palette);
  if (s.unseen) return;
  s.frame.assign(pixels, pixels + (size_t)pitch * height);
  memcpy(s.palette, palette, sizeof s.palette);
  s.pitch = pitch;
  s.width = width;
  s.height = height;
  s.counts.shown++;
  rollback_show_again();
}

// --- the keyboard ---

int layer_keyboard_open(void) {
  s.below->keyboard_open();
  // The game's keyboard is the ticks' inputs.
  return 1;
}

int layer_keyboard_read(uint8_t state[256]) {
  rollback_fix_tick();
  memset(state, 0, 256);
  s.rules.merge(s.now, s.before, state);
  // Among the game's own posts, so that a rewind takes it back with them
  // and the pass run again puts it there again.
  if (s.rules.lost_focus && s.rules.lost_focus(s.now, s.before) && s.window)
    s.posts.push_back(PlatMessage{s.window, WM_KILLFOCUS, 0, 0});
  s.before[0] = s.now[0];
  s.before[1] = s.now[1];
  s.tick++;
  s.fixed = 0;
  if (s.tick > s.newest) s.newest = s.tick;
  if (s.unseen) s.counts.run_again++;
  return 1;
}

int layer_escape_down(void) {
  rollback_fix_tick();
  return s.rules.escape(s.now);
}

// --- sound: each started once (rollback_sounds.cpp) ---

int layer_voice_stop(PlatVoice voice) {
  if (s.unseen) return voice != 0;
  return s.below->voice_stop(voice);
}

int layer_voice_rewind(PlatVoice voice) {
  if (s.unseen) return voice != 0;
  return s.below->voice_rewind(voice);
}

}  // namespace

void rollback_start(const RollbackRules *rules, int side,
                    uint32_t input_delay) {
  void (*verdict)(uint32_t, int) = s.verdict;
  s.~RollbackState();
  new (&s) RollbackState();
  s.verdict = verdict;
  s.rules = *rules;
  s.side = side;
  s.delay = input_delay < ROLLBACK_INPUT_DELAY_MAX ? input_delay
                                                   : ROLLBACK_INPUT_DELAY_MAX;
  s.wrong = UINT32_MAX;
  s.below = plat_in_use();
  s.active = 1;
  PlatBackend t = *s.below;
  t.name = "rollback";
  t.window_create = layer_window_create;
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
  t.voice_play = rollback_voice_play;
  t.voice_stop = layer_voice_stop;
  t.voice_rewind = layer_voice_rewind;
  s.table = t;
  plat_use(&s.table);
}

void rollback_finish(void) {
  if (!s.active) return;
  s.active = 0;
  if (plat_in_use() == &s.table) plat_use(s.below);
}

const PlatBackend *rollback_below(void) { return s.below; }

void rollback_unseen(int unseen) {
  if (unseen == s.unseen) return;
  if (unseen) {
    s.clock = s.below->ticks();
  } else {
    rollback_sounds_settle();
  }
  s.unseen = unseen;
}

int rollback_is_unseen(void) { return s.unseen; }

void rollback_end(void) {
  if (s.ended) return;
  s.ended = 1;
  // As the window system tells a window that is closed: once, so that the
  // game ends its own way wherever it stands (kept apart from the game's
  // posts, which a rewind puts back as they were).
  s.close_owed = 1;
}
int rollback_ended(void) { return s.ended; }

void rollback_mark(RollbackMark *mark) {
  mark->tick = s.tick;
  mark->posts = s.posts;
  mark->close_taken = s.close_taken;
}

void rollback_rewind(const RollbackMark *mark) {
  s.tick = mark->tick;
  s.fixed = 0;
  s.posts = mark->posts;
  // A close the game took after the moment is taken back with what it did:
  // the passes run again are given it again, or the game would never end.
  if (s.close_taken && !mark->close_taken) {
    s.close_owed = 1;
    s.close_taken = 0;
  }
  // The marked moment's ticks were all known: the tick before it is as it
  // was read.
  for (int side = 0; side < 2; side++) s.before[side] = 0;
  if (s.tick > 0) {
    const uint32_t last = s.tick - 1;
    s.before[s.side] = last < s.own.size() ? s.own[last] : 0;
    s.before[1 - s.side] = last < s.remote_known ? s.remote[last]
                           : s.remote_ended      ? s.remote_end_input
                                                 : 0;
  }
  rollback_sounds_rewound(s.tick);
}

void rollback_show_again(void) {
  if (s.frame.empty() || s.unseen) return;
  const uint8_t *pixels = s.frame.data();
  s.shown_ms = s.below->ticks();
  if (s.rules.over) pixels = s.rules.over(pixels, s.pitch, s.width, s.height);
  s.below->present(pixels, s.pitch, s.width, s.height, s.palette);
}

RollbackCounts rollback_counts(void) { return s.counts; }

void rollback_count_correction(uint32_t wrong, uint32_t newest) {
  const uint32_t depth = newest > wrong ? newest - wrong : 0;
  s.counts.corrections++;
  s.counts.last_wrong = wrong;
  if (depth > s.counts.deepest) s.counts.deepest = depth;
}

void rollback_refresh(void) {
  if (s.below->ticks() - s.shown_ms >= SHOW_AGAIN_EVERY_MS)
    rollback_show_again();
}

void rollback_confirming(int confirming) { s.confirming = confirming; }

void rollback_on_verdict(void (*verdict)(uint32_t tick, int same)) {
  s.verdict = verdict;
}
