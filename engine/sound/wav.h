// Reading a RIFF WAVE file into memory: its PCM sample bytes and the rate it
// states, nothing more.
//
// The file is untrusted. Every size it states is checked against the bytes it
// really holds, so a lying header can neither make the reader look outside
// the file nor make it allocate more than the file's own length.
#ifndef QUILLFIRE_WAV_H
#define QUILLFIRE_WAV_H

#include <stdint.h>

// Format tag of plain PCM samples, the only kind read.
const uint16_t WAVE_FORMAT_PCM = 1;

// The largest sample data taken: the biggest sound buffer the sound platform
// was ever able to make. Longer data is refused rather than half loaded.
const uint32_t WAV_MAX_DATA_BYTES = 0x0FFFFFFF;

struct WavData {
  int32_t rate;      // samples per second stated by the format chunk
  uint32_t size;     // bytes of sample data held in `samples`
  uint8_t *samples;  // the "data" chunk's bytes (malloc'd), or null
};

// Reads `filename`: the first RIFF form of type "WAVE", its "fmt " chunk (18
// bytes read from the chunk's start, as a WAVEFORMATEX; a 16-byte chunk takes
// its last 2 bytes from what follows it in the file), a format tag of 1, and
// the first "data" chunk after the "fmt " chunk. Chunks in between are
// skipped, each with its pad byte when its size is odd.
//
// A "data" chunk that claims more bytes than the file holds yields the bytes
// that are there. Returns 1 and fills `wav` (free it with wav_free), or 0
// with `wav` emptied when the file can't be opened or is not a regular file
// (a FIFO or a device is never opened for reading), isn't such a file, has
// no sample bytes or more than WAV_MAX_DATA_BYTES of them, or memory runs
// out.
int32_t wav_read(const char *filename, WavData *wav);

// Gives back the samples of a read and empties the record.
void wav_free(WavData *wav);

#endif
