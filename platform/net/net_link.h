// The players' UDP socket in network play: each side sends its datagrams
// (net_datagram) to the other every frame and takes what came, never
// waiting. The TCP connection (net_host, net_client) comes first and says
// who the peer is: the joiner sends only to the address its TCP connection
// reached; the host sends only to the address the joiner's good datagrams
// come from. No address a message claims is ever used.
#ifndef QUILLFIRE_NET_LINK_H
#define QUILLFIRE_NET_LINK_H

#include <netinet/in.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/socket.h>

#include "platform/net/net_datagram.h"

// More than a player's machine ever sends in a second (it sends one a frame,
// a few more when it catches up): past either from the peer's address, the
// peer is dropped.
#define NET_LINK_DATAGRAMS_PER_SECOND_MAX 1000
#define NET_LINK_GARBAGE_MAX 200  // bad datagrams a second
// Datagrams one net_link_receive looks at, at most, so that a flood from
// strangers can't hold the frame: it returns 0 after that many refusals.
#define NET_LINK_READS_PER_CALL 256

typedef struct NetLinkCounts {
  uint64_t datagrams_in, datagrams_out, bytes_in, bytes_out;
  uint64_t refused;  // unreadable, another session's, or a stranger's
} NetLinkCounts;

typedef struct NetLink {
  int fd;  // -1 when closed
  uint32_t session;
  int is_host;
  int has_peer;  // the host learns the joiner's address from its first good
                 // datagram; the joiner's peer is its TCP connection's
  struct sockaddr_storage peer;
  socklen_t peer_size;
  uint64_t last_heard_ms;  // net_now_ms() of the last good datagram (0 none)
  NetLinkCounts counts;
  int dropped;  // the peer was dropped for flooding or garbage; error says why
  char error[160];
  uint64_t rate_begun_ms;  // the second the two counts below are of
  uint32_t rate_datagrams, rate_garbage;  // from the peer's address
  // The host: the address the joiner's datagrams were sent to, which its
  // answers go out from. A socket on every interface would otherwise answer
  // from whichever address the route picks, which the joiner refuses.
  int has_local;
  struct in_pktinfo local4;
  struct in6_pktinfo local6;
} NetLink;

// The host, once the joiner is connected: a UDP socket bound to the address
// and port of the TCP listening socket `tcp_listen_fd` (the same family, and
// for IPv6 taking IPv4 too when that socket does). Returns 1, or 0 with
// link->error saying why.
int net_link_open_host(NetLink *link, int tcp_listen_fd, uint32_t session);

// The joiner, once the host has told the session: a UDP socket whose peer is
// the address its TCP connection `tcp_fd` reached. Returns 1, or 0 with
// link->error saying why.
int net_link_open_join(NetLink *link, int tcp_fd, uint32_t session);

// Sends one datagram to the peer (the host: nothing before the joiner's
// first good datagram came). Never waits: a full send buffer drops it, as
// the network may. Returns 1 when the system took it, 0 otherwise (no peer
// yet, dropped, closed, or the system did not take it).
int net_link_send(NetLink *link, const NetDatagram *d);

// Takes one waiting datagram of this session from the peer into *d. Returns
// 1, or 0 when none is waiting (or NET_LINK_READS_PER_CALL were refused in
// this call). Never waits. Datagrams that are unreadable, carry another
// session or come (to the joiner) from another address are counted in
// counts.refused and ignored; the host takes the source of a good datagram
// of the session as the peer's address (address translation may change
// it). A peer past NET_LINK_DATAGRAMS_PER_SECOND_MAX or NET_LINK_GARBAGE_MAX
// is dropped: link->dropped, link->error one line, and 0 from then on.
int net_link_receive(NetLink *link, NetDatagram *d);

void net_link_close(NetLink *link);

#endif
