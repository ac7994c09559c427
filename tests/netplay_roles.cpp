// What a watcher sees in network play, and how each of its ends is said, on
// the headless platform: its real replay of a host's recorded stream, served
// by a stand-in host that stops as the case says. (The players' side, two
// games exchanging keys, is netplay_proxy's: whole matches through the test
// proxy.)
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

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

  StandIn(const HostStream &stream, bool whole, uint32_t pause_ms) {
    NetEndpoint e{"127.0.0.1", 0};
    char error[128];
    listen_fd = net_listen(&e, error, sizeof error);
    EXPECT_GE(listen_fd, 0) << error;
    at = "127.0.0.1:" + std::to_string(net_bound_port(listen_fd));
    thread = std::thread([this, &stream, whole, pause_ms] {
      if (!net_wait(listen_fd, 0, 5000)) return;
      int peer = accept(listen_fd, nullptr, nullptr);
      uint8_t out[NET_GREETING_MAX];
      send(peer, out,
           net_write_greeting(out, NET_WELCOME_WATCH, QUILLFIRE_VERSION),
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
ClientEnd run_client(const std::string &at, Shown *shown) {
  reset_everything();
  net_set_close_check(nullptr);
  headless_on_present(watch_frames, shown);
  ClientEnd end;
  RecordSource source;
  std::string error;
  if (!net_play_connect(at.c_str(), 0, 5000, &source, &error)) {
    ADD_FAILURE() << error;
    return end;
  }
  EXPECT_EQ(record_replay(source, 0), 1) << record_error();
  WinMain(plat_instance(), nullptr, nullptr, 0);
  record_finish();
  end.stopped = record_replay_stopped(&end.status, &end.line);
  return end;
}

TEST(NetRolesWatcher, EachEndIsSaidOnTheWatchersScreenWithItsStatus) {
  const HostStream stream = record_host_stream();
  ASSERT_GT(stream.at_title, 0u);
  ASSERT_LT(stream.at_title, stream.bytes.size());
  struct Case {
    const char *name;
    bool whole;         // the host's game ends as it should
    uint8_t leave_key;  // pressed at the title
    uint32_t hold_ms;   // the stand-in's pause at the title
    const char *line;
    int stopped, status;
    const char *stop_line;
    uint32_t shown_ms;  // at least, on the virtual clock
  } cases[] = {
      {"the host quits", true, 0, 700, "The host ended the game", 0, 0, "",
       NET_PLAY_ENDED_MS - 50},
      {"the host is lost", false, 0, 700, "Connection lost", 1,
       NET_PLAY_LOST_STATUS, "Connection lost", NET_PLAY_LOST_MS - 50},
      {"the watcher leaves by Q", false, DIK_Q, 3000, "Connection lost", 1, 0,
       "", 0},
      {"the watcher leaves by Escape", false, DIK_ESCAPE, 3000,
       "Connection lost", 1, 0, "", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    StandIn host(stream, c.whole, c.hold_ms);
    Shown shown;
    shown.line = c.line;
    shown.title_line = "Connected to " + host.at + " - watching";
    shown.role_line = "You are watching: no paddle is yours";
    shown.leave_key = c.leave_key;
    const ClientEnd end = run_client(host.at, &shown);
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
