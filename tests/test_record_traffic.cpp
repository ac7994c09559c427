// The recordings made in the real window replay in step on a game that asks
// the platform more than when they were made: one more sound loaded at
// start-up, more looks at the clock in every frame and every wait, the
// keyboard opened, closed and opened again. A recording holds what the
// players did, and none of that changes it. A change to what a player did
// (one key held) does put the replay out of step, so the check can fail.
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "engine/sound/sound.h"
#include "game/data_files.h"
#include "game/game.h"
#include "platform/dik.h"
#include "platform/plat_backend.h"
#include "platform/record/record_format.h"
#include "record_memory.h"
#include "support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes read_file(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)),
               std::istreambuf_iterator<char>());
}

// The frames a recording holds: its checkpoints, as its reader gives them.
uint64_t checkpoints_in(const Bytes &stream) {
  uint64_t count = 0;
  for (const RecordBytes &r : records_of(stream))
    count += r.bytes[0] == TAG_CHECKPOINT;
  return count;
}

// A table over the recording layer, as a changed game would call it.
const PlatBackend *layer;
PlatBackend noisy;
int extra_calls;
int flip_key_from_read;  // > 0: from that read on, Right reads the other way
int reads;

uint32_t noisy_ticks(void) {
  extra_calls++;
  layer->ticks();
  return layer->ticks();
}
void noisy_wait_input(const uint32_t *deadline) {
  extra_calls += 2;
  layer->ticks();
  layer->wait_input(deadline);
  layer->ticks();
}
void noisy_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                   int32_t height, const uint8_t palette[1024]) {
  extra_calls++;
  layer->ticks();
  layer->present(pixels, pitch, width, height, palette);
}
int noisy_keyboard_open(void) {
  extra_calls += 2;
  layer->keyboard_open();
  layer->keyboard_close();
  return layer->keyboard_open();
}
int noisy_keyboard_read(uint8_t state[256]) {
  const int read = layer->keyboard_read(state);
  if (++reads >= flip_key_from_read && flip_key_from_read > 0) {
    state[DIK_RIGHT] ^= 0x80;
  }
  return read;
}
// Loaded before the game's own four: every sound of the game moves up a
// slot of the table.
void one_more_sound(int32_t) {
  extra_calls++;
  sound_load_wav(DATA_WIN_SOUND, 0);
}

struct Replayed {
  int stopped = 0;
  int status = 0;
  std::string line;
  int complete = 0;
  uint64_t frames = 0;
};

Replayed replay_noisily(const Bytes &stream) {
  reset_everything();
  Replayed out;
  Memory m{stream};
  if (!record_replay(memory_source(&m), 0)) {
    ADD_FAILURE() << record_error();
    return out;
  }
  layer = plat_in_use();
  noisy = *layer;
  noisy.ticks = noisy_ticks;
  noisy.wait_input = noisy_wait_input;
  noisy.present = noisy_present;
  noisy.keyboard_open = noisy_keyboard_open;
  noisy.keyboard_read = noisy_keyboard_read;
  plat_use(&noisy);
  sounds_ready_hook = one_more_sound;
  extra_calls = reads = 0;
  WinMain(plat_instance(), nullptr, nullptr, 0);
  sounds_ready_hook = nullptr;
  out.complete = record_replay_complete();
  out.frames = record_frames();
  record_finish();
  out.stopped = record_replay_stopped(&out.status, &out.line);
  return out;
}

TEST(RecordTraffic, RecordingsStayInStepWhateverElseTheGameAsks) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  for (const char *name : {"short.qfrec", "match.qfrec"}) {
    SCOPED_TRACE(name);
    const Bytes stream = read_file(std::string(QF_DATA_DIR) + "/" + name);
    ASSERT_GT(stream.size(), 100u);
    const uint64_t frames = checkpoints_in(stream);
    ASSERT_GT(frames, 100u);

    flip_key_from_read = 0;
    const Replayed same = replay_noisily(stream);
    EXPECT_EQ(same.stopped, 0) << same.line;
    EXPECT_EQ(same.complete, 1);
    EXPECT_EQ(same.frames, frames) << "every checkpoint compared";
    EXPECT_GT(extra_calls, (int)frames) << "the noise was made";

    // The right arrow read the other way from the middle on: what the
    // players did is not what was recorded, and the replay says so.
    flip_key_from_read = reads / 2;
    const Replayed changed = replay_noisily(stream);
    EXPECT_EQ(changed.stopped, 1);
    EXPECT_EQ(changed.status, 3) << changed.line;
    EXPECT_EQ(changed.line.rfind("out of step at frame ", 0), 0u)
        << changed.line;
  }
}

}  // namespace
