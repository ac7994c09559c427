#include "game/game.h"

int main(void) { return WinMain(plat_instance(), nullptr, nullptr, 0); }
