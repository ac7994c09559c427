#include "engine/sound/wav.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/os.h"

namespace {

const uint32_t CHUNK_HEADER_BYTES = 8;  // four-letter id, 32-bit size
const uint32_t FORM_TYPE_BYTES = 4;
const uint32_t FORMAT_BYTES = 18;  // a WAVEFORMATEX with its cbSize
const uint32_t FORMAT_RATE_AT = 4;

// One chunk as its header states it. Positions are 64-bit so that a stated
// size near 4 GiB added to a position can't wrap.
struct Chunk {
  char id[4];
  uint32_t size;
  uint64_t data_at;  // file position of the chunk's first data byte
};

uint32_t le32(const uint8_t *p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 |
         (uint32_t)p[3] << 24;
}

uint16_t le16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }

// Reads exactly `count` bytes at `at`; false when the file has fewer there.
bool read_at(FILE *file, uint64_t at, void *into, uint32_t count) {
  if (at > (uint64_t)LONG_MAX || fseek(file, (long)at, SEEK_SET) != 0) {
    return false;
  }
  return fread(into, 1, count, file) == count;
}

// Where the chunk after `chunk` starts: past its data and the pad byte that
// keeps every chunk at an even position.
uint64_t chunk_end(const Chunk &chunk) {
  return chunk.data_at + chunk.size + (chunk.size & 1);
}

// Steps through the chunks that start at `at`, up to `end`, to the first one
// named `id`. A header that would reach past `end` ends the search.
bool find_chunk(FILE *file, uint64_t at, uint64_t end, const char *id,
                Chunk *found) {
  while (at + CHUNK_HEADER_BYTES <= end) {
    uint8_t header[CHUNK_HEADER_BYTES];
    if (!read_at(file, at, header, sizeof header)) return false;
    memcpy(found->id, header, 4);
    found->size = le32(header + 4);
    found->data_at = at + CHUNK_HEADER_BYTES;
    if (memcmp(found->id, id, 4) == 0) return true;
    at = chunk_end(*found);
  }
  return false;
}

// The first top-level RIFF chunk whose form type is "WAVE".
bool find_wave_form(FILE *file, uint64_t file_size, Chunk *form) {
  uint64_t at = 0;
  while (find_chunk(file, at, file_size, "RIFF", form)) {
    char type[FORM_TYPE_BYTES];
    if (read_at(file, form->data_at, type, sizeof type) &&
        memcmp(type, "WAVE", 4) == 0) {
      return true;
    }
    at = chunk_end(*form);
  }
  return false;
}

// The file's length in bytes, or -1 when it can't be told (a pipe).
int64_t file_length(FILE *file) {
  if (fseek(file, 0, SEEK_END) != 0) return -1;
  const long length = ftell(file);
  return length < 0 ? -1 : (int64_t)length;
}

// Everything up to the sample bytes: the form, the format and the "data"
// chunk, with the data's size cut to what the file holds.
bool find_samples(FILE *file, int32_t *rate, uint64_t *data_at,
                  uint32_t *size) {
  const int64_t length = file_length(file);
  if (length < 0) return false;
  const uint64_t file_size = (uint64_t)length;

  Chunk form;
  if (!find_wave_form(file, file_size, &form)) return false;
  const uint64_t form_end = form.data_at + form.size;

  Chunk format;
  if (!find_chunk(file, form.data_at + FORM_TYPE_BYTES, form_end, "fmt ",
                  &format)) {
    return false;
  }
  // The format is read as 18 bytes whatever the chunk's size says; only the
  // file's end can cut it short.
  uint8_t bytes[FORMAT_BYTES];
  if (!read_at(file, format.data_at, bytes, sizeof bytes)) return false;
  if (le16(bytes) != WAVE_FORMAT_PCM) return false;

  Chunk data;
  if (!find_chunk(file, chunk_end(format), form_end, "data", &data)) {
    return false;
  }
  const uint64_t held = file_size - data.data_at;
  const uint64_t wanted = data.size < held ? data.size : held;
  if (wanted == 0 || wanted > WAV_MAX_DATA_BYTES) return false;

  *rate = (int32_t)le32(bytes + FORMAT_RATE_AT);
  *data_at = data.data_at;
  *size = (uint32_t)wanted;
  return true;
}

}  // namespace

int32_t wav_read(const char *filename, WavData *wav) {
  *wav = WavData{0, 0, nullptr};
  if (!filename) return 0;
  FILE *file = os_open_regular(filename, nullptr);
  if (!file) return 0;

  int32_t rate = 0;
  uint64_t data_at = 0;
  uint32_t size = 0;
  uint8_t *samples = nullptr;
  if (find_samples(file, &rate, &data_at, &size)) {
    samples = (uint8_t *)malloc(size);
    // One read of the whole data. The file can still come up short if it
    // shrank since its length was taken; that is a failure, not a sound with
    // a tail of whatever the allocation held.
    if (samples && !read_at(file, data_at, samples, size)) {
      free(samples);
      samples = nullptr;
    }
  }
  fclose(file);
  if (!samples) return 0;
  *wav = WavData{rate, size, samples};
  return 1;
}

void wav_free(WavData *wav) {
  free(wav->samples);
  *wav = WavData{0, 0, nullptr};
}
