#include "platform/net/net_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
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

#include <initializer_list>

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

// Reads a port written in decimal. Returns 1, or 0 with `error` filled: not
// a number, or out of range. Port 0 (the system chooses) is taken only when
// `zero_ok`; players are told of 1 to 65535.
static int parse_port(const char *text, int zero_ok, uint16_t *port,
                      char *error, size_t error_size) {
  unsigned long value = 0;
  int digits = 0;
  for (const char *p = text; *p; ++p, ++digits) {
    if (*p < '0' || *p > '9') {
      snprintf(error, error_size, "port '%s' is not a number", text);
      return 0;
    }
    if (value <= 65535) value = value * 10 + (unsigned long)(*p - '0');
  }
  if (digits == 0) {
    snprintf(error, error_size, "no port after the ':'");
    return 0;
  }
  if ((value == 0 && !zero_ok) || value > 65535) {
    snprintf(error, error_size, "port %s out of range (1 to 65535)", text);
    return 0;
  }
  *port = (uint16_t)value;
  return 1;
}

static int all_digits(const char *text) {
  if (*text == 0) return 0;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return 0;
  return 1;
}

// Splits "HOST:PORT", "[V6]:PORT" or "HOST"; the port is NET_DEFAULT_PORT
// when left out. Returns 1, or 0 with `error` filled.
static int split(const char *text, int zero_ok, NetEndpoint *out, char *error,
                 size_t error_size) {
  memset(out, 0, sizeof *out);
  out->port = NET_DEFAULT_PORT;
  const char *host = text, *host_end, *port = NULL;
  if (text[0] == '[') {
    host = text + 1;
    host_end = strchr(host, ']');
    if (!host_end || (host_end[1] != ':' && host_end[1] != 0)) {
      snprintf(error, error_size,
               "'%s' is not an address: write [IPV6]:PORT, as [::1]:%d", text,
               NET_DEFAULT_PORT);
      return 0;
    }
    if (host_end[1] == ':') port = host_end + 2;
  } else {
    const char *colon = strrchr(text, ':');
    if (colon && strchr(text, ':') != colon) {
      snprintf(error, error_size,
               "'%s' is not an address: an IPv6 address goes in brackets, "
               "as [::1]:%d",
               text, NET_DEFAULT_PORT);
      return 0;
    }
    host_end = colon ? colon : text + strlen(text);
    if (colon) port = colon + 1;
  }
  size_t length = (size_t)(host_end - host);
  if (length == 0 || length >= sizeof out->host) {
    snprintf(error, error_size, "'%s' has no address before the port", text);
    return 0;
  }
  memcpy(out->host, host, length);
  out->host[length] = 0;
  return !port || parse_port(port, zero_ok, &out->port, error, error_size);
}

int net_parse_listen(const char *text, NetEndpoint *out, char *error,
                     size_t error_size) {
  if (all_digits(text)) {
    out->host[0] = 0;
    return parse_port(text, 1, &out->port, error, error_size);
  }
  if (!split(text, 1, out, error, error_size)) return 0;
  // IPv6's any-address listens for both families: every interface.
  if (strcmp(out->host, "::") == 0) out->host[0] = 0;
  return 1;
}

int net_parse_connect(const char *text, NetEndpoint *out, char *error,
                      size_t error_size) {
  return split(text, 0, out, error, error_size);
}

static struct addrinfo *resolve(const char *host, uint16_t port, int passive,
                                char *error, size_t error_size) {
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  char service[8];
  snprintf(service, sizeof service, "%u", (unsigned)port);
  struct addrinfo *list = NULL;
  int rc = getaddrinfo(host, service, &hints, &list);
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

// Room for a burst of connections (a crowd of watchers, or an attack) to
// wait in the system until the host takes them.
static const int LISTEN_BACKLOG = 128;

// Binds and listens on the first of `list` that takes it. `dual` lets an
// IPv6 socket take IPv4 too.
static int listen_on(struct addrinfo *list, int dual, const char *shown,
                     uint16_t port, char *error, size_t error_size) {
  for (struct addrinfo *a = list; a; a = a->ai_next) {
    int fd = make_socket(a);
    if (fd < 0) continue;
    int one = 1, v6only = !dual;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (a->ai_family == AF_INET6)
      setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 &&
        listen(fd, LISTEN_BACKLOG) == 0)
      return fd;
    snprintf(error, error_size, "cannot listen on %s:%u: %s", shown,
             (unsigned)port, strerror(errno));
    close(fd);
  }
  return -1;
}

int net_listen(const NetEndpoint *where, char *error, size_t error_size) {
  if (where->host[0]) {
    struct addrinfo *list =
        resolve(where->host, where->port, 1, error, error_size);
    if (!list) return -1;
    int fd = listen_on(list, 0, where->host, where->port, error, error_size);
    freeaddrinfo(list);
    return fd;
  }
  // Every interface: one IPv6 socket that takes IPv4 too, or IPv4 alone on
  // a system without IPv6.
  int fd = -1;
  for (const char *any : {"::", "0.0.0.0"}) {
    struct addrinfo *list = resolve(any, where->port, 1, error, error_size);
    if (!list) continue;
    fd = listen_on(list, 1, "*", where->port, error, error_size);
    freeaddrinfo(list);
    if (fd >= 0 || errno == EADDRINUSE) break;
  }
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
  struct addrinfo *list =
      resolve(where->host, where->port, 0, error, error_size);
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

int net_local_addresses(char out[][NET_ADDRESS_SIZE], int most) {
  struct ifaddrs *list = NULL;
  if (getifaddrs(&list) != 0) return 0;
  int count = 0;
  // IPv4 first: what most home networks join by.
  for (int family : {AF_INET, AF_INET6}) {
    for (struct ifaddrs *i = list; i && count < most; i = i->ifa_next) {
      if (!i->ifa_addr || i->ifa_addr->sa_family != family) continue;
      if (i->ifa_flags & IFF_LOOPBACK) continue;
      if (family == AF_INET6) {
        const struct in6_addr *a =
            &((const struct sockaddr_in6 *)i->ifa_addr)->sin6_addr;
        // A link-local address needs the joiner's interface named too.
        if (IN6_IS_ADDR_LINKLOCAL(a) || IN6_IS_ADDR_LOOPBACK(a)) continue;
        inet_ntop(AF_INET6, a, out[count], NET_ADDRESS_SIZE);
      } else {
        inet_ntop(AF_INET, &((const struct sockaddr_in *)i->ifa_addr)->sin_addr,
                  out[count], NET_ADDRESS_SIZE);
      }
      int seen = 0;
      for (int j = 0; j < count; ++j) seen |= strcmp(out[j], out[count]) == 0;
      if (!seen) count++;
    }
  }
  freeifaddrs(list);
  return count;
}
