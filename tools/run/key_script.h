// The runner's key scripts: what happens at which virtual millisecond.
//
//   # a comment
//   at 1500 down 1        a key goes down (names as on the keyboard: A-Z,
//   at 1600 up 1          0-9, SPACE, ESCAPE, LEFT, RIGHT, UP, DOWN, RETURN)
//   at 4000 player 1 on   the built-in player takes paddle 1 (or 2), or
//   at 9000 player 1 off  leaves it
//   at 5000 shot court    what the screen shows at 5000 ms (the last frame
//                         shown by then) goes to court.png
//   at 60000 end          the user closes the window
#ifndef QUILLFIRE_TOOLS_KEY_SCRIPT_H
#define QUILLFIRE_TOOLS_KEY_SCRIPT_H

#include <stdint.h>

#include <string>
#include <vector>

enum ScriptAction {
  SCRIPT_DOWN,
  SCRIPT_UP,
  SCRIPT_SHOT,
  SCRIPT_END,
  SCRIPT_PLAYER_ON,
  SCRIPT_PLAYER_OFF
};

struct ScriptStep {
  uint32_t at;
  ScriptAction action;
  uint8_t key;       // DOWN and UP: the DirectInput key code
  int paddle;        // PLAYER_*: 1 or 2
  std::string name;  // SHOT: the picture's name
};

// The code of a key by name, or 0 for a name we don't know.
uint8_t script_key_code(const std::string &name);

// Reads a script. 0 with `error` set to "line N: why" for a line it can't
// read; the steps are in the script's order.
int script_parse(const std::string &text, std::vector<ScriptStep> *steps,
                 std::string *error);

#endif
