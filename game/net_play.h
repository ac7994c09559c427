// Network play over the recording layer. The host runs the game as ever,
// recording it into a stream that goes to every connected machine, and
// merges the joiner's keys into its keyboard snapshot as player 2's Z and X
// before they are recorded. A joiner or watcher replays that stream live,
// so its game shows the same frames, checked by the same checkpoints; a
// joiner's own arrows go back to the host.
#ifndef QUILLFIRE_NET_PLAY_H
#define QUILLFIRE_NET_PLAY_H

#include <string>

#include "platform/record/record.h"

// Called by main for --host, before WinMain runs. Hosts at `where`
// ("[ADDR:]PORT"): the network sink is added to the recording and the key merge
// installed; the caller then starts the recording. Returns 1, or 0 with one
// line in `error`.
int net_play_host(const char *where, std::string *error);

// Called by main for --join and --watch, before the replay starts.
// Connects to `where` ("HOST[:PORT]") as a joiner (`join` 1) or a watcher
// and fills `source` with the live stream. Waits for the host at most
// `timeout_ms`, or until a close is asked for. Returns 1, or 0 with one line
// in `error`.
int net_play_connect(const char *where, int join, uint32_t timeout_ms,
                     RecordSource *source, std::string *error);

// Called by main as it starts, before any window, for --host (`listen` 1),
// --join and --watch: whether `text` is an address and port a player may
// give. Returns 1, or 0 with one line in `error` ("port 99999 out of range
// (1 to 65535)").
int net_play_check_address(const char *text, int listen, std::string *error);

// Called by main when a client's replay stopped (RecordStop): prints its one
// line, if any, and returns the exit status: 0 when the player closed the
// window, NET_PLAY_LOST_STATUS for every fault of the host, the stream or
// the connection.
int net_play_client_stopped(const RecordStop &stop);

// Called by the networked match test. Where the host listens, as "ADDR:PORT";
// empty when not hosting.
std::string net_play_address(void);

// Called by the networked match test. Takes what the network has now (new
// clients, keys) and answers whether player 2 is connected. The game's own
// keyboard reads do the same.
int net_play_has_joiner(void);

// Called by main once WinMain has returned. Ends hosting: what the clients
// keeping up still lack is sent (for at most a second), then every connection
// is closed.
void net_play_end(void);

// When a client's connection ends: "Connection lost" on the screen for two
// seconds, then the replay stops with status 1 and the reason as its line.
// Every network fault ends a client with this status.
const int NET_PLAY_LOST_MS = 2000;
const int NET_PLAY_LOST_STATUS = 1;

#endif
