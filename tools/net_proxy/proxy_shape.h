// The link's shape, shared by its UDP and TCP halves: when what enters it
// is due out, the draws of loss and reordering, and the counts said at the
// end.
#pragma once

#include <stdint.h>

#include "net_proxy/proxy_options.h"

struct ProxyCounts {
  uint64_t passed, dropped, reordered;  // datagrams, both ways
  uint64_t over_bound;  // datagrams and connections refused for memory
  uint64_t tcp_to_target, tcp_to_client;
};
extern ProxyCounts proxy_counts;

const int TO_TARGET = 0;
const int TO_CLIENT = 1;

// Called by main once, before anything enters the link.
void shape_start(const ProxyOptions &options);

int64_t shape_now_ns(void);

// 1 with the given chance (0 to 100), drawn from the --seed's sequence.
int shape_chance(double percent);

// When something entering the link at NOW is due out of it: the delay +- the
// jitter, but never before what entered the same way earlier (*last_due,
// updated): a link's queue keeps its order, reordering is asked for apart.
int64_t shape_due(int64_t now, int64_t *last_due);
