// The command line: GNU-style options read into a plain record, before the
// game starts. One table in command_line.cpp lists every option; adding one
// is a row there and a field here.
#ifndef QUILLFIRE_COMMAND_LINE_H
#define QUILLFIRE_COMMAND_LINE_H

#include <string>

// What the player asked for. Zero and empty mean "not given".
struct LaunchOptions {
  int show_help;         // -h, --help
  int show_version;      // --version
  std::string data_dir;  // --data DIR: the folder of pictures and sounds
  int no_sound;          // --nosound: play silent, without a notice
  int window;            // -w, --window; the later of -w and -f wins
  int fullscreen;        // -f, --fullscreen
  int integer_scale;     // --scale integer (--scale sharp, the default: 0)
  int scale_given;       // --scale was given (it wins over the settings)
  int no_config;         // --no-config: neither read nor write the settings
  // --record FILE, --replay FILE, --timedemo FILE: a recording of the game
  // to write, to play back in step with the clock, or to play back as fast
  // as it goes. The last of the three given wins.
  int demo;  // one of the DEMO_ values
  std::string demo_file;
  std::string host;   // --host [ADDR:]PORT
  std::string join;   // --join HOST[:PORT]
  std::string watch;  // --watch HOST[:PORT]
  int input_delay;    // --input-delay N: own keys N frames late (0 to 4)
};

const int DEMO_NONE = 0;
const int DEMO_RECORD = 1;
const int DEMO_REPLAY = 2;
const int DEMO_TIMEDEMO = 3;

// Exit statuses of the program.
const int EXIT_STATUS_OK = 0;
const int EXIT_STATUS_FAILURE = 1;  // could not start (files, screen)
const int EXIT_STATUS_USAGE = 2;    // the command line was wrong
// A replay also ends with 2 for a file that is no recording, and with 3 when
// the game went out of step with it.

// Called by main first of all, before the data folder or any window.
// Reads argv[1..argc-1] into `options` (reset first). Accepts --name,
// --name=value, --name value, -x, grouped flags (-wf), -xvalue and -x value;
// "--" ends the options. Returns 1, or 0 with one line in `error` (no
// newline) for an unknown option, a missing or unwanted value, a bad value or
// a stray argument, a network address that can't be read or a port out of
// range.
int command_line_parse(int argc, const char *const *argv,
                       LaunchOptions *options, std::string *error);

// Called by main for --help (to stdout). The usage text: one line per
// option, the keys in brief and where the manual is, ending with a newline,
// no line longer than 80 columns.
std::string command_line_usage(void);

// Called by main after a refused command line, to stderr. The complaint from
// command_line_parse and where to look, on two lines.
std::string command_line_refusal(const std::string &error);

// The scale modes by name, as --scale and the settings file write them:
// "sharp" (0, the default) and "integer" (1, whole multiples only).
// scale_mode_parse returns 1 and sets *integer_scale, or 0 for another name.
int scale_mode_parse(const char *name, int *integer_scale);
const char *scale_mode_name(int integer_scale);

#endif
