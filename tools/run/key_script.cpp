#include "run/key_script.h"

#include <ctype.h>
#include <stdlib.h>

#include <sstream>

#include "platform/dik.h"

namespace {

struct KeyName {
  const char *name;
  uint8_t code;
};

const KeyName KEY_NAMES[] = {{"ESCAPE", DIK_ESCAPE},
                             {"SPACE", DIK_SPACE},
                             {"RETURN", DIK_RETURN},
                             {"LEFT", DIK_LEFT},
                             {"RIGHT", DIK_RIGHT},
                             {"UP", DIK_UP},
                             {"DOWN", DIK_DOWN},
                             {"1", DIK_1},
                             {"2", DIK_2},
                             {"3", DIK_3},
                             {"4", DIK_4},
                             {"5", DIK_5},
                             {"6", DIK_6},
                             {"7", DIK_7},
                             {"8", DIK_8},
                             {"9", DIK_9},
                             {"0", DIK_0},
                             {"Q", DIK_Q},
                             {"W", DIK_W},
                             {"E", DIK_E},
                             {"R", DIK_R},
                             {"T", DIK_T},
                             {"Y", DIK_Y},
                             {"U", DIK_U},
                             {"I", DIK_I},
                             {"O", DIK_O},
                             {"P", DIK_P},
                             {"A", DIK_A},
                             {"S", DIK_S},
                             {"D", DIK_D},
                             {"F", DIK_F},
                             {"G", DIK_G},
                             {"H", DIK_H},
                             {"J", DIK_J},
                             {"K", DIK_K},
                             {"L", DIK_L},
                             {"Z", DIK_Z},
                             {"X", DIK_X},
                             {"C", DIK_C},
                             {"V", DIK_V},
                             {"B", DIK_B},
                             {"N", DIK_N},
                             {"M", DIK_M}};

bool read_ms(const std::string &word, uint32_t *ms) {
  if (word.empty() || word.size() > 9) return false;
  for (char c : word) {
    if (!isdigit((unsigned char)c)) return false;
  }
  *ms = (uint32_t)strtoul(word.c_str(), nullptr, 10);
  return true;
}

std::string upper(std::string s) {
  for (char &c : s) c = (char)toupper((unsigned char)c);
  return s;
}

// One line's step, or a reason it is none.
std::string parse_line(const std::vector<std::string> &w, ScriptStep *step) {
  if (w.size() < 3 || w[0] != "at") return "expected 'at MS WHAT ...'";
  if (!read_ms(w[1], &step->at)) return "'" + w[1] + "' is not a time in ms";
  const std::string &what = w[2];
  if ((what == "down" || what == "up") && w.size() == 4) {
    step->action = what == "down" ? SCRIPT_DOWN : SCRIPT_UP;
    step->key = script_key_code(w[3]);
    return step->key ? "" : "no key called '" + w[3] + "'";
  }
  if (what == "shot" && w.size() == 4) {
    for (char c : w[3]) {
      if (!isalnum((unsigned char)c) && c != '-' && c != '_') {
        return "a shot's name is letters, digits, '-' and '_'";
      }
    }
    step->action = SCRIPT_SHOT;
    step->name = w[3];
    return "";
  }
  if (what == "end" && w.size() == 3) {
    step->action = SCRIPT_END;
    return "";
  }
  if (what == "player" && w.size() == 5 && (w[3] == "1" || w[3] == "2") &&
      (w[4] == "on" || w[4] == "off")) {
    step->action = w[4] == "on" ? SCRIPT_PLAYER_ON : SCRIPT_PLAYER_OFF;
    step->paddle = w[3] == "1" ? 1 : 2;
    return "";
  }
  return "expected down KEY, up KEY, shot NAME, end or player 1|2 on|off";
}

}  // namespace

uint8_t script_key_code(const std::string &name) {
  const std::string key = upper(name);
  for (const KeyName &k : KEY_NAMES) {
    if (key == k.name) return k.code;
  }
  return 0;
}

int script_parse(const std::string &text, std::vector<ScriptStep> *steps,
                 std::string *error) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); number++) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    ScriptStep step{0, SCRIPT_END, 0, 0, ""};
    const std::string why = parse_line(w, &step);
    if (!why.empty()) {
      *error = "line " + std::to_string(number) + ": " + why;
      return 0;
    }
    steps->push_back(step);
  }
  return 1;
}
