// The rollback layer over the headless backend, driven as a game drives it:
// keyboard reads, Escape queries, presents, voices and messages, with the
// other player's inputs handed in by the test (directly, or from the rules'
// serve hook as the network would bring them while the layer waits).
#include <stdint.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "engine/clock.h"
#include "game/game.h"
#include "game/net_keys.h"
#include "game/snapshot.h"
#include "platform/dik.h"
#include "platform/headless/headless_audio.h"
#include "platform/platform.h"
#include "platform/rollback/rollback.h"
#include "support.h"

namespace {

// The test's rules: own input bit 0 is Left, bit 1 Right, bit 2 Escape,
// bit 8 a lost focus. The game's keyboard shows both inputs of the tick as
// bytes (the host's at index 1, the joiner's at 2) and the host's input of
// the tick before at 3, so that a test reads back what the layer merged.
const RollbackInput IN_LEFT = 1 << 0;
const RollbackInput IN_RIGHT = 1 << 1;
const RollbackInput IN_ESCAPE = 1 << 2;
const RollbackInput IN_AWAY = 1 << 8;

// What the serve hook does at each call (the network's side), and how often
// it was called.
std::function<void(uint32_t)> network;
int serve_calls;

RollbackInput test_own(const uint8_t keys[256], int away) {
  RollbackInput in = 0;
  if (keys[DIK_LEFT]) in |= IN_LEFT;
  if (keys[DIK_RIGHT]) in |= IN_RIGHT;
  if (keys[DIK_ESCAPE]) in |= IN_ESCAPE;
  if (away) in |= IN_AWAY;
  return in;
}

void test_merge(const RollbackInput now[2], const RollbackInput before[2],
                uint8_t keys[256]) {
  keys[1] = (uint8_t)now[ROLLBACK_HOST];
  keys[2] = (uint8_t)now[ROLLBACK_JOINER];
  keys[3] = (uint8_t)before[ROLLBACK_HOST];
  keys[4] = (uint8_t)(now[ROLLBACK_HOST] >> 8);
}

int test_escape(const RollbackInput now[2]) {
  return (now[ROLLBACK_HOST] & IN_ESCAPE) ? 1 : 0;
}

void test_serve(uint32_t wait_ms) {
  serve_calls++;
  if (network) network(wait_ms);
}

// The game is told its window lost the focus as either player's input
// turns away.
int test_lost_focus(const RollbackInput now[2], const RollbackInput before[2]) {
  for (int side = 0; side < 2; side++)
    if ((now[side] & IN_AWAY) && !(before[side] & IN_AWAY)) return 1;
  return 0;
}

const RollbackRules RULES = {test_own,   test_merge, test_escape,
                             test_serve, nullptr,    test_lost_focus};

// One tick as the game reads it: the keyboard it is given.
struct Read {
  uint8_t host, joiner, host_before, host_high;
};

Read read_tick(void) {
  uint8_t keys[256];
  EXPECT_EQ(plat_keyboard_read(keys), 1);
  return Read{keys[1], keys[2], keys[3], keys[4]};
}

// A pass that may guess, of one tick.
Read guessed_tick(void) {
  rollback_may_guess(1);
  return read_tick();
}

const int32_t WIDTH = 8, HEIGHT = 4;

// A frame whose every pixel is `colour`, presented as the game would.
void present(uint8_t colour) {
  uint8_t pixels[WIDTH * HEIGHT];
  memset(pixels, colour, sizeof pixels);
  uint8_t palette[1024] = {};
  plat_present(pixels, WIDTH, WIDTH, HEIGHT, palette);
}

intptr_t test_window_proc(PlatWindow *window, uint32_t message,
                          uintptr_t wparam, intptr_t lparam) {
  return plat_default_window_proc(window, message, wparam, lparam);
}

// This machine is the host, on a fresh headless backend with its window
// made through the layer (as the game makes it).
class Layer : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    network = nullptr;
    serve_calls = 0;
    start(0);
  }
  void TearDown() override {
    rollback_finish();
    network = nullptr;
    Fresh::TearDown();
  }
  void start(uint32_t delay) {
    rollback_start(&RULES, ROLLBACK_HOST, delay);
    ASSERT_EQ(plat_init(), 1);
    window = plat_window_create("Quillfire", 0, 0, 640, 480, test_window_proc);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(plat_display_set_mode(640, 480, 8), 1);
    ASSERT_EQ(plat_keyboard_open(), 1);
  }
  // The other's inputs of ticks [first, first + count) all `input`.
  static void put_remote(uint32_t first, uint32_t count, RollbackInput input) {
    for (uint32_t t = first; t < first + count; t++)
      rollback_put_remote(t, input);
  }
  PlatWindow *window = nullptr;
};

// --- guesses ---

TEST_F(Layer, AGuessIsTheOthersLastInputForTheFirstTickOfAPassThatMayGuess) {
  rollback_put_remote(0, 5);
  rollback_put_remote(1, 7);
  EXPECT_EQ(read_tick().joiner, 5);
  EXPECT_EQ(read_tick().joiner, 7);
  // Tick 2 is unknown: guessed as 7, at once (nothing served).
  EXPECT_EQ(guessed_tick().joiner, 7);
  EXPECT_EQ(serve_calls, 0);
  EXPECT_TRUE(rollback_guessed(2));
  EXPECT_FALSE(rollback_guessed(1));
  // A later read of the same pass waits: the network is served until it
  // brings the input (on its third call here).
  network = [](uint32_t) {
    if (serve_calls == 3) {
      rollback_put_remote(2, 7);
      rollback_put_remote(3, 9);
    }
  };
  EXPECT_EQ(read_tick().joiner, 9);
  EXPECT_EQ(serve_calls, 3);
  // A guess that proved right is no wrong guess.
  EXPECT_EQ(rollback_take_wrong(), UINT32_MAX);
  // And a pass that may not guess waits too.
  network = [](uint32_t) { rollback_put_remote(4, 1); };
  serve_calls = 0;
  EXPECT_EQ(read_tick().joiner, 1);
  EXPECT_EQ(serve_calls, 1);
}

TEST_F(Layer, OnlyGuessesThatDifferAreWrongAndTheEarliestIsTaken) {
  rollback_put_remote(0, 3);
  read_tick();
  for (int i = 0; i < 3; i++) EXPECT_EQ(guessed_tick().joiner, 3);  // 1..3
  // Tick 3 wrong first, then 2; 1 right.
  rollback_put_remote(3, 4);
  rollback_put_remote(2, 4);
  rollback_put_remote(1, 3);
  EXPECT_EQ(rollback_remote_known(), 4u);
  EXPECT_EQ(rollback_take_wrong(), 2u);
  EXPECT_EQ(rollback_take_wrong(), UINT32_MAX);
  EXPECT_EQ(rollback_counts().guessed, 3u);
  EXPECT_EQ(rollback_counts().wrong, 2u);
  // A later guess is of the newest known input, 4.
  EXPECT_EQ(guessed_tick().joiner, 4);
  rollback_put_remote(4, 4);
  EXPECT_EQ(rollback_take_wrong(), UINT32_MAX);
}

// --- the other's inputs as the network brings them ---

TEST_F(Layer, InputsOutOfOrderRepeatedOrPastAGapAreKeptAsTheFirstWordSays) {
  EXPECT_EQ(rollback_put_remote(2, 12), 1);
  EXPECT_EQ(rollback_remote_known(), 0u);
  EXPECT_EQ(rollback_put_remote(0, 10), 1);
  EXPECT_EQ(rollback_remote_known(), 1u);
  EXPECT_EQ(rollback_put_remote(1, 11), 1);
  EXPECT_EQ(rollback_remote_known(), 3u);
  // Repeats: the first word counts.
  EXPECT_EQ(rollback_put_remote(1, 99), 0);
  EXPECT_EQ(rollback_put_remote(2, 12), 0);
  // Past a gap (tick 3 missing): kept, but known stops at the gap.
  EXPECT_EQ(rollback_put_remote(5, 15), 1);
  EXPECT_EQ(rollback_remote_known(), 3u);
  // Absurdly far ahead: no input of a player's.
  EXPECT_EQ(rollback_put_remote(1000000, 1), 0);
  EXPECT_EQ(rollback_remote_known(), 3u);
  EXPECT_EQ(read_tick().joiner, 10);
  EXPECT_EQ(read_tick().joiner, 11);
  EXPECT_EQ(read_tick().joiner, 12);
  // The gap filled: 3, 4 and the kept 5 are all known.
  rollback_put_remote(4, 14);
  EXPECT_EQ(rollback_remote_known(), 3u);
  rollback_put_remote(3, 13);
  EXPECT_EQ(rollback_remote_known(), 6u);
  EXPECT_EQ(read_tick().joiner, 13);
  EXPECT_EQ(read_tick().joiner, 14);
  EXPECT_EQ(read_tick().joiner, 15);
  EXPECT_EQ(serve_calls, 0);
}

TEST_F(Layer, TheOthersEndHoldsFromWhereAllItsInputsAreKnown) {
  put_remote(0, 2, 1);
  rollback_put_remote(3, 3);  // past the gap at 2: not the other's last
  rollback_remote_ends(5, 0x40);
  EXPECT_EQ(rollback_remote_known(), UINT32_MAX);
  EXPECT_EQ(read_tick().joiner, 1);
  EXPECT_EQ(read_tick().joiner, 1);
  // From the gap on: the end's input, without waiting.
  for (int t = 2; t < 8; t++) EXPECT_EQ(read_tick().joiner, 0x40) << t;
  EXPECT_EQ(serve_calls, 0);
  // Nothing more is taken after the end.
  EXPECT_EQ(rollback_put_remote(9, 9), 0);
}

TEST_F(Layer, AnEndAfterAWrongGuessIsAWrongGuess) {
  rollback_put_remote(0, 1);
  read_tick();
  guessed_tick();  // 1, guessed 1
  rollback_remote_ends(1, 0x40);
  EXPECT_EQ(rollback_take_wrong(), 1u);
}

TEST_F(Layer, APassGuessesNoFurtherThanMaxAheadPastTheLastKnownInput) {
  rollback_put_remote(0, 2);
  read_tick();
  for (uint32_t t = 1; t <= ROLLBACK_MAX_AHEAD; t++) {
    EXPECT_EQ(guessed_tick().joiner, 2) << t;
    EXPECT_TRUE(rollback_guessed(t));
  }
  EXPECT_EQ(serve_calls, 0);
  // One more is too far: it waits for its input, though it may guess.
  const uint32_t far = ROLLBACK_MAX_AHEAD + 1;
  network = [far](uint32_t) { put_remote(1, far, 6); };
  EXPECT_EQ(guessed_tick().joiner, 6);
  EXPECT_EQ(serve_calls, 1);
  EXPECT_FALSE(rollback_guessed(far));
}

// --- passes run again, unseen ---

// A voice of `samples` samples, all at `value` (128 is silence).
PlatVoice make_voice(uint32_t samples, uint8_t value) {
  const PlatVoice voice = plat_voice_create(samples);
  EXPECT_NE(voice, 0);
  uint32_t bytes = 0;
  uint8_t *data = plat_voice_lock(voice, &bytes);
  EXPECT_EQ(bytes, samples);
  memset(data, value, bytes);
  plat_voice_unlock(voice);
  return voice;
}

int events_of(PlatVoice voice, HeadlessAudioEventKind kind) {
  size_t count = 0;
  const HeadlessAudioEvent *events = headless_audio_events(&count);
  int n = 0;
  for (size_t i = 0; i < count; i++)
    if (events[i].voice == voice && events[i].kind == kind) n++;
  return n;
}

class Unseen : public Layer {
 protected:
  void SetUp() override {
    Layer::SetUp();
    ASSERT_EQ(plat_audio_open(), 1);
    bounce = make_voice(SAMPLES, 200);
    other = make_voice(SAMPLES, 60);
    // Ticks 0 and 1 known; the moment after them marked.
    put_remote(0, 2, 0);
    read_tick();
    read_tick();
    rollback_mark(&mark);
  }
  // Back to the mark, to run passes again unseen.
  void rewind(void) {
    rollback_rewind(&mark);
    rollback_unseen(1);
  }
  static const uint32_t SAMPLES = 2000;
  PlatVoice bounce = 0, other = 0;
  RollbackMark mark;
};

TEST_F(Unseen, PassesRunAgainShowNothingTakeNoTimeAndStartNoSoundTwice) {
  guessed_tick();  // tick 2, on a guess
  present(1);
  plat_voice_play(bounce, 0);
  EXPECT_EQ(headless_frame_count(), 1);
  rollback_put_remote(2, IN_LEFT);
  EXPECT_EQ(rollback_take_wrong(), 2u);

  rewind();
  const uint32_t now = headless_now();
  EXPECT_EQ(read_tick().joiner, IN_LEFT);
  // The frame clock's wait ends at once, on no real time.
  clock_start();
  clock_wait(20);
  plat_sleep(100);
  present(2);
  plat_voice_play(bounce, 0);
  rollback_unseen(0);
  EXPECT_EQ(headless_frame_count(), 1);
  EXPECT_LT(headless_now() - now, 20u);
  EXPECT_EQ(events_of(bounce, HEADLESS_AUDIO_PLAY), 1);
  EXPECT_EQ(events_of(bounce, HEADLESS_AUDIO_STOP), 0);
  EXPECT_EQ(events_of(bounce, HEADLESS_AUDIO_REWIND), 0);
  EXPECT_EQ(rollback_counts().run_again, 1u);
  // Shown again (a note changed over it): the frame last shown, not the
  // one run unseen.
  rollback_show_again();
  EXPECT_EQ(headless_frame_count(), 2);
  int32_t width = 0, height = 0;
  EXPECT_EQ(headless_last_frame(&width, &height)[0], 1);
  // Seen again: the next frame is shown.
  rollback_put_remote(3, 0);
  read_tick();
  present(3);
  EXPECT_EQ(headless_frame_count(), 3);
}

TEST_F(Unseen, ASoundStartedOnceIsHeardOnceInTheMix) {
  guessed_tick();
  plat_voice_play(bounce, 0);
  // Half of it heard before the correction.
  std::vector<int16_t> mix(SAMPLES * 2);
  headless_audio_render(mix.data(), SAMPLES / 2);
  rollback_put_remote(2, IN_RIGHT);
  rewind();
  read_tick();
  plat_voice_play(bounce, 0);
  rollback_unseen(0);
  headless_audio_render(mix.data() + SAMPLES / 2, SAMPLES * 2 - SAMPLES / 2);
  int heard = 0;
  for (int16_t sample : mix) heard += sample == (200 - 128) * 256;
  EXPECT_EQ(heard, (int)SAMPLES);
  for (int16_t sample : mix) EXPECT_TRUE(sample == 0 || sample == 72 * 256);
}

TEST_F(Unseen, ASoundNewInTheRerunIsStartedLateOnlyNearTheNewest) {
  guessed_tick();  // 2
  rollback_put_remote(2, IN_LEFT);
  rewind();
  read_tick();
  plat_voice_play(bounce, 0);  // new at tick 2, the newest: heard late
  rollback_unseen(0);
  EXPECT_EQ(events_of(bounce, HEADLESS_AUDIO_PLAY), 1);
  EXPECT_EQ(rollback_counts().sounds_late, 1u);
  std::vector<int16_t> mix(SAMPLES);
  headless_audio_render(mix.data(), SAMPLES);
  EXPECT_EQ(mix[0], 72 * 256);

  // Far behind the newest: too late to be heard.
  rollback_mark(&mark);  // after tick 2
  for (uint32_t i = 0; i <= ROLLBACK_LATE_SOUND_TICKS + 1; i++) guessed_tick();
  put_remote(3, ROLLBACK_LATE_SOUND_TICKS + 2, IN_RIGHT);
  rewind();
  read_tick();                // 3
  plat_voice_play(other, 0);  // far behind the newest
  for (uint32_t i = 0; i <= ROLLBACK_LATE_SOUND_TICKS; i++) read_tick();
  plat_voice_play(bounce, 0);  // at the newest
  rollback_unseen(0);
  EXPECT_EQ(events_of(other, HEADLESS_AUDIO_PLAY), 0);
  EXPECT_EQ(events_of(bounce, HEADLESS_AUDIO_PLAY), 2);
  EXPECT_EQ(rollback_counts().sounds_late, 2u);
}

TEST_F(Unseen, ASoundTheRerunNoLongerStartsIsStoppedOnlyWhileEarly) {
  // Started just now: stopped.
  guessed_tick();  // 2
  plat_voice_play(bounce, 0);
  rollback_put_remote(2, IN_LEFT);
  rewind();
  read_tick();
  rollback_unseen(0);
  EXPECT_EQ(events_of(bounce, HEADLESS_AUDIO_STOP), 1);
  EXPECT_EQ(rollback_counts().sounds_stopped, 1u);
  EXPECT_FALSE(plat_voice_playing(bounce));

  // Started long enough ago: let go.
  rollback_mark(&mark);  // after tick 2
  guessed_tick();        // 3
  plat_voice_play(other, 0);
  plat_sleep(ROLLBACK_SOUND_TAKEN_BACK_MS + 5);
  rollback_put_remote(3, IN_RIGHT);
  rewind();
  read_tick();
  rollback_unseen(0);
  EXPECT_EQ(events_of(other, HEADLESS_AUDIO_STOP), 0);
  EXPECT_EQ(rollback_counts().sounds_let_go, 1u);
  EXPECT_TRUE(plat_voice_playing(other));
}

// --- input delay ---

TEST_F(Layer, WithAnInputDelayOwnKeysCountThatManyTicksLater) {
  rollback_finish();
  start(2);
  put_remote(0, 10, 0);
  headless_key(DIK_LEFT, 1);
  EXPECT_EQ(read_tick().host, 0);  // tick 0: Left read, for tick 2
  EXPECT_EQ(rollback_own_known(), 3u);
  headless_key(DIK_LEFT, 0);
  headless_key(DIK_RIGHT, 1);
  EXPECT_EQ(read_tick().host, 0);  // tick 1: Right read, for tick 3
  headless_key(DIK_RIGHT, 0);
  EXPECT_EQ(read_tick().host, IN_LEFT);
  EXPECT_EQ(rollback_own_known(), 5u);
  EXPECT_EQ(read_tick().host, IN_RIGHT);
  EXPECT_EQ(read_tick().host, 0);
  EXPECT_EQ(rollback_own(2), IN_LEFT);
  EXPECT_EQ(rollback_own(3), IN_RIGHT);
}

// --- going back to a marked moment ---

TEST_F(Layer, ARewindReadsTheSameInputsAgainAndGivesBackTheGamesPosts) {
  rollback_put_remote(0, 0);
  rollback_put_remote(1, IN_RIGHT);
  put_remote(2, 2, 0);
  headless_key(DIK_LEFT, 1);
  read_tick();  // 0
  plat_post_message(window, WM_USER, 1, 2);
  RollbackMark mark;
  rollback_mark(&mark);
  PlatMessage msg;
  ASSERT_EQ(plat_peek_message(&msg), 1);
  EXPECT_EQ(msg.message, (uint32_t)WM_USER);
  headless_key(DIK_LEFT, 0);
  headless_key(DIK_ESCAPE, 1);
  EXPECT_EQ(plat_escape_down(), 1);
  const Read first = read_tick();  // 1
  headless_key(DIK_ESCAPE, 0);
  headless_key(DIK_RIGHT, 1);
  const Read second = read_tick();  // 2
  EXPECT_EQ(first.host, IN_ESCAPE);
  EXPECT_EQ(first.host_before, IN_LEFT);
  EXPECT_EQ(first.joiner, IN_RIGHT);
  EXPECT_EQ(second.host, IN_RIGHT);
  const int reads = headless_keyboard_reads();

  // The keyboard now holds something else: not read again.
  headless_key(DIK_RIGHT, 0);
  headless_key(DIK_LEFT, 1);
  rollback_rewind(&mark);
  EXPECT_EQ(rollback_tick(), 1u);
  ASSERT_EQ(plat_peek_message(&msg), 1);
  EXPECT_EQ(msg.message, (uint32_t)WM_USER);
  EXPECT_EQ(msg.wparam, 1u);
  EXPECT_EQ(plat_peek_message(&msg), 0);
  EXPECT_EQ(plat_escape_down(), 1);
  const Read again = read_tick();
  EXPECT_EQ(again.host, first.host);
  EXPECT_EQ(again.host_before, first.host_before);
  EXPECT_EQ(again.joiner, first.joiner);
  EXPECT_EQ(read_tick().host, second.host);
  EXPECT_EQ(headless_keyboard_reads(), reads);
  EXPECT_EQ(rollback_newest(), 3u);
}

TEST_F(Layer, AnEndClosesTheWindowOnceInEachRunOfThePassesAfterIt) {
  put_remote(0, 2, 0);
  read_tick();
  RollbackMark mark;
  rollback_mark(&mark);
  read_tick();
  EXPECT_EQ(plat_close_requested(), 0);
  rollback_end();
  EXPECT_EQ(plat_close_requested(), 1);
  PlatMessage msg;
  // Taken in a pass that is then run again: given again, once.
  for (int run = 0; run < 3; run++) {
    SCOPED_TRACE(run);
    rollback_rewind(&mark);
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, (uint32_t)WM_CLOSE);
    EXPECT_EQ(msg.window, window);
    EXPECT_EQ(plat_peek_message(&msg), 0);
  }
  // Taken before the moment gone back to: not again.
  RollbackMark after;
  rollback_mark(&after);
  rollback_rewind(&after);
  EXPECT_EQ(plat_peek_message(&msg), 0);
  EXPECT_EQ(plat_close_requested(), 1);
  // Every wait ends: a read of an unknown tick doesn't wait for it.
  read_tick();
  read_tick();
}

// --- the window system's messages ---

TEST_F(Layer,
       TheFocusReachesOwnInputsAndTheGameAsTheirRulesSayAndTheCloseDoes) {
  put_remote(0, 2, 0);
  put_remote(2, 1, IN_AWAY);
  put_remote(3, 3, 0);
  headless_set_focus(0);
  PlatMessage msg;
  // Not the window system's message: the tick's input, for both machines.
  EXPECT_EQ(plat_peek_message(&msg), 0);
  EXPECT_EQ(read_tick().host_high, IN_AWAY >> 8);
  ASSERT_EQ(plat_peek_message(&msg), 1);
  EXPECT_EQ(msg.message, (uint32_t)WM_KILLFOCUS);
  EXPECT_EQ(msg.window, window);
  EXPECT_EQ(plat_peek_message(&msg), 0);
  RollbackMark mark;
  rollback_mark(&mark);
  EXPECT_EQ(read_tick().host_high, IN_AWAY >> 8);
  EXPECT_EQ(plat_peek_message(&msg), 0);  // still away: told once
  headless_set_focus(1);
  // The other's window turns away: told again, and again when run again.
  EXPECT_EQ(read_tick().host_high, 0);
  for (int run = 0; run < 2; run++) {
    SCOPED_TRACE(run ? "run again" : "first run");
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, (uint32_t)WM_KILLFOCUS);
    EXPECT_EQ(plat_peek_message(&msg), 0);
    if (run == 1) break;
    rollback_rewind(&mark);
    read_tick();
    EXPECT_EQ(plat_peek_message(&msg), 0);
    read_tick();
  }
  headless_request_close();
  ASSERT_EQ(plat_peek_message(&msg), 1);
  EXPECT_EQ(msg.message, (uint32_t)WM_CLOSE);
  EXPECT_EQ(plat_peek_message(&msg), 0);
}

}  // namespace

// --- the real game, its guesses wrong on purpose ---

namespace {

// The two players' input streams, by tick: the host picks two players at
// the title, serves now and then and sweeps its paddle; the joiner's arrows
// change every few ticks, so that guesses of them keep proving wrong.
RollbackInput host_input(uint32_t tick) {
  RollbackInput in = 0;
  if (tick >= 5 && tick < 40) in |= NET_IN_TWO;
  if (tick % 30 < 2) in |= NET_IN_SERVE;
  in |= (tick / 23) % 2 ? NET_IN_LEFT : NET_IN_RIGHT;
  return in;
}

RollbackInput joiner_input(uint32_t tick) {
  const uint32_t step = (tick / 3) * 2654435761u;
  RollbackInput in = 0;
  if ((step >> 13) % 3 == 1) in |= NET_IN_LEFT;
  if ((step >> 13) % 3 == 2) in |= NET_IN_RIGHT;
  if (tick % 40 < 2) in |= NET_IN_SERVE;
  return in;
}

// The host's own input is its stream's, whatever the keyboard holds: the
// layer asks for it once per tick, in tick order.
RollbackInput stream_own(const uint8_t *, int) {
  return host_input(rollback_own_known());
}

// The joiner's inputs reach this machine LATE ticks after the newest tick
// the game read; a wait (nothing read for a while) brings the next one.
const uint32_t LATE = 4;
const int STALLED_SERVES = 64;
struct Network {
  int at_once;         // the plain run: each input known before its tick
  uint32_t delivered;  // joiner's inputs handed in: ticks below this
  uint32_t seen_newest;
  int stalled;
};
Network net;

void deliver_upto(uint32_t tick) {
  while (net.delivered < tick) {
    rollback_put_remote(net.delivered, joiner_input(net.delivered));
    net.delivered++;
  }
}

void late_serve(uint32_t) {
  if (net.at_once) {
    deliver_upto(rollback_tick() + 2);
    return;
  }
  const uint32_t newest = rollback_newest();
  if (newest != net.seen_newest) {
    net.seen_newest = newest;
    net.stalled = 0;
  } else if (++net.stalled >= STALLED_SERVES) {
    net.stalled = 0;
    deliver_upto(net.delivered + 1);
  }
  if (newest > LATE) deliver_upto(newest - LATE);
}

// Every frame presented, with the tick of the game's last read.
struct ShownFrame {
  uint32_t tick;
  uint64_t hash;
};
std::vector<ShownFrame> shown_frames;

void keep_frame(const uint8_t *pixels, int32_t width, int32_t height,
                const uint8_t palette[1024], void *) {
  uint64_t h = 1469598103934665603ull;
  for (int32_t i = 0; i < width * height; i++)
    h = (h ^ pixels[i]) * 1099511628211ull;
  for (int i = 0; i < 1024; i++) h = (h ^ palette[i]) * 1099511628211ull;
  shown_frames.push_back({rollback_tick() - 1, h});
}

bool other_known(uint32_t tick) {
  const uint32_t known = rollback_remote_known();
  return known == UINT32_MAX || tick < known;
}

// What the driver saw of each frame shown: whether a correction came just
// before it, and whether it rests on guesses (and were they all right).
struct Judged {
  size_t frame;  // index in shown_frames
  bool after_correction;
  bool on_right_guesses;
};

// A small driver of passes as network play drives them: a pass on known
// keys is a new moment; a pass that may guess runs on a guess; once the
// keys after the moment are known, back to it, and every pass since run
// again unseen. Runs until the game has read `ticks` ticks.
struct Driver {
  GameSnapshot snapshot;
  RollbackMark mark;
  bool have_moment = false, guessed_since = false;
  // The guesses since the moment as the layer's rules say they are made:
  // the joiner's last input handed in, by tick.
  std::vector<std::pair<uint32_t, RollbackInput>> guesses;
  std::vector<Judged> judged;
  int corrections = 0;

  void confirmed(void) {
    game_save(&snapshot);
    rollback_mark(&mark);
    have_moment = true;
    guessed_since = false;
    guesses.clear();
    rollback_forget_before(mark.tick);
  }

  bool guesses_right(void) const {
    for (const auto &g : guesses)
      if (joiner_input(g.first) != g.second) return false;
    return true;
  }

  int pass(bool after_correction, bool guessing) {
    const size_t before = shown_frames.size();
    const int alive = shell_pass();
    // A frame on guesses of which one is wrong may differ: not judged.
    const bool right = !guessing || guesses_right();
    for (size_t i = before; i < shown_frames.size(); i++)
      judged.push_back(
          {i, after_correction && i == before && right, guessing && right});
    return alive;
  }

  bool catch_up(void) {
    const uint32_t newest = rollback_tick();
    const bool wrong = rollback_take_wrong() != UINT32_MAX;
    corrections += wrong;
    game_load(&snapshot);
    rollback_rewind(&mark);
    rollback_unseen(1);
    int alive = 1;
    while (alive && rollback_is_unseen() && rollback_tick() < newest &&
           other_known(rollback_tick())) {
      alive = shell_pass();
      if (alive) confirmed();
    }
    rollback_unseen(0);
    if (!alive) return false;
    // The first pass after it is judged against the plain run.
    return step(wrong);
  }

  // One pass, or one wait. Returns 0 once the game has ended.
  bool step(bool after_correction) {
    if (net.at_once) late_serve(0);
    if (guessed_since && other_known(mark.tick)) return catch_up();
    if (other_known(rollback_tick())) {
      const int alive = pass(after_correction, false);
      if (alive) confirmed();
      return alive;
    }
    if (have_moment && net_keys_guessable() &&
        rollback_tick() - net.delivered < ROLLBACK_MAX_AHEAD) {
      guesses.push_back({rollback_tick(), net.delivered
                                              ? joiner_input(net.delivered - 1)
                                              : (RollbackInput)0});
      rollback_may_guess(1);
      guessed_since = true;
      const int alive = pass(after_correction, true);
      rollback_may_guess(0);
      return alive;
    }
    for (int i = 0; !other_known(rollback_tick()); i++) {
      if (i > 100000) {
        ADD_FAILURE() << "the joiner's input of tick " << rollback_tick()
                      << " never came";
        return false;
      }
      late_serve(5);
    }
    return true;
  }

  void run(uint32_t ticks) {
    while (rollback_tick() < ticks && !::testing::Test::HasFailure()) {
      if (!step(false)) break;
    }
  }
};

void merge_game_keys(const RollbackInput now[2], const RollbackInput *,
                     uint8_t keys[256]) {
  net_keys_merge(now, keys);
}

// The game started over the layer with the stream's rules.
void start_streamed_game(void) {
  reset_everything();
  net = Network{};
  shown_frames.clear();
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  static const RollbackRules rules = {stream_own,      merge_game_keys,
                                      net_keys_escape, late_serve,
                                      nullptr,         net_keys_lost_focus};
  rollback_start(&rules, ROLLBACK_HOST, 0);
  headless_on_present(keep_frame, nullptr);
}

// Rallies of the first match, up to before its winner's screen.
const uint32_t MATCH_TICKS = 900;

class RealGame : public Fresh {};

}  // namespace

TEST_F(RealGame,
       FramesShownAfterACorrectionOrOnRightGuessesAreThePlainRunsFrames) {
  // The plain run: the joiner's inputs known at once, nothing guessed.
  start_streamed_game();
  net.at_once = 1;
  deliver_upto(2);
  ASSERT_EQ(shell_start(plat_instance()), 1);
  Driver plain;
  plain.run(MATCH_TICKS);
  ASSERT_GE(rollback_tick(), MATCH_TICKS);
  EXPECT_EQ(rollback_counts().guessed, 0u);
  std::map<uint32_t, std::set<uint64_t>> expected;
  for (const ShownFrame &f : shown_frames) expected[f.tick].insert(f.hash);
  const uint32_t plain_score =
      game_state.player1_score * 100 + game_state.player2_score;
  rollback_finish();

  // The same streams, the joiner's LATE ticks late.
  start_streamed_game();
  ASSERT_EQ(shell_start(plat_instance()), 1);
  Driver late;
  late.run(MATCH_TICKS);
  ASSERT_GE(rollback_tick(), MATCH_TICKS);
  const RollbackCounts counts = rollback_counts();
  rollback_finish();

  // The streams did what they are for: rallies played on guesses, many of
  // them wrong and taken back.
  EXPECT_GT(counts.guessed, 200u);
  EXPECT_GT(counts.wrong, 20u);
  EXPECT_GT(late.corrections, 20);
  EXPECT_GT(plain_score, 0u);

  int after_correction = 0, on_right_guesses = 0;
  for (const Judged &j : late.judged) {
    const ShownFrame &f = shown_frames[j.frame];
    if (!j.after_correction && !j.on_right_guesses) continue;
    after_correction += j.after_correction;
    on_right_guesses += j.on_right_guesses;
    ASSERT_TRUE(expected[f.tick].count(f.hash))
        << "frame of tick " << f.tick
        << (j.after_correction ? " shown after a correction"
                               : " shown on right guesses")
        << " is not the plain run's";
  }
  EXPECT_GT(after_correction, 10);
  EXPECT_GT(on_right_guesses, 50);
  printf(
      "%d frames after corrections, %d on right guesses, of %zu shown; "
      "%d corrections\n",
      after_correction, on_right_guesses, shown_frames.size(),
      late.corrections);
}
