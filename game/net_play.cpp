#include "game/net_play.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "engine/display/display.h"
#include "game/command_line.h"
#include "game/court.h"
#include "game/game.h"
#include "game/net_note.h"
#include "platform/dik.h"
#include "platform/net/net_client.h"
#include "platform/net/net_host.h"
#include "platform/net/net_socket.h"
#include "platform/plat_backend.h"
#include "platform/record/record.h"

namespace {

const int32_t SCREEN_WIDTH = 640, SCREEN_HEIGHT = 480;
// Where each note goes: the host's title note under the picture's menu; the
// clients' over the menu, which is not theirs; the rest on the line of the
// game's own messages ("Paused", the serve prompt), or just under it.
const int32_t HOST_TITLE_NOTE_Y = 440;
const int32_t CLIENT_TITLE_TOP = 150, CLIENT_TITLE_BOTTOM = 326;
const int32_t CLIENT_TITLE_Y = 190;
const int32_t MESSAGE_Y = 235, UNDER_MESSAGE_Y = 262;
// Screens that present once and then wait (the title, the serve prompt,
// connecting) have their note shown again this often.
const uint32_t NOTE_EVERY_MS = 250;
// How long a host may take to answer before a window says that it connects.
const uint32_t CONNECTING_WINDOW_AFTER_MS = 300;
// How long a leaving player's last word may take to go out.
const uint32_t LEAVE_SEND_MS = 500;
// The note's colour before the game has its palette (connecting): the
// game's message gold.
const uint8_t CONNECTING_NOTE_RGB[3] = {255, 204, 51};

struct NetPlayState {
  // The backend under the recording layer, in use before it: what only this
  // machine shows and reads (the connecting window, notes, the joiner's own
  // keys) goes to it, outside the recording.
  const PlatBackend *screen;
  NetHost host;
  NetClient client;
  int hosting;
  char where[256];
  Note note;                   // shown over every frame this machine presents
  uint64_t note_shown_ms;      // when a waiting screen's note was last shown
  std::vector<uint8_t> frame;  // the presented frame with the note on it
  // Hosting.
  int had_joiner;        // player 2 was connected at the last look
  uint8_t joiner_keys;   // its keys at the last look
  int left_mid_match;    // player 2 went during a match of two
  int pause_owed;        // ... and its rally is to stand until played on
  int paused_for_leave;  // the pause the game stands in is that one
  int away_pause_owed;   // the joiner's window lost the focus in a rally
  int running_reads;     // reads in a row with the rally running unpaused
  // Joining or watching.
  int focus_lost;      // this window has lost the keyboard focus
  int left;            // the player left by Q or Escape
  uint64_t served_ms;  // when serve_host last polled
};

NetPlayState net_play;

const PlatBackend *screen() { return net_play.screen; }

// The recording layer's hook on every presented frame: the note, on a copy,
// after the checkpoint, so only this machine sees it.
const uint8_t *paint_over(const uint8_t *pixels, int32_t pitch, int32_t width,
                          int32_t height, void *) {
  if (!net_play.note.lines || !pixels || pitch <= 0 || height <= 0)
    return pixels;
  net_play.frame.assign(pixels, pixels + (size_t)pitch * height);
  note_paint(net_play.note, net_play.frame.data(), pitch, width, height);
  return net_play.frame.data();
}

// The palette a note is shown with: the screen's, but with the message
// colour as the game had it before its last fade, so that a note reads on a
// screen faded to black.
std::vector<uint8_t> note_palette(const uint8_t *palette) {
  std::vector<uint8_t> colours(palette, palette + 1024);
  const PALETTEENTRY &saved = saved_palette[MESSAGE_COLOR];
  if (saved.peRed || saved.peGreen || saved.peBlue)
    memcpy(&colours[MESSAGE_COLOR * 4], &saved, 4);
  return colours;
}

// Shows the presented frame again with the note on it, without touching the
// game's surfaces and without a checkpoint: for screens that present once
// and then wait.
void show_note_now(void) {
  net_play.note_shown_ms = net_now_ms();
  const DDSurface *primary = primary_surface;
  if (!primary || !primary->pixels || !primary->palette) {
    // The game has let its screen go (it is ending): the note alone, on
    // the window that still stands.
    screen()->display_set_mode(SCREEN_WIDTH, SCREEN_HEIGHT, 8);
    std::vector<uint8_t> black((size_t)SCREEN_WIDTH * SCREEN_HEIGHT, 0);
    uint8_t palette[1024] = {};
    memcpy(palette + MESSAGE_COLOR * 4, CONNECTING_NOTE_RGB, 3);
    const uint8_t *shown = paint_over(black.data(), SCREEN_WIDTH, SCREEN_WIDTH,
                                      SCREEN_HEIGHT, nullptr);
    screen()->present(shown, SCREEN_WIDTH, SCREEN_WIDTH, SCREEN_HEIGHT,
                      note_palette(palette).data());
    return;
  }
  const uint8_t *shown = paint_over(primary->pixels, primary->pitch,
                                    primary->width, primary->height, nullptr);
  const uint8_t *palette = (const uint8_t *)primary->palette->entries;
  screen()->present(
      shown, primary->pitch, primary->width, primary->height,
      net_play.note.lines ? note_palette(palette).data() : palette);
}

void show_note_every_while(void) {
  if (net_now_ms() - net_play.note_shown_ms >= NOTE_EVERY_MS) show_note_now();
}

// Shows `line` alone on the screen as it is for `ms`, or until a close is
// asked for.
void show_last_word(const char *line, uint32_t ms) {
  note_line(&net_play.note, MESSAGE_Y, line);
  const uint32_t start = screen()->ticks();
  while ((uint32_t)(screen()->ticks() - start) < ms &&
         !screen()->close_requested()) {
    show_note_now();
    screen()->sleep(50);
  }
}

void print_notices(void) {
  char line[NET_NOTICE_SIZE];
  while (net_host_take_notice(&net_play.host, line, sizeof line))
    fprintf(stderr, "quillfire: %s\n", line);
}

bool match_of_two(void) { return game_state.mode == 2 && !title_showing; }

// Whether a pause key pressed in this snapshot pauses: the rally runs, and
// ran at the read before, whose pause key was up (the game takes a pause
// key already down as its rally begins for a key pressed for something
// else).
bool pause_key_counts(void) { return net_play.running_reads >= 2; }

// The host's note for what it shows now.
void host_note(void) {
  Note *note = &net_play.note;
  char line[400];
  if (title_showing) {
    if (net_host_has_joiner(&net_play.host))
      snprintf(line, sizeof line, "Player 2 is here: press 2 to play");
    else
      snprintf(line, sizeof line, "Waiting for player 2 at %s",
               net_play.host.address);
    note_line(note, HOST_TITLE_NOTE_Y, line);
  } else if (net_play.left_mid_match && game_paused) {
    note_line(note, UNDER_MESSAGE_Y, "Player 2 left - P plays on alone");
  } else {
    note->lines = 0;
  }
}

// What player 2's leaving or coming does to the host's match: gone in a
// match of two, its rally stands paused (the pause is owed until a rally
// runs) until the host plays on alone with P or a joiner takes the paddle.
// The pause is a key the game reads, so the recording has it.
void follow_player_two(uint8_t state[256], int joiner) {
  if (net_play.had_joiner && !joiner && match_of_two()) {
    net_play.left_mid_match = 1;
    net_play.pause_owed = 1;
  }
  if (title_showing) net_play.left_mid_match = net_play.pause_owed = 0;
  if (!game_paused) net_play.paused_for_leave = 0;
  if (joiner && !net_play.had_joiner) {
    net_play.left_mid_match = net_play.pause_owed = 0;
    if (net_play.paused_for_leave && game_paused) {
      state[DIK_PAUSE] = 0x80;
      net_play.paused_for_leave = 0;
    }
  }
  // Played on alone: the note goes.
  if (net_play.left_mid_match && !net_play.pause_owed && !game_paused &&
      rally_running())
    net_play.left_mid_match = 0;
  if (net_play.pause_owed && pause_key_counts()) {
    state[DIK_PAUSE] = 0x80;
    net_play.pause_owed = 0;
    net_play.paused_for_leave = 1;
  }
  net_play.had_joiner = joiner;
}

// Before each keyboard snapshot is recorded: what the network has, at once.
// The joiner's arrows are player 2's Z and X; its Space serves the top
// paddle's serve only; its P is the host's P; its window losing the focus
// pauses a running rally, as the host's does.
void merge_remote_keys(uint8_t state[256], void *) {
  NetHost *host = &net_play.host;
  net_host_poll(host);
  print_notices();
  const int joiner = net_host_has_joiner(host);
  const uint8_t keys = joiner ? net_host_keys(host) : 0;
  if (joiner) {
    state[DIK_Z] = (keys & NET_KEY_LEFT) ? 0x80 : 0;
    state[DIK_X] = (keys & NET_KEY_RIGHT) ? 0x80 : 0;
  }
  if (joiner && game_state.mode == 2) {
    if ((keys & NET_KEY_SERVE) && serve_prompt_showing &&
        game_state.serving_side == 2)
      state[DIK_SPACE] = 0x80;
    if (keys & NET_KEY_PAUSE) state[DIK_P] = 0x80;
    const bool away_begins =
        (keys & NET_KEY_AWAY) && !(net_play.joiner_keys & NET_KEY_AWAY);
    if (away_begins && rally_running() && !game_paused)
      net_play.away_pause_owed = 1;
  }
  net_play.joiner_keys = keys;
  net_play.running_reads =
      rally_running() && !game_paused ? net_play.running_reads + 1 : 0;
  if (net_play.away_pause_owed && !rally_running())
    net_play.away_pause_owed = 0;  // the rally ended first: nothing to pause
  if (net_play.away_pause_owed && pause_key_counts()) {
    state[DIK_PAUSE] = 0x80;
    net_play.away_pause_owed = 0;
  }
  follow_player_two(state, joiner);
  const int had_note = net_play.note.lines;
  host_note();
  if ((title_showing || serve_prompt_showing) && net_play.note.lines)
    show_note_every_while();
  else if (had_note && !net_play.note.lines && serve_prompt_showing)
    show_note_now();  // the prompt shown again without it
}

// While the host's game waits (between frames, in fades, during the
// winner's message): the network is served as at each keyboard read, no
// more often than every SERVE_EVERY_MS.
const uint64_t SERVE_EVERY_MS = 2;

void serve_host(void *) {
  uint64_t now = net_now_ms();
  if (now - net_play.served_ms < SERVE_EVERY_MS) return;
  net_play.served_ms = now;
  net_host_poll(&net_play.host);
  print_notices();
}

// While a client's game is busy with what it has (a long stretch of the
// stream replays without reading): the host is still told we are here, and
// its silence still noticed. An end found here is told at the next read.
void serve_client(void *) { net_client_serve(&net_play.client); }

int sink_write(void *, const uint8_t *bytes, size_t count) {
  net_host_send(&net_play.host, bytes, count);
  print_notices();
  return 1;  // a client that fails is dropped alone; the sink goes on
}

// The client's title: whose game it is and what is theirs in it.
void client_note(void) {
  Note *note = &net_play.note;
  if (!title_showing) {
    note->lines = 0;
    return;
  }
  char connected[400];
  snprintf(connected, sizeof connected,
           "Connected to %s - waiting for the host", net_play.where);
  if (net_play.client.role == NET_ROLE_JOIN) {
    const char *lines[] = {connected,
                           "You play the TOP paddle: your arrows move it",
                           "(Z and X are not yours)",
                           "Space serves your serve, P pauses, "
                           "Q or Esc leaves"};
    note_set(note, CLIENT_TITLE_Y, CLIENT_TITLE_TOP, CLIENT_TITLE_BOTTOM, lines,
             4);
  } else {
    const char *lines[] = {connected, "You are watching: no paddle is yours",
                           "Q or Esc leaves"};
    note_set(note, CLIENT_TITLE_Y + NOTE_LINE_GAP / 2, CLIENT_TITLE_TOP,
             CLIENT_TITLE_BOTTOM, lines, 3);
  }
}

// The player's own keys, read from the real keyboard (the game's reads are
// answered from the stream): a joiner's go to the host; Q or Escape leaves.
void send_own_keys(void) {
  uint8_t state[256];
  if (!screen()->keyboard_read(state)) return;
  // Only once the game plays: the stream's header is read before it.
  if ((state[DIK_Q] || state[DIK_ESCAPE]) && record_replaying()) {
    net_client_leave(&net_play.client, LEAVE_SEND_MS);
    net_play.left = 1;
    record_replay_stop(EXIT_STATUS_OK, "");
    return;
  }
  if (net_play.client.role != NET_ROLE_JOIN) return;
  const uint8_t keys = (state[DIK_LEFT] ? NET_KEY_LEFT : 0) |
                       (state[DIK_RIGHT] ? NET_KEY_RIGHT : 0) |
                       (state[DIK_SPACE] ? NET_KEY_SERVE : 0) |
                       (state[DIK_P] || state[DIK_PAUSE] ? NET_KEY_PAUSE : 0) |
                       (net_play.focus_lost ? NET_KEY_AWAY : 0);
  net_client_send_keys(&net_play.client, keys);
}

long source_read(void *, uint8_t *buffer, size_t count) {
  send_own_keys();
  if (net_play.left) return RECORD_SOURCE_END;  // the replay stops there
  const int had_note = net_play.note.lines;
  client_note();
  if (title_showing)
    show_note_every_while();
  else if (had_note)
    show_note_now();  // the screen after the title shown again without it
  // The replay waits for more (RECORD_SOURCE_WAIT) on the socket and the
  // window system together, as the socket is watched.
  long n = net_client_read(&net_play.client, buffer, count, 0);
  if (n > 0) return n;
  if (n == 0) return RECORD_SOURCE_WAIT;
  std::string line = std::string("quillfire: ") + net_play.client.error;
  show_last_word("Connection lost", NET_PLAY_LOST_MS);
  plat_wait_unwatch(net_play.client.fd);
  net_client_close(&net_play.client);
  record_replay_stop(NET_PLAY_LOST_STATUS, line.c_str());
  return RECORD_SOURCE_END;
}

void source_close(void *) {
  plat_wait_unwatch(net_play.client.fd);
  net_client_close(&net_play.client);
}

// The window's own messages, which the replay empties from the queue.
void see_real_message(const PlatMessage *msg, void *) {
  if (msg->message == WM_KILLFOCUS) net_play.focus_lost = 1;
  if (msg->message == WM_SETFOCUS) net_play.focus_lost = 0;
}

void host_ended(void *) {
  show_last_word("The host ended the game", NET_PLAY_ENDED_MS);
}

// The window that stands while connecting, and its wait: the note shown
// again every so often, and Q or Escape gives up as closing does.
intptr_t connecting_proc(PlatWindow *window, uint32_t message, uintptr_t wparam,
                         intptr_t lparam) {
  return plat_default_window_proc(window, message, wparam, lparam);
}

std::vector<uint8_t> connecting_pixels;
uint8_t connecting_palette[1024];
uint64_t connecting_since_ms;
int connecting_window;  // 0 not yet, 1 open, -1 could not be opened

// Opens a window saying where it connects. Returns 1 when it stands.
int open_connecting_window(const char *where) {
  if (!screen()->init()) return 0;
  // Made as the game makes its own, so that it stands where the game's will.
  int32_t desktop_width = SCREEN_WIDTH, desktop_height = SCREEN_HEIGHT;
  screen()->desktop_size(&desktop_width, &desktop_height);
  if (!screen()->window_create("Quillfire", 0, 0, desktop_width, desktop_height,
                               connecting_proc) ||
      !screen()->display_set_mode(SCREEN_WIDTH, SCREEN_HEIGHT, 8)) {
    screen()->shutdown();
    return 0;
  }
  screen()->keyboard_open();
  connecting_pixels.assign((size_t)SCREEN_WIDTH * SCREEN_HEIGHT, 0);
  memset(connecting_palette, 0, sizeof connecting_palette);
  memcpy(connecting_palette + MESSAGE_COLOR * 4, CONNECTING_NOTE_RGB, 3);
  char line[400];
  snprintf(line, sizeof line, "Connecting to %s ...", where);
  const char *lines[] = {line, "Q or Esc gives up"};
  Note note{};
  note_set(&note, MESSAGE_Y, 0, 0, lines, 2);
  note_paint(note, connecting_pixels.data(), SCREEN_WIDTH, SCREEN_WIDTH,
             SCREEN_HEIGHT);
  net_play.note_shown_ms = 0;
  return 1;
}

// The wait while connecting: a host that answers at once is joined without
// a window of its own (the game's opens straight away); one that takes
// longer has a window saying so, shown again every so often, and Q or
// Escape there gives up as closing does.
int connecting_close_check(void) {
  if (screen()->close_requested()) return 1;
  if (!connecting_window &&
      net_now_ms() - connecting_since_ms >= CONNECTING_WINDOW_AFTER_MS)
    connecting_window = open_connecting_window(net_play.where) ? 1 : -1;
  if (connecting_window != 1) return 0;
  uint8_t state[256];
  if (screen()->keyboard_read(state) && (state[DIK_Q] || state[DIK_ESCAPE]))
    return 1;
  if (net_now_ms() - net_play.note_shown_ms >= NOTE_EVERY_MS) {
    net_play.note_shown_ms = net_now_ms();
    PlatMessage drop;
    while (screen()->peek_message(&drop)) {
    }
    screen()->present(connecting_pixels.data(), SCREEN_WIDTH, SCREEN_WIDTH,
                      SCREEN_HEIGHT, connecting_palette);
  }
  return 0;
}

int real_close_requested(void) { return screen()->close_requested(); }

}  // namespace

int net_play_host(const char *where, std::string *error) {
  net_play.screen = plat_in_use();
  if (!net_host_open(&net_play.host, where, QUILLFIRE_VERSION)) {
    *error = net_play.host.error;
    return 0;
  }
  if (!record_add_sink(RecordSink{sink_write, nullptr, nullptr})) {
    *error = record_error();
    net_host_close(&net_play.host, 0);
    return 0;
  }
  record_on_keyboard(merge_remote_keys, nullptr);
  record_on_present(paint_over, nullptr);
  net_play.hosting = 1;
  net_play.had_joiner = net_play.left_mid_match = 0;
  net_play.pause_owed = net_play.paused_for_leave = 0;
  net_play.away_pause_owed = net_play.running_reads = 0;
  net_play.joiner_keys = 0;
  net_play.note.lines = 0;
  record_on_wait(serve_host, nullptr);
  if (net_play.host.also[0])
    fprintf(stderr, "quillfire: hosting at %s (also %s)\n",
            net_play.host.address, net_play.host.also);
  else
    fprintf(stderr, "quillfire: hosting at %s\n", net_play.host.address);
  return 1;
}

int net_play_connect(const char *where, int join, uint32_t timeout_ms,
                     RecordSource *source, std::string *error) {
  net_play.screen = plat_in_use();
  snprintf(net_play.where, sizeof net_play.where, "%s", where);
  connecting_since_ms = net_now_ms();
  connecting_window = 0;
  net_set_close_check(connecting_close_check);
  const int opened = net_client_open(&net_play.client, where,
                                     join ? NET_ROLE_JOIN : NET_ROLE_WATCH,
                                     QUILLFIRE_VERSION, timeout_ms);
  net_set_close_check(real_close_requested);
  // The game makes its own window as it starts.
  if (connecting_window == 1) screen()->shutdown();
  if (!opened) {
    *error = net_play.client.error;
    net_client_close(&net_play.client);
    return 0;
  }
  net_play.focus_lost = 0;
  net_play.left = 0;
  net_play.note.lines = 0;
  record_on_present(paint_over, nullptr);
  record_on_real_message(see_real_message, nullptr);
  record_on_replay_end(host_ended, nullptr);
  plat_wait_watch(net_play.client.fd);
  *source =
      RecordSource{source_read, source_close, nullptr, net_play.client.fd};
  record_on_wait(serve_client, nullptr);
  return 1;
}

int net_play_client_stopped(int status, const std::string &line) {
  if (status == NET_PLAY_LOST_STATUS) {  // the connection's own end
    fprintf(stderr, "%s\n", line.c_str());
    return NET_PLAY_LOST_STATUS;
  }
  // The player left (Q, Escape, the window closed, a signal): nothing went
  // wrong.
  if (status == 0 && (net_play.left || real_close_requested())) return 0;
  // The stream itself went wrong (out of step, malformed): the host's or
  // the network's fault, not a recording's.
  fprintf(stderr, "quillfire: the host's stream: %s\n", line.c_str());
  return NET_PLAY_LOST_STATUS;
}

std::string net_play_address(void) {
  return net_play.hosting ? net_play.host.address : "";
}

int net_play_has_joiner(void) {
  net_host_poll(&net_play.host);
  print_notices();
  return net_host_has_joiner(&net_play.host);
}

void net_play_end(void) {
  record_on_wait(nullptr, nullptr);
  if (!net_play.hosting) return;
  net_host_close(&net_play.host, 1000);
  print_notices();
  net_play.hosting = 0;
  record_on_keyboard(nullptr, nullptr);
  record_on_present(nullptr, nullptr);
}
