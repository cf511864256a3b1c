#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/OperationQueue.h"

namespace core {

// How one turn of the writer ended.
struct WriteOutcome {
  // The file the turn wrote, and why that failed; empty for a turn that only wrote again what
  // had failed before.
  std::string name;
  std::error_code error;
  // No bytes that failed earlier are left waiting to be written again.
  bool everythingSaved = true;
};

// The one thread that encodes and writes the assistant's files, so that a long history never
// holds the main thread. Writes happen in the order they were handed over; one still waiting for
// its turn is replaced by a newer one of the same file, never the other way round. The bytes of
// a write that failed are kept, and written again after the next write that succeeds and on
// retryUnsaved(). Each turn's outcome goes to `report`, on the writer, before the turn counts as
// ended.
class DocumentsWriter {
 public:
  // Runs on the writer; may throw EncodingError.
  using Encode = std::function<std::string()>;
  using WriteBytes =
      std::function<std::error_code(const std::string& name, const std::string& bytes)>;

  DocumentsWriter(WriteBytes writeBytes, std::function<void(WriteOutcome)> report,
                  std::chrono::milliseconds finishLimit);
  // Writes what is still waiting, then ends; gives up after `finishLimit`, or at once when a
  // wait for the writer has run out already (a disk that hangs), and says on stderr which files
  // are not written.
  ~DocumentsWriter();
  DocumentsWriter(const DocumentsWriter&) = delete;
  DocumentsWriter& operator=(const DocumentsWriter&) = delete;

  void write(const std::string& name, Encode encode);
  void retryUnsaved();
  // Runs `job` on the writer in its turn, after what was handed over before; it reports nothing.
  void perform(std::function<void()> job);
  // True when every write handed over has ended within `limit`.
  bool waitUntilIdle(std::chrono::milliseconds limit);

 private:
  // Shared with the turns, which may outlive the writer when it gives up on them.
  struct Turns;

  std::shared_ptr<Turns> turns_;
  std::chrono::milliseconds finishLimit_;
  foundation::OperationQueue queue_{"quill-files"};
};

}  // namespace core
