// Whose key is what in a networked match: the bits of a player's input for
// one tick, made from its own keyboard, and the game's keyboard made from
// both players' inputs. The same on both machines, so that both games read
// the same keys at the same tick.
#ifndef QUILLFIRE_NET_KEYS_H
#define QUILLFIRE_NET_KEYS_H

#include <stdint.h>

typedef uint16_t NetInput;

// A player's input bits.
const NetInput NET_IN_LEFT = 1 << 0;
const NetInput NET_IN_RIGHT = 1 << 1;
const NetInput NET_IN_SERVE = 1 << 2;  // Space
const NetInput NET_IN_PAUSE = 1 << 3;  // P or Pause
const NetInput NET_IN_ESCAPE = 1 << 4;
const NetInput NET_IN_ONE = 1 << 5;   // 1: against the computer
const NetInput NET_IN_TWO = 1 << 6;   // 2: two players
const NetInput NET_IN_QUIT = 1 << 7;  // Q
const NetInput NET_IN_AWAY = 1 << 8;  // its window lost the focus
const NetInput NET_IN_GONE = 1 << 9;  // the player left or was lost

// Index of each player's input in the pairs below.
const int NET_HOST = 0;
const int NET_JOINER = 1;

// A player's input from its keyboard as read, and whether its window has
// lost the focus.
NetInput net_keys_own(const uint8_t keys[256], int away);

// The game's keyboard for one tick, from both players' inputs of the tick.
// The host's keys are its own: arrows for the
// bottom paddle, the title's choice, Escape, Q, Space, P. The joiner's
// arrows move the top paddle (the game's Z and X); its Space serves only
// the top paddle's serve, and its P pauses, in a match of two.
void net_keys_merge(const NetInput now[2], uint8_t keys[256]);

// Whether the game is told at this tick that its window lost the focus
// (which pauses a running rally): either player's window lost it, or the
// joiner left.
int net_keys_lost_focus(const NetInput now[2], const NetInput before[2]);

// The game's Escape query: the host's Escape.
int net_keys_escape(const NetInput now[2]);

// Whether a player's own input leaves the rally on this machine at once
// (the host's Escape): such a frame is not run on a guess.
int net_keys_own_escape(int side, NetInput own);

// Whether the frame the game is about to run may run on a guess of the other
// player's keys: a rally frame, running and unpaused, whose ball can't reach
// a goal line whatever the keys. Everything else (the title, a prompt, the
// pause, a goal) waits for both players' keys.
int net_keys_guessable(void);

#endif
