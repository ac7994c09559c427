#include "platform/web/web_backend.h"

#include <emscripten.h>

#include "platform/web/web_internal.h"

const PlatBackend *web_backend(void) {
  static const PlatBackend table = PLAT_BACKEND_TABLE(web);
  return &table;
}

EM_JS(void, web_js_report,
      (const char *mode, int status, double frames, int complete,
       double seconds),
      { qfWeb.report(UTF8ToString(mode), status, frames, complete, seconds); });
EM_JS(void, web_js_fail, (const char *line),
      { qfWeb.fail(UTF8ToString(line)); });

void web_report(const char *mode, int status, double frames, int complete,
                double seconds) {
  web_js_report(mode, status, frames, complete, seconds);
}

void web_fail(const char *line) { web_js_fail(line); }
