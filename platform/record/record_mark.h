// A replay's place, to run frames again from an earlier one: the checks
// that restore the game's state and replay its inputs unseen, and rollback.
#ifndef QUILLFIRE_RECORD_MARK_H
#define QUILLFIRE_RECORD_MARK_H

#include <deque>

#include "platform/record/record_format.h"

// Everything a replay answers the game from: the reader's place in the
// stream (its buffered bytes included), the keys, the frame count, the
// virtual clock and the game's own posts not yet taken. Not the source's
// own place: a caller that rewinds keeps its source's place beside the
// mark (a memory source's offset).
struct RecordReplayMark {
  RecordReader reader;
  RecordBytes lookahead;
  int has_lookahead;
  uint8_t keys[256];
  uint64_t frames;
  uint32_t clock, deadline;
  int deadline_set;
  std::deque<PlatMessage> posts;
};

// Called between two passes of the game's loop while a replay runs (with
// the game's own snapshot taken at the same moment).
void record_replay_mark(RecordReplayMark *mark);
// Back to a marked place of the same replay (with the game's snapshot of
// that moment loaded): the records after it are answered again.
void record_replay_rewind(const RecordReplayMark *mark);

#endif
