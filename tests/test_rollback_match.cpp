// Network play's passes (game/net_match) as the real program runs them: the
// real game on the headless backend, hosting or joining over real sockets
// on loopback, the other player played by the test from the other end of
// the link. The test chooses when the other's keys arrive: a few ticks late
// while a rally runs, at once where the game waits for them, and, most of
// all, in the middle of passes run again on a guess, where the network is
// served too. Whatever the moment, and whatever the players do (a window
// losing the focus, one leaving, a window closed), the match's recording
// holds every frame and only confirmed ones: it replays alone, in step, to
// its end, where the game is as it ended.
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/net_keys.h"
#include "game/net_match.h"
#include "game/snapshot.h"
#include "platform/dik.h"
#include "platform/net/net_link.h"
#include "platform/net/net_socket.h"
#include "platform/record/record.h"
#include "platform/rollback/rollback.h"
#include "record_memory.h"
#include "support.h"

namespace {

const uint32_t SESSION = 0x0badcafe;
// The other's keys reach the game this many ticks behind its newest tick
// while a rally runs.
const uint32_t LATE = 4;
// The game's window is closed once this many ticks are read: rallies of
// the first match, a few points each way.
const uint32_t END_TICK = 1500;

// Which side the game plays, and what the other does besides playing: its
// window away for ticks [away_from, away_to), and its leaving after its
// keys of ticks below leave_at (0: neither). From pause_from on, the game's
// player taps P every PAUSE_TAP_EVERY ticks (a rally paused by a lost focus
// or a player gone goes on so); from quit_at on it holds Q (a joiner
// leaves). The game's window is closed at END_TICK, or from close_from on
// as soon as passes run again on a guess.
struct Case {
  const char *name;
  int side;
  uint32_t away_from, away_to, leave_at, pause_from, quit_at, close_from;
};
const uint32_t PAUSE_TAP_EVERY = 30;

Case playing;

// --- the game's player: keys by tick ---

// It picks two players at the title (a host), holds Space (its serves go
// at once) and sweeps its paddle.
void own_keys(uint32_t tick, uint8_t keys[256]) {
  memset(keys, 0, 256);
  if (tick >= 5 && tick < 40) keys[DIK_2] = 0x80;
  keys[DIK_SPACE] = 0x80;
  keys[(tick / 23) % 2 ? DIK_LEFT : DIK_RIGHT] = 0x80;
  if (playing.pause_from && tick >= playing.pause_from &&
      tick % PAUSE_TAP_EVERY == 0)
    keys[DIK_P] = 0x80;
  if (playing.quit_at && tick >= playing.quit_at) keys[DIK_Q] = 0x80;
}

// The layer reads the player's keys once per tick, as the game first asks
// about it (and once more while a screen waits for a key): the tick it is
// about to know.
int keyboard_by_tick(uint8_t keys[256]) {
  own_keys(rollback_own_known(), keys);
  return 1;
}

PlatBackend game_table;

// --- the other player, at the other end of the link ---

// Its paddle follows the ball as the game shows it when the input is sent,
// but its arrows jiggle every few ticks, so that guesses of them keep
// proving wrong; it serves now and then (a host picks two players first).
// An input once sent is kept: it goes again, the same, in later datagrams.
NetInput decide_input(uint32_t tick) {
  const uint32_t step = (tick / 3) * 2654435761u;
  NetInput in = 0;
  const uint32_t jiggle = (step >> 13) % 5;
  const BOB &paddle = playing.side == NET_HOST ? paddle2 : paddle1;
  const int32_t target = ball.x + ball.width / 2;
  const int32_t middle = paddle.x + paddle.width / 2;
  if (jiggle == 0 || (jiggle > 1 && target < middle - 3)) in |= NET_IN_LEFT;
  if (jiggle == 1 || (jiggle > 1 && target > middle + 3)) in |= NET_IN_RIGHT;
  if (tick % 40 < 2) in |= NET_IN_SERVE;
  if (tick >= playing.away_from && tick < playing.away_to) in |= NET_IN_AWAY;
  if (playing.side == NET_JOINER && tick >= 5 && tick < 40) in |= NET_IN_TWO;
  return in;
}

struct Other {
  int listen_fd = -1, tcp_fd = -1;
  NetLink host_link, join_link;  // the TCP listener's side, the connection's
  NetLink *game_link, *link;     // the game's, the other's
  std::vector<NetInput> inputs;  // sent so far, by tick
  uint32_t has = 0;              // the game's inputs it has: ticks below this
  int left = 0;
  // Inputs that went out while the game ran passes again on a guess.
  int during_guessed_reruns = 0;
  int32_t best_score = 0;  // the most points either side had
  int paused_rallies = 0;  // serves of the network with a rally paused
};
Other other;

void send(NetDatagram *d) {
  d->session = SESSION;
  d->ack = other.has;
  ASSERT_EQ(net_link_send(other.link, d), 1);
  // Under the rate at which the host drops a flooding peer (the game runs
  // on a virtual clock, far faster than frames go).
  usleep(1100);
}

void send_upto(uint32_t tick) {
  // A host learns where to send from the joiner's first datagram.
  if (other.left || !other.link->has_peer) return;
  if (playing.leave_at && tick >= playing.leave_at) tick = playing.leave_at;
  while (other.inputs.size() < tick) {
    NetDatagram d = {};
    d.first_tick = (uint32_t)other.inputs.size();
    d.count = (uint8_t)std::min<uint32_t>(tick - d.first_tick,
                                          NET_DATAGRAM_INPUTS_MAX);
    for (uint32_t i = 0; i < d.count; i++) {
      other.inputs.push_back(decide_input(d.first_tick + i));
      d.inputs[i] = other.inputs.back();
    }
    send(&d);
  }
  if (playing.leave_at && other.inputs.size() == playing.leave_at) {
    NetDatagram d = {};
    d.first_tick = playing.leave_at;
    d.leaving = 1;
    send(&d);
    other.left = 1;
  }
}

// Called each time the game serves its network (in place of its TCP side):
// the other takes the game's datagrams and sends its own keys.
void other_serves(void) {
  // Read from the socket itself: the game, on a virtual clock, sends far
  // more often than a real one, which the link would take for a flood.
  uint8_t bytes[NET_DATAGRAM_SIZE_MAX];
  sockaddr_storage from;
  socklen_t from_size = sizeof from;
  ssize_t size;
  while ((size = recvfrom(other.link->fd, bytes, sizeof bytes, MSG_DONTWAIT,
                          (sockaddr *)&from, &from_size)) > 0) {
    NetDatagram d;
    const char *why = nullptr;
    if (net_datagram_read(bytes, (size_t)size, &d, &why)) {
      other.has = std::max(other.has, d.first_tick + d.count);
      if (!other.link->has_peer) {
        other.link->peer = from;
        other.link->peer_size = from_size;
        other.link->has_peer = 1;
      }
    }
    from_size = sizeof from;
  }
  const uint32_t tick = rollback_tick();
  const uint32_t newest = rollback_newest();
  const bool guessed_rerun =
      rollback_is_unseen() && rollback_remote_known() < tick;
  const bool close_now =
      tick >= END_TICK ||
      (playing.close_from && tick >= playing.close_from && guessed_rerun);
  if (close_now && !headless_close_raised()) headless_request_close();
  other.best_score = std::max(
      {other.best_score, game_state.player1_score, game_state.player2_score});
  other.paused_rallies += !rollback_is_unseen() && game_paused;
  if (guessed_rerun) {
    // A pass run again on a guess: everything up to the newest comes now.
    if (!other.left && other.inputs.size() < newest + 1)
      other.during_guessed_reruns++;
    send_upto(newest + 1);
  } else if (!rollback_is_unseen() && !net_keys_guessable()) {
    send_upto(tick + 1);  // the game waits for them
  } else if (newest > LATE) {
    send_upto(newest - LATE);
  }
}

void open_link(void) {
  char error[160] = "";
  NetEndpoint endpoint;
  ASSERT_EQ(net_parse_listen("127.0.0.1:0", &endpoint, error, sizeof error), 1);
  other.listen_fd = net_listen(&endpoint, error, sizeof error);
  ASSERT_GE(other.listen_fd, 0) << error;
  const std::string at =
      "127.0.0.1:" + std::to_string(net_bound_port(other.listen_fd));
  ASSERT_EQ(net_parse_connect(at.c_str(), &endpoint, error, sizeof error), 1);
  other.tcp_fd = net_connect(&endpoint, 2000, error, sizeof error);
  ASSERT_GE(other.tcp_fd, 0) << error;
  ASSERT_EQ(net_link_open_host(&other.host_link, other.listen_fd, SESSION), 1)
      << other.host_link.error;
  ASSERT_EQ(net_link_open_join(&other.join_link, other.tcp_fd, SESSION), 1)
      << other.join_link.error;
  const bool hosting = playing.side == NET_HOST;
  other.game_link = hosting ? &other.host_link : &other.join_link;
  other.link = hosting ? &other.join_link : &other.host_link;
}

void close_link(void) {
  net_link_close(&other.host_link);
  net_link_close(&other.join_link);
  if (other.tcp_fd >= 0) close(other.tcp_fd);
  if (other.listen_fd >= 0) close(other.listen_fd);
}

// The messages a recording holds, in order: what the window system told
// the game (its close, a lost focus). What the game posted itself never is.
std::vector<uint32_t> messages_recorded(const std::vector<uint8_t> &recording) {
  std::vector<uint32_t> messages;
  for (const RecordBytes &r : records_of(recording)) {
    size_t at = 1;
    uint64_t message = 0;
    if (r.bytes[0] == TAG_MESSAGE && record_get_number(r, &at, &message))
      messages.push_back((uint32_t)message);
  }
  return messages;
}

// Plays one match as `c` says, recording it; then replays the recording.
void play_and_replay(const Case &c) {
  reset_everything();
  other = Other{};
  playing = c;
  ASSERT_EQ(chdir(QF_RUN_DIR), 0);
  open_link();
  game_table = *headless_backend();
  game_table.keyboard_read = keyboard_by_tick;
  plat_use(&game_table);
  std::vector<uint8_t> recording;
  ASSERT_EQ(record_add_sink(memory_sink(&recording)), 1);
  NetMatchOptions options = {};
  options.side = c.side;
  options.link = other.game_link;
  options.serve_tcp = other_serves;
  const int status = net_match_run(&options);
  const NetMatchReport report = net_match_report();
  GameSnapshot played;
  game_save(&played);
  close_link();

  EXPECT_EQ(status, 0);
  EXPECT_EQ(report.out_of_step, 0);
  EXPECT_EQ(report.lost, 0) << report.lost_line;
  EXPECT_EQ(report.other_left, c.leave_at ? 1 : 0);
  EXPECT_EQ(report.left, c.quit_at && c.side == NET_JOINER ? 1 : 0);
  // The test did what it is for: rallies on guesses, many taken back, and
  // player 2's keys arriving inside passes run again, many times.
  EXPECT_GT(report.counts.corrections, 20u);
  EXPECT_GT(other.during_guessed_reruns, 20);
  EXPECT_GE(other.best_score, 3);
  if (c.away_from) {
    EXPECT_GT(other.paused_rallies, 0);
  }

  for (uint32_t message : messages_recorded(recording))
    EXPECT_TRUE(message == WM_CLOSE || message == WM_KILLFOCUS)
        << "message " << message << " recorded";

  // The recording alone: in step at every checkpoint, to its end marker,
  // where the game is as it ended.
  reset_everything();
  Memory source{recording};
  ASSERT_EQ(record_replay(memory_source(&source), 0), 1) << record_error();
  ASSERT_EQ(shell_start(plat_instance()), 1);
  while (shell_pass()) {
  }
  shell_end();
  int replay_status = 0;
  std::string line;
  EXPECT_EQ(record_replay_stopped(&replay_status, &line), 0) << line;
  EXPECT_EQ(record_replay_complete(), 1);
  GameSnapshot replayed;
  game_save(&replayed);
  EXPECT_EQ(memcmp(&replayed, &played, sizeof played), 0);
  record_finish();
  printf(
      "%s: %u ticks, best score %d, %llu corrections, keys came %d times "
      "while passes ran again on a guess\n",
      c.name, report.confirmed_ticks, other.best_score,
      (unsigned long long)report.counts.corrections,
      other.during_guessed_reruns);
}

class Match : public Fresh {};

}  // namespace

TEST_F(Match,
       EveryFrameRecordedIsConfirmedWhenKeysComeAndWhateverThePlayersDo) {
  const Case cases[] = {
      {"host: keys coming while passes run again", NET_HOST, 0, 0, 0, 0, 0, 0},
      {"host: player 2 away a while, then gone", NET_HOST, 400, 430, 700, 430,
       0, 0},
      {"host: its window closed while passes run again", NET_HOST, 0, 0, 0, 0,
       0, 700},
      {"joiner: keys coming while passes run again", NET_JOINER, 0, 0, 0, 0, 0,
       0},
      {"joiner: the host away a while, then gone", NET_JOINER, 400, 430, 700,
       430, 0, 0},
      {"joiner: it leaves (Q)", NET_JOINER, 0, 0, 0, 0, 700, 0},
      {"joiner: its window closed while passes run again", NET_JOINER, 0, 0, 0,
       0, 0, 700},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    play_and_replay(c);
  }
}
