// A two-player match to 10 over 127.0.0.1: the host's real game on the
// headless platform under the recording layer, a joiner pressing its arrows
// and a watcher that comes mid-match on threads of their own. What each
// received is then replayed: every checkpoint must match the host's.
#include <unistd.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "game/game.h"
#include "game/net_play.h"
#include "platform/dik.h"
#include "platform/net/net_client.h"
#include "platform/net/net_socket.h"
#include "platform/record/record.h"
#include "record_memory.h"
#include "support.h"

namespace {

const int WATCHER_FROM_FRAME = 300;

struct Remote {
  int role = 0;
  NetClient client;
  std::vector<uint8_t> stream;
  int opened_at_frame = -1;
  std::string error;
};

std::atomic<int> host_frames{0};
std::set<int32_t> top_paddle_seen;
Remote watcher;
std::thread watcher_thread;
std::string host_address;
bool quit_scheduled = false;

// The clients run beside the host's game: their waits must not ask the
// platform, whose answers are being recorded on the game's thread.
int never_close(void) { return 0; }

// Takes the stream until the host closes; a joiner keeps pressing one arrow
// and then the other.
void run_remote(Remote *r) {
  if (!net_client_open(&r->client, host_address.c_str(), r->role,
                       QUILLFIRE_VERSION, 5000)) {
    r->error = r->client.error;
    return;
  }
  r->opened_at_frame = host_frames;
  uint8_t keys = NET_KEY_LEFT, buffer[4096];
  uint64_t next_turn = 0;
  for (;;) {
    if (r->role == NET_ROLE_JOIN && net_now_ms() >= next_turn) {
      keys ^= NET_KEY_LEFT | NET_KEY_RIGHT;
      net_client_send_keys(&r->client, keys);
      next_turn = net_now_ms() + 40;
    }
    const long n = net_client_read(&r->client, buffer, sizeof buffer, 5);
    if (n < 0) break;
    r->stream.insert(r->stream.end(), buffer, buffer + n);
  }
  r->error = r->client.error;
  net_client_close(&r->client);
}

// Each host frame: a real millisecond, so the clients' keys come within the
// match; the watcher comes once it is under way; Q once there is a winner.
void on_host_frame(const uint8_t *, int32_t, int32_t, const uint8_t *, void *) {
  usleep(1000);
  top_paddle_seen.insert(paddle2.x);
  if (++host_frames == WATCHER_FROM_FRAME) {
    watcher.role = NET_ROLE_WATCH;
    watcher_thread = std::thread(run_remote, &watcher);
  }
  if (!quit_scheduled &&
      (game_state.player1_score == 10 || game_state.player2_score == 10)) {
    quit_scheduled = true;
    headless_tap_at(headless_now() + 5000, DIK_Q, 40);
  }
}

// Replays a client's stream on a fresh game: the frames replayed, every
// checkpoint matching.
long replay(const std::vector<uint8_t> &stream) {
  reset_everything();
  Memory memory{stream};
  EXPECT_EQ(record_replay(memory_source(&memory), 0), 1) << record_error();
  WinMain(plat_instance(), nullptr, nullptr, 0);
  record_finish();
  int status = 0;
  std::string line;
  if (record_replay_stopped(&status, &line)) {
    ADD_FAILURE() << "status " << status << ": " << line;
  }
  EXPECT_EQ(record_replay_complete(), 1);
  return (long)record_frames();
}

TEST(NetPlay, AJoinerAndALateWatcherSeeEveryFrameOfTheHostsMatch) {
  reset_everything();
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  net_set_close_check(never_close);
  std::string error;
  ASSERT_EQ(net_play_host("127.0.0.1:0", &error), 1) << error;
  host_address = net_play_address();
  Remote joiner;
  joiner.role = NET_ROLE_JOIN;
  std::thread joiner_thread(run_remote, &joiner);
  for (int i = 0; i < 5000 && !net_play_has_joiner(); ++i) usleep(1000);
  ASSERT_EQ(net_play_has_joiner(), 1) << joiner.error;

  headless_tap_at(100, DIK_2, 40);
  for (uint32_t t = 1500; t < 600000; t += 700)
    headless_tap_at(t, DIK_SPACE, 40);
  headless_on_present(on_host_frame, nullptr);
  record_start();
  EXPECT_EQ(WinMain(plat_instance(), nullptr, nullptr, 0), 0);
  record_finish();
  const long frames = (long)record_frames();
  net_play_end();
  joiner_thread.join();
  if (watcher_thread.joinable()) watcher_thread.join();

  EXPECT_TRUE(quit_scheduled) << "nobody reached 10";
  EXPECT_GT(top_paddle_seen.size(), 2u) << "the joiner's keys never moved it";
  EXPECT_GE(watcher.opened_at_frame, WATCHER_FROM_FRAME) << watcher.error;
  EXPECT_EQ(watcher.stream, joiner.stream);
  EXPECT_EQ(replay(joiner.stream), frames);
  EXPECT_EQ(replay(watcher.stream), frames);
}

}  // namespace
