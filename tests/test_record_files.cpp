// Recordings as files meet the machine: a disk that fills or fails while the
// game records, and files to replay that are no fair recording (a FIFO, a
// run claiming more repeats than any game makes, another version's). The
// real game on the headless platform under the recording layer, each case
// ending as the player is told: its exit status and its lines on stderr.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "game/court.h"
#include "game/game.h"
#include "game/record_note.h"
#include "platform/dik.h"
#include "platform/record/record_format.h"
#include "record_memory.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// What `run` wrote on standard error, line by line.
std::vector<std::string> stderr_of(const std::function<void()> &run) {
  char path[] = "/tmp/qf_stderr_XXXXXX";
  const int fd = mkstemp(path);
  fflush(stderr);
  const int saved = dup(2);
  dup2(fd, 2);
  run();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(fd);
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  unlink(path);
  return lines;
}

int run_game() { return WinMain(plat_instance(), nullptr, nullptr, 0); }

// A match of one player: the title at once, a serve every second (after a
// goal the court waits for one), then the window closed.
void play_match_until(uint32_t close_ms) {
  headless_tap_at(1500, DIK_1, 100);
  for (uint32_t at = 4000; at + 1000 < close_ms; at += 1000) {
    headless_tap_at(at, DIK_SPACE, 100);
  }
  headless_request_close_at(close_ms);
}

struct Frame {
  uint32_t at;
  uint32_t hash;
  int lettering;  // pixels in the message colour in the bottom 20 rows
};
std::vector<Frame> frames;

void keep_frame(const uint8_t *pixels, int32_t width, int32_t height,
                const uint8_t palette[1024], void *) {
  int lettering = 0;
  for (int32_t i = width * (height - 20); i < width * height; i++) {
    lettering += pixels[i] == MESSAGE_COLOR;
  }
  frames.push_back({headless_now(),
                    record_frame_hash(pixels, width, width, height, palette),
                    lettering});
}

// A sink whose disk fills at a moment of the game.
struct FillingDisk {
  uint32_t full_at;
  size_t failed_at_frame = 0;
  int writes_after = 0;
};
int filling_write(void *user, const uint8_t *, size_t) {
  FillingDisk *disk = (FillingDisk *)user;
  if (headless_now() < disk->full_at) return 1;
  if (disk->failed_at_frame == 0) disk->failed_at_frame = frames.size();
  disk->writes_after++;
  return 0;
}

const char INCOMPLETE[] = "; playing on, the recording is incomplete";

using RecordFiles = Fresh;

// The note is drawn on a copy of the frame: what is presented differs from
// the checkpoint for 2 s of the game's time from the frame the disk filled
// at, and from no other.
TEST_F(RecordFiles, AFailedWriteIsToldOnceShownForTwoSecondsAndPlayGoesOn) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  play_match_until(14000);
  frames.clear();
  headless_on_present(keep_frame, nullptr);
  record_on_note(record_note_draw);
  Bytes whole;
  FillingDisk disk{6000};
  record_add_sink(memory_sink(&whole));
  record_add_sink(RecordSink{filling_write, nullptr, &disk});
  int status = -1;
  const auto lines = stderr_of([&] {
    record_start();
    status = run_game();
    record_finish();
  });
  record_on_note(nullptr);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(record_incomplete(), 1);
  EXPECT_EQ(disk.writes_after, 1);  // the failed sink is dropped
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("quillfire: ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(INCOMPLETE), std::string::npos) << lines[0];

  std::vector<uint32_t> checkpoints;
  for (const RecordBytes &r : records_of(whole)) {
    if (r.bytes[0] != TAG_CHECKPOINT) continue;
    checkpoints.push_back(r.bytes[1] | r.bytes[2] << 8 | r.bytes[3] << 16 |
                          (uint32_t)r.bytes[4] << 24);
  }
  ASSERT_EQ(checkpoints.size(), frames.size());
  std::vector<size_t> noted;
  for (size_t i = 0; i < frames.size(); i++) {
    if (frames[i].hash != checkpoints[i]) noted.push_back(i);
  }
  ASSERT_FALSE(noted.empty());
  EXPECT_EQ(noted.front(), disk.failed_at_frame);
  EXPECT_EQ(noted.back() - noted.front() + 1, noted.size());  // one stretch
  const uint32_t first = frames[noted.front()].at;
  EXPECT_GE(frames[noted.back()].at - first, 1950u);
  EXPECT_LT(frames[noted.back()].at - first, 2000u);
  // Written, not only a band cleared.
  for (size_t i : noted) ASSERT_GT(frames[i].lettering, 100) << "frame " << i;
  // The game went on: a few seconds more of frames after the note.
  EXPECT_GT(frames.size() - noted.back(), 150u);
}

// A tmpfs of `kilobytes` while it lives; `dir` is "" when this machine
// doesn't let us mount one.
struct Tmpfs {
  std::string dir;
  explicit Tmpfs(int kilobytes) {
    char pattern[] = "/tmp/qf_tmpfs_XXXXXX";
    if (!mkdtemp(pattern)) return;
    const std::string command =
        "mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k qf_test " +
        pattern + " 2>/dev/null";
    if (system(command.c_str()) == 0) {
      dir = pattern;
    } else {
      rmdir(pattern);
    }
  }
  ~Tmpfs() {
    if (dir.empty()) return;
    if (system(("umount " + dir).c_str()) != 0) perror("umount");
    rmdir(dir.c_str());
  }
};

// Fills the tmpfs, then frees `room` bytes.
void fill(const std::string &dir, off_t room) {
  const std::string path = dir + "/filler";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  const std::vector<char> block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  const off_t size = lseek(fd, 0, SEEK_END);
  if (ftruncate(fd, size > room ? size - room : 0) != 0) perror("ftruncate");
  close(fd);
}

TEST_F(RecordFiles, ARecordingOntoAFullDiskEndsWithItsStatusAndOneLine) {
  const Tmpfs mounted(256);
  const std::string &tmpfs = mounted.dir;
  if (tmpfs.empty()) {
    fprintf(stderr,
            "note: mount -t tmpfs is not allowed here; only "
            "/dev/full is tried\n");
  }
  struct Case {
    const char *what;
    std::string path;
    off_t room;  // left on the tmpfs
  };
  std::vector<Case> cases = {{"/dev/full", "/dev/full", 0}};
  if (!tmpfs.empty()) {
    cases.push_back({"a full tmpfs", tmpfs + "/full.qfrec", 0});
    cases.push_back(
        {"a tmpfs filling in play", tmpfs + "/filling.qfrec", 4096});
  }
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    reset_everything();
    if (!tmpfs.empty()) {
      fs::remove(tmpfs + "/filler");
      fill(tmpfs, c.room);
    }
    play_match_until(30000);
    int status = -1;
    const auto lines = stderr_of([&] {
      status =
          record_session(SESSION_RECORD, c.path.c_str(), run_game, "quillfire");
    });
    EXPECT_EQ(status, RECORD_INCOMPLETE_STATUS);
    EXPECT_GE(headless_elapsed(), 30000u);  // played on to the close
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "quillfire: cannot write " + c.path +
                            ": No space left on device" + INCOMPLETE);
    if (c.room > 0) {
      // What did fit is a recording, played up to where the disk filled.
      ASSERT_GT(fs::file_size(c.path), 1000u);
      reset_everything();
      const auto replayed = stderr_of([&] {
        status = record_session(SESSION_TIMEDEMO, c.path.c_str(), run_game,
                                "quillfire");
      });
      EXPECT_EQ(status, 0);
      ASSERT_EQ(replayed.size(), 1u);
      EXPECT_NE(replayed[0].find("(cut short)"), std::string::npos)
          << replayed[0];
    }
  }
}

// The game recorded for 8 s, its stream cut inside a serve prompt's wait
// past the 100th frame (a keyboard read, a close check, a wait) and ended
// with those three repeated 2^63 - 1 times: a prompt that would wait for
// ever.
Bytes frozen_clock_recording() {
  reset_everything();
  play_match_until(8000);
  Bytes stream;
  record_add_sink(memory_sink(&stream));
  record_start();
  run_game();
  record_finish();
  const std::vector<RecordBytes> records = records_of(stream);
  size_t cut = 0, checkpoints = 0;
  for (size_t i = 1; i < records.size() && !cut; i++) {
    checkpoints += records[i].bytes[0] == TAG_CHECKPOINT;
    if (checkpoints >= 100 && i >= 2 && records[i].bytes[0] == TAG_WAITED &&
        records[i - 1].bytes[0] == TAG_CLOSE_NO &&
        records[i - 2].bytes[0] == TAG_KEYS_SAME) {
      cut = i + 1;
    }
  }
  RecordWriter w;
  Bytes body;
  writer_begin(&w, "");
  writer_add_sink(&w, memory_sink(&body));
  for (size_t i = 0; i < cut; i++) writer_put(&w, records[i]);
  writer_end(&w);
  const size_t own_header = record_header("").size();
  Bytes attack(stream.begin(), stream.begin() + 11 + stream[10]);
  attack.insert(attack.end(), body.begin() + own_header, body.end());
  const Bytes frozen = {TAG_REPEAT + 2, 0xFF, 0xFF, 0xFF, 0xFF,
                        0xFF,           0xFF, 0xFF, 0xFF, 0x7F};
  attack.insert(attack.end(), frozen.begin(), frozen.end());
  return attack;
}

TEST_F(RecordFiles, FilesThatAreNoFairRecordingAreRefusedInOneLine) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  char dir[] = "/tmp/qf_replay_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string frozen = std::string(dir) + "/frozen.qfrec";
  const std::string fifo = std::string(dir) + "/fifo.qfrec";
  const std::string older = std::string(dir) + "/older.qfrec";
  {
    const Bytes attack = frozen_clock_recording();
    std::ofstream(frozen, std::ios::binary)
        .write((const char *)attack.data(), (std::streamsize)attack.size());
  }
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  {
    // The same game, said to be made by version 0.9.
    reset_everything();
    play_match_until(6000);
    Bytes stream;
    record_add_sink(memory_sink(&stream));
    record_start();
    run_game();
    record_finish();
    Bytes patched(stream.begin(), stream.begin() + 10);
    patched.insert(patched.end(), {3, '0', '.', '9'});
    patched.insert(patched.end(), stream.begin() + 11 + stream[10],
                   stream.end());
    std::ofstream(older, std::ios::binary)
        .write((const char *)patched.data(), (std::streamsize)patched.size());
  }
  const struct {
    const char *what;
    std::string path;
    int status;
    std::string line;  // the start of the one line
    const char *holds;
  } cases[] = {
      {"a run of 2^63 - 1 waits at a prompt", frozen, 2,
       "quillfire: " + frozen + ": bad recording at frame ",
       "claims 9223372036854775807 times (at most 255)"},
      {"a FIFO with no writer", fifo, 2, "quillfire: " + fifo + ": ",
       "not a regular file"},
      {"another version", older, 0,
       "quillfire: " + older + ": recorded by Quillfire 0.9; this is ", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    reset_everything();
    int status = -1;
    const auto lines = stderr_of([&] {
      status =
          record_session(SESSION_REPLAY, c.path.c_str(), run_game, "quillfire");
    });
    EXPECT_EQ(status, c.status);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(c.line, 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.holds), std::string::npos) << lines[0];
  }
  // Another version plays on: to the recording's end.
  EXPECT_EQ(record_replay_complete(), 1);
  fs::remove_all(dir);
}

// A joiner or watcher keeps the host's stream as it arrives, in pieces with
// waits between: the copy is that stream byte for byte, and replays alone to
// its end with every checkpoint matching.
TEST_F(RecordFiles, AClientsCopyOfTheStreamReplaysAlone) {
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  play_match_until(9000);
  Bytes stream;
  record_add_sink(memory_sink(&stream));
  record_start();
  ASSERT_EQ(run_game(), 0);
  record_finish();

  auto replay_to_end = [](Memory *source) {
    reset_everything();
    if (!record_replay(memory_source(source), 0)) return -1;
    run_game();
    record_finish();
    int status = 0;
    std::string line;
    if (record_replay_stopped(&status, &line)) {
      ADD_FAILURE() << line;
      return status;
    }
    return record_replay_complete() ? 0 : -2;
  };
  Bytes copy;
  Memory live{stream, 700, 3, true};
  record_copy_replay(memory_sink(&copy));
  EXPECT_EQ(replay_to_end(&live), 0);
  EXPECT_TRUE(copy == stream) << copy.size() << " bytes of " << stream.size();
  Memory alone{copy};
  EXPECT_EQ(replay_to_end(&alone), 0);
}

}  // namespace
