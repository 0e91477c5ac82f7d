#include <vips/vips.h>

#include <mutex>

#include "gfx/startup.h"

namespace gfx {

int startup() {
  static std::once_flag once;
  static int status = -1;
  std::call_once(once, [] { status = vips_init("galleria") == 0 ? 0 : 1; });
  return status;
}

}  // namespace gfx
