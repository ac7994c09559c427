#include "platform/net/net_wire.h"

#include <stdio.h>
#include <string.h>

static void put_u16(uint8_t *p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

static void put_u32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

static void put_u64(uint8_t *p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

static uint32_t get_u32(const uint8_t *p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 |
         (uint32_t)p[3] << 24;
}

static uint64_t get_u64(const uint8_t *p) {
  return (uint64_t)get_u32(p) | (uint64_t)get_u32(p + 4) << 32;
}

size_t net_write_greeting(uint8_t *out, uint8_t code, const char *version) {
  size_t length = strlen(version);
  if (length > NET_VERSION_MAX) length = NET_VERSION_MAX;
  memcpy(out, NET_MAGIC, 4);
  put_u16(out + 4, NET_PROTOCOL);
  out[6] = code;
  out[7] = (uint8_t)length;
  memcpy(out + NET_GREETING_FIXED, version, length);
  return NET_GREETING_FIXED + length;
}

static size_t write_header(uint8_t *out, uint8_t type, uint32_t length) {
  out[0] = type;
  put_u32(out + 1, length);
  return NET_HEADER_SIZE;
}

size_t net_write_keys(uint8_t *out, uint32_t sequence, uint8_t keys) {
  size_t n = write_header(out, NET_MSG_KEYS, NET_KEYS_PAYLOAD);
  put_u32(out + n, sequence);
  out[n + 4] = keys;
  return n + NET_KEYS_PAYLOAD;
}

size_t net_write_taken(uint8_t *out, uint64_t taken) {
  size_t n = write_header(out, NET_MSG_TAKEN, NET_TAKEN_PAYLOAD);
  put_u64(out + n, taken);
  return n + NET_TAKEN_PAYLOAD;
}

size_t net_write_match(uint8_t *out, uint32_t session) {
  size_t n = write_header(out, NET_MSG_MATCH, NET_MATCH_PAYLOAD);
  put_u32(out + n, session);
  return n + NET_MATCH_PAYLOAD;
}

size_t net_write_alive(uint8_t *out) {
  return write_header(out, NET_MSG_ALIVE, 0);
}

size_t net_write_leave(uint8_t *out) {
  return write_header(out, NET_MSG_LEAVE, 0);
}

size_t net_write_stream_header(uint8_t *out, uint64_t offset, uint32_t length) {
  size_t n = write_header(out, NET_MSG_STREAM, 8 + length);
  put_u64(out + n, offset);
  return n + 8;
}

void net_reader_init(NetReader *reader, int from) {
  memset(reader, 0, sizeof *reader);
  reader->from = from;
  reader->need = NET_GREETING_FIXED;
}

static int fail(NetReader *reader, const char *why) {
  reader->failed = 1;
  snprintf(reader->error, sizeof reader->error, "%s", why);
  return NET_READ_FAILED;
}

// Copies bytes until the current piece has `need` bytes. 1 when it has.
static int fill(NetReader *reader, const uint8_t **data, size_t *size) {
  size_t want = reader->need - reader->have;
  size_t n = *size < want ? *size : want;
  memcpy(reader->buf + reader->have, *data, n);
  reader->have += n;
  *data += n;
  *size -= n;
  reader->mid_message = reader->have > 0;
  return reader->have == reader->need;
}

// The greeting is read in two steps: the fixed part, then the version text
// whose length it gives.
static int take_greeting(NetReader *reader) {
  const uint8_t *b = reader->buf;
  if (reader->need == NET_GREETING_FIXED) {
    if (memcmp(b, NET_MAGIC, 4) != 0)
      return fail(reader, "not a Quillfire connection (wrong magic word)");
    reader->greeting.protocol = (uint16_t)(b[4] | b[5] << 8);
    if (reader->greeting.protocol != NET_PROTOCOL) {
      char why[96];
      snprintf(why, sizeof why, "network protocol %u, this game speaks %u",
               (unsigned)reader->greeting.protocol, (unsigned)NET_PROTOCOL);
      return fail(reader, why);
    }
    reader->greeting.code = b[6];
    if (b[7] > NET_VERSION_MAX)
      return fail(reader, "game version in the greeting is too long");
    reader->need += b[7];
    if (reader->need > reader->have) return NET_READ_MORE;
  }
  size_t length = reader->need - NET_GREETING_FIXED;
  memcpy(reader->greeting.version, b + NET_GREETING_FIXED, length);
  reader->greeting.version[length] = 0;
  if (memchr(reader->greeting.version, 0, length))
    return fail(reader, "game version in the greeting is not text");
  reader->greeted = 1;
  reader->have = 0;
  reader->need = NET_HEADER_SIZE;
  reader->mid_message = 0;
  return NET_READ_GREETING;
}

// Checks a message header against what this side may be sent. The length is
// refused before a byte of the payload is buffered.
static int check_header(NetReader *reader) {
  uint8_t type = reader->buf[0];
  uint32_t length = get_u32(reader->buf + 1);
  uint32_t expected_min = 0, expected_max = 0;
  if (reader->left) return fail(reader, "a message after leaving");
  if (type == NET_MSG_ALIVE ||
      (type == NET_MSG_LEAVE && reader->from == NET_FROM_CLIENT)) {
    expected_min = expected_max = 0;
  } else if (type == NET_MSG_STREAM && reader->from == NET_FROM_HOST) {
    expected_min = 9;
    expected_max = NET_STREAM_PAYLOAD_MAX;
  } else if (type == NET_MSG_KEYS && reader->from == NET_FROM_CLIENT) {
    expected_min = expected_max = NET_KEYS_PAYLOAD;
  } else if (type == NET_MSG_TAKEN && reader->from == NET_FROM_CLIENT) {
    expected_min = expected_max = NET_TAKEN_PAYLOAD;
  } else if (type == NET_MSG_MATCH && reader->from == NET_FROM_HOST) {
    expected_min = expected_max = NET_MATCH_PAYLOAD;
  } else {
    char why[96];
    snprintf(why, sizeof why, "unexpected message type %u", (unsigned)type);
    return fail(reader, why);
  }
  if (length < expected_min || length > expected_max) {
    char why[96];
    snprintf(why, sizeof why, "message '%c' of %lu bytes is out of bounds",
             (char)type, (unsigned long)length);
    return fail(reader, why);
  }
  reader->need = NET_HEADER_SIZE + length;
  return NET_READ_MORE;
}

static int take_message(NetReader *reader, NetMessage *message) {
  const uint8_t *payload = reader->buf + NET_HEADER_SIZE;
  memset(message, 0, sizeof *message);
  message->type = reader->buf[0];
  if (message->type == NET_MSG_STREAM) {
    message->offset = get_u64(payload);
    message->data = payload + 8;
    message->length = (uint32_t)(reader->need - NET_HEADER_SIZE - 8);
    if (message->offset != reader->stream_next)
      return fail(reader, "stream chunk out of order");
    reader->stream_next += message->length;
  } else if (message->type == NET_MSG_KEYS) {
    if (get_u32(payload) != reader->keys_next)
      return fail(reader, "keys message out of order");
    message->keys = payload[4];
    if (message->keys & ~NET_KEYS_ALL)
      return fail(reader, "keys message with unknown keys");
    reader->keys_next++;
  } else if (message->type == NET_MSG_TAKEN) {
    message->taken = get_u64(payload);
    if (message->taken < reader->taken)
      return fail(reader, "taken count out of order");
    reader->taken = message->taken;
  } else if (message->type == NET_MSG_MATCH) {
    message->session = get_u32(payload);
  } else if (message->type == NET_MSG_LEAVE) {
    reader->left = 1;
  }
  reader->have = 0;
  reader->need = NET_HEADER_SIZE;
  reader->mid_message = 0;
  return NET_READ_MESSAGE;
}

int net_reader_take(NetReader *reader, const uint8_t **data, size_t *size,
                    NetMessage *message) {
  if (reader->failed) return NET_READ_FAILED;
  while (*size > 0) {
    if (!fill(reader, data, size)) return NET_READ_MORE;
    int result;
    if (!reader->greeted)
      result = take_greeting(reader);
    else if (reader->need == NET_HEADER_SIZE && reader->have == NET_HEADER_SIZE)
      result = check_header(reader);
    else
      result = take_message(reader, message);
    if (result != NET_READ_MORE) return result;
    // A header whose payload is empty is already whole.
    if (reader->greeted && reader->have == reader->need)
      return take_message(reader, message);
  }
  return NET_READ_MORE;
}
