// Every module of the game, the library and the headless platform back to
// the state a new process starts with, so that the game can be run again and
// again in one process (the tests, the soak, the headless runner).
#ifndef QUILLFIRE_RESET_ALL_H
#define QUILLFIRE_RESET_ALL_H

void reset_all(void);

#endif
