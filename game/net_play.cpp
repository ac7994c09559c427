#include "game/net_play.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "engine/display/display.h"
#include "game/command_line.h"
#include "game/court.h"
#include "game/game.h"
#include "game/net_match.h"
#include "game/net_note.h"
#include "platform/dik.h"
#include "platform/net/net_client.h"
#include "platform/net/net_host.h"
#include "platform/net/net_link.h"
#include "platform/net/net_random.h"
#include "platform/net/net_socket.h"
#include "platform/plat_backend.h"
#include "platform/record/record.h"
#include "platform/rollback/rollback.h"

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
  // The backend under the layers, in use before them: what only this
  // machine shows and reads (the connecting window, notes, a watcher's own
  // keys) goes to it, outside the recording.
  const PlatBackend *screen;
  NetHost host;
  NetClient client;
  NetLink link;
  int side;  // in a match of two: NET_HOST or NET_JOINER
  int hosting;
  int match_started;  // the host has told player 2 the match's session
  uint16_t port;      // a joiner's: the host's port, TCP and UDP
  char where[256];
  Note note;                   // shown over every frame this machine presents
  uint64_t note_shown_ms;      // when a waiting screen's note was last shown
  std::vector<uint8_t> frame;  // the presented frame with the note on it
  // Watching.
  int left;  // the player left by Q or Escape
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

// --- the match of two (game/net_match) ---

// The note over the players' frames: who is there, the round trip, a player
// gone quiet or gone.
void match_note(int side) {
  Note *note = &net_play.note;
  char line[400];
  const int heard = net_match_heard();
  if (heard && net_match_silent_ms() >= NET_MATCH_QUIET_MS &&
      !net_match_other_gone()) {
    note_line(
        note, MESSAGE_Y,
        side == NET_HOST ? "Waiting for player 2" : "Waiting for the host");
  } else if (side == NET_HOST && title_showing) {
    if (heard)
      snprintf(line, sizeof line,
               "Player 2 is here (round trip %u ms): press 2 to play",
               (unsigned)net_match_round_trip_ms());
    else
      snprintf(line, sizeof line, "Waiting for player 2 at %s",
               net_play.host.address);
    note_line(note, HOST_TITLE_NOTE_Y, line);
  } else if (side == NET_JOINER && title_showing) {
    char connected[400];
    snprintf(connected, sizeof connected, "Connected to %s - round trip %u ms",
             net_play.where, (unsigned)net_match_round_trip_ms());
    const char *lines[] = {connected,
                           "You play the TOP paddle: your arrows move it",
                           "(Z and X are not yours)",
                           "Space serves your serve, P pauses, "
                           "Q or Esc leaves"};
    note_set(note, CLIENT_TITLE_Y, CLIENT_TITLE_TOP, CLIENT_TITLE_BOTTOM, lines,
             4);
  } else if (side == NET_HOST && net_match_other_gone() && game_paused &&
             game_state.mode == 2) {
    note_line(note, UNDER_MESSAGE_Y, "Player 2 left - P plays on alone");
  } else {
    note->lines = 0;
  }
}

const uint8_t *match_over(const uint8_t *pixels, int32_t pitch, int32_t width,
                          int32_t height) {
  match_note(net_play.side);
  return paint_over(pixels, pitch, width, height, nullptr);
}

// The host's TCP side while the match runs: watchers come and go, and
// player 2 is told the match's session once it has joined. Before it has,
// Q or Escape gives up waiting.
void serve_host_tcp(void) {
  NetHost *host = &net_play.host;
  net_host_poll(host);
  print_notices();
  if (!net_play.match_started && net_host_has_joiner(host)) {
    uint32_t session = 0;
    while (!session) session = (uint32_t)net_random_word();
    if (net_link_open_host(&net_play.link, host->listen_fd, session)) {
      screen()->wait_watch(net_play.link.fd);
      net_host_start_match(host, session);
      net_play.match_started = 1;
    } else {
      fprintf(stderr, "quillfire: %s\n", net_play.link.error);
      rollback_end();
    }
  }
  if (!net_play.match_started) {
    uint8_t keys[256];
    if (screen()->keyboard_read(keys) && (keys[DIK_Q] || keys[DIK_ESCAPE]))
      rollback_end();
  }
}

// The joiner's TCP side: the host's stream (for watchers) is read and
// dropped; its end is the host's.
void serve_joiner_tcp(void) {
  uint8_t drop[4096];
  long n;
  while ((n = net_client_read(&net_play.client, drop, sizeof drop, 0)) > 0) {
  }
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

// A watcher's title: whose game it is, and that no paddle is theirs.
void client_note(void) {
  Note *note = &net_play.note;
  if (!title_showing) {
    note->lines = 0;
    return;
  }
  char connected[400];
  snprintf(connected, sizeof connected, "Connected to %s - watching",
           net_play.where);
  const char *lines[] = {connected, "You are watching: no paddle is yours",
                         "Q or Esc leaves"};
  note_set(note, CLIENT_TITLE_Y + NOTE_LINE_GAP / 2, CLIENT_TITLE_TOP,
           CLIENT_TITLE_BOTTOM, lines, 3);
}

// A watcher's own keys, read from the real keyboard (the game's reads are
// answered from the stream): Q or Escape leaves.
void read_own_keys(void) {
  uint8_t state[256];
  if (!screen()->keyboard_read(state)) return;
  // Only once the game plays: the stream's header is read before it.
  if ((state[DIK_Q] || state[DIK_ESCAPE]) && record_replaying()) {
    net_client_leave(&net_play.client, LEAVE_SEND_MS);
    net_play.left = 1;
    record_replay_stop(EXIT_STATUS_OK, "");
  }
}

long source_read(void *, uint8_t *buffer, size_t count) {
  read_own_keys();
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
  net_play.hosting = 1;
  net_play.match_started = 0;
  net_play.link.fd = -1;
  net_play.client.fd = -1;
  net_play.note.lines = 0;
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
  net_play.link.fd = -1;
  snprintf(net_play.where, sizeof net_play.where, "%s", where);
  NetEndpoint endpoint;
  char parse_error[160];
  net_play.port =
      net_parse_connect(where, &endpoint, parse_error, sizeof parse_error)
          ? endpoint.port
          : 0;
  connecting_since_ms = net_now_ms();
  connecting_window = 0;
  net_set_close_check(connecting_close_check);
  int opened = net_client_open(&net_play.client, where,
                               join ? NET_ROLE_JOIN : NET_ROLE_WATCH,
                               QUILLFIRE_VERSION, timeout_ms);
  // A joiner's match begins when the host says its session, and its
  // datagrams go where its TCP connection went.
  if (opened && join) {
    opened = net_client_wait_match(&net_play.client, timeout_ms) &&
             net_link_open_join(&net_play.link, net_play.client.fd,
                                net_play.client.session);
    if (opened) screen()->wait_watch(net_play.link.fd);
    if (!opened && net_play.link.error[0] && !net_play.client.error[0])
      snprintf(net_play.client.error, sizeof net_play.client.error, "%s",
               net_play.link.error);
  }
  net_set_close_check(real_close_requested);
  // The game makes its own window as it starts.
  if (connecting_window == 1) screen()->shutdown();
  if (!opened) {
    *error = net_play.client.error;
    net_client_close(&net_play.client);
    return 0;
  }
  net_play.left = 0;
  net_play.note.lines = 0;
  if (join) return 1;
  record_on_present(paint_over, nullptr);
  record_on_replay_end(host_ended, nullptr);
  plat_wait_watch(net_play.client.fd);
  *source =
      RecordSource{source_read, source_close, nullptr, net_play.client.fd};
  record_on_wait(serve_client, nullptr);
  return 1;
}

int net_play_match(int side, uint32_t input_delay, uint32_t differ_from_tick) {
  net_play.side = side;
  NetMatchOptions options = {};
  options.side = side;
  options.link = &net_play.link;
  options.input_delay = input_delay;
  options.serve_tcp = side == NET_HOST ? serve_host_tcp : serve_joiner_tcp;
  options.over = match_over;
  options.last_word = show_last_word;
  options.host_port = side == NET_HOST ? net_play.host.port : net_play.port;
  options.differ_from_tick = differ_from_tick;
  int status = net_match_run(&options);
  const NetMatchReport report = net_match_report();
  if (side == NET_JOINER && status != NET_MATCH_OUT_OF_STEP_STATUS) {
    if (report.left || screen()->close_requested()) {
      status = EXIT_STATUS_OK;
    } else if (report.lost) {
      fprintf(stderr, "quillfire: connection lost: %s\n", report.lost_line);
      status = NET_PLAY_LOST_STATUS;
    } else {
      fprintf(stderr, "quillfire: the host ended the game\n");
      status = EXIT_STATUS_OK;
    }
  }
  return status;
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

void net_play_end(void) {
  record_on_wait(nullptr, nullptr);
  if (net_play.link.fd >= 0) {
    screen()->wait_unwatch(net_play.link.fd);
    net_link_close(&net_play.link);
  }
  if (net_play.client.fd >= 0) {
    if (net_play.client.role == NET_ROLE_JOIN)
      net_client_leave(&net_play.client, LEAVE_SEND_MS);
    else
      net_client_close(&net_play.client);
  }
  if (!net_play.hosting) return;
  net_host_close(&net_play.host, 1000);
  print_notices();
  net_play.hosting = 0;
  record_on_present(nullptr, nullptr);
}
