// The few POSIX socket operations network play needs: addresses as the
// player writes them, a listening socket, a connection made without
// blocking, and a monotonic millisecond clock. Every socket is non-blocking.
#ifndef QUILLFIRE_NET_SOCKET_H
#define QUILLFIRE_NET_SOCKET_H

#include <stddef.h>
#include <stdint.h>

// An address as written on the command line, split. `host` is empty for
// "every interface".
typedef struct NetEndpoint {
  char host[256];
  uint16_t port;
} NetEndpoint;

// "[ADDR:]PORT" for a host: "7373" is every interface, "127.0.0.1:7373"
// only that address; an IPv6 address goes in brackets ("[::1]:7373").
// "127.0.0.1" alone is NET_DEFAULT_PORT there. Port 0 lets the system choose.
// Returns 1, or 0 with `error` filled.
int net_parse_listen(const char *text, NetEndpoint *out, char *error,
                     size_t error_size);

// "HOST[:PORT]" for a client; the port is NET_DEFAULT_PORT when left out.
int net_parse_connect(const char *text, NetEndpoint *out, char *error,
                      size_t error_size);

// A non-blocking socket listening at `where`. Returns it, or -1 with `error`
// filled.
int net_listen(const NetEndpoint *where, char *error, size_t error_size);

// The port a socket is bound to, or 0.
uint16_t net_bound_port(int fd);

// Starts a non-blocking connection to `where` and waits for it at most
// `timeout_ms`, giving up early once the user asks the program to close.
// Returns the connected socket, or -1 with `error` filled.
int net_connect(const NetEndpoint *where, uint32_t timeout_ms, char *error,
                size_t error_size);

// Waits until `fd` can be read (or written, when `for_write`) or `ms` have
// passed. Returns 1 when it can, 0 otherwise.
int net_wait(int fd, int for_write, uint32_t ms);

// What every wait here asks to learn that the user wants the program to
// end: plat_close_requested unless set otherwise (a program whose platform
// calls are answered by a replay must ask the real platform).
void net_set_close_check(int (*check)(void));
int net_close_check(void);

// Milliseconds from an arbitrary start, never going back.
uint64_t net_now_ms(void);

// The first IPv4 address of this machine's network interfaces that is not a
// loopback one, as text; "127.0.0.1" when there is none.
void net_local_address(char *out, size_t size);

#endif
