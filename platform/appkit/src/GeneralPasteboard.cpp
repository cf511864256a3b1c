#include "appkit/Pasteboard.h"
#include "appkit/X11Pasteboard.h"

namespace appkit {

std::shared_ptr<Pasteboard> Pasteboard::general() {
  static const std::shared_ptr<Pasteboard> general = std::make_shared<X11Pasteboard>();
  return general;
}

}  // namespace appkit
