#include "foundation/FreedMemory.h"

#include <malloc.h>

namespace foundation {

void returnFreedMemory() {
  malloc_trim(0);
}

}  // namespace foundation
