// qf_net_proxy: a link between two games on this machine that is as long,
// uneven and lossy as asked, so network play can be tested and measured as
// it would be met across the Internet. One thread: ppoll over every socket,
// with a queue of what is due when.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <queue>
#include <string>
#include <vector>

#include "net_proxy/proxy_options.h"

namespace {

// Bounds on what is held, so a flood costs counts, not memory.
const size_t UDP_HELD_BYTES_MAX = 16u << 20;
const size_t UDP_PEERS_MAX = 256;
const size_t TCP_LINKS_MAX = 64;
const size_t TCP_QUEUED_BYTES_MAX = 1u << 20;  // per direction: then not read
const size_t DATAGRAM_BYTES_MAX = 65536;
// A datagram held back for reordering goes alone after this if no later
// one of its way comes to pass it.
const int64_t REORDER_HOLD_MAX_NS = 200 * 1000000LL;
const int64_t UDP_PEER_IDLE_NS = 120 * 1000000000LL;
const int TO_TARGET = 0;
const int TO_CLIENT = 1;

volatile sig_atomic_t stop_asked = 0;

void on_stop_signal(int) { stop_asked = 1; }

int64_t now_ns(void) {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (int64_t)t.tv_sec * 1000000000LL + t.tv_nsec;
}

// splitmix64: small, and the same draws from the same --seed.
uint64_t random_state = 1;
double random_unit(void) {
  uint64_t z = (random_state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return (double)(z >> 11) / (double)(1ULL << 53);
}
int random_chance(double percent) {
  return percent > 0.0 && random_unit() * 100.0 < percent;
}

ProxyOptions options;

// When something entering the link now is due out of it: delay +- jitter,
// but never before what entered the same way earlier (a link's queue keeps
// its order; reordering is asked for on its own).
int64_t due_after(int64_t now, int64_t *last_due) {
  const int64_t jitter = (int64_t)options.jitter_ms * 1000000LL;
  int64_t offset = 0;
  if (jitter > 0)
    offset = (int64_t)(random_unit() * (double)(2 * jitter + 1)) - jitter;
  int64_t due = now + (int64_t)options.delay_ms * 1000000LL + offset;
  if (due < *last_due) due = *last_due;
  *last_due = due;
  return due;
}

struct Counts {
  uint64_t passed, dropped, reordered, over_bound;
  uint64_t tcp_to_target, tcp_to_client;
};
Counts counts;

// ---- UDP ----------------------------------------------------------------

struct UdpWay {
  int64_t last_due;
  int holding;
  uint64_t held_token;
  std::vector<uint8_t> held;
};

// One client address and the socket that speaks for it to the target.
struct UdpPeer {
  sockaddr_storage client;
  socklen_t client_length;
  int upstream;
  int64_t last_heard;
  UdpWay ways[2];
};

struct Timed {
  int64_t due;
  uint64_t order;  // what was queued first goes first at the same due
  uint64_t peer;
  int way;
  int reordered;
  uint64_t release_token;  // nonzero: let a held datagram go alone
  std::vector<uint8_t> bytes;
};
struct TimedLater {
  bool operator()(const Timed &a, const Timed &b) const {
    return a.due != b.due ? a.due > b.due : a.order > b.order;
  }
};

std::priority_queue<Timed, std::vector<Timed>, TimedLater> timed;
uint64_t timed_order = 0;
size_t udp_held_bytes = 0;
std::map<uint64_t, UdpPeer> peers;
uint64_t next_peer_id = 1;
uint64_t next_token = 1;
int listen_udp = -1;
sockaddr_storage target;
socklen_t target_length = 0;

void timed_push(int64_t due, uint64_t peer, int way, int reordered,
                uint64_t release_token, std::vector<uint8_t> bytes) {
  udp_held_bytes += bytes.size();
  timed.push(Timed{due, timed_order++, peer, way, reordered, release_token,
                   std::move(bytes)});
}

void udp_send(UdpPeer &peer, int way, const std::vector<uint8_t> &bytes) {
  ssize_t sent;
  if (way == TO_TARGET)
    sent = send(peer.upstream, bytes.data(), bytes.size(), MSG_DONTWAIT);
  else
    sent = sendto(listen_udp, bytes.data(), bytes.size(), MSG_DONTWAIT,
                  (const sockaddr *)&peer.client, peer.client_length);
  // A full socket buffer or nobody listening loses it, as a link would.
  if (sent == (ssize_t)bytes.size())
    counts.passed++;
  else
    counts.dropped++;
}

// A datagram entering the link one way: lost, held back, or queued.
void udp_enter(uint64_t id, UdpPeer &peer, int way, const uint8_t *data,
               size_t size, int64_t now) {
  if (random_chance(options.loss_percent)) {
    counts.dropped++;
    return;
  }
  if (udp_held_bytes + size > UDP_HELD_BYTES_MAX) {
    counts.over_bound++;
    return;
  }
  UdpWay &link = peer.ways[way];
  const int64_t due = due_after(now, &link.last_due);
  std::vector<uint8_t> bytes(data, data + size);
  if (!link.holding && random_chance(options.reorder_percent)) {
    link.holding = 1;
    link.held_token = next_token++;
    udp_held_bytes += size;
    link.held = std::move(bytes);
    timed_push(due + REORDER_HOLD_MAX_NS, id, way, 0, link.held_token, {});
    return;
  }
  timed_push(due, id, way, 0, 0, std::move(bytes));
  if (link.holding) {  // the held one goes right behind this one
    udp_held_bytes -= link.held.size();
    link.holding = 0;
    timed_push(due, id, way, 1, 0, std::move(link.held));
    link.held.clear();
  }
}

void udp_fire_due(int64_t now) {
  while (!timed.empty() && timed.top().due <= now) {
    Timed item = timed.top();
    timed.pop();
    udp_held_bytes -= item.bytes.size();
    auto found = peers.find(item.peer);
    if (found == peers.end()) continue;
    UdpPeer &peer = found->second;
    UdpWay &link = peer.ways[item.way];
    if (item.release_token) {
      if (link.holding && link.held_token == item.release_token) {
        link.holding = 0;
        udp_held_bytes -= link.held.size();
        udp_send(peer, item.way, link.held);
        link.held.clear();
      }
      continue;
    }
    udp_send(peer, item.way, item.bytes);
    if (item.reordered) counts.reordered++;
  }
}

uint64_t udp_peer_for(const sockaddr_storage &from, socklen_t length,
                      int64_t now) {
  for (auto &entry : peers) {
    if (entry.second.client_length == length &&
        memcmp(&entry.second.client, &from, length) == 0)
      return entry.first;
  }
  // Peers long silent make room (their queued datagrams are let go).
  for (auto it = peers.begin(); it != peers.end();) {
    if (now - it->second.last_heard > UDP_PEER_IDLE_NS) {
      close(it->second.upstream);
      for (const UdpWay &link : it->second.ways)
        if (link.holding) udp_held_bytes -= link.held.size();
      it = peers.erase(it);
    } else {
      ++it;
    }
  }
  if (peers.size() >= UDP_PEERS_MAX) return 0;
  const int upstream =
      socket(target.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (upstream < 0) return 0;
  if (connect(upstream, (const sockaddr *)&target, target_length) != 0) {
    close(upstream);
    return 0;
  }
  UdpPeer peer{};
  peer.client = from;
  peer.client_length = length;
  peer.upstream = upstream;
  peer.last_heard = now;
  const uint64_t id = next_peer_id++;
  peers[id] = std::move(peer);
  return id;
}

uint8_t datagram[DATAGRAM_BYTES_MAX];

void udp_read_clients(void) {
  for (int i = 0; i < 256; i++) {
    sockaddr_storage from;
    socklen_t length = sizeof from;
    const ssize_t got = recvfrom(listen_udp, datagram, sizeof datagram,
                                 MSG_DONTWAIT, (sockaddr *)&from, &length);
    if (got < 0) return;
    // Each datagram's own time: a batch read after a wait would otherwise
    // leave the later ones early by the time spent on the earlier ones.
    const int64_t now = now_ns();
    const uint64_t id = udp_peer_for(from, length, now);
    if (id == 0) {
      counts.over_bound++;
      continue;
    }
    UdpPeer &peer = peers[id];
    peer.last_heard = now;
    udp_enter(id, peer, TO_TARGET, datagram, (size_t)got, now);
  }
}

void udp_read_target(uint64_t id) {
  for (int i = 0; i < 256; i++) {
    UdpPeer &peer = peers[id];
    const ssize_t got =
        recv(peer.upstream, datagram, sizeof datagram, MSG_DONTWAIT);
    // ECONNREFUSED says nobody listened to an earlier one: keep reading.
    if (got < 0 && errno == ECONNREFUSED) continue;
    if (got < 0) return;
    udp_enter(id, peer, TO_CLIENT, datagram, (size_t)got, now_ns());
  }
}

// ---- TCP ----------------------------------------------------------------

struct Chunk {
  int64_t due;
  std::vector<uint8_t> bytes;
  size_t sent;
};

// A client's connection and the proxy's to the target; ways[TO_TARGET] holds
// what the client sent, ways[TO_CLIENT] what the target sent.
struct TcpLink {
  int fds[2];  // [0] the client's, [1] the target's
  int connected;
  int ended[2];        // the sending side of this way has closed
  int64_t end_due[2];  // when that close is passed on, after its bytes
  std::deque<Chunk> queued[2];
  size_t queued_bytes[2];
  int64_t last_due[2];
  int broken;
};

std::vector<TcpLink> links;
int listen_tcp = -1;

int tcp_source_fd(const TcpLink &link, int way) {
  return link.fds[way == TO_TARGET ? 0 : 1];
}
int tcp_sink_fd(const TcpLink &link, int way) {
  return link.fds[way == TO_TARGET ? 1 : 0];
}

void tcp_accept(void) {
  for (;;) {
    const int client =
        accept4(listen_tcp, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) return;
    if (links.size() >= TCP_LINKS_MAX) {
      close(client);
      counts.over_bound++;
      continue;
    }
    const int upstream =
        socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (upstream < 0 ||
        (connect(upstream, (const sockaddr *)&target, target_length) != 0 &&
         errno != EINPROGRESS)) {
      if (upstream >= 0) close(upstream);
      close(client);
      continue;
    }
    // Small writes go at once: the delay is the proxy's to add, not Nagle's.
    const int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(upstream, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    TcpLink link{};
    link.fds[0] = client;
    link.fds[1] = upstream;
    links.push_back(std::move(link));
  }
}

void tcp_read(TcpLink &link, int way) {
  uint8_t buffer[65536];
  while (link.queued_bytes[way] < TCP_QUEUED_BYTES_MAX) {
    const ssize_t got =
        recv(tcp_source_fd(link, way), buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
      link.ended[way] = 1;
      link.end_due[way] = due_after(now_ns(), &link.last_due[way]);
      return;
    }
    if (got < 0) return;
    const int64_t due = due_after(now_ns(), &link.last_due[way]);
    link.queued[way].push_back(
        Chunk{due, std::vector<uint8_t>(buffer, buffer + got), 0});
    link.queued_bytes[way] += (size_t)got;
  }
}

void tcp_write_due(TcpLink &link, int way, int64_t now) {
  if (way == TO_TARGET && !link.connected) return;
  std::deque<Chunk> &queue = link.queued[way];
  while (!queue.empty() && queue.front().due <= now) {
    Chunk &chunk = queue.front();
    const ssize_t sent =
        send(tcp_sink_fd(link, way), chunk.bytes.data() + chunk.sent,
             chunk.bytes.size() - chunk.sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno != EAGAIN && errno != EINTR) link.broken = 1;
      return;
    }
    chunk.sent += (size_t)sent;
    link.queued_bytes[way] -= (size_t)sent;
    (way == TO_TARGET ? counts.tcp_to_target : counts.tcp_to_client) +=
        (uint64_t)sent;
    if (chunk.sent < chunk.bytes.size()) return;
    queue.pop_front();
  }
}

// Either side's close ends the link once what it sent before has been
// passed on and the close itself has crossed the link.
int tcp_finished(const TcpLink &link, int64_t now) {
  if (link.broken) return 1;
  for (int way = 0; way < 2; way++)
    if (link.ended[way] && link.queued[way].empty() && link.end_due[way] <= now)
      return 1;
  return 0;
}

// ---- the loop ----------------------------------------------------------

int open_listeners(int port) {
  for (int attempt = 0; attempt < 20; attempt++) {
    sockaddr_in here{};
    here.sin_family = AF_INET;
    here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    here.sin_port = htons((uint16_t)port);
    listen_tcp = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listen_tcp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listen_tcp, (sockaddr *)&here, sizeof here) != 0 ||
        listen(listen_tcp, 16) != 0)
      return 0;
    socklen_t length = sizeof here;
    getsockname(listen_tcp, (sockaddr *)&here, &length);
    listen_udp = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (bind(listen_udp, (sockaddr *)&here, sizeof here) == 0)
      return ntohs(here.sin_port);
    // The system's choice for TCP may be taken for UDP: choose again.
    close(listen_tcp);
    close(listen_udp);
    if (port != 0) return 0;
  }
  return 0;
}

int resolve_target(void) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo *found = nullptr;
  const std::string port = std::to_string(options.target_port);
  if (getaddrinfo(options.target_host.c_str(), port.c_str(), &hints, &found) !=
          0 ||
      !found)
    return 0;
  memcpy(&target, found->ai_addr, found->ai_addrlen);
  target_length = found->ai_addrlen;
  freeaddrinfo(found);
  return 1;
}

void run(void) {
  sigset_t during_poll;
  sigprocmask(SIG_SETMASK, nullptr, &during_poll);
  sigdelset(&during_poll, SIGINT);
  sigdelset(&during_poll, SIGTERM);
  std::vector<pollfd> fds;
  std::vector<uint64_t> peer_of_fd;
  while (!stop_asked) {
    int64_t now = now_ns();
    int64_t wake = now + 1000000000LL;
    if (!timed.empty() && timed.top().due < wake) wake = timed.top().due;
    fds.clear();
    peer_of_fd.clear();
    fds.push_back(pollfd{listen_tcp, POLLIN, 0});
    fds.push_back(pollfd{listen_udp, POLLIN, 0});
    for (auto &entry : peers) {
      fds.push_back(pollfd{entry.second.upstream, POLLIN, 0});
      peer_of_fd.push_back(entry.first);
    }
    const size_t first_link = fds.size();
    for (TcpLink &link : links) {
      short events[2] = {0, 0};
      for (int way = 0; way < 2; way++) {
        if (!link.ended[way] && link.queued_bytes[way] < TCP_QUEUED_BYTES_MAX)
          events[way == TO_TARGET ? 0 : 1] |= POLLIN;
        if (link.ended[way] && link.end_due[way] > now &&
            link.end_due[way] < wake)
          wake = link.end_due[way];
        if (link.queued[way].empty()) continue;
        const int64_t due = link.queued[way].front().due;
        if (due <= now)
          events[way == TO_TARGET ? 1 : 0] |= POLLOUT;
        else if (due < wake)
          wake = due;
      }
      if (!link.connected) events[1] = POLLOUT;  // to learn it is connected
      // A socket asked nothing is left out: a hang-up it reports would
      // otherwise wake the loop at once, again and again.
      fds.push_back(pollfd{events[0] ? link.fds[0] : -1, events[0], 0});
      fds.push_back(pollfd{events[1] ? link.fds[1] : -1, events[1], 0});
    }
    const int64_t wait = wake > now ? wake - now : 0;
    const timespec timeout{(time_t)(wait / 1000000000LL),
                           (long)(wait % 1000000000LL)};
    const int ready = ppoll(fds.data(), fds.size(), &timeout, &during_poll);
    if (ready < 0 && errno != EINTR) break;
    now = now_ns();
    udp_fire_due(now);
    if (ready <= 0) {
      for (TcpLink &link : links)
        for (int way = 0; way < 2; way++) tcp_write_due(link, way, now);
    }
    if (ready > 0) {
      if (fds[0].revents) tcp_accept();
      if (fds[1].revents) udp_read_clients();
      for (size_t i = 0; i < peer_of_fd.size(); i++)
        if (fds[2 + i].revents && peers.count(peer_of_fd[i]))
          udp_read_target(peer_of_fd[i]);
      for (size_t i = 0; i < links.size() && first_link + 2 * i < fds.size();
           i++) {
        TcpLink &link = links[i];
        const short client_events = fds[first_link + 2 * i].revents;
        const short target_events = fds[first_link + 2 * i + 1].revents;
        if (!link.connected && target_events) {
          int problem = 0;
          socklen_t length = sizeof problem;
          getsockopt(link.fds[1], SOL_SOCKET, SO_ERROR, &problem, &length);
          if (problem != 0) link.broken = 1;
          if (problem == 0 && (target_events & POLLOUT)) link.connected = 1;
        }
        if (client_events & (POLLIN | POLLHUP | POLLERR))
          tcp_read(link, TO_TARGET);
        if (link.connected && (target_events & (POLLIN | POLLHUP | POLLERR)))
          tcp_read(link, TO_CLIENT);
        for (int way = 0; way < 2; way++) tcp_write_due(link, way, now);
      }
    }
    for (size_t i = links.size(); i-- > 0;) {
      if (!tcp_finished(links[i], now)) continue;
      close(links[i].fds[0]);
      close(links[i].fds[1]);
      links.erase(links.begin() + (long)i);
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  int wants_help = 0;
  std::string error;
  if (!proxy_options_parse(argc, argv, &options, &wants_help, &error)) {
    fprintf(stderr, "qf_net_proxy: %s (try --help)\n", error.c_str());
    return 2;
  }
  if (wants_help) {
    fputs(proxy_options_usage().c_str(), stdout);
    return 0;
  }
  random_state = options.seed;
  if (!resolve_target()) {
    fprintf(stderr, "qf_net_proxy: cannot find %s\n",
            options.target_host.c_str());
    return 1;
  }
  const int port = open_listeners(options.listen_port);
  if (port == 0) {
    fprintf(stderr, "qf_net_proxy: cannot listen on 127.0.0.1:%d: %s\n",
            options.listen_port, strerror(errno));
    return 1;
  }
  // The stop signals are only let in while waiting in ppoll, so one that
  // comes between two waits is not lost.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops, nullptr);
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  printf(
      "proxy on 127.0.0.1:%d -> %s:%d, delay %d ms +- %d, loss %g %%, "
      "reorder %g %%, seed %llu\n",
      port, options.target_host.c_str(), options.target_port, options.delay_ms,
      options.jitter_ms, options.loss_percent, options.reorder_percent,
      (unsigned long long)options.seed);
  fflush(stdout);
  run();
  printf(
      "proxy passed %llu datagrams, dropped %llu, reordered %llu, over the "
      "bound %llu; TCP bytes %llu to target, %llu to clients\n",
      (unsigned long long)counts.passed, (unsigned long long)counts.dropped,
      (unsigned long long)counts.reordered,
      (unsigned long long)counts.over_bound,
      (unsigned long long)counts.tcp_to_target,
      (unsigned long long)counts.tcp_to_client);
  fflush(stdout);
  return 0;
}
