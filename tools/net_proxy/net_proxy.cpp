// qf_net_proxy: a link between two games on this machine that is as long,
// uneven and lossy as asked, so network play can be tested and measured as
// it would be met across the Internet. One thread: ppoll over every socket,
// each half (proxy_udp, proxy_tcp) with its queue of what is due when.
#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "net_proxy/proxy_options.h"
#include "net_proxy/proxy_shape.h"
#include "net_proxy/proxy_tcp.h"
#include "net_proxy/proxy_udp.h"

namespace {

volatile sig_atomic_t stop_asked = 0;

void on_stop_signal(int) { stop_asked = 1; }

// Both on 127.0.0.1:PORT, TCP and UDP; for port 0 the system's choice for
// TCP, taken for UDP too. Returns the port, or 0.
int open_listeners(int port, int *listen_tcp, int *listen_udp) {
  for (int attempt = 0; attempt < 20; attempt++) {
    sockaddr_in here{};
    here.sin_family = AF_INET;
    here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    here.sin_port = htons((uint16_t)port);
    *listen_tcp =
        socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(*listen_tcp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(*listen_tcp, (sockaddr *)&here, sizeof here) != 0 ||
        listen(*listen_tcp, 16) != 0)
      return 0;
    socklen_t length = sizeof here;
    getsockname(*listen_tcp, (sockaddr *)&here, &length);
    *listen_udp = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (bind(*listen_udp, (sockaddr *)&here, sizeof here) == 0)
      return ntohs(here.sin_port);
    // The system's choice for TCP may be taken for UDP: choose again.
    close(*listen_tcp);
    close(*listen_udp);
    if (port != 0) return 0;
  }
  return 0;
}

int resolve_target(const ProxyOptions &options, sockaddr_storage *target,
                   socklen_t *target_length) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo *found = nullptr;
  const std::string port = std::to_string(options.target_port);
  if (getaddrinfo(options.target_host.c_str(), port.c_str(), &hints, &found) !=
          0 ||
      !found)
    return 0;
  memcpy(target, found->ai_addr, found->ai_addrlen);
  *target_length = found->ai_addrlen;
  freeaddrinfo(found);
  return 1;
}

void run(void) {
  sigset_t during_poll;
  sigprocmask(SIG_SETMASK, nullptr, &during_poll);
  sigdelset(&during_poll, SIGINT);
  sigdelset(&during_poll, SIGTERM);
  std::vector<pollfd> fds;
  while (!stop_asked) {
    int64_t now = shape_now_ns();
    int64_t wake = now + 1000000000LL;
    fds.clear();
    udp_watch(&fds, &wake);
    const size_t udp_count = fds.size();
    tcp_watch(&fds, now, &wake);
    const int64_t wait = wake > now ? wake - now : 0;
    const timespec timeout{(time_t)(wait / 1000000000LL),
                           (long)(wait % 1000000000LL)};
    if (ppoll(fds.data(), fds.size(), &timeout, &during_poll) < 0 &&
        errno != EINTR)
      break;
    if (stop_asked) break;
    now = shape_now_ns();
    udp_serve(fds.data(), udp_count, now);
    tcp_serve(fds.data() + udp_count, fds.size() - udp_count, now);
  }
}

}  // namespace

int main(int argc, char **argv) {
  ProxyOptions options;
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
  sockaddr_storage target;
  socklen_t target_length = 0;
  if (!resolve_target(options, &target, &target_length)) {
    fprintf(stderr, "qf_net_proxy: cannot find %s\n",
            options.target_host.c_str());
    return 1;
  }
  int listen_tcp = -1;
  int listen_udp = -1;
  const int port =
      open_listeners(options.listen_port, &listen_tcp, &listen_udp);
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
  shape_start(options);
  udp_start(listen_udp, target, target_length, options.loss_percent,
            options.reorder_percent);
  tcp_start(listen_tcp, target, target_length);

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
      (unsigned long long)proxy_counts.passed,
      (unsigned long long)proxy_counts.dropped,
      (unsigned long long)proxy_counts.reordered,
      (unsigned long long)proxy_counts.over_bound,
      (unsigned long long)proxy_counts.tcp_to_target,
      (unsigned long long)proxy_counts.tcp_to_client);
  fflush(stdout);
  return 0;
}
