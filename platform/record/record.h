// The recording layer: records what the players did, or plays it back to
// the game, frame for frame.
//
// How it sits over a backend. The game calls plat_* as ever; each call goes
// to the table in use (platform/plat_backend.h). record_start and
// record_replay put the layer's own table in use over the backend in use
// then; it records or answers what it must and forwards the rest to that
// backend's table. record_finish (also at the game's plat_shutdown) puts
// the backend back. A program that never records or replays never meets
// the layer.
//
// The stream. A header (magic word, format version, game version), then
// whole records, each a tag byte and what it says: the game's inputs only,
// each keyboard read (the keys that changed; pads read as keys), each
// Escape query and close check, each message of the window system the game
// took from its queue (a lost focus pauses a rally), how long each wait for
// the player lasted, and one checkpoint per presented frame (a hash of its
// pixels and palette); runs of repeated records as one "repeat the last L
// records n times". Whatever the game's outcome depends on is in it, nothing
// else: a replay stays in step after any change that leaves the outcome
// alone for the same inputs (one more sound, one more look at the clock).
// The writer flushes whole records to its sinks at every frame, so a killed
// game leaves a stream that is whole up to its last record.
// record_format.h holds the coding itself; a stream of another format
// version is refused.
//
// What a replay answers itself. The game's inputs come from the stream, and
// keys pressed meanwhile are never read: the real message queue is emptied
// and forgotten at each message the game asks for, which keeps the window
// system pumping. The clock is the layer's own, virtual: the frame clock's
// deadline is reached at once, a sleep or a recorded wait moves it by its
// length; a paced replay also sleeps on the real clock until each moment is
// due. Everything else is the backend's: the window is made on the real
// desktop, each frame is presented, sounds play on the real device when
// there is one.
//
// How a replay ends early. The user's close request (close button, SIGINT,
// SIGTERM), a frame out of step, a bad record, the stream's end or
// record_replay_stop: the layer then answers the game as a window being
// closed (the close check says yes, WM_CLOSE comes once, waits end at
// once), so that the game ends its own way, and record_replay_stopped says
// how. Nothing is thrown.
#ifndef QUILLFIRE_RECORD_H
#define QUILLFIRE_RECORD_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "platform/platform.h"

// Where the writer puts bytes: a file today, a socket to a joiner tomorrow.
// `write` takes whole records and returns 1, or 0 when the sink has failed
// (the writer then drops that sink and goes on with the others). `close` is
// called once, at the end or when the sink is dropped; it may be null.
struct RecordSink {
  int (*write)(void *user, const uint8_t *bytes, size_t count);
  void (*close)(void *user);
  void *user;
};

// Where the replay takes bytes from. `read` returns how many bytes it put in
// `buffer` (at most `count`), RECORD_SOURCE_END when no more will ever come,
// RECORD_SOURCE_WAIT when none are there yet but more may come (a live
// stream: the replay then waits, keeping the window alive, and asks again),
// or RECORD_SOURCE_ERROR.
const long RECORD_SOURCE_END = 0;
const long RECORD_SOURCE_WAIT = -1;
const long RECORD_SOURCE_ERROR = -2;
// `watched_fd` is a descriptor its opener gave to plat_wait_watch, whose
// input means more may have come (a socket): the replay's wait for more
// sleeps until it has some. With none (-1) the replay asks again every
// millisecond.
struct RecordSource {
  long (*read)(void *user, uint8_t *buffer, size_t count);
  void (*close)(void *user);
  void *user;
  int watched_fd = -1;
};

// Files. Each returns 1 and fills the record, or 0 with record_error() set.
// A sink's write that fails sets record_error() to why ("cannot write
// PATH: No space left on device"). Only regular files are replayed: a FIFO
// or a device is refused at once, never waited on.
int record_file_sink(const char *path, RecordSink *sink);
int record_file_source(const char *path, RecordSource *source);

// A recording that can't be written. A sink that fails (a full disk,
// /dev/full, an I/O error) is dropped and the game plays on; the layer says
// so at once in one line on standard error (record_error() after the
// program's name), and, through the drawer the game installs, over the
// frames presented in the next RECORD_NOTE_MS of the game's time: the
// drawer writes the line on a copy of each frame, which is what the real
// backend presents, so checkpoints and other machines never see it (a
// screen the game holds still, as the title waiting for a key, is shown
// clean again once RECORD_NOTE_MS have passed in real time). From
// then on record_incomplete() answers 1 (until the next record_start or
// record_replay), and record_session ends with RECORD_INCOMPLETE_STATUS.
const int RECORD_INCOMPLETE_STATUS = 4;
const uint32_t RECORD_NOTE_MS = 2000;
typedef void (*RecordNoteDrawer)(uint8_t *pixels, int32_t pitch, int32_t width,
                                 int32_t height, const char *line);
// Called by main before the game runs (null: no note on the screen).
void record_on_note(RecordNoteDrawer draw);
// Called by record_session, and by main after hosting or joining, to pick
// the exit status once the game has ended.
int record_incomplete(void);
// Called by record_session: the name the layer's own lines begin with
// ("quillfire" unless told).
void record_set_program(const char *program);

// Called by main for a joiner's or watcher's --record, before
// record_replay: a copy of the stream as it is read goes to `sink` too (what
// this machine is shown; the copy replays alone). A sink that fails is
// dropped as above.
void record_copy_replay(RecordSink sink);

// Recording: writes the header to every sink added so far; records from the
// next platform call on. Sinks may be added while recording (a joiner): the
// writer sends a late sink the stream from its start (it keeps what it sent
// in memory for that: about 30 KB a minute of play). Up to RECORD_MAX_SINKS.
const int RECORD_MAX_SINKS = 8;
int record_add_sink(RecordSink sink);
int record_start(void);

// Called with each keyboard snapshot before it is recorded, to merge keys
// that come from elsewhere (or, in a test, to see each read). Null for none.
void record_on_keyboard(void (*merge)(uint8_t state[256], void *user),
                        void *user);

// What only this machine shows, outside the recorded checkpoints (network
// play's notes). `over` is called with each frame the game presents, after
// its checkpoint is taken, and returns the pixels to show instead (the same
// size and pitch; its own copy) or `pixels` itself. Null for none.
void record_on_present(const uint8_t *(*over)(const uint8_t *pixels,
                                              int32_t pitch, int32_t width,
                                              int32_t height, void *user),
                       void *user);

// Replay only: called once the replayed game shuts down at the recording's
// end marker, before the real window goes, so that a last word can be shown
// in it. Null for none.
void record_on_replay_end(void (*last)(void *user), void *user);

// Called while the game waits, recording or replaying: at each read of the
// clock and each close check (what the game spins on, between frames and in
// fades) and every
// RECORD_SERVE_EVERY_MS of a plat_sleep (the winner's message), so that what
// must be answered meanwhile (the network) is, whatever the game waits for.
// It must not call the game's platform functions. Null for none.
const uint32_t RECORD_SERVE_EVERY_MS = 5;
void record_on_wait(void (*serve)(void *user), void *user);

// Replay: reads and checks the header. `paced` 1 waits on the real clock
// until each moment of the game's clock is due; 0 runs as fast as the machine
// allows (a timedemo). Returns 0 with record_error() set for a stream that
// isn't a recording of ours (the caller says so in one line and exits with 2).
int record_replay(RecordSource source, int paced);

// How a replay that stopped early ended: 1, with `status` and the one line
// to print (empty for none), once it was asked to stop; 0 when it wasn't
// (it still plays, or it played to its end marker). Statuses:
//   3  the game went out of step ("out of step at frame N"),
//   2  the stream turned bad after its header,
//   0  the recording ended cut short, or the user closed the window,
//   or what record_replay_stop was given.
int record_replay_stopped(int *status, std::string *line);

// Asks a running replay to stop (network play: the player left, the
// connection was lost), as above; the first ask counts. Called from the
// replay's own calls (a source's read, a wait hook), never from elsewhere.
void record_replay_stop(int status, const char *line);

// 1 while a replay runs and hasn't been asked to stop.
int record_replaying(void);

// Frames run for their state alone, to be run again (rollback): while on,
// the layer presents nothing (checkpoints are still compared), starts,
// stops and rewinds no sound and doesn't pace; the game's state after such
// a frame is the same as after one shown. Called between frames of a replay.
void record_unseen(int unseen);

// Recording: while paused, the game's calls pass to the backend below
// unrecorded and no checkpoint is taken (network play runs frames on a
// guess of the other player's keys paused, and records them once the keys
// are known). Every paused frame must be taken back before the recording
// goes on (the game's state loaded as it was when the pause began, and the
// backend's queue with it): what they posted and took of the game's own
// messages is not kept. Called between frames.
void record_pause(int paused);

// A replay that played to the recording's end marker and the game ended
// with it. 0 while still playing or when no replay is running.
int record_replay_complete(void);

// Presented frames so far, recording or replaying, and the real seconds
// since record_start or record_replay.
uint64_t record_frames(void);
double record_seconds(void);

// The last tick count the game was given (the real one recording, the
// virtual one replaying).
uint32_t record_last_tick(void);

// Flushes and closes every sink (called by the layer at plat_shutdown; safe
// to call again) and forgets the replay. The layer is inactive afterwards.
void record_finish(void);

// How a program runs the game: as usual, recording to `path`, replaying it
// in step with the real clock, or replaying it as fast as it goes (a
// timedemo, which prints "N frames in S s: F frames/s" as it ends). `game`
// runs the game and returns its exit status. Returns the program's exit
// status: the game's, or 1 when the recording can't be opened, or that of
// record_replay_stopped, or 2 when the file to replay can't be
// read or isn't a recording, or RECORD_INCOMPLETE_STATUS when the game
// ended well but its recording could not all be written. Lines go to
// standard error, each beginning with `program` and, when it concerns the
// file, its path; a replay of a recording made by another version of the
// game says so (both versions) in one line and plays on.
enum RecordSessionMode {
  SESSION_PLAY,
  SESSION_RECORD,
  SESSION_REPLAY,
  SESSION_TIMEDEMO
};
int record_session(RecordSessionMode mode, const char *path, int (*game)(void),
                   const char *program);

// The last failure, as one line. Never null.
const char *record_error(void);

// The checkpoint of a frame: a 32-bit hash of its width by height indices
// (rows `pitch` bytes apart) and its 1024-byte palette.
uint32_t record_frame_hash(const uint8_t *pixels, int32_t pitch, int32_t width,
                           int32_t height, const uint8_t palette[1024]);

#endif
