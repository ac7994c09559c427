// Audio: short 8-bit voices mixed by the platform.
// Part of the platform interface; see platform/platform.h.
#ifndef QUILLFIRE_PLAT_AUDIO_H
#define QUILLFIRE_PLAT_AUDIO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A voice is one short sound held whole by the platform: 8-bit unsigned mono
// samples played at 11025 Hz, whatever they were recorded as. Voices play
// independently and are mixed by the platform (a clamped sum).
//
// The M key is the player's mute switch, kept by the platform itself: each
// press silences or restores the whole mix, at any moment, whatever the game
// is doing. Muted voices still play on and end as they would be heard.
//
// Handles are never reused while the program runs: a call with a destroyed
// (or never made) handle does nothing and returns 0 or null.

typedef int32_t PlatVoice;  // a voice handle; 0 is never a voice

// Opens the default audio device; called once, before any voice is made.
// Returns 0 when there is none or it can't be opened (nothing is printed);
// every voice call then fails harmlessly.
int plat_audio_open(void);

// Makes a silent, stopped voice of `bytes` samples, positioned at its first
// sample. Returns its handle, or 0 without a device, for 0 bytes, or when the
// platform can't hold that many.
PlatVoice plat_voice_create(uint32_t bytes);

// Gives write access to all of a voice's samples, as they are now. Returns
// the address and stores the length in `bytes`, or returns null. The samples
// are taken over by plat_voice_unlock; until then the voice plays what it
// held before. plat_voice_unlock returns 1, or 0 for no voice or one that
// isn't locked.
uint8_t *plat_voice_lock(PlatVoice voice, uint32_t *bytes);
int plat_voice_unlock(PlatVoice voice);

// Starts the voice from its current position; a voice that is already
// playing goes on from where it is. Without `looping` it plays to its last
// sample, then stops and is back at its first; with `looping` it starts again
// from the first sample at the end, for ever. Returns at once: 1, or 0 for no
// voice.
int plat_voice_play(PlatVoice voice, int looping);

// Silences the voice, keeping its position. Returns 1, or 0 for no voice.
int plat_voice_stop(PlatVoice voice);

// Moves the play position to the first sample, also while playing. Returns
// 1, or 0 for no voice.
int plat_voice_rewind(PlatVoice voice);

// 1 while the voice is sounding.
int plat_voice_playing(PlatVoice voice);

// Silences and frees a voice. The handle is dead afterwards.
void plat_voice_destroy(PlatVoice voice);

// Closes the audio device. Voices should have been destroyed first; any left
// are destroyed here. plat_audio_open may open it again.
void plat_audio_close(void);

// The mute switch as it is now (1 muted), and set by main before the game
// from the settings kept between runs. The game never asks: it plays the
// same muted or not.
int plat_audio_muted(void);
void plat_audio_mute(int mute);

#ifdef __cplusplus
}
#endif

#endif
