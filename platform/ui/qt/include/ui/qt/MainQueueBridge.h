#pragma once

namespace ui::qt {

// Lets the Qt event loop drain foundation's main queue: a block posted from any thread wakes
// the loop, which runs the due blocks on the main thread, and delayed blocks run when due.
// Idempotent; needs a QCoreApplication. Main thread only.
void installMainQueueBridge();

}  // namespace ui::qt
