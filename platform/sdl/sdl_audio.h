// What the SDL audio backend shows beyond the platform interface: the one
// conversion every voice goes through, and the format the device plays.
#ifndef QUILLFIRE_SDL_AUDIO_H
#define QUILLFIRE_SDL_AUDIO_H

#include <SDL.h>
#include <stdint.h>

// The rate every voice's samples are played at.
const int VOICE_RATE = 11025;

// Converts `bytes` 8-bit unsigned mono samples at VOICE_RATE to `format`,
// `channels` and `freq`, with SDL's own converter, whole: the result lasts as
// long as the input did. Returns a buffer to SDL_free and stores its length
// in `converted`, or returns null when SDL can't convert to that format, for
// 0 bytes, or when the result would be too big to hold.
uint8_t *sdl_audio_convert(const uint8_t *samples, uint32_t bytes,
                           SDL_AudioFormat format, uint8_t channels, int freq,
                           uint32_t *converted);

// Fills `spec` with the format the open device plays and returns 1, or
// returns 0 when no device is open.
int sdl_audio_device_spec(SDL_AudioSpec *spec);

// The mute switch, flipped by the M key (sdl_keyboard.cpp). While muted the
// device plays silence, but voices play on and end as they would be heard.
// It holds across closing and opening the device.
void sdl_audio_toggle_mute(void);
int sdl_audio_muted(void);

#endif
