#include "game/net_play.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "engine/display/display.h"
#include "engine/display/text.h"
#include "game/court.h"
#include "game/game.h"
#include "platform/dik.h"
#include "platform/net/net_client.h"
#include "platform/net/net_host.h"
#include "platform/net/net_socket.h"
#include "platform/record/record_state.h"

namespace {

const int32_t TITLE_NOTE_X = 200, TITLE_NOTE_Y = 440;
const int32_t LOST_X = 275, LOST_Y = 235;
// The band cleared behind a note, so it reads over whatever is under it.
const int32_t NOTE_BAND_HEIGHT = 22, NOTE_BAND_MARGIN = 60, NOTE_CHAR_WIDTH = 6;
const uint32_t TITLE_NOTE_EVERY_MS = 250;

struct NetPlayState {
  NetHost host;
  NetClient client;
  int hosting;
  uint64_t title_note_ms;  // when the title's note was last shown
};

NetPlayState net_play;

// The game's answers come through the recording layer; the network's own
// waits must ask the real platform, or a replay would take their questions
// for the game's.
int real_close_requested(void) { return __real_plat_close_requested(); }

// Shows the presented frame with `line` written on it, without touching the
// game's surfaces and without a checkpoint: only this machine sees it.
void show_over_frame(const char *line, int32_t x, int32_t y) {
  const DDSurface *primary = primary_surface;
  if (!primary || !primary->pixels || !primary->palette) return;
  std::vector<uint8_t> copy((size_t)primary->pitch * primary->height);
  memcpy(copy.data(), primary->pixels, copy.size());
  DDSurface surface{};
  surface.refs = 1;
  surface.pixels = copy.data();
  surface.width = primary->width;
  surface.height = primary->height;
  surface.pitch = primary->pitch;
  const int32_t x0 = std::max(0, x - NOTE_BAND_MARGIN);
  const int32_t x1 = std::min<int32_t>(
      primary->width,
      x + (int32_t)strlen(line) * NOTE_CHAR_WIDTH + NOTE_BAND_MARGIN);
  for (int32_t row = std::max(0, y - 4);
       row < std::min(primary->height, y - 4 + NOTE_BAND_HEIGHT); ++row)
    if (x1 > x0)
      memset(copy.data() + (size_t)row * primary->pitch + x0, 0,
             (size_t)(x1 - x0));
  text_draw_index(line, x, y, MESSAGE_COLOR, &surface);
  __real_plat_present(copy.data(), primary->pitch, primary->width,
                      primary->height,
                      (const uint8_t *)primary->palette->entries);
}

void print_notices(void) {
  char line[NET_NOTICE_SIZE];
  while (net_host_take_notice(&net_play.host, line, sizeof line))
    fprintf(stderr, "quillfire: %s\n", line);
}

// Before each keyboard snapshot is recorded: what the network has, at once.
void merge_remote_keys(uint8_t state[256], void *) {
  NetHost *host = &net_play.host;
  net_host_poll(host);
  print_notices();
  if (net_host_has_joiner(host)) {
    uint8_t keys = net_host_keys(host);
    state[DIK_Z] = (keys & NET_KEY_LEFT) ? 0x80 : 0;
    state[DIK_X] = (keys & NET_KEY_RIGHT) ? 0x80 : 0;
  }
  uint64_t now = net_now_ms();
  if (title_showing && now - net_play.title_note_ms >= TITLE_NOTE_EVERY_MS) {
    net_play.title_note_ms = now;
    char line[400];
    if (net_host_has_joiner(host))
      snprintf(line, sizeof line, "Player 2 is here: press 2 to play");
    else
      snprintf(line, sizeof line, "Waiting for player 2 at %s", host->address);
    show_over_frame(line, TITLE_NOTE_X, TITLE_NOTE_Y);
  }
}

int sink_write(void *, const uint8_t *bytes, size_t count) {
  net_host_send(&net_play.host, bytes, count);
  print_notices();
  return 1;  // a client that fails is dropped alone; the sink goes on
}

// The joiner's own arrows, read from the real keyboard (the game's reads
// are answered from the stream). A watcher reads it too, so that a key it
// presses doesn't end every wait for the stream from then on.
void send_own_keys(void) {
  uint8_t state[256];
  if (!__real_plat_keyboard_read(state)) return;
  if (net_play.client.role != NET_ROLE_JOIN) return;
  uint8_t keys = (state[DIK_LEFT] ? NET_KEY_LEFT : 0) |
                 (state[DIK_RIGHT] ? NET_KEY_RIGHT : 0);
  net_client_send_keys(&net_play.client, keys);
}

long source_read(void *, uint8_t *buffer, size_t count) {
  send_own_keys();
  // The replay waits for more (RECORD_SOURCE_WAIT) on the socket and the
  // window system together, as the socket is watched.
  long n = net_client_read(&net_play.client, buffer, count, 0);
  if (n > 0) return n;
  if (n == 0) return RECORD_SOURCE_WAIT;
  std::string line = std::string("quillfire: ") + net_play.client.error;
  uint32_t start = __real_plat_ticks();
  while ((uint32_t)(__real_plat_ticks() - start) < NET_PLAY_LOST_MS &&
         !__real_plat_close_requested()) {
    show_over_frame("Connection lost", LOST_X, LOST_Y);
    __real_plat_sleep(50);
  }
  plat_wait_unwatch(net_play.client.fd);
  net_client_close(&net_play.client);
  replay_stop(NET_PLAY_LOST_STATUS, line);
}

void source_close(void *) {
  plat_wait_unwatch(net_play.client.fd);
  net_client_close(&net_play.client);
}

}  // namespace

int net_play_host(const char *where, std::string *error) {
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
  net_play.hosting = 1;
  fprintf(stderr, "quillfire: hosting at %s\n", net_play.host.address);
  return 1;
}

int net_play_connect(const char *where, int join, uint32_t timeout_ms,
                     RecordSource *source, std::string *error) {
  net_set_close_check(real_close_requested);
  if (!net_client_open(&net_play.client, where,
                       join ? NET_ROLE_JOIN : NET_ROLE_WATCH, QUILLFIRE_VERSION,
                       timeout_ms)) {
    *error = net_play.client.error;
    net_client_close(&net_play.client);
    return 0;
  }
  plat_wait_watch(net_play.client.fd);
  *source =
      RecordSource{source_read, source_close, nullptr, net_play.client.fd};
  return 1;
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
  if (!net_play.hosting) return;
  net_host_close(&net_play.host, 1000);
  print_notices();
  net_play.hosting = 0;
}
