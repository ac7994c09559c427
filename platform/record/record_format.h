// The coding of a recording: the header, the records and the two machines
// that write and read them. Shared by the layer, the tools and the fuzzer;
// nothing here calls the platform.
#ifndef QUILLFIRE_RECORD_FORMAT_H
#define QUILLFIRE_RECORD_FORMAT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "platform/record/record.h"

// The header: the magic word, the format version (16 bits, little-endian),
// then the game's version as one length byte and that many characters.
const uint8_t RECORD_MAGIC[8] = {'Q', 'F', 'R', 'E', 'C', 0x1A, '\n', 0};
// Version 1 held every answer of the platform; version 2 holds the
// players' inputs only. A stream of another version is refused.
const uint16_t RECORD_FORMAT_VERSION = 2;
const size_t RECORD_MAX_VERSION_TEXT = 64;

// Record tags. Each record is its tag byte, then what the tag says; numbers
// are unsigned LEB128 (lparam zig-zag first).
enum : uint8_t {
  TAG_END = 0x01,          // the game shut the platform down
  TAG_MESSAGE = 0x06,      // the window system's: message, wparam, lparam
  TAG_CLOSE_NO = 0x07,     // plat_close_requested 0
  TAG_CLOSE_YES = 0x08,    // ... 1
  TAG_ESCAPE_UP = 0x09,    // plat_escape_down 0
  TAG_ESCAPE_DOWN = 0x0A,  // ... 1
  TAG_KEYS_SAME = 0x0D,    // read: the snapshot as last time
  TAG_KEYS = 0x0E,         // read: count - 1, then (code, value) pairs
  TAG_KEYS_FAIL = 0x0F,    // read returned 0
  TAG_CHECKPOINT = 0x18,   // 32-bit frame hash, little-endian
  TAG_WAITED = 0x19,       // ms the game waited for the player
  TAG_REPEAT = 0x20        // + L - 1 (L 1..8): the last L records, n times
};
const int RECORD_MAX_PERIOD = 8;
// Repeats written as one run at most; the reader refuses a longer run, so
// that every record of a stream stands for a bounded stretch of play.
const uint64_t RECORD_MAX_RUN = 255;

// One record as coded. The longest is a keyboard read with every key changed.
const size_t RECORD_MAX_BYTES = 2 + 2 * 256;
struct RecordBytes {
  uint16_t size;
  uint8_t bytes[RECORD_MAX_BYTES];
};

void record_put_byte(RecordBytes *r, uint8_t value);
void record_put_number(RecordBytes *r, uint64_t value);
// Reads a number at r->bytes[*at], moving *at past it. 0 when it runs past
// the record or over 64 bits.
int record_get_number(const RecordBytes &r, size_t *at, uint64_t *value);

// The header's bytes for this game version.
std::vector<uint8_t> record_header(const char *game_version);

// The writer: gathers records into runs and sends whole ones to its sinks.
struct RecordWriter {
  RecordSink sinks[RECORD_MAX_SINKS];
  int sink_count = 0;
  std::vector<uint8_t> sent;     // everything sent, for a late sink
  std::vector<uint8_t> pending;  // whole records not yet sent
  RecordBytes history[2 * RECORD_MAX_PERIOD];  // the stream's last records
  uint64_t history_count = 0;
  int period = 0;             // > 0 while the last `period` records repeat
  int period_at = 0;          // records of the current period seen again
  uint64_t periods = 0;       // whole periods seen again, not yet written
  uint64_t failed_sinks = 0;  // sinks dropped because a write failed
};

void writer_begin(RecordWriter *w, const char *game_version);
int writer_add_sink(RecordWriter *w, RecordSink sink);
void writer_put(RecordWriter *w, const RecordBytes &r);
void writer_flush(RecordWriter *w);
// Ends the run being counted, then flushes: everything recorded so far
// reaches the sinks. Called before the game waits, so that a reader following
// live is not kept behind by a run that only the next change would end.
void writer_cut(RecordWriter *w);
// Writes what is pending, then closes the sinks.
void writer_end(RecordWriter *w);

// The reader: the header, then one record at a time with runs unfolded.
struct RecordReader {
  RecordSource source = {};
  // Called while a live source has nothing yet: 1 to ask it again, 0 to
  // give up (the stream then ends there).
  int (*wait)(void *user) = nullptr;
  void *wait_user = nullptr;
  uint8_t buffer[4096];
  size_t at = 0, filled = 0;
  int source_ended = 0;
  RecordBytes history[RECORD_MAX_PERIOD];
  uint64_t history_count = 0;
  int period = 0;         // the run being unfolded
  uint64_t run_left = 0;  // records of it still to give
  std::string game_version;
};

// Reads the header. 0 with `error` set when the stream is not a recording of
// this format.
int reader_begin(RecordReader *r, RecordSource source, std::string *error);

enum ReaderResult { READER_RECORD = 1, READER_END = 0, READER_BAD = -1 };
// The next record into `out`: READER_RECORD; READER_END when the stream
// stops (at a record's end or inside one: the rest of it never came);
// READER_BAD with `error` set for bytes that are no record.
ReaderResult reader_next(RecordReader *r, RecordBytes *out, std::string *error);

#endif
