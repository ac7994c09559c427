// Network play: the host and the joiner each run the game (game/net_match,
// over platform/rollback), each with its own keys at once, and exchange
// their keys as datagrams on the host's one port; watchers replay the
// host's recording, which holds only the frames both players' keys are
// known for, streamed over TCP. Notes only this machine shows are drawn
// over its frames.
#ifndef QUILLFIRE_NET_PLAY_H
#define QUILLFIRE_NET_PLAY_H

#include <string>

#include "platform/record/record.h"

// Called by main for --host, before the match runs. Hosts at `where`
// ("[ADDR:]PORT", TCP and UDP): the network sink is added to the recording
// (its watchers' stream). Returns 1, or 0 with one line in `error`.
int net_play_host(const char *where, std::string *error);

// Called by main for --join and --watch. Connects to `where`
// ("HOST[:PORT]") as a joiner (`join` 1) or a watcher. Waits for the host
// at most `timeout_ms`, or until a close is asked for; a host that takes
// longer than a moment has a window saying where it connects meanwhile (Q
// or Escape there gives up), closed again before this returns: the game
// opens its own. A joiner also waits for the host to start the match (its
// session) and opens its datagrams' socket; a watcher's `source` is filled
// with the live stream. Returns 1, or 0 with one line in `error`.
//
// While a watcher's stream plays, its Q or Escape leaves (the host is told)
// and the replay stops with status 0. When the host's game ends, "The host
// ended the game" stands NET_PLAY_ENDED_MS and the game ends with it (the
// caller's status 0).
int net_play_connect(const char *where, int join, uint32_t timeout_ms,
                     RecordSource *source, std::string *error);

// Called by main for the host (side NET_HOST, after net_play_host) or the
// joiner (NET_JOINER, after net_play_connect): runs this side of the match
// (game/net_match.h), recorded to the sinks added before. The host's title
// waits for player 2; its Q or Escape there gives up. Returns the exit
// status: the game's; for the joiner 0 when it left or the host ended the
// game, NET_PLAY_LOST_STATUS when the host was lost; 3 out of step.
// `differ_from_tick` is for tests (net_match.h); 0 otherwise.
int net_play_match(int side, uint32_t input_delay, uint32_t differ_from_tick);

// Called by main when a watcher's replay stopped early (its status and line
// from record_replay_stopped): prints the line, if any, and returns the exit
// status: 0 when the player left (Q, Escape, the window closed),
// NET_PLAY_LOST_STATUS for every fault of the host, the stream or the
// connection.
int net_play_client_stopped(int status, const std::string &line);

// Where the host listens, as "ADDR:PORT"; empty when not hosting.
std::string net_play_address(void);

// Called by main once the game has ended. Ends hosting or joining: what the
// watchers keeping up still lack is sent (for at most a second), then every
// connection is closed.
void net_play_end(void);

// When a client's connection ends: "Connection lost" on the screen for two
// seconds, then the game ends with status 1. Every network fault ends a
// client with this status.
const int NET_PLAY_LOST_MS = 2000;
const int NET_PLAY_LOST_STATUS = 1;
const int NET_PLAY_ENDED_MS = 2000;

#endif
