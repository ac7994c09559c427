#include "platform/net/net_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "platform/net/net_wire.h"
#include "platform/plat_window.h"

static int (*close_check)(void) = plat_close_requested;

void net_set_close_check(int (*check)(void)) {
  close_check = check ? check : plat_close_requested;
}

int net_close_check(void) { return close_check(); }

uint64_t net_now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint64_t)t.tv_sec * 1000 + (uint64_t)t.tv_nsec / 1000000;
}

static int parse_port(const char *text, uint16_t *port) {
  if (*text == 0 || strlen(text) > 5) return 0;
  unsigned long value = 0;
  for (const char *p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10 + (unsigned long)(*p - '0');
  }
  if (value > 65535) return 0;
  *port = (uint16_t)value;
  return 1;
}

// Splits "HOST:PORT", "[V6]:PORT" or "HOST". *has_port says whether a port
// was given.
static int split(const char *text, NetEndpoint *out, int *has_port) {
  memset(out, 0, sizeof *out);
  *has_port = 0;
  const char *host = text, *host_end, *port = NULL;
  if (text[0] == '[') {
    host = text + 1;
    host_end = strchr(host, ']');
    if (!host_end) return 0;
    if (host_end[1] == ':')
      port = host_end + 2;
    else if (host_end[1] != 0)
      return 0;
  } else {
    const char *colon = strrchr(text, ':');
    if (colon && strchr(text, ':') != colon) return 0;  // bare IPv6
    host_end = colon ? colon : text + strlen(text);
    if (colon) port = colon + 1;
  }
  size_t length = (size_t)(host_end - host);
  if (length >= sizeof out->host) return 0;
  memcpy(out->host, host, length);
  out->host[length] = 0;
  if (port) {
    if (!parse_port(port, &out->port)) return 0;
    *has_port = 1;
  }
  return 1;
}

int net_parse_listen(const char *text, NetEndpoint *out, char *error,
                     size_t error_size) {
  int has_port;
  if (parse_port(text, &out->port)) {
    out->host[0] = 0;
    return 1;
  }
  if (!split(text, out, &has_port) || out->host[0] == 0) {
    snprintf(error, error_size,
             "'%s' is not PORT, ADDRESS or ADDRESS:PORT (port 0 to 65535)",
             text);
    return 0;
  }
  if (!has_port) out->port = NET_DEFAULT_PORT;
  return 1;
}

int net_parse_connect(const char *text, NetEndpoint *out, char *error,
                      size_t error_size) {
  int has_port;
  if (!split(text, out, &has_port) || out->host[0] == 0 ||
      (has_port && out->port == 0)) {
    snprintf(error, error_size,
             "'%s' is not HOST or HOST:PORT (port 1 to 65535)", text);
    return 0;
  }
  if (!has_port) out->port = NET_DEFAULT_PORT;
  return 1;
}

static struct addrinfo *resolve(const NetEndpoint *where, int passive,
                                char *error, size_t error_size) {
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  char port[8];
  snprintf(port, sizeof port, "%u", (unsigned)where->port);
  struct addrinfo *list = NULL;
  // Every interface means IPv4's any-address: what a home network needs.
  const char *host = where->host[0] ? where->host : (passive ? "0.0.0.0" : "");
  int rc = getaddrinfo(host, port, &hints, &list);
  if (rc != 0) {
    snprintf(error, error_size, "cannot find %s: %s", host, gai_strerror(rc));
    return NULL;
  }
  return list;
}

static int make_socket(const struct addrinfo *a) {
  int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  a->ai_protocol);
  if (fd < 0) return -1;
  int one = 1;
  // Keys and frames are small and must not wait for more to batch with.
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

int net_listen(const NetEndpoint *where, char *error, size_t error_size) {
  struct addrinfo *list = resolve(where, 1, error, error_size);
  if (!list) return -1;
  int fd = -1;
  for (struct addrinfo *a = list; a; a = a->ai_next) {
    fd = make_socket(a);
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 8) == 0) break;
    snprintf(error, error_size, "cannot listen on %s:%u: %s",
             where->host[0] ? where->host : "*", (unsigned)where->port,
             strerror(errno));
    close(fd);
    fd = -1;
  }
  freeaddrinfo(list);
  return fd;
}

uint16_t net_bound_port(int fd) {
  struct sockaddr_storage address;
  socklen_t length = sizeof address;
  if (getsockname(fd, (struct sockaddr *)&address, &length) != 0) return 0;
  if (address.ss_family == AF_INET)
    return ntohs(((struct sockaddr_in *)&address)->sin_port);
  if (address.ss_family == AF_INET6)
    return ntohs(((struct sockaddr_in6 *)&address)->sin6_port);
  return 0;
}

int net_wait(int fd, int for_write, uint32_t ms) {
  struct pollfd p = {fd, (short)(for_write ? POLLOUT : POLLIN), 0};
  return poll(&p, 1, (int)ms) > 0;
}

int net_connect(const NetEndpoint *where, uint32_t timeout_ms, char *error,
                size_t error_size) {
  struct addrinfo *list = resolve(where, 0, error, error_size);
  if (!list) return -1;
  uint64_t deadline = net_now_ms() + timeout_ms;
  int fd = -1;
  snprintf(error, error_size, "cannot connect to %s:%u", where->host,
           (unsigned)where->port);
  for (struct addrinfo *a = list; a && fd < 0; a = a->ai_next) {
    fd = make_socket(a);
    if (fd < 0) continue;
    int rc = connect(fd, a->ai_addr, a->ai_addrlen);
    // Waited for in short slices so that a close request is seen.
    while (rc != 0 && errno == EINPROGRESS) {
      if (net_close_check()) {
        snprintf(error, error_size, "gave up connecting: asked to close");
        break;
      }
      if (net_now_ms() >= deadline) {
        snprintf(error, error_size, "no answer from %s:%u", where->host,
                 (unsigned)where->port);
        break;
      }
      if (!net_wait(fd, 1, 50)) continue;
      int err = 0;
      socklen_t length = sizeof err;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length);
      rc = err == 0 ? 0 : -1;
      errno = err;
    }
    if (rc != 0) {
      if (errno != EINPROGRESS)
        snprintf(error, error_size, "cannot connect to %s:%u: %s", where->host,
                 (unsigned)where->port, strerror(errno));
      close(fd);
      fd = -1;
      if (net_close_check() || net_now_ms() >= deadline) break;
    }
  }
  freeaddrinfo(list);
  return fd;
}

void net_local_address(char *out, size_t size) {
  snprintf(out, size, "127.0.0.1");
  struct ifaddrs *list = NULL;
  if (getifaddrs(&list) != 0) return;
  for (struct ifaddrs *i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    const struct sockaddr_in *a = (const struct sockaddr_in *)i->ifa_addr;
    if ((ntohl(a->sin_addr.s_addr) >> 24) == 127) continue;
    inet_ntop(AF_INET, &a->sin_addr, out, (socklen_t)size);
    break;
  }
  freeifaddrs(list);
}
