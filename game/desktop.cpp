// The settings kept between runs and the window's icon, between main, the
// settings file and the platform.
#include "game/desktop.h"

#include <string>
#include <vector>

#include "assets/icon.h"
#include "assets/palette.h"
#include "game/settings.h"
#include "platform/os.h"
#include "platform/platform.h"

namespace {

// The size a window manager is handed; it scales it for its own uses.
const int32_t WINDOW_ICON_SIZE = 64;

std::string settings_file;  // empty with --no-config or nowhere to keep it
Settings settings;
bool warned;  // desktop_start gave its warning

// The menu icon, drawn by the asset generator in the pictures' palette;
// black lies only outside its rounded corners and is left transparent.
void give_icon(void) {
  Rgb colours[256];
  palette_build(colours);
  const Canvas icon = picture_icon(WINDOW_ICON_SIZE);
  std::vector<uint32_t> argb(icon.pixels.size());
  for (size_t i = 0; i < argb.size(); i++) {
    const uint8_t index = icon.pixels[i];
    const Rgb c = colours[index];
    argb[i] = index == PAL_BLACK ? 0
                                 : 0xFF000000u | (uint32_t)c.r << 16 |
                                       (uint32_t)c.g << 8 | (uint32_t)c.b;
  }
  plat_window_icon(argb.data(), icon.width, icon.height);
}

}  // namespace

int desktop_start(const LaunchOptions &options, std::string *warning) {
  settings = settings_defaults();
  warned = false;
  settings_file.clear();
  if (!options.no_config) {
    settings_file = settings_path(os_environment("XDG_CONFIG_HOME"),
                                  os_environment("HOME"));
  }
  if (!settings_file.empty() &&
      !settings_load(settings_file, &settings, warning)) {
    *warning += "; using the defaults";
    warned = true;
  }
  if (options.window) settings.fullscreen = 0;
  if (options.fullscreen) settings.fullscreen = 1;
  if (options.scale_given) settings.integer_scale = options.integer_scale;
  plat_window_options(!settings.fullscreen, settings.integer_scale);
  const PlatWindowPlace place = {settings.fullscreen, settings.window_x,
                                 settings.window_y, settings.window_width,
                                 settings.window_height};
  plat_window_place_restore(&place);
  plat_audio_mute(settings.mute);
  give_icon();
  return warned ? 0 : 1;
}

int desktop_end(std::string *warning) {
  PlatWindowPlace place;
  if (settings_file.empty() || !plat_window_place(&place)) return 1;
  settings.fullscreen = place.fullscreen;
  if (place.width > 0 && place.height > 0) {
    settings.window_x = place.x;
    settings.window_y = place.y;
    settings.window_width = place.width;
    settings.window_height = place.height;
  }
  settings.mute = plat_audio_muted();
  return settings_save(settings_file, settings, warning) || warned ? 1 : 0;
}
