// Host and clients on 127.0.0.1: the stream reaches every client whole and
// in order, the joiner's keys reach the host, and every rule that ends a
// connection ends only that one, with one line.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/net_client.h"
#include "platform/net/net_host.h"
#include "platform/net/net_socket.h"
#include "support.h"

namespace {

typedef std::vector<uint8_t> Bytes;
const char *VERSION = "1.0.0";

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }
Bytes operator+(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const Bytes JOIN = Bytes{'Q', 'F', 'N', 'T', 1, 0, 1, 5} + text("1.0.0");
const Bytes WATCH = Bytes{'Q', 'F', 'N', 'T', 1, 0, 2, 5} + text("1.0.0");

// Stream bytes that are not all alike, so a lost or repeated chunk shows.
Bytes pattern(size_t size, uint32_t seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    b[i] = (uint8_t)(seed >> 16);
  }
  return b;
}

std::string where(const NetHost &host) {
  return "127.0.0.1:" + std::to_string(host.port);
}

std::unique_ptr<NetHost> open_host(const char *at = "127.0.0.1:0") {
  std::unique_ptr<NetHost> host(new NetHost);
  EXPECT_EQ(net_host_open(host.get(), at, VERSION), 1) << host->error;
  return host;
}

// Polls the host (and does `also`) until `done` or `ms` of real time.
bool poll_until(
    NetHost *host, std::function<bool()> done, uint32_t ms = 3000,
    std::function<void()> also = [] {}) {
  uint64_t end = net_now_ms() + ms;
  while (net_now_ms() < end) {
    net_host_poll(host);
    also();
    if (done()) return true;
    usleep(1000);
  }
  return false;
}

std::vector<std::string> notices(NetHost *host) {
  std::vector<std::string> lines;
  char line[NET_NOTICE_SIZE];
  while (net_host_take_notice(host, line, sizeof line)) lines.push_back(line);
  return lines;
}

bool any_contains(const std::vector<std::string> &lines, const char *part) {
  for (const std::string &l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

// A plain socket, to say what no client of ours would.
int raw_connect(const NetHost &host) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(host.port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, (sockaddr *)&a, sizeof a), 0);
  return fd;
}

void raw_send(int fd, const Bytes &b) {
  EXPECT_EQ(send(fd, b.data(), b.size(), MSG_NOSIGNAL), (ssize_t)b.size());
}

// What the other side sent until it closed (true) or `ms` passed (false).
bool raw_read_to_close(int fd, Bytes *got, NetHost *host, uint32_t ms,
                       std::function<void()> also) {
  bool closed = false;
  poll_until(
      host, [&] { return closed; }, ms,
      [&] {
        also();
        uint8_t buf[4096];
        while (!closed && net_wait(fd, 0, 0)) {
          ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
          if (n <= 0)
            closed = true;
          else
            got->insert(got->end(), buf, buf + n);
        }
      });
  return closed;
}

// Reads the client's stream until `size` bytes have come or it ends.
Bytes client_read(NetClient *client, size_t size, NetHost *host) {
  Bytes got;
  poll_until(host, [&] {
    uint8_t buf[5000];
    long n;
    while ((n = net_client_read(client, buf, sizeof buf, 0)) > 0)
      got.insert(got.end(), buf, buf + n);
    return got.size() >= size || n < 0;
  });
  return got;
}

// Opens `client` on another thread while the host is polled here, as the
// host's game would go on while a client joins.
int join(NetHost *host, NetClient *client, int role,
         const char *version = VERSION) {
  std::atomic<int> result{-1};
  std::string at = where(*host);
  std::thread opener([&] {
    result = net_client_open(client, at.c_str(), role, version, 3000);
  });
  poll_until(
      host, [&] { return result >= 0; }, 5000);
  opener.join();
  return result;
}

const NetLimits SHORT = {200, 400, 50, 64 * 1024, 400};

class Net : public Fresh {};

TEST_F(Net, EveryClientGetsTheWholeStreamAndTheJoinersKeysReachTheHost) {
  auto host = open_host();
  Bytes before = pattern(200000, 1), after = pattern(100000, 2);
  net_host_send(host.get(), before.data(), before.size());
  NetClient joiner, watcher;
  ASSERT_EQ(join(host.get(), &joiner, NET_ROLE_JOIN), 1) << joiner.error;
  Bytes joined = client_read(&joiner, before.size(), host.get());
  // The watcher comes late and still gets everything from the first byte.
  ASSERT_EQ(join(host.get(), &watcher, NET_ROLE_WATCH), 1) << watcher.error;
  Bytes watched;
  for (size_t at = 0; at < after.size(); at += 2000) {
    net_host_send(host.get(), after.data() + at, 2000);
    Bytes more = client_read(&joiner, 2000, host.get());
    joined.insert(joined.end(), more.begin(), more.end());
    more = client_read(&watcher, 2000, host.get());
    watched.insert(watched.end(), more.begin(), more.end());
  }
  Bytes rest = client_read(&watcher, 300000 - watched.size(), host.get());
  EXPECT_EQ(joined, before + after);
  EXPECT_EQ(watched + rest, before + after);
  EXPECT_EQ(
      notices(host.get()),
      (std::vector<std::string>{"player 2 connected", "a watcher connected"}));
  EXPECT_EQ(net_host_has_joiner(host.get()), 1);
  EXPECT_EQ(net_host_clients(host.get()), 2);

  for (int keys : {(int)NET_KEY_LEFT, NET_KEY_LEFT | NET_KEY_RIGHT, 0,
                   (int)NET_KEY_RIGHT}) {
    net_client_send_keys(&joiner, (uint8_t)keys);
    EXPECT_TRUE(poll_until(host.get(),
                           [&] { return net_host_keys(host.get()) == keys; }))
        << "keys " << (int)keys;
  }
  net_client_send_keys(&watcher, NET_KEY_LEFT);  // a watcher's keys go nowhere
  EXPECT_FALSE(poll_until(
      host.get(), [&] { return net_host_keys(host.get()) != NET_KEY_RIGHT; },
      100));

  // The joiner goes: its keys are up, the watcher goes on.
  net_client_close(&joiner);
  EXPECT_TRUE(
      poll_until(host.get(), [&] { return !net_host_has_joiner(host.get()); }));
  EXPECT_EQ(net_host_keys(host.get()), 0);
  EXPECT_TRUE(any_contains(notices(host.get()), "player 2 dropped: left"));
  Bytes more = pattern(5000, 3);
  net_host_send(host.get(), more.data(), more.size());
  EXPECT_EQ(client_read(&watcher, 5000, host.get()), more);
  net_host_close(host.get(), 100);
  EXPECT_LT(client_read(&watcher, 1, host.get()).size(), 1u);
  EXPECT_NE(std::string(watcher.error).find("Connection lost"),
            std::string::npos);
  net_client_close(&watcher);
}

TEST_F(Net, HostListensOnlyWhereAsked) {
  struct Case {
    const char *at;
    const char *bound;  // address the socket is bound to; null: refused
  } cases[] = {
      {"0", "0.0.0.0"},   {"127.0.0.1:0", "127.0.0.1"}, {"seven", nullptr},
      {"70000", nullptr}, {"1:2:3", nullptr},           {"[::1", nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.at);
    std::unique_ptr<NetHost> host(new NetHost);
    int ok = net_host_open(host.get(), c.at, VERSION);
    EXPECT_EQ(ok, c.bound != nullptr) << host->error;
    if (!ok) {
      EXPECT_NE(host->error[0], 0);
      continue;
    }
    sockaddr_in a{};
    socklen_t length = sizeof a;
    getsockname(host->listen_fd, (sockaddr *)&a, &length);
    char ip[32];
    inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
    EXPECT_STREQ(ip, c.bound);
    EXPECT_NE(host->port, 0);
    // A port that is taken is refused with a line, not taken twice.
    std::unique_ptr<NetHost> second(new NetHost);
    EXPECT_EQ(net_host_open(second.get(), where(*host).c_str(), VERSION), 0);
    EXPECT_NE(std::string(second->error).find("cannot listen"),
              std::string::npos);
    net_host_close(host.get(), 0);
  }
  NetEndpoint e;
  char error[128];
  ASSERT_EQ(net_parse_connect("example.org", &e, error, sizeof error), 1);
  EXPECT_EQ(e.port, NET_DEFAULT_PORT);
  ASSERT_EQ(net_parse_listen("127.0.0.1", &e, error, sizeof error), 1);
  EXPECT_STREQ(e.host, "127.0.0.1");
  EXPECT_EQ(e.port, NET_DEFAULT_PORT);
  ASSERT_EQ(net_parse_connect("[::1]:99", &e, error, sizeof error), 1);
  EXPECT_STREQ(e.host, "::1");
  EXPECT_EQ(e.port, 99);
  for (const char *bad : {"", ":7373", "host:0", "host:", "host:x"})
    EXPECT_EQ(net_parse_connect(bad, &e, error, sizeof error), 0) << bad;
}

TEST_F(Net, ConnectionsBreakingARuleAreEndedAloneWithOneLine) {
  struct Case {
    const char *name;
    Bytes bytes;
    bool close_after;  // the client closes its side after sending
    int answer;  // the host's answer: a greeting code, 0 for none, -1 either
    const char *notice;
  } cases[] = {
      {"wrong magic", text("GET / HTTP/1.1\r\n\r\n"), false, 0, "wrong magic"},
      {"other protocol", Bytes{'Q', 'F', 'N', 'T', 9, 0, 1, 5} + text("1.0.0"),
       false, NET_REFUSED_VERSION, "protocol 9"},
      {"other game", Bytes{'Q', 'F', 'N', 'T', 1, 0, 1, 5} + text("0.9.0"),
       false, NET_REFUSED_VERSION, "game version 0.9.0, this is 1.0.0"},
      {"no such role", Bytes{'Q', 'F', 'N', 'T', 1, 0, 7, 5} + text("1.0.0"),
       false, NET_REFUSED_REQUEST, "role 7"},
      {"version too long",
       Bytes{'Q', 'F', 'N', 'T', 1, 0, 1, 200} + Bytes(200, '1'), false, 0,
       "too long"},
      {"length past the limit", JOIN + Bytes{'K', 0xff, 0xff, 0xff, 0x7f},
       false, -1, "out of bounds"},
      {"keys out of order", JOIN + Bytes{'K', 5, 0, 0, 0, 1, 0, 0, 0, 1}, false,
       -1, "out of order"},
      {"a watcher's keys", WATCH + Bytes{'K', 5, 0, 0, 0, 0, 0, 0, 0, 1}, false,
       -1, "a watcher sent keys"},
      {"took more than it was sent",
       WATCH + Bytes{'T', 8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, false, -1,
       "it says it took more than it was sent"},
      {"closed mid-greeting", text("QFN"), true, 0, "middle of a message"},
      {"closed mid-message", JOIN + Bytes{'K', 5, 0}, true, -1,
       "middle of a message"},
      {"stalled greeting", text("QFN"), false, 0, "no greeting in time"},
      {"stalled message", JOIN + Bytes{'K', 5, 0}, false, NET_WELCOME_JOIN,
       "stalled in the middle of a message"},
      {"silent", JOIN, false, NET_WELCOME_JOIN, "silent for too long"},
  };
  auto host = open_host();
  host->limits = SHORT;
  NetClient watcher;
  ASSERT_EQ(join(host.get(), &watcher, NET_ROLE_WATCH), 1);
  watcher.limits = SHORT;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    int fd = raw_connect(*host);
    raw_send(fd, c.bytes);
    if (c.close_after) shutdown(fd, SHUT_WR);
    Bytes got;
    uint8_t sink[64];
    EXPECT_TRUE(raw_read_to_close(fd, &got, host.get(), 2000, [&] {
      net_client_read(&watcher, sink, sizeof sink, 0);
    }));
    close(fd);
    if (c.answer > 0) {
      ASSERT_GE(got.size(), 8u);
      EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), text("QFNT"));
      EXPECT_EQ(got[6], c.answer);
    } else if (c.answer == 0) {
      EXPECT_EQ(got.size(), 0u);
    }
    std::vector<std::string> lines = notices(host.get());
    EXPECT_TRUE(any_contains(lines, c.notice))
        << ::testing::PrintToString(lines);
    // The well-behaved watcher, kept alive by its reads, is still there.
    EXPECT_EQ(net_host_clients(host.get()), 1);
  }
  net_client_close(&watcher);
  net_host_close(host.get(), 0);
}

TEST_F(Net, ClientsTheHostCannotTakeAreToldWhy) {
  auto host = open_host();
  NetClient first, second, other_game;
  ASSERT_EQ(join(host.get(), &first, NET_ROLE_JOIN), 1);
  EXPECT_EQ(join(host.get(), &second, NET_ROLE_JOIN), 0);
  EXPECT_STREQ(second.error, "the host already has a player 2");
  EXPECT_EQ(join(host.get(), &other_game, NET_ROLE_WATCH, "2.0.0"), 0);
  EXPECT_STREQ(other_game.error, "the host runs another game version");
  EXPECT_EQ(net_host_clients(host.get()), 1);
  for (NetClient *c : {&first, &second, &other_game}) net_client_close(c);
  net_host_close(host.get(), 0);
}

TEST_F(Net, AJoinerTooSlowToKeepUpIsDroppedAndTheWatcherGoesOn) {
  auto host = open_host();
  NetClient slow, watcher;
  ASSERT_EQ(join(host.get(), &slow, NET_ROLE_JOIN), 1);
  ASSERT_EQ(join(host.get(), &watcher, NET_ROLE_WATCH), 1);
  // Far less than the systems between could hold: the joiner's own count
  // of what it took shows it behind.
  Bytes stream = pattern(64 << 10, 4), got;
  uint8_t buf[8192];
  for (size_t at = 0; at < stream.size(); at += 4096) {
    net_host_send(host.get(), stream.data() + at, 4096);
    net_host_poll(host.get());
    long n;
    while ((n = net_client_read(&watcher, buf, sizeof buf, 0)) > 0)
      got.insert(got.end(), buf, buf + n);
    net_client_send_keys(&slow, 0);  // alive, but never reading
  }
  EXPECT_EQ(net_host_has_joiner(host.get()), 0);
  EXPECT_TRUE(any_contains(notices(host.get()),
                           "player 2 dropped: too slow to keep up"));
  Bytes rest = client_read(&watcher, stream.size() - got.size(), host.get());
  EXPECT_EQ(got + rest, stream);
  net_client_close(&slow);
  net_client_close(&watcher);
  net_host_close(host.get(), 0);
}

// A stand-in host that answers a client's greeting with `bytes`, then
// closes (or stays silent), on its own thread.
struct FakeHost {
  int listen_fd;
  uint16_t port;
  std::thread thread;
};

void fake_host_start(FakeHost *fake, Bytes bytes, bool close_after) {
  NetEndpoint e{"127.0.0.1", 0};
  char error[128];
  fake->listen_fd = net_listen(&e, error, sizeof error);
  ASSERT_GE(fake->listen_fd, 0) << error;
  fake->port = net_bound_port(fake->listen_fd);
  int listen_fd = fake->listen_fd;
  fake->thread = std::thread([=] {
    if (!net_wait(listen_fd, 0, 3000)) return;
    int fd = accept(listen_fd, nullptr, nullptr);
    // The client's greeting is taken, so closing is a clean end, not a reset.
    uint8_t greeting[NET_GREETING_MAX];
    if (net_wait(fd, 0, 1000)) recv(fd, greeting, sizeof greeting, 0);
    if (!bytes.empty()) send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (!close_after) usleep(700 * 1000);
    close(fd);
  });
}

void fake_host_stop(FakeHost *fake) {
  fake->thread.join();
  close(fake->listen_fd);
}

TEST_F(Net, AClientEndsWithOneLineWhenTheHostMisbehavesOrGoes) {
  const Bytes welcome =
      Bytes{'Q', 'F', 'N', 'T', 1, 0, NET_WELCOME_JOIN, 5} + text("1.0.0");
  const Bytes chunk_at_3{'S', 9, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 'x'};
  const Bytes half_chunk{'S', 12, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char *name;
    Bytes bytes;
    bool close_after;
    int opens;
    const char *error;
  } cases[] = {
      {"no answer", {}, false, 0, "did not answer in time"},
      {"not a host", text("HTTP/1.1 400 Bad\r\n"), true, 0, "wrong magic"},
      {"refused", Bytes{'Q', 'F', 'N', 'T', 1, 0, NET_REFUSED_FULL, 0}, true, 0,
       "no room"},
      {"another protocol", Bytes{'Q', 'F', 'N', 'T', 3, 0, 1, 0}, true, 0,
       "protocol 3"},
      {"goes", welcome, true, 1, "Connection lost: the host has gone"},
      {"goes mid-message", welcome + half_chunk, true, 1,
       "Connection lost in the middle of a message"},
      {"stalls mid-message", welcome + half_chunk, false, 1,
       "stalled mid-message"},
      {"falls silent", welcome, false, 1, "went silent"},
      {"out of order", welcome + chunk_at_3, false, 1, "out of order"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost fake;
    fake_host_start(&fake, c.bytes, c.close_after);
    NetClient client;
    std::string at = "127.0.0.1:" + std::to_string(fake.port);
    int opened =
        net_client_open(&client, at.c_str(), NET_ROLE_JOIN, VERSION, 400);
    EXPECT_EQ(opened, c.opens) << client.error;
    if (opened) {
      client.limits = SHORT;
      uint8_t buf[64];
      long n = 0;
      uint64_t end = net_now_ms() + 2000;
      while (n >= 0 && net_now_ms() < end)
        n = net_client_read(&client, buf, sizeof buf, 50);
      EXPECT_EQ(n, -1);
    }
    EXPECT_NE(std::string(client.error).find(c.error), std::string::npos)
        << client.error;
    EXPECT_EQ(strchr(client.error, '\n'), nullptr);
    net_client_close(&client);
    fake_host_stop(&fake);
  }
}

TEST_F(Net, EveryWaitEndsOnACloseRequest) {
  FakeHost fake;
  fake_host_start(&fake, {}, false);
  std::string at = "127.0.0.1:" + std::to_string(fake.port);
  headless_request_close();
  NetClient client;
  uint64_t start = net_now_ms();
  EXPECT_EQ(net_client_open(&client, at.c_str(), NET_ROLE_JOIN, VERSION, 60000),
            0);
  EXPECT_NE(std::string(client.error).find("asked to close"),
            std::string::npos);
  EXPECT_LT(net_now_ms() - start, 1000u);
  net_client_close(&client);
  fake_host_stop(&fake);

  auto host = open_host();
  headless_reset();
  ASSERT_EQ(join(host.get(), &client, NET_ROLE_WATCH), 1);
  headless_request_close();
  uint8_t buf[16];
  start = net_now_ms();
  EXPECT_EQ(net_client_read(&client, buf, sizeof buf, 60000), 0);
  EXPECT_LT(net_now_ms() - start, 1000u);
  net_client_close(&client);
  net_host_close(host.get(), 0);
}

}  // namespace
