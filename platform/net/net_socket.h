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

// "[ADDR:]PORT" for a host: "7373" (or "[::]:7373") is every interface, IPv6
// and IPv4, "127.0.0.1:7373" only that address; an IPv6 address goes in
// brackets ("[::1]:7373"). "127.0.0.1" alone is NET_DEFAULT_PORT there.
// Port 0 lets the system choose (the command line refuses it). Returns 1, or
// 0 with `error` filled in one line ("port 99999 out of range (1 to 65535)").
int net_parse_listen(const char *text, NetEndpoint *out, char *error,
                     size_t error_size);

// "HOST[:PORT]" or "[IPV6]:PORT" for a client; the port (1 to 65535) is
// NET_DEFAULT_PORT when left out. HOST is a name or an address.
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

// This machine's addresses that others can join, as text: IPv4 first, then
// IPv6 (not loopback, not link-local), at most `most`. Returns the count.
#define NET_ADDRESS_SIZE 256  // as NetEndpoint.host
int net_local_addresses(char out[][NET_ADDRESS_SIZE], int most);

#endif
