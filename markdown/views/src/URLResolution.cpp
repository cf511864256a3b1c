#include "markdown/URLResolution.h"

namespace markdown {

std::optional<foundation::URL> resolveURL(std::string_view text,
                                          const std::optional<foundation::URL>& base) {
  if (base) return foundation::URL::parse(text, *base);
  return foundation::URL::parse(text);
}

}  // namespace markdown
