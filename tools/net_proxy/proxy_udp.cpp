#include "net_proxy/proxy_udp.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <queue>
#include <vector>

#include "net_proxy/proxy_shape.h"

namespace {

// Bounds on what is held, so a flood costs counts, not memory.
const size_t UDP_HELD_BYTES_MAX = 16u << 20;
const size_t UDP_PEERS_MAX = 256;
const size_t DATAGRAM_BYTES_MAX = 65536;
// A datagram held back for reordering goes alone after this if no later
// one of its way comes to pass it.
const int64_t REORDER_HOLD_MAX_NS = 200 * 1000000LL;
const int64_t UDP_PEER_IDLE_NS = 120 * 1000000000LL;
// What the system keeps for each socket while the proxy waits for a core:
// a burst then is delayed, as on a link, rather than lost before it is read.
const int SOCKET_BUFFER_BYTES = 1 << 20;

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
double loss_percent = 0.0;
double reorder_percent = 0.0;

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
    proxy_counts.passed++;
  else
    proxy_counts.dropped++;
}

// A datagram entering the link one way: lost, held back, or queued.
void udp_enter(uint64_t id, UdpPeer &peer, int way, const uint8_t *data,
               size_t size, int64_t now) {
  if (shape_chance(loss_percent)) {
    proxy_counts.dropped++;
    return;
  }
  if (udp_held_bytes + size > UDP_HELD_BYTES_MAX) {
    proxy_counts.over_bound++;
    return;
  }
  UdpWay &link = peer.ways[way];
  const int64_t due = shape_due(now, &link.last_due);
  std::vector<uint8_t> bytes(data, data + size);
  if (!link.holding && shape_chance(reorder_percent)) {
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
    if (item.reordered) proxy_counts.reordered++;
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
  setsockopt(upstream, SOL_SOCKET, SO_RCVBUF, &SOCKET_BUFFER_BYTES,
             sizeof SOCKET_BUFFER_BYTES);
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
    const int64_t now = shape_now_ns();
    const uint64_t id = udp_peer_for(from, length, now);
    if (id == 0) {
      proxy_counts.over_bound++;
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
    udp_enter(id, peer, TO_CLIENT, datagram, (size_t)got, shape_now_ns());
  }
}

}  // namespace

void udp_start(int listen_fd, const sockaddr_storage &target_address,
               socklen_t target_address_length, double loss, double reorder) {
  listen_udp = listen_fd;
  setsockopt(listen_udp, SOL_SOCKET, SO_RCVBUF, &SOCKET_BUFFER_BYTES,
             sizeof SOCKET_BUFFER_BYTES);
  target = target_address;
  target_length = target_address_length;
  loss_percent = loss;
  reorder_percent = reorder;
}

void udp_watch(std::vector<pollfd> *fds, int64_t *wake) {
  if (!timed.empty() && timed.top().due < *wake) *wake = timed.top().due;
  fds->push_back(pollfd{listen_udp, POLLIN, 0});
  for (auto &entry : peers)
    fds->push_back(pollfd{entry.second.upstream, POLLIN, 0});
}

void udp_serve(const pollfd *fds, size_t count, int64_t now) {
  udp_fire_due(now);
  // The peers as they were watched: reading the clients may add more.
  std::vector<uint64_t> watched;
  for (auto &entry : peers) watched.push_back(entry.first);
  if (count > 0 && fds[0].revents) udp_read_clients();
  for (size_t i = 0; i < watched.size() && 1 + i < count; i++)
    if (fds[1 + i].revents && peers.count(watched[i]))
      udp_read_target(watched[i]);
}
