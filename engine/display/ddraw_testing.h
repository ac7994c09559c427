// What tests see of and change in the surfaces: how many surfaces and
// clippers exist now, and off-screen surface creation made to fail once
// `successes` more have been made (negative: never fail, the state at start).
// Included by tests only.
#ifndef QUILLFIRE_DDRAW_TESTING_H
#define QUILLFIRE_DDRAW_TESTING_H

#include <stdint.h>

int32_t dd_live_surfaces(void);
int32_t dd_live_clippers(void);
void dd_fail_surfaces_after(int32_t successes);

#endif
