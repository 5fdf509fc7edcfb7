#include "app/Program.h"

namespace hemulu {

// Each subsystem plugs its page or window in here as it arrives; until then the main
// window shows the page's placeholder and the window items do nothing.
MainWindowParts ProgramParts(AppContext& ctx) {
  (void)ctx;
  MainWindowParts parts;
  return parts;
}

}  // namespace hemulu
