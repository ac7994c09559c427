// The option table and the GNU-style reader over it.
#include "game/command_line.h"

#include <string.h>

#include "platform/net/net_socket.h"

namespace {

int set_demo(LaunchOptions *options, int demo, const char *file) {
  options->demo = demo;
  options->demo_file = file;
  return file[0] != '\0' ? 1 : 0;
}

// One option. `value_name` is null for a flag; otherwise the option takes a
// value, which `apply` checks and stores (0 refuses it). Flags get a null
// value.
struct OptionRow {
  char short_name;  // 0 when there is no short form
  const char *long_name;
  const char *value_name;
  const char *help;
  int (*apply)(LaunchOptions *options, const char *value);
};

const OptionRow OPTION_TABLE[] = {
    {'h', "help", nullptr, "show this help and exit",
     [](LaunchOptions *o, const char *) { return o->show_help = 1; }},
    {0, "version", nullptr, "show the version and exit",
     [](LaunchOptions *o, const char *) { return o->show_version = 1; }},
    {0, "data", "DIR", "read the pictures and sounds from DIR",
     [](LaunchOptions *o, const char *v) {
       o->data_dir = v;
       return v[0] != '\0' ? 1 : 0;
     }},
    {0, "nosound", nullptr, "play without sound",
     [](LaunchOptions *o, const char *) { return o->no_sound = 1; }},
    {'w', "window", nullptr, "play in a window",
     [](LaunchOptions *o, const char *) {
       o->fullscreen = 0;
       return o->window = 1;
     }},
    {'f', "fullscreen", nullptr, "play full screen (the default)",
     [](LaunchOptions *o, const char *) {
       o->window = 0;
       return o->fullscreen = 1;
     }},
    {0, "scale", "MODE", "sharp (the default) or integer (whole multiples)",
     [](LaunchOptions *o, const char *v) {
       o->scale_given = 1;
       return scale_mode_parse(v, &o->integer_scale);
     }},
    {0, "no-config", nullptr, "neither read nor write the settings file",
     [](LaunchOptions *o, const char *) { return o->no_config = 1; }},
    {0, "record", "FILE", "play, recording the game into FILE",
     [](LaunchOptions *o, const char *v) {
       return set_demo(o, DEMO_RECORD, v);
     }},
    {0, "replay", "FILE", "play a recording back, at the speed it was played",
     [](LaunchOptions *o, const char *v) {
       return set_demo(o, DEMO_REPLAY, v);
     }},
    {0, "timedemo", "FILE", "play a recording back at top speed and time it",
     [](LaunchOptions *o, const char *v) {
       return set_demo(o, DEMO_TIMEDEMO, v);
     }},
    {0, "host", "[ADDR:]PORT",
     "host a network game on PORT (any interface, or ADDR)",
     [](LaunchOptions *o, const char *v) {
       o->host = v;
       return v[0] != '\0' ? 1 : 0;
     }},
    {0, "join", "HOST[:PORT]", "join a network game as player 2",
     [](LaunchOptions *o, const char *v) {
       o->join = v;
       return v[0] != '\0' ? 1 : 0;
     }},
    {0, "watch", "HOST[:PORT]", "watch a network game",
     [](LaunchOptions *o, const char *v) {
       o->watch = v;
       return v[0] != '\0' ? 1 : 0;
     }},
    {0, "input-delay", "N",
     "in network play, count your keys N frames late (0-4)",
     [](LaunchOptions *o, const char *v) {
       if (v[0] < '0' || v[0] > '4' || v[1] != '\0') return 0;
       o->input_delay = v[0] - '0';
       return 1;
     }},
};

// Where each option's help starts: past the longest option and its value.
const size_t USAGE_HELP_COLUMN = 27;

// Network play is one way of running the game: each of hosting, joining
// and watching may also record (what this machine shows), nothing else.
int check_ways(const LaunchOptions *o, std::string *error) {
  static const char *const DEMO_NAMES[] = {"", "--record", "--replay",
                                           "--timedemo"};
  const struct {
    const char *name;
    bool given;
  } ways[] = {{"--host", !o->host.empty()},
              {"--join", !o->join.empty()},
              {"--watch", !o->watch.empty()},
              {DEMO_NAMES[o->demo], o->demo != DEMO_NONE}};
  const char *first = nullptr;
  for (const auto &way : ways) {
    if (!way.given) continue;
    if (first && !(strcmp(first, "--record") != 0 &&
                   strcmp(way.name, "--record") == 0)) {
      *error =
          std::string(first) + " and " + way.name + " can't be used together";
      return 0;
    }
    if (!first) first = way.name;
  }
  return 1;
}

// The network addresses are read as the network code will read them, so that
// a bad one is refused with the other mistakes of the command line, before
// any window opens.
int check_addresses(const LaunchOptions *o, std::string *error) {
  NetEndpoint endpoint;
  char why[320] = "";
  if (!o->host.empty() &&
      !net_parse_listen(o->host.c_str(), &endpoint, why, sizeof why)) {
    *error = why;
    return 0;
  }
  // The network code takes port 0 (the system chooses, for tests); a
  // player is told of 1 to 65535.
  if (!o->host.empty() && endpoint.port == 0) {
    *error = "port 0 out of range (1 to 65535)";
    return 0;
  }
  const std::string &client = o->join.empty() ? o->watch : o->join;
  if (!client.empty() &&
      !net_parse_connect(client.c_str(), &endpoint, why, sizeof why)) {
    *error = why;
    return 0;
  }
  return 1;
}

const OptionRow *find_long(const char *name, size_t length) {
  for (const OptionRow &row : OPTION_TABLE) {
    if (strlen(row.long_name) == length &&
        strncmp(row.long_name, name, length) == 0) {
      return &row;
    }
  }
  return nullptr;
}

const OptionRow *find_short(char name) {
  for (const OptionRow &row : OPTION_TABLE) {
    if (row.short_name != 0 && row.short_name == name) return &row;
  }
  return nullptr;
}

// How the option is written in messages: "--data" or "-w".
std::string option_label(const OptionRow &row, int as_short) {
  if (as_short) return std::string("-") + row.short_name;
  return std::string("--") + row.long_name;
}

int apply_value(const OptionRow &row, int as_short, LaunchOptions *options,
                const char *value, std::string *error) {
  if (row.apply(options, value)) return 1;
  *error = "invalid value '" + std::string(value) + "' for " +
           option_label(row, as_short);
  return 0;
}

}  // namespace

int scale_mode_parse(const char *name, int *integer_scale) {
  if (strcmp(name, "sharp") == 0) return (*integer_scale = 0), 1;
  if (strcmp(name, "integer") == 0) return (*integer_scale = 1), 1;
  return 0;
}

const char *scale_mode_name(int integer_scale) {
  return integer_scale ? "integer" : "sharp";
}

int command_line_parse(int argc, const char *const *argv,
                       LaunchOptions *options, std::string *error) {
  *options = LaunchOptions();
  int options_ended = 0;
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    if (options_ended || arg[0] != '-' || arg[1] == '\0') {
      *error = "unexpected argument '" + std::string(arg) + "'";
      return 0;
    }
    if (strcmp(arg, "--") == 0) {
      options_ended = 1;
      continue;
    }
    if (arg[1] == '-') {
      const char *name = arg + 2;
      const char *equals = strchr(name, '=');
      const size_t length = equals ? (size_t)(equals - name) : strlen(name);
      const OptionRow *row = find_long(name, length);
      if (!row) {
        *error = "unknown option '--" + std::string(name, length) + "'";
        return 0;
      }
      if (!row->value_name) {
        if (equals) {
          *error = "option '--" + std::string(row->long_name) +
                   "' doesn't allow a value";
          return 0;
        }
        row->apply(options, nullptr);
        continue;
      }
      const char *value = nullptr;
      if (equals) {
        value = equals + 1;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        *error =
            "option '--" + std::string(row->long_name) + "' requires a value";
        return 0;
      }
      if (!apply_value(*row, 0, options, value, error)) return 0;
      continue;
    }
    // One or more short options: flags may be grouped; an option with a
    // value takes the rest of the word or else the next word.
    for (const char *c = arg + 1; *c != '\0'; ++c) {
      const OptionRow *row = find_short(*c);
      if (!row) {
        *error = "unknown option '-" + std::string(1, *c) + "'";
        return 0;
      }
      if (!row->value_name) {
        row->apply(options, nullptr);
        continue;
      }
      const char *value = nullptr;
      if (c[1] != '\0') {
        value = c + 1;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        *error = "option '-" + std::string(1, *c) + "' requires a value";
        return 0;
      }
      if (!apply_value(*row, 1, options, value, error)) return 0;
      break;
    }
  }
  return check_ways(options, error) && check_addresses(options, error);
}

std::string command_line_refusal(const std::string &error) {
  return "quillfire: " + error + "\nTry 'quillfire --help'.\n";
}

std::string command_line_usage(void) {
  std::string text = "Usage: quillfire [OPTION]...\n";
  text += "A paddle-and-ball game for two, or one against the computer.\n\n";
  for (const OptionRow &row : OPTION_TABLE) {
    std::string left = "  ";
    left += row.short_name ? std::string("-") + row.short_name + ", " : "    ";
    left += std::string("--") + row.long_name;
    if (row.value_name) left += std::string(" ") + row.value_name;
    left.resize(
        left.size() < USAGE_HELP_COLUMN ? USAGE_HELP_COLUMN : left.size() + 2,
        ' ');
    text += left + row.help + "\n";
  }
  text +=
      "\nKeys: 1 or 2 at the title chooses one or two players, Space serves,\n"
      "Left and Right move the bottom paddle, Z and X the top one, P pauses,\n"
      "M turns the sound off and on, F11 or Alt+Enter switches to a window\n"
      "and back, Esc leaves the match (and quits at the title, as Q does).\n"
      "\nMore in the manual: man 6 quillfire\n";
  return text;
}
