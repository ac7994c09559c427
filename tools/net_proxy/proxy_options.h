// The test proxy's command line: what main reads before it opens a socket.
#pragma once

#include <stdint.h>

#include <string>

struct ProxyOptions {
  int32_t listen_port;  // on 127.0.0.1, UDP and TCP; 0: the system's choice
  std::string target_host;
  int32_t target_port;
  int32_t delay_ms;   // one way, each direction
  int32_t jitter_ms;  // the delay drawn uniformly within +- this
  double loss_percent;
  double reorder_percent;
  uint64_t seed;
};

// Called by main with its arguments. Returns 1 with *options filled (and
// *wants_help set when --help was asked), or 0 with a one-line *error.
int proxy_options_parse(int argc, char **argv, ProxyOptions *options,
                        int *wants_help, std::string *error);

// Called by main for --help: the usage text, to stdout.
std::string proxy_options_usage(void);
