#include "net_proxy/proxy_options.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int32_t DELAY_MS_MAX = 10000;

// A whole number in [low, high], the whole text and nothing else.
int parse_whole(const std::string &text, int64_t low, int64_t high,
                int64_t *out) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
    return 0;
  errno = 0;
  char *end = nullptr;
  const unsigned long long value = strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return 0;
  if (value < (unsigned long long)low || value > (unsigned long long)high)
    return 0;
  *out = (int64_t)value;
  return 1;
}

int parse_percent(const std::string &text, double *out) {
  if (text.empty() || text[0] == '-' || text[0] == ' ') return 0;
  errno = 0;
  char *end = nullptr;
  const double value = strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(value >= 0.0 && value <= 100.0)) return 0;
  *out = value;
  return 1;
}

// HOST:PORT, the host maybe in brackets ([::1]:5000).
int parse_target(const std::string &text, std::string *host, int32_t *port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return 0;
  std::string name = text.substr(0, colon);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  int64_t number = 0;
  if (name.empty() || !parse_whole(text.substr(colon + 1), 1, 65535, &number))
    return 0;
  *host = name;
  *port = (int32_t)number;
  return 1;
}

}  // namespace

int proxy_options_parse(int argc, char **argv, ProxyOptions *options,
                        int *wants_help, std::string *error) {
  *options = ProxyOptions{-1, "", 0, 0, 0, 0.0, 0.0, 1};
  *wants_help = 0;
  for (int i = 1; i < argc; i++) {
    std::string name = argv[i];
    std::string value;
    int has_value = 0;
    const size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      has_value = 1;
    }
    if (name == "--help" && !has_value) {
      *wants_help = 1;
      return 1;
    }
    const char *known[] = {"--listen", "--to",      "--delay", "--jitter",
                           "--loss",   "--reorder", "--seed"};
    int is_known = 0;
    for (const char *k : known) is_known |= name == k;
    if (!is_known) {
      *error = "unknown option '" + name + "'";
      return 0;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        *error = "option '" + name + "' needs a value";
        return 0;
      }
      value = argv[++i];
    }
    int64_t number = 0;
    int fine = 1;
    std::string want;
    if (name == "--listen") {
      fine = parse_whole(value, 0, 65535, &number);
      options->listen_port = (int32_t)number;
      want = "a port number, 0 to 65535";
    } else if (name == "--to") {
      fine = parse_target(value, &options->target_host, &options->target_port);
      want = "HOST:PORT";
    } else if (name == "--delay" || name == "--jitter") {
      fine = parse_whole(value, 0, DELAY_MS_MAX, &number);
      (name == "--delay" ? options->delay_ms : options->jitter_ms) =
          (int32_t)number;
      want = "milliseconds, 0 to " + std::to_string(DELAY_MS_MAX);
    } else if (name == "--loss" || name == "--reorder") {
      fine = parse_percent(value, name == "--loss" ? &options->loss_percent
                                                   : &options->reorder_percent);
      want = "a percentage, 0 to 100";
    } else {
      fine = parse_whole(value, 0, INT64_MAX, &number);
      options->seed = (uint64_t)number;
      want = "a whole number";
    }
    if (!fine) {
      *error = "bad " + name + " '" + value + "' (" + want + ")";
      return 0;
    }
  }
  if (options->listen_port < 0 || options->target_host.empty()) {
    *error = "--listen PORT and --to HOST:PORT are both needed";
    return 0;
  }
  // Below zero the delay would be clipped and the draw no longer uniform.
  if (options->jitter_ms > options->delay_ms) {
    *error = "--jitter may not exceed --delay";
    return 0;
  }
  return 1;
}

std::string proxy_options_usage(void) {
  return "Usage: qf_net_proxy --listen PORT --to HOST:PORT [OPTION]...\n"
         "Passes UDP and TCP from 127.0.0.1:PORT (both on the one port; 0 "
         "lets\nthe system choose and the first line says which) to "
         "HOST:PORT and back,\nshaped as a long or poor link would: for "
         "testing network play.\n\n"
         "  --delay MS       one-way delay each direction (default 0)\n"
         "  --jitter MS      the delay drawn uniformly within +- MS; each "
         "way keeps\n"
         "                   its order unless reordered (default 0, at "
         "most --delay)\n"
         "  --loss PERCENT   share of datagrams dropped, each way (default "
         "0)\n"
         "  --reorder PERCENT  share of datagrams held back behind the "
         "next one\n"
         "  --seed N         the draws' seed, for a run that can be made "
         "again (default 1)\n"
         "  --help           this text\n\n"
         "Each client address gets its own upstream UDP socket, as a home "
         "router's\naddress translation would. TCP is delayed (with the "
         "jitter, in order)\nbut never dropped. SIGINT or SIGTERM prints the "
         "counts and ends with 0.\n";
}
