// The players' UDP link over real sockets on loopback: the host's socket
// opened beside a real TCP listener, the joiner's from a real connection to
// it; datagrams both ways, the host answering wherever the joiner's come
// from, strangers and other sessions refused, floods and garbage ending the
// link with one line. And the match's start told over a real host and
// joiner.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "net_bytes.h"
#include "platform/net/net_client.h"
#include "platform/net/net_host.h"
#include "platform/net/net_link.h"
#include "platform/net/net_socket.h"
#include "support.h"

namespace {

const uint32_t SESSION = 0x5eed1234;

// A TCP listener, a connection to it and the two links over them.
struct Pair {
  int listen_fd = -1, tcp_fd = -1;
  NetLink host, join;
};

// Listens at `where` and connects to `to` (the same port); opens both links.
void open_pair(Pair *p, const char *where, const char *to) {
  char error[160] = "";
  NetEndpoint endpoint;
  ASSERT_EQ(net_parse_listen(where, &endpoint, error, sizeof error), 1);
  p->listen_fd = net_listen(&endpoint, error, sizeof error);
  ASSERT_GE(p->listen_fd, 0) << error;
  std::string at =
      std::string(to) + ":" + std::to_string(net_bound_port(p->listen_fd));
  ASSERT_EQ(net_parse_connect(at.c_str(), &endpoint, error, sizeof error), 1);
  p->tcp_fd = net_connect(&endpoint, 2000, error, sizeof error);
  ASSERT_GE(p->tcp_fd, 0) << error;
  ASSERT_EQ(net_link_open_host(&p->host, p->listen_fd, SESSION), 1)
      << p->host.error;
  ASSERT_EQ(net_link_open_join(&p->join, p->tcp_fd, SESSION), 1)
      << p->join.error;
}

void close_pair(Pair *p) {
  net_link_close(&p->host);
  net_link_close(&p->join);
  if (p->tcp_fd >= 0) close(p->tcp_fd);
  if (p->listen_fd >= 0) close(p->listen_fd);
}

NetDatagram make(uint32_t session, uint32_t first_tick, uint8_t count) {
  NetDatagram d;
  memset(&d, 0, sizeof d);
  d.session = session;
  d.stamp_ms = first_tick * 16;
  d.ack = first_tick;
  d.first_tick = first_tick;
  d.count = count;
  for (int i = 0; i < count; ++i) d.inputs[i] = (uint16_t)(first_tick + i);
  return d;
}

// Waits up to `ms` for a datagram on `link`. 1 when one came.
int receive_within(NetLink *link, NetDatagram *d, uint32_t ms = 1000) {
  for (uint64_t end = net_now_ms() + ms;;) {
    if (net_link_receive(link, d)) return 1;
    if (net_now_ms() >= end || link->dropped) return 0;
    net_wait(link->fd, 0, 10);
  }
}

// A plain UDP socket of `family` on loopback: a stranger, or a joiner whose
// address translation changed its port.
int stranger(int family) {
  int fd = socket(family, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  struct sockaddr_storage any;
  memset(&any, 0, sizeof any);
  any.ss_family = (sa_family_t)family;
  bind(fd, (struct sockaddr *)&any,
       family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in));
  return fd;
}

// Where `fd` is bound, as seen on loopback.
struct sockaddr_storage loopback_of(int fd, socklen_t *size) {
  struct sockaddr_storage a;
  *size = sizeof a;
  getsockname(fd, (struct sockaddr *)&a, size);
  if (a.ss_family == AF_INET)
    ((sockaddr_in *)&a)->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  else
    ((sockaddr_in6 *)&a)->sin6_addr = in6addr_loopback;
  return a;
}

void send_bytes(int fd, const Bytes &bytes, const sockaddr_storage &to,
                socklen_t size) {
  ASSERT_EQ(sendto(fd, bytes.data(), bytes.size(), 0,
                   (const struct sockaddr *)&to, size),
            (ssize_t)bytes.size());
}

uint16_t port_of(const sockaddr_storage &a) {
  return ntohs(a.ss_family == AF_INET ? ((const sockaddr_in *)&a)->sin_port
                                      : ((const sockaddr_in6 *)&a)->sin6_port);
}

class NetLinkTest : public Fresh {};

TEST_F(NetLinkTest, DatagramsGoBothWaysAndTheHostAnswersTheirSource) {
  struct Where {
    const char *listen, *connect;
  } places[] = {{"127.0.0.1:0", "127.0.0.1"},
                {"[::1]:0", "[::1]"},
                // Every interface, IPv6 taking IPv4 too, joined by IPv4.
                {"0", "127.0.0.1"},
                // ... joined at another of its addresses: answered from it.
                {"0", "127.0.0.2"}};
  for (const Where &w : places) {
    SCOPED_TRACE(w.listen);
    Pair p;
    open_pair(&p, w.listen, w.connect);
    if (HasFatalFailure()) return;
    // The host knows no one until the joiner's first datagram: it sends
    // nothing, and the joiner hears nothing.
    NetDatagram d = make(SESSION, 100, 3), got;
    EXPECT_EQ(p.host.has_peer, 0);
    EXPECT_EQ(net_link_send(&p.host, &d), 0);
    EXPECT_EQ(p.host.counts.datagrams_out, 0u);
    EXPECT_EQ(receive_within(&p.join, &got, 100), 0);

    d.has_check = 1;
    d.check_tick = 99;
    d.check_hash = 0xabcdef01;
    ASSERT_EQ(net_link_send(&p.join, &d), 1);
    ASSERT_EQ(receive_within(&p.host, &got), 1);
    EXPECT_EQ(got.first_tick, 100u);
    ASSERT_EQ(got.count, 3);
    EXPECT_EQ(got.inputs[2], 102);
    EXPECT_EQ(got.check_hash, 0xabcdef01u);
    EXPECT_EQ(p.host.has_peer, 1);
    EXPECT_GT(p.host.last_heard_ms, 0u);
    socklen_t size;
    EXPECT_EQ(port_of(p.host.peer), port_of(loopback_of(p.join.fd, &size)));
    EXPECT_EQ(net_link_receive(&p.host, &got), 0);  // nothing more waits

    // Many, each way: loopback loses none.
    for (uint32_t tick = 0; tick < 50; ++tick) {
      NetDatagram h = make(SESSION, tick, (uint8_t)(tick % 5));
      h.leaving = tick == 49;
      ASSERT_EQ(net_link_send(&p.host, &h), 1);
      ASSERT_EQ(receive_within(&p.join, &got), 1);
      EXPECT_EQ(got.first_tick, tick);
      EXPECT_EQ(got.count, tick % 5);
      EXPECT_EQ(got.leaving, tick == 49);
      ASSERT_EQ(net_link_send(&p.join, &h), 1);
      ASSERT_EQ(receive_within(&p.host, &got), 1);
      EXPECT_EQ(got.first_tick, tick);
    }
    EXPECT_EQ(p.host.counts.datagrams_in, 51u);
    EXPECT_EQ(p.join.counts.datagrams_in, 50u);
    EXPECT_EQ(p.join.counts.bytes_out, 51 * 38u + 2 * (3 + 10 * 10));
    EXPECT_EQ(p.host.counts.bytes_in, p.join.counts.bytes_out);
    EXPECT_EQ(p.host.counts.refused + p.join.counts.refused, 0u);
    close_pair(&p);
  }
}

TEST_F(NetLinkTest, OtherSessionsAndStrangersAreRefusedAndCounted) {
  Pair p;
  open_pair(&p, "127.0.0.1:0", "127.0.0.1");
  if (HasFatalFailure()) return;
  NetDatagram got;
  socklen_t host_size, join_size;
  sockaddr_storage host_at = loopback_of(p.host.fd, &host_size);

  // Before the joiner is heard: another session's datagram and garbage
  // teach the host no peer.
  NetDatagram other = make(SESSION + 1, 0, 1);
  ASSERT_EQ(net_link_send(&p.join, &other), 1);
  send_bytes(p.join.fd, text("GET / HTTP/1.1\r\n"), host_at, host_size);
  send_bytes(p.join.fd, datagram(SESSION, 0, {1}, 0, 0, 0, 2), host_at,
             host_size);
  EXPECT_EQ(receive_within(&p.host, &got, 200), 0);
  EXPECT_EQ(p.host.counts.refused, 3u);
  EXPECT_EQ(p.host.has_peer, 0);

  NetDatagram d = make(SESSION, 7, 1);
  ASSERT_EQ(net_link_send(&p.join, &d), 1);
  ASSERT_EQ(receive_within(&p.host, &got), 1);
  EXPECT_EQ(got.first_tick, 7u);

  // A stranger's datagram of the right session reaches no joiner: it sends
  // only to and hears only from the host's address.
  int s = stranger(AF_INET);
  sockaddr_storage join_at = loopback_of(p.join.fd, &join_size);
  send_bytes(s, datagram(SESSION, 8, {1}), join_at, join_size);
  EXPECT_EQ(receive_within(&p.join, &got, 200), 0);
  EXPECT_EQ(p.join.counts.refused, 1u);

  // The joiner's address changes (address translation): the host answers
  // the new one from its first good datagram on, and not the old.
  send_bytes(s, datagram(SESSION, 9, {1}), host_at, host_size);
  ASSERT_EQ(receive_within(&p.host, &got), 1);
  EXPECT_EQ(got.first_tick, 9u);
  NetDatagram answer = make(SESSION, 3, 2);
  ASSERT_EQ(net_link_send(&p.host, &answer), 1);
  uint8_t bytes[NET_DATAGRAM_SIZE_MAX];
  ASSERT_EQ(net_wait(s, 0, 1000), 1);
  ssize_t n = recv(s, bytes, sizeof bytes, 0);
  const char *why = "";
  ASSERT_EQ(net_datagram_read(bytes, n > 0 ? (size_t)n : 0, &got, &why), 1)
      << why;
  EXPECT_EQ(got.first_tick, 3u);
  EXPECT_EQ(got.inputs[1], 4);
  EXPECT_EQ(receive_within(&p.join, &got, 100), 0);
  close(s);
  close_pair(&p);
}

// Sends `bytes` from `from` to where `to` is bound, `count` times, letting
// `to` take what came every few so the system's buffer never overflows.
// Returns the datagrams `to` took.
int flood(NetLink *to, int from, const Bytes &bytes, int count) {
  socklen_t size;
  sockaddr_storage at = loopback_of(to->fd, &size);
  int taken = 0;
  NetDatagram got;
  for (int i = 0; i < count && !to->dropped; ++i) {
    sendto(from, bytes.data(), bytes.size(), 0, (const sockaddr *)&at, size);
    if (i % 50 == 49)
      while (net_link_receive(to, &got)) taken++;
  }
  while (net_link_receive(to, &got)) taken++;
  return taken;
}

TEST_F(NetLinkTest, FloodsAndGarbageDropThePeerWithOneLine) {
  {
    Pair p;
    open_pair(&p, "127.0.0.1:0", "127.0.0.1");
    if (HasFatalFailure()) return;
    // A stranger's garbage and another session's datagrams, however many,
    // are only refused: they can't get player 2 dropped.
    int s = stranger(AF_INET);
    flood(&p.host, s, text("junk"), 2 * NET_LINK_GARBAGE_MAX);
    EXPECT_EQ(p.host.dropped, 0);
    EXPECT_EQ(p.host.counts.refused, 2u * NET_LINK_GARBAGE_MAX);
    // Player 2 at a player's pace is fine; far past it, it is dropped.
    Bytes good = datagram(SESSION, 1, {1, 2, 3});
    EXPECT_EQ(flood(&p.host, p.join.fd, good, 500), 500);
    EXPECT_EQ(p.host.dropped, 0);
    int taken = flood(&p.host, p.join.fd, good, 3000);
    EXPECT_EQ(p.host.dropped, 1);
    EXPECT_LE(taken, NET_LINK_DATAGRAMS_PER_SECOND_MAX);
    EXPECT_STREQ(p.host.error,
                 "player 2 sent too many datagrams (over 1000 a second)");
    // From then on, nothing more is taken or sent.
    NetDatagram d = make(SESSION, 0, 1), got;
    ASSERT_EQ(net_link_send(&p.join, &d), 1);
    EXPECT_EQ(receive_within(&p.host, &got, 100), 0);
    EXPECT_EQ(net_link_send(&p.host, &d), 0);
    close(s);
    close_pair(&p);
  }
  {
    Pair p;
    open_pair(&p, "127.0.0.1:0", "127.0.0.1");
    if (HasFatalFailure()) return;
    NetDatagram d = make(SESSION, 0, 1), got;
    ASSERT_EQ(net_link_send(&p.join, &d), 1);
    ASSERT_EQ(receive_within(&p.host, &got), 1);
    // The host's garbage (from its own address) ends the joiner's link; a
    // good datagram among it still comes through before that.
    Bytes bad = datagram(SESSION, 0, {1}, 0, 0, 0, 9);
    flood(&p.join, p.host.fd, bad, NET_LINK_GARBAGE_MAX / 2);
    ASSERT_EQ(net_link_send(&p.host, &d), 1);
    EXPECT_EQ(receive_within(&p.join, &got), 1);
    EXPECT_EQ(p.join.dropped, 0);
    flood(&p.join, p.host.fd, bad, NET_LINK_GARBAGE_MAX);
    EXPECT_EQ(p.join.dropped, 1);
    EXPECT_STREQ(p.join.error,
                 "the host sent too much garbage (over 200 bad datagrams a "
                 "second)");
    close_pair(&p);
  }
}

const char *VERSION = "1.0.0";
NetHost host;

// Polls the host until `done` or `ms` of real time.
bool poll_until(std::function<bool()> done, uint32_t ms = 3000) {
  for (uint64_t end = net_now_ms() + ms; net_now_ms() < end; usleep(1000)) {
    net_host_poll(&host);
    if (done()) return true;
  }
  return false;
}

// Opens `client` on another thread while the host is polled here.
int join(NetClient *client, int role) {
  std::atomic<int> result{-1};
  std::string at = "127.0.0.1:" + std::to_string(host.port);
  std::thread opener([&] {
    result = net_client_open(client, at.c_str(), role, VERSION, 3000);
  });
  poll_until([&] { return result >= 0; }, 5000);
  opener.join();
  return result;
}

TEST_F(NetLinkTest, TheHostStartsTheMatchAndTheJoinerLinksUp) {
  ASSERT_EQ(net_host_open(&host, "127.0.0.1:0", VERSION), 1) << host.error;
  EXPECT_EQ(net_host_start_match(&host, 1), 0);  // no joiner yet
  EXPECT_EQ(net_host_joiner_fd(&host), -1);
  NetClient joiner, watcher;
  ASSERT_EQ(join(&joiner, NET_ROLE_JOIN), 1) << joiner.error;
  ASSERT_EQ(join(&watcher, NET_ROLE_WATCH), 1) << watcher.error;
  EXPECT_GE(net_host_joiner_fd(&host), 0);

  // Not started: the wait ends on time and the connection goes on.
  uint64_t begun = net_now_ms();
  EXPECT_EQ(net_client_wait_match(&joiner, 300), 0);
  EXPECT_GE(net_now_ms() - begun, 300u);
  EXPECT_STREQ(joiner.error, "the host did not start the match");
  EXPECT_EQ(joiner.ended, 0);

  // Stream before and after the start: none of it is lost to the wait, and
  // it comes in order.
  Bytes before(10000), after(3000);  // within lag_bytes
  for (size_t i = 0; i < before.size(); ++i) before[i] = (uint8_t)(i * 7);
  for (size_t i = 0; i < after.size(); ++i) after[i] = (uint8_t)(i * 13 + 1);
  net_host_send(&host, before.data(), before.size());
  ASSERT_EQ(net_host_start_match(&host, SESSION), 1);
  net_host_send(&host, after.data(), after.size());
  std::atomic<int> waited{-1};
  std::thread waiter([&] { waited = net_client_wait_match(&joiner, 3000); });
  poll_until([&] { return waited >= 0; }, 5000);
  waiter.join();
  ASSERT_EQ(waited, 1) << joiner.error;
  EXPECT_EQ(joiner.has_session, 1);
  EXPECT_EQ(joiner.session, SESSION);
  Bytes got;
  poll_until([&] {
    uint8_t buf[1000];
    long n;
    while ((n = net_client_read(&joiner, buf, sizeof buf, 0)) > 0)
      got.insert(got.end(), buf, buf + n);
    return got.size() >= before.size() + after.size() || n < 0;
  });
  EXPECT_EQ(got, before + after);
  EXPECT_EQ(net_client_wait_match(&joiner, 0), 1);  // told once, kept

  // The links open over the real connections and reach each other.
  Pair p;
  ASSERT_EQ(net_link_open_host(&p.host, host.listen_fd, joiner.session), 1);
  ASSERT_EQ(net_link_open_join(&p.join, joiner.fd, joiner.session), 1);
  NetDatagram d = make(joiner.session, 0, 2), r;
  ASSERT_EQ(net_link_send(&p.join, &d), 1);
  ASSERT_EQ(receive_within(&p.host, &r), 1);
  ASSERT_EQ(net_link_send(&p.host, &d), 1);
  ASSERT_EQ(receive_within(&p.join, &r), 1);
  close_pair(&p);

  // The watcher was told nothing and goes on.
  EXPECT_EQ(net_client_wait_match(&watcher, 100), 0);
  EXPECT_EQ(watcher.ended, 0);
  net_client_close(&joiner);
  net_client_close(&watcher);
  net_host_close(&host, 100);
}

// A stand-in host that welcomes a watcher and then tells it of a match.
TEST_F(NetLinkTest, AWatcherToldOfAMatchEndsItsConnection) {
  char error[160];
  NetEndpoint endpoint;
  net_parse_listen("127.0.0.1:0", &endpoint, error, sizeof error);
  int listen_fd = net_listen(&endpoint, error, sizeof error);
  ASSERT_GE(listen_fd, 0) << error;
  std::string at = "127.0.0.1:" + std::to_string(net_bound_port(listen_fd));
  NetClient watcher;
  std::atomic<int> opened{-1};
  std::thread opener([&] {
    opened =
        net_client_open(&watcher, at.c_str(), NET_ROLE_WATCH, VERSION, 3000);
  });
  ASSERT_EQ(net_wait(listen_fd, 0, 3000), 1);
  int fd = accept(listen_fd, NULL, NULL);
  Bytes answer = greeting(NET_WELCOME_WATCH) + chunk(0, "ab") + match(SESSION);
  EXPECT_EQ(send(fd, answer.data(), answer.size(), 0), (ssize_t)answer.size());
  opener.join();
  ASSERT_EQ(opened, 1) << watcher.error;
  uint8_t buf[16];
  EXPECT_EQ(net_client_read(&watcher, buf, sizeof buf, 1000), 2);
  EXPECT_EQ(net_client_read(&watcher, buf, sizeof buf, 1000), -1);
  EXPECT_STREQ(watcher.error, "Connection ended: a match message to a watcher");
  EXPECT_EQ(watcher.has_session, 0);
  net_client_close(&watcher);
  close(fd);
  close(listen_fd);
}

}  // namespace
