#pragma once

namespace foundation {

// Gives the memory the allocator keeps from freed blocks back to the system (every thread's
// arena). It takes a moment: call it once much was freed (a long answer shown and put away),
// not per frame.
void returnFreedMemory();

}  // namespace foundation
