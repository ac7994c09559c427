#include "net_proxy/proxy_tcp.h"

#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <deque>
#include <vector>

#include "net_proxy/proxy_shape.h"

namespace {

// Bounds on what is held, so a flood costs counts, not memory.
const size_t TCP_LINKS_MAX = 64;
const size_t TCP_QUEUED_BYTES_MAX = 1u << 20;  // per way: then not read

struct Chunk {
  int64_t due;
  std::vector<uint8_t> bytes;
  size_t sent;
};

// A client's connection and the proxy's to the target; queued[TO_TARGET]
// holds what the client sent, queued[TO_CLIENT] what the target sent.
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
sockaddr_storage target;
socklen_t target_length = 0;

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
      proxy_counts.over_bound++;
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
      link.end_due[way] = shape_due(shape_now_ns(), &link.last_due[way]);
      return;
    }
    if (got < 0) return;
    const int64_t due = shape_due(shape_now_ns(), &link.last_due[way]);
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
    (way == TO_TARGET ? proxy_counts.tcp_to_target
                      : proxy_counts.tcp_to_client) += (uint64_t)sent;
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

}  // namespace

void tcp_start(int listen_fd, const sockaddr_storage &target_address,
               socklen_t target_address_length) {
  listen_tcp = listen_fd;
  target = target_address;
  target_length = target_address_length;
}

void tcp_watch(std::vector<pollfd> *fds, int64_t now, int64_t *wake) {
  fds->push_back(pollfd{listen_tcp, POLLIN, 0});
  for (TcpLink &link : links) {
    short events[2] = {0, 0};
    for (int way = 0; way < 2; way++) {
      if (!link.ended[way] && link.queued_bytes[way] < TCP_QUEUED_BYTES_MAX)
        events[way == TO_TARGET ? 0 : 1] |= POLLIN;
      if (link.ended[way] && link.end_due[way] > now &&
          link.end_due[way] < *wake)
        *wake = link.end_due[way];
      if (link.queued[way].empty()) continue;
      const int64_t due = link.queued[way].front().due;
      if (due <= now)
        events[way == TO_TARGET ? 1 : 0] |= POLLOUT;
      else if (due < *wake)
        *wake = due;
    }
    if (!link.connected) events[1] = POLLOUT;  // to learn it is connected
    // A socket asked nothing is left out: a hang-up it reports would
    // otherwise wake the loop at once, again and again.
    fds->push_back(pollfd{events[0] ? link.fds[0] : -1, events[0], 0});
    fds->push_back(pollfd{events[1] ? link.fds[1] : -1, events[1], 0});
  }
}

void tcp_serve(const pollfd *fds, size_t count, int64_t now) {
  // The links as they were watched: accepting adds more at the end.
  const size_t watched = count > 0 ? (count - 1) / 2 : 0;
  for (size_t i = 0; i < watched && i < links.size(); i++) {
    TcpLink &link = links[i];
    const short client_events = fds[1 + 2 * i].revents;
    const short target_events = fds[2 + 2 * i].revents;
    if (!link.connected && target_events) {
      int problem = 0;
      socklen_t length = sizeof problem;
      getsockopt(link.fds[1], SOL_SOCKET, SO_ERROR, &problem, &length);
      if (problem != 0) link.broken = 1;
      if (problem == 0 && (target_events & POLLOUT)) link.connected = 1;
    }
    if (client_events & (POLLIN | POLLHUP | POLLERR)) tcp_read(link, TO_TARGET);
    if (link.connected && (target_events & (POLLIN | POLLHUP | POLLERR)))
      tcp_read(link, TO_CLIENT);
    for (int way = 0; way < 2; way++) tcp_write_due(link, way, now);
  }
  if (count > 0 && fds[0].revents) tcp_accept();
  for (size_t i = links.size(); i-- > 0;) {
    if (!tcp_finished(links[i], now)) continue;
    close(links[i].fds[0]);
    close(links[i].fds[1]);
    links.erase(links.begin() + (long)i);
  }
}
