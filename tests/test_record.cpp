// The recording layer: its stream (runs, bad and cut-short input, live
// sources, several sinks) and the real game recorded and replayed on the
// headless platform.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/game.h"
#include "platform/dik.h"
#include "platform/record/record_format.h"
#include "record_memory.h"
#include "support.h"

namespace {

using Bytes = std::vector<uint8_t>;

RecordBytes rec(std::initializer_list<uint8_t> bytes) {
  RecordBytes r;
  r.size = 0;
  for (uint8_t b : bytes) record_put_byte(&r, b);
  return r;
}

Bytes header() { return record_header("test"); }

// What a reader gives back of a stream: its records, how it ended and why,
// and how often it waited for a live source.
struct Read {
  std::vector<Bytes> records;
  ReaderResult last = READER_BAD;
  std::string error;
  int waited = 0;
};

Read read_all(Memory m) {
  Read out;
  RecordReader r;
  r.wait = [](void *user) {
    ++*(int *)user;
    return 1;
  };
  r.wait_user = &out.waited;
  if (!reader_begin(&r, memory_source(&m), &out.error)) return out;
  RecordBytes b;
  while ((out.last = reader_next(&r, &b, &out.error)) == READER_RECORD)
    out.records.emplace_back(b.bytes, b.bytes + b.size);
  return out;
}

// Two one-byte records.
const uint8_t T0 = TAG_KEYS_SAME, T1 = TAG_CLOSE_NO;

TEST(RecordStream, RecordsComeBackInOrderAndRepeatsFoldIntoFewBytes) {
  struct Case {
    const char *name;
    std::vector<RecordBytes> records;
    size_t max_bytes;  // the stream after its header, at most
  };
  std::vector<RecordBytes> spin, keys, title;
  // A fade: each step's close check, then reads.
  for (int step = 0; step < 500; step++) {
    for (int i = 0; i < 4; i++) spin.push_back(rec({i ? T0 : T1}));
  }
  // Keys going down and up in turn, then held.
  for (int i = 0; i < 40; i++) {
    keys.push_back(rec({TAG_KEYS, 0, DIK_LEFT, (uint8_t)(i % 2 ? 0 : 0x80)}));
  }
  // The title's wait: a keyboard read and a close query, 3000 times, cut
  // by a run of 7 that almost repeats.
  for (int i = 0; i < 3000; i++) {
    title.push_back(rec({TAG_KEYS_SAME}));
    title.push_back(rec({TAG_CLOSE_NO}));
  }
  for (int i = 0; i < 7; i++) title.push_back(rec({TAG_KEYS_SAME}));
  title.push_back(rec({TAG_CHECKPOINT, 1, 2, 3, 4}));
  const Case cases[] = {
      {"one of each",
       {rec({TAG_MESSAGE, 0x08, 0, 0}), rec({TAG_WAITED, 0xE8, 0x07}),
        rec({TAG_KEYS_FAIL}), rec({TAG_ESCAPE_DOWN}), rec({TAG_CLOSE_YES}),
        rec({TAG_END})},
       64},
      {"fade", spin, 24},
      {"keys", keys, 24},
      {"title wait", title, 64},
  };
  for (const Case &c : cases) {
    Bytes stream;
    RecordWriter w;
    writer_begin(&w, "test");
    writer_add_sink(&w, memory_sink(&stream));
    for (const RecordBytes &r : c.records) writer_put(&w, r);
    writer_end(&w);
    EXPECT_LE(stream.size() - header().size(), c.max_bytes) << c.name;

    const Read back = read_all(Memory{stream, 3});  // records split up
    EXPECT_EQ(back.last, READER_END) << c.name << ": " << back.error;
    std::vector<Bytes> sent;
    for (const RecordBytes &r : c.records)
      sent.emplace_back(r.bytes, r.bytes + r.size);
    EXPECT_TRUE(back.records == sent) << c.name;
  }
}

// (A file cut inside its header, of another format version, of garbage or
// with a version text past its end is refused by runner_check.sh.)
TEST(RecordStream, RefusesWhatIsNoRecordingAndStopsWhereOneIsCutShort) {
  auto with = [](Bytes tail) {
    Bytes b = header();
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  struct Case {
    const char *name;
    Bytes stream;
    ReaderResult last;
    size_t records;
  };
  const Case cases[] = {
      {"empty", {}, READER_BAD, 0},
      {"unknown record", with({T0, 0xFF}), READER_BAD, 1},
      {"a tag of the older format", with({0x40}), READER_BAD, 0},
      {"message cut short", with({T0, TAG_MESSAGE, 0x08, 0x80}), READER_END, 1},
      {"repeat of nothing", with({TAG_REPEAT + 2, 5}), READER_BAD, 0},
      {"repeat of no times", with({T0, TAG_REPEAT, 0}), READER_BAD, 1},
      {"number of eleven bytes",
       with({TAG_WAITED, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
             0xFF, 0x01}),
       READER_BAD, 0},
      {"header only", header(), READER_END, 0},
      {"last record cut short", with({T0, TAG_CHECKPOINT, 1, 2}), READER_END,
       1},
      {"huge repeat, cut short", with({T0, TAG_REPEAT, 0x80, 0x80, 0x80, 0x80}),
       READER_END, 1},
      // 255 times is the longest run a writer makes; 256 and 2^63 are
      // claims a replay would spin on.
      {"longest run", with({T0, TAG_REPEAT, 0xFF, 0x01}), READER_END, 256},
      {"run of 256", with({T0, TAG_REPEAT, 0x80, 0x02}), READER_BAD, 1},
      {"run of 2^63",
       with({T0, T1, TAG_REPEAT, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
             0x80, 0x01}),
       READER_BAD, 2},
  };
  for (const Case &c : cases) {
    const Read back = read_all(Memory{c.stream});
    EXPECT_EQ(back.last, c.last) << c.name;
    EXPECT_EQ(back.records.size(), c.records) << c.name;
    if (c.last == READER_BAD) {
      EXPECT_FALSE(back.error.empty()) << c.name;
      EXPECT_EQ(back.error.find('\n'), std::string::npos) << c.name;
    }
  }
}

TEST(RecordStream, ALiveSourceIsWaitedForAndEverySinkGetsTheWholeStream) {
  Bytes first, second, late;
  RecordWriter w;
  writer_begin(&w, "test");
  writer_add_sink(&w, memory_sink(&first));
  writer_add_sink(&w, memory_sink(&second));
  const uint8_t tags[3] = {TAG_KEYS_SAME, TAG_CLOSE_NO, TAG_ESCAPE_UP};
  for (int i = 0; i < 30; i++) writer_put(&w, rec({tags[i % 3]}));
  writer_flush(&w);
  writer_add_sink(&w, memory_sink(&late));  // a joiner, after the start
  writer_put(&w, rec({TAG_END}));
  writer_end(&w);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, late);

  const Read back = read_all(Memory{first, 1, 5});
  EXPECT_EQ(back.waited, 5);
  EXPECT_EQ(back.records.size(), 31u);
  EXPECT_EQ(back.last, READER_END);
}

// The real game, recorded on the headless platform and replayed there.
std::vector<uint32_t> hashes;

void keep_hash(const uint8_t *pixels, int32_t width, int32_t height,
               const uint8_t palette[1024], void *) {
  hashes.push_back(record_frame_hash(pixels, width, width, height, palette));
}

// Replays with no keys pressed, the window closed at `close_at` when given;
// the stop, when there is one.
struct Stop {
  int status;
  std::string line;
};
Stop replay(const Bytes &stream, uint32_t close_at = 0) {
  reset_everything();
  if (close_at) headless_request_close_at(close_at);
  Memory m{stream};
  EXPECT_EQ(record_replay(memory_source(&m), 0), 1) << record_error();
  WinMain(plat_instance(), nullptr, nullptr, 0);
  record_finish();
  Stop stop = {-1, ""};
  record_replay_stopped(&stop.status, &stop.line);
  return stop;
}

using Replay = Fresh;
using Waits = Fresh;

std::vector<uint32_t> served_at;  // the headless clock at each serve
void note_serve(void *) { served_at.push_back(headless_now()); }

uint32_t longest_gap(uint32_t from) {
  uint32_t longest = 0, last = from;
  for (uint32_t t : served_at) {
    longest = std::max(longest, t - last);
    last = t;
  }
  return longest;
}

// What must be answered while the game waits (the network) is served all
// through its waits: a long sleep, the fades, the frames between.
TEST_F(Waits, TheWaitHookIsServedThroughSleepsAndTheGamesOwnWaits) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  Bytes stream;
  record_add_sink(memory_sink(&stream));
  record_on_wait(note_serve, nullptr);
  record_start();
  served_at.clear();
  uint32_t start = headless_now();
  plat_sleep(2600);  // as the winner's message waits
  EXPECT_EQ(headless_now() - start, 2600u);
  EXPECT_LE(longest_gap(start), RECORD_SERVE_EVERY_MS);
  EXPECT_GE(served_at.size(), 2600 / RECORD_SERVE_EVERY_MS);
  // A close request ends the sleep, served or not.
  headless_request_close_at(headless_now() + 100);
  start = headless_now();
  plat_sleep(2600);
  EXPECT_LE(headless_now() - start, 100u + RECORD_SERVE_EVERY_MS);
  record_finish();

  // The real game: its title's fade in, a match begun, paused, left.
  headless_reset();
  stream.clear();
  headless_tap_at(1500, DIK_1, 100);
  headless_tap_at(4000, DIK_SPACE, 100);
  headless_tap_at(6000, DIK_ESCAPE, 100);
  headless_tap_at(9000, DIK_Q, 100);
  record_add_sink(memory_sink(&stream));
  record_start();
  served_at.clear();
  start = headless_now();
  EXPECT_EQ(WinMain(plat_instance(), nullptr, nullptr, 0), 0);
  record_on_wait(nullptr, nullptr);
  EXPECT_GT(headless_now() - start, 9000u);
  // At least once a frame (20 ms), and the tick the virtual clock gives the
  // call that ends a wait.
  EXPECT_LE(longest_gap(start), 21u);
}

// (A replay showing every frame to the end is checked by runner_check.sh
// and netplay_match.cpp; a recording cut short is replayed up to its end by
// runner_check.sh; keys merged into the recorded ones, a remote player's, by
// netplay_match.cpp.)
TEST_F(Replay, AReplayStopsWhereTheFramesDifferOrTheWindowCloses) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  headless_tap_at(1500, DIK_1, 100);
  headless_tap_at(4000, DIK_SPACE, 100);
  headless_tap_at(4100, DIK_LEFT, 300);
  headless_tap_at(6000, DIK_ESCAPE, 100);
  headless_tap_at(9000, DIK_Q, 100);
  Bytes stream;
  headless_on_present(keep_hash, nullptr);
  record_add_sink(memory_sink(&stream));
  record_start();
  EXPECT_EQ(WinMain(plat_instance(), nullptr, nullptr, 0), 0);
  ASSERT_GT(hashes.size(), 100u);

  // The 50th checkpoint's first byte: its tag is followed by the hash.
  Bytes changed = stream;
  size_t seen = 0, at = 0;
  for (size_t i = 0; i + 4 < changed.size(); i++) {
    const uint32_t h = changed[i + 1] | changed[i + 2] << 8 |
                       changed[i + 3] << 16 | (uint32_t)changed[i + 4] << 24;
    if (changed[i] == TAG_CHECKPOINT && seen < hashes.size() &&
        h == hashes[seen] && ++seen == 50) {
      at = i + 1;
      break;
    }
  }
  ASSERT_NE(at, 0u);
  changed[at] ^= 1;
  Stop stop = replay(changed);
  EXPECT_EQ(stop.status, 3);
  EXPECT_EQ(stop.line, "out of step at frame 50");

  // The window closed half-way: the replay stops there.
  stop = replay(stream, 200);
  EXPECT_EQ(stop.status, 0);
  EXPECT_EQ(stop.line.rfind("replay stopped at frame ", 0), 0u) << stop.line;
}

}  // namespace

namespace {

intptr_t quiet_proc(PlatWindow *window, uint32_t message, uintptr_t wparam,
                    intptr_t lparam) {
  return plat_default_window_proc(window, message, wparam, lparam);
}

}  // namespace

// Paused frames are taken back before the recording goes on, the backend's
// queue with them (network play runs frames on a guess so): a post of the
// game's own that they took, given again by the backend, is still the
// game's own; one they made, gone with them, leaves nothing behind that
// would take a later post of the game's for the window system's.
TEST_F(Replay, WhatPausedFramesPostAndTakeIsLeftToTheirTakingBack) {
  Bytes stream;
  record_add_sink(memory_sink(&stream));
  record_start();
  ASSERT_EQ(plat_init(), 1);
  PlatWindow *window =
      plat_window_create("Quillfire", 0, 0, 64, 48, quiet_proc);
  ASSERT_NE(window, nullptr);
  const PlatBackend *below = headless_backend();
  PlatMessage msg;
  plat_post_message(window, WM_USER, 1, 0);
  record_pause(1);
  ASSERT_EQ(plat_peek_message(&msg), 1);     // taken by a paused frame
  plat_post_message(window, WM_USER, 2, 0);  // posted by one
  ASSERT_EQ(plat_peek_message(&msg), 1);
  // Taken back: the queue as it was when the pause began.
  below->post_message(window, WM_USER, 1, 0);
  record_pause(0);
  ASSERT_EQ(plat_peek_message(&msg), 1);
  EXPECT_EQ(msg.wparam, 1u);
  plat_post_message(window, WM_USER, 3, 0);
  ASSERT_EQ(plat_peek_message(&msg), 1);
  EXPECT_EQ(msg.wparam, 3u);
  headless_set_focus(0);  // the window system's: recorded
  ASSERT_EQ(plat_peek_message(&msg), 1);
  record_finish();
  int messages = 0;
  for (const RecordBytes &r : records_of(stream))
    messages += r.bytes[0] == TAG_MESSAGE;
  EXPECT_EQ(messages, 1);
}
