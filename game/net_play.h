// Network play over the recording layer. The host runs the game as ever,
// recording it into a stream that goes to every connected machine, and
// merges the joiner's keys into its keyboard snapshot as player 2's Z and X
// before they are recorded. A joiner or watcher replays that stream live,
// so its game shows the same frames, checked by the same checkpoints; a
// joiner's own keys go back to the host, and notes only this machine shows
// are drawn over its frames.
#ifndef QUILLFIRE_NET_PLAY_H
#define QUILLFIRE_NET_PLAY_H

#include <string>

#include "platform/record/record.h"

// Called by main for --host, before WinMain runs. Hosts at `where`
// ("[ADDR:]PORT"): the network sink is added to the recording and the key merge
// installed; the caller then starts the recording. Returns 1, or 0 with one
// line in `error`. Player 2's Space serves the top paddle's serve, its P and
// its window's focus loss pause as the host's do. When it leaves or is lost
// in a match of two, the host's screen says "Player 2 left" and the rally
// stands paused until the host plays on alone (P) or a joiner comes.
int net_play_host(const char *where, std::string *error);

// Called by main for --join and --watch, before the replay starts.
// Connects to `where` ("HOST[:PORT]") as a joiner (`join` 1) or a watcher
// and fills `source` with the live stream. Waits for the host at most
// `timeout_ms`, or until a close is asked for; a host that takes longer than
// a moment has a window saying where it connects meanwhile (Q or Escape
// there gives up), closed again before this returns: the game opens its own.
// Returns 1, or 0 with one line in `error`.
//
// While the stream plays, the player's own keys are read: a joiner's arrows,
// Space, P and its window's focus go to the host; Q or Escape leaves (the
// host is told) and the replay stops with status 0. The title shows whose
// game it is and which paddle is theirs. When the host's game ends, "The
// host ended the game" stands NET_PLAY_ENDED_MS and the game ends with it
// (the caller's status 0).
int net_play_connect(const char *where, int join, uint32_t timeout_ms,
                     RecordSource *source, std::string *error);

// Called by main when a client's replay stopped early (its status and line
// from record_replay_stopped): prints the line, if any, and returns the exit
// status: 0 when the player left (Q, Escape, the window closed),
// NET_PLAY_LOST_STATUS for every fault of the host, the stream or the
// connection.
int net_play_client_stopped(int status, const std::string &line);

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
const int NET_PLAY_ENDED_MS = 2000;

#endif
