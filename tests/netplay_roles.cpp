// What the joiner and the watchers can do and see in network play, and how
// each end is said, on the headless platform. The host's side: its real game
// under the recording layer, with a joiner on the test's own thread whose
// keys are chosen, as the match goes, at each of the host's keyboard reads.
// The client's side: its real replay of a host's recorded stream, served by
// a stand-in host that stops as the case says.
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/display/font.h"
#include "game/court.h"
#include "game/game.h"
#include "game/net_play.h"
#include "platform/dik.h"
#include "platform/net/net_client.h"
#include "platform/net/net_socket.h"
#include "platform/record/record.h"
#include "platform/record/record_state.h"
#include "record_memory.h"
#include "support.h"

namespace {

// Whether `frame` shows `text` in the message colour, in the game's font,
// anywhere: every pixel of each glyph that is set is the message colour,
// every other pixel of its cell is not.
bool frame_shows(const std::vector<uint8_t> &frame, int32_t width,
                 const std::string &text) {
  const int32_t height = (int32_t)(frame.size() / width);
  const int32_t span = (int32_t)text.size() * FONT_CELL_WIDTH;
  for (int32_t y = 0; y + FONT_CELL_HEIGHT <= height; ++y)
    for (int32_t x = 0; x + span <= width; ++x) {
      bool all = true;
      for (size_t i = 0; i < text.size() && all; ++i) {
        const uint8_t *glyph = font_glyph((unsigned char)text[i]);
        for (int32_t row = 0; row < FONT_CELL_HEIGHT && all; ++row)
          for (int32_t col = 0; col < FONT_CELL_WIDTH && all; ++col) {
            const bool set = (glyph[row] >> col) & 1;
            const uint8_t pixel = frame[(size_t)(y + row) * width + x +
                                        (int32_t)i * FONT_CELL_WIDTH + col];
            all = set == (pixel == MESSAGE_COLOR);
          }
      }
      if (all) return true;
    }
  return false;
}

std::vector<uint8_t> last_frame(void) {
  int32_t width = 0, height = 0;
  const uint8_t *pixels = headless_last_frame(&width, &height);
  if (!pixels) return {};
  return std::vector<uint8_t>(pixels, pixels + (size_t)width * height);
}

// ---------------------------------------------------------------------------
// The host's side.

// The joiner, on the host's thread: its keys are sent at the host's reads,
// and what it is sent is taken there too, so that it keeps up.
NetClient joiner;
std::vector<uint8_t> joiner_stream;
std::function<void(uint8_t state[256])> at_host_read;
void (*host_merge)(uint8_t state[256], void *) = nullptr;

void joiner_take_stream(void) {
  uint8_t buffer[8192];
  long n;
  while ((n = net_client_read(&joiner, buffer, sizeof buffer, 0)) > 0)
    joiner_stream.insert(joiner_stream.end(), buffer, buffer + n);
}

// Each of the host's keyboard reads: the test's script, then the host's own
// merge of what the network has.
void host_read(uint8_t state[256], void *user) {
  if (joiner.fd >= 0) joiner_take_stream();
  at_host_read(state);
  host_merge(state, user);
}

void joiner_keys(uint8_t keys) { net_client_send_keys(&joiner, keys); }

bool rally_running(void) { return ball.xv != 0 || ball.yv != 0; }

class NetRolesHost : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    ASSERT_EQ(chdir(QF_RUN_DIR), 0);
    std::string error;
    ASSERT_EQ(net_play_host("127.0.0.1:0", &error), 1) << error;
    joiner_stream.clear();
    std::thread opener([] {
      net_client_open(&joiner, net_play_address().c_str(), NET_ROLE_JOIN,
                      QUILLFIRE_VERSION, 5000);
    });
    for (int i = 0; i < 5000 && !net_play_has_joiner(); ++i) usleep(1000);
    opener.join();
    ASSERT_EQ(net_play_has_joiner(), 1) << joiner.error;
    host_merge = record_state.merge;
    record_on_keyboard(host_read, nullptr);
    headless_tap_at(100, DIK_2, 40);
  }
  // Plays the host's game to its end; returns its frames.
  long play(void) {
    record_start();
    WinMain(plat_instance(), nullptr, nullptr, 0);
    if (headless_time_limit_reached()) {
      ADD_FAILURE() << "the script never ended the game";
    }
    record_finish();
    net_play_end();
    return (long)record_frames();
  }
  void TearDown() override { net_client_close(&joiner); }
};

// The joiner holds Space all along: the bottom paddle's serves wait for the
// host's Space, the top paddle's go at once. Then, in a rally, the joiner's
// P pauses and its next P plays on; its window losing the focus pauses as
// well. Its replay of the stream keeps every frame of the host's.
TEST_F(NetRolesHost, TheJoinersSpaceServesTheTopOnlyAndItsPAndFocusPause) {
  enum Step { SERVES, PAUSE, UNPAUSE, AWAY, BACK, QUIT } step = SERVES;
  int bottom_prompts = 0, top_prompts = 0;
  int bottom_served_early = 0, top_served_late = 0;
  int prompt_reads = 0, step_reads = 0, last_side = 0;
  bool prompt_was = false;
  std::vector<std::string> trail;  // what happened, for the failure message
  at_host_read = [&](uint8_t state[256]) {
    // The joiner's paddle follows the ball. The host's keeps out of its way
    // while the serves are tried, so that the top wins points and serves,
    // and then follows it too, so that the rally goes on.
    const int32_t ball_x = ball.x + 5;
    uint8_t keys = (ball_x < paddle2.x + 30 ? NET_KEY_LEFT : 0) |
                   (ball_x > paddle2.x + 36 ? NET_KEY_RIGHT : 0);
    if (step == SERVES) {
      keys |= NET_KEY_SERVE;
      state[ball_x > paddle1.x + 33 ? DIK_LEFT : DIK_RIGHT] = 0x80;
    } else {
      if (ball_x < paddle1.x + 30) state[DIK_LEFT] = 0x80;
      if (ball_x > paddle1.x + 36) state[DIK_RIGHT] = 0x80;
    }
    if (serve_prompt_showing && step == SERVES) {
      if (!prompt_was) {
        prompt_reads = 0;
        last_side = game_state.serving_side;
        (last_side == 1 ? bottom_prompts : top_prompts)++;
      }
      // The host serves only after the joiner's Space has had 300 reads to
      // serve the bottom's serve (which it must not).
      if (++prompt_reads > 300) state[DIK_SPACE] = 0x80;
    } else if (serve_prompt_showing) {
      state[DIK_SPACE] = 0x80;
    } else if (prompt_was && step == SERVES) {
      if (last_side == 1 && prompt_reads <= 300) bottom_served_early++;
      if (last_side == 2 && prompt_reads > 300) top_served_late++;
    }
    prompt_was = serve_prompt_showing;
    ++step_reads;
    switch (step) {
      case SERVES:
        if (bottom_prompts >= 1 && top_prompts >= 2 && rally_running()) {
          step = PAUSE;
          step_reads = 0;
        }
        break;
      case PAUSE:  // P held a few reads, until the pause shows
        if (step_reads < 5) keys |= NET_KEY_PAUSE;
        if (step_reads == 40) {
          trail.push_back(game_paused ? "paused by P" : "P did not pause");
          step = UNPAUSE;
          step_reads = 0;
        }
        break;
      case UNPAUSE:
        if (step_reads < 5) keys |= NET_KEY_PAUSE;
        if (step_reads == 40) {
          trail.push_back(!game_paused && rally_running()
                              ? "played on by P"
                              : "P did not play on");
          step = AWAY;
          step_reads = 0;
        }
        break;
      case AWAY:
        if (!rally_running() && step_reads < 40) step_reads = 0;  // a serve
        keys |= NET_KEY_AWAY;
        if (step_reads == 40) {
          trail.push_back(game_paused ? "paused by focus loss"
                                      : "focus loss did not pause");
          step = BACK;
          step_reads = 0;
        }
        break;
      case BACK:  // the focus back does not play on: P does
        if (step_reads >= 20 && step_reads < 25) keys |= NET_KEY_PAUSE;
        if (step_reads == 19)
          trail.push_back(game_paused ? "still paused with the focus back"
                                      : "the focus back played on");
        if (step_reads == 60) {
          trail.push_back(game_paused ? "P did not play on" : "played on by P");
          step = QUIT;
          headless_tap_at(headless_now() + 5, DIK_ESCAPE, 40);
          headless_tap_at(headless_now() + 3000, DIK_Q, 40);
        }
        break;
      case QUIT:
        break;
    }
    joiner_keys(keys);
  };
  headless_set_time_limit(20 * 60 * 1000);
  const long frames = play();
  EXPECT_GE(bottom_prompts, 1);
  EXPECT_GE(top_prompts, 2) << "too few goals for the top to serve";
  EXPECT_EQ(bottom_served_early, 0) << "the joiner's Space served the bottom";
  EXPECT_EQ(top_served_late, 0) << "the joiner's Space did not serve";
  const std::vector<std::string> expected = {
      "paused by P", "played on by P", "paused by focus loss",
      "still paused with the focus back", "played on by P"};
  EXPECT_EQ(trail, expected);

  // The joiner's screen: the same frames, every checkpoint matching.
  joiner_take_stream();
  reset_everything();
  Memory memory{joiner_stream};
  ASSERT_EQ(record_replay(memory_source(&memory), 0), 1) << record_error();
  WinMain(plat_instance(), nullptr, nullptr, 0);
  record_finish();
  int status = 0;
  std::string line;
  if (record_replay_stopped(&status, &line)) {
    ADD_FAILURE() << "status " << status << ": " << line;
  }
  EXPECT_EQ(record_replay_complete(), 1);
  EXPECT_EQ((long)record_frames(), frames);
}

// Player 2 goes in a running rally, by Q (a leave message) or lost: the
// host's rally stands paused with "Player 2 left" on its screen, until a
// joiner comes (who takes the paddle at once) or the host plays on with P.
TEST_F(NetRolesHost,
       PlayerTwoGoingPausesTheRallyUntilOneComesOrTheHostPlaysOn) {
  enum Step { SERVE, LEFT, REJOIN, LOST, HOST_P, PLAYING, QUIT } step = SERVE;
  int step_reads = 0;
  std::vector<std::string> trail;
  NetClient second;
  std::atomic<int> second_opened{-1};
  std::thread opener;
  auto paused_saying_so = [&] {
    trail.push_back(game_paused ? "paused" : "not paused");
    trail.push_back(frame_shows(last_frame(), 640, "Player 2 left")
                        ? "said so"
                        : "said nothing");
  };
  at_host_read = [&](uint8_t state[256]) {
    ++step_reads;
    switch (step) {
      case SERVE:
        if (serve_prompt_showing) state[DIK_SPACE] = 0x80;
        // Early in the rally: what follows must be over before its goal.
        if (!rally_running()) step_reads = 0;
        if (step_reads == 10) {
          net_client_leave(&joiner, 500);
          step = LEFT;
          step_reads = 0;
        }
        break;
      case LEFT:
        if (step_reads == 60) {
          paused_saying_so();
          opener = std::thread([&] {
            second_opened =
                net_client_open(&second, net_play_address().c_str(),
                                NET_ROLE_JOIN, QUILLFIRE_VERSION, 5000);
          });
          step = REJOIN;
          step_reads = 0;
        }
        break;
      case REJOIN:  // paused until the new joiner is there, then not
        if (!net_play_has_joiner()) {
          if (!game_paused) trail.push_back("played on with nobody");
          if (step_reads > 20000) trail.push_back("nobody came");
          if (!game_paused || step_reads > 20000) step = QUIT;
          break;
        }
        if (!game_paused || step_reads > 100) {
          trail.push_back(!game_paused && rally_running() ? "taken up"
                                                          : "still stands");
          for (int i = 0; i < 2000 && second_opened < 0; ++i) usleep(1000);
          net_client_close(&second);  // lost: no word
          step = LOST;
          step_reads = 0;
        }
        break;
      case LOST:
        if (step_reads == 60) {
          paused_saying_so();
          step = HOST_P;
          step_reads = 0;
        }
        break;
      case HOST_P:
        if (step_reads < 5) state[DIK_P] = 0x80;
        if (step_reads == 20) {
          trail.push_back(!game_paused && rally_running() ? "played on"
                                                          : "still stands");
          trail.push_back(frame_shows(last_frame(), 640, "Player 2 left")
                              ? "still said"
                              : "note gone");
          step = PLAYING;
        }
        break;
      case PLAYING:
        if (serve_prompt_showing) {
          step = QUIT;
          headless_tap_at(headless_now() + 5, DIK_ESCAPE, 40);
          headless_tap_at(headless_now() + 3000, DIK_Q, 40);
        }
        break;
      case QUIT:
        break;
    }
  };
  headless_set_time_limit(10 * 60 * 1000);
  play();
  if (opener.joinable()) opener.join();
  const std::vector<std::string> expected = {"paused",   "said so", "taken up",
                                             "paused",   "said so", "played on",
                                             "note gone"};
  EXPECT_EQ(trail, expected);
}

// ---------------------------------------------------------------------------
// The client's side.

// A host's whole stream: the title, then Q; and how far into it a client
// is inside the title's wait (the first part of the wait that went out).
struct HostStream {
  std::vector<uint8_t> bytes;
  size_t title_begins = 0, at_title = 0;
};

void note_title(uint8_t[256], void *user) {
  HostStream *s = (HostStream *)user;
  if (!title_showing || s->at_title) return;
  if (!s->title_begins)
    s->title_begins = s->bytes.size();
  else if (s->bytes.size() > s->title_begins)
    s->at_title = s->bytes.size();
}

HostStream record_host_stream(void) {
  reset_everything();
  HostStream s;
  EXPECT_EQ(chdir(QF_RUN_DIR), 0);
  record_add_sink(memory_sink(&s.bytes));
  record_on_keyboard(note_title, &s);
  headless_tap_at(1500, DIK_Q, 40);
  record_start();
  WinMain(plat_instance(), nullptr, nullptr, 0);
  record_finish();
  record_on_keyboard(nullptr, nullptr);
  reset_everything();
  return s;
}

// A stand-in host: welcomes the client, sends the stream up to the title,
// then, after `pause_ms`, the rest when `whole`, and closes; or holds the
// connection `pause_ms` and closes. What the client sent is kept.
struct StandIn {
  int listen_fd;
  std::string at;
  std::thread thread;
  std::vector<uint8_t> heard;

  StandIn(const HostStream &stream, int role, bool whole, uint32_t pause_ms) {
    NetEndpoint e{"127.0.0.1", 0};
    char error[128];
    listen_fd = net_listen(&e, error, sizeof error);
    EXPECT_GE(listen_fd, 0) << error;
    at = "127.0.0.1:" + std::to_string(net_bound_port(listen_fd));
    thread = std::thread([this, &stream, role, whole, pause_ms] {
      if (!net_wait(listen_fd, 0, 5000)) return;
      int peer = accept(listen_fd, nullptr, nullptr);
      uint8_t out[NET_GREETING_MAX];
      send(
          peer, out,
          net_write_greeting(
              out, role == NET_ROLE_JOIN ? NET_WELCOME_JOIN : NET_WELCOME_WATCH,
              QUILLFIRE_VERSION),
          MSG_NOSIGNAL);
      auto send_part = [&](size_t from, size_t to) {
        for (size_t at = from; at < to; at += NET_CHUNK_MAX) {
          const size_t n = std::min<size_t>(NET_CHUNK_MAX, to - at);
          uint8_t header[NET_HEADER_SIZE + 8];
          send(peer, header, net_write_stream_header(header, at, (uint32_t)n),
               MSG_NOSIGNAL);
          send(peer, stream.bytes.data() + at, n, MSG_NOSIGNAL);
        }
      };
      send_part(0, stream.at_title);
      for (uint64_t end = net_now_ms() + pause_ms; net_now_ms() < end;) {
        uint8_t in[256];
        if (!net_wait(peer, 0, 20)) continue;
        const ssize_t n = recv(peer, in, sizeof in, 0);
        if (n <= 0) break;
        heard.insert(heard.end(), in, in + n);
      }
      if (whole) send_part(stream.at_title, stream.bytes.size());
      usleep(100 * 1000);
      close(peer);
    });
  }
  ~StandIn() {
    if (thread.joinable()) thread.join();
    close(listen_fd);
  }
  // Whether the client said it leaves.
  bool heard_leave(void) {
    NetReader *reader = new NetReader;
    net_reader_init(reader, NET_FROM_CLIENT);
    const uint8_t *data = heard.data();
    size_t size = heard.size();
    bool left = false;
    NetMessage m;
    int r;
    while ((r = net_reader_take(reader, &data, &size, &m)) != NET_READ_MORE &&
           r != NET_READ_FAILED)
      left = left || (r == NET_READ_MESSAGE && m.type == NET_MSG_LEAVE);
    delete reader;
    return left;
  }
};

// What the client's screen showed, frame by frame, at which virtual time.
struct Shown {
  std::string line;  // looked for in every frame
  uint32_t first_ms = 0, last_ms = 0;
  int frames = 0;
  std::string title_line;  // and this one, on the title
  bool title_seen = false;
  std::string role_line;  // and this one too
  uint8_t leave_key = 0;  // pressed once the title is seen
};

void watch_frames(const uint8_t *pixels, int32_t width, int32_t height,
                  const uint8_t *, void *user) {
  Shown *shown = (Shown *)user;
  std::vector<uint8_t> frame(pixels, pixels + (size_t)width * height);
  if (!shown->title_seen && title_showing &&
      frame_shows(frame, width, shown->title_line) &&
      frame_shows(frame, width, shown->role_line)) {
    shown->title_seen = true;
    if (shown->leave_key) headless_key(shown->leave_key, 1);
  }
  if (frame_shows(frame, width, shown->line)) {
    if (!shown->frames++) shown->first_ms = headless_now();
    shown->last_ms = headless_now();
  }
}

struct ClientEnd {
  int stopped = 0;  // 1 when the replay stopped early
  int status = 0;
  std::string line;
};

// The client's game, as main runs it, against `at`.
ClientEnd run_client(const std::string &at, int role, Shown *shown) {
  reset_everything();
  net_set_close_check(nullptr);
  headless_on_present(watch_frames, shown);
  ClientEnd end;
  RecordSource source;
  std::string error;
  if (!net_play_connect(at.c_str(), role == NET_ROLE_JOIN, 5000, &source,
                        &error)) {
    ADD_FAILURE() << error;
    return end;
  }
  EXPECT_EQ(record_replay(source, 0), 1) << record_error();
  WinMain(plat_instance(), nullptr, nullptr, 0);
  record_finish();
  end.stopped = record_replay_stopped(&end.status, &end.line);
  return end;
}

TEST(NetRolesClient, EachEndIsSaidOnTheClientsScreenWithItsStatus) {
  const HostStream stream = record_host_stream();
  ASSERT_GT(stream.at_title, 0u);
  ASSERT_LT(stream.at_title, stream.bytes.size());
  struct Case {
    const char *name;
    int role;
    bool whole;         // the host's game ends as it should
    uint8_t leave_key;  // pressed at the title
    uint32_t hold_ms;   // the stand-in's pause at the title
    const char *line;
    int stopped, status;
    const char *stop_line;
    uint32_t shown_ms;  // at least, on the virtual clock
  } cases[] = {
      {"the host quits", NET_ROLE_JOIN, true, 0, 700, "The host ended the game",
       0, 0, "", NET_PLAY_ENDED_MS - 50},
      {"the host is lost", NET_ROLE_JOIN, false, 0, 700, "Connection lost", 1,
       NET_PLAY_LOST_STATUS, "Connection lost", NET_PLAY_LOST_MS - 50},
      {"the joiner leaves by Q", NET_ROLE_JOIN, false, DIK_Q, 3000,
       "Connection lost", 1, 0, "", 0},
      {"a watcher sees the host quit", NET_ROLE_WATCH, true, 0, 700,
       "The host ended the game", 0, 0, "", NET_PLAY_ENDED_MS - 50},
      {"a watcher leaves by Escape", NET_ROLE_WATCH, false, DIK_ESCAPE, 3000,
       "Connection lost", 1, 0, "", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    StandIn host(stream, c.role, c.whole, c.hold_ms);
    Shown shown;
    shown.line = c.line;
    shown.title_line = "Connected to " + host.at + " - waiting for the host";
    shown.role_line = c.role == NET_ROLE_JOIN
                          ? "You play the TOP paddle: your arrows move it"
                          : "You are watching: no paddle is yours";
    shown.leave_key = c.leave_key;
    const ClientEnd end = run_client(host.at, c.role, &shown);
    host.thread.join();
    EXPECT_TRUE(shown.title_seen) << "no client title";
    EXPECT_EQ(end.stopped, c.stopped);
    EXPECT_EQ(end.status, c.status);
    EXPECT_NE(end.line.find(c.stop_line), std::string::npos) << end.line;
    if (c.shown_ms) {
      EXPECT_GE(shown.last_ms - shown.first_ms, c.shown_ms)
          << shown.frames << " frames said '" << c.line << "'";
    } else {
      EXPECT_EQ(shown.frames, 0) << "said '" << c.line << "'";
    }
    EXPECT_EQ(host.heard_leave(), c.leave_key != 0);
  }
}

}  // namespace
