#include "DocumentsWriter.h"

#include <iostream>
#include <set>

#include "core/Console.h"
#include "core/JSONWriter.h"

namespace core {

struct DocumentsWriter::Turns {
  WriteBytes writeBytes;
  std::function<void(WriteOutcome)> report;
  std::mutex mutex;
  std::condition_variable idle;
  std::map<std::string, Encode> waiting;       // by file: the newest write not begun
  int turnsAhead = 0;                          // handed to the queue and not ended
  std::string writing;                         // the file being written now, if any
  bool gaveUp = false;                         // a wait for the writer ran out
  std::map<std::string, std::string> unsaved;  // writer thread only: the latest bytes that failed
  std::set<std::string> failed;                // the files of `unsaved`, for other threads

  // Writer thread only.
  void writeWaiting(const std::string& name) {
    Encode encode;
    {
      std::lock_guard lock(mutex);
      encode = std::move(waiting.at(name));
      waiting.erase(name);
      writing = name;
    }
    std::string bytes;
    try {
      bytes = encode();
    } catch (const EncodingError&) {
      printLine("error writing data");
      finishTurn({name, {}, unsaved.empty()});
      return;
    }
    encode = nullptr;  // the snapshot it holds goes before the next one is made
    if (const std::error_code error = writeBytes(name, bytes)) {
      printLine("error writing data");
      unsaved[name] = std::move(bytes);
      finishTurn({name, error, false});
      return;
    }
    unsaved.erase(name);
    finishTurn({name, {}, writeAgainWhatFailed()});
  }

  bool writeAgainWhatFailed() {
    for (auto it = unsaved.begin(); it != unsaved.end();) {
      if (writeBytes(it->first, it->second)) {
        printLine("error writing data");
        ++it;
      } else {
        it = unsaved.erase(it);
      }
    }
    return unsaved.empty();
  }

  void finishTurn(WriteOutcome outcome) {
    // Reported first, so that whoever waits for the writer to be idle finds every outcome.
    if (report) report(std::move(outcome));
    endTurn();
  }

  void endTurn() {
    {
      std::lock_guard lock(mutex);
      --turnsAhead;
      writing.clear();
      failed.clear();
      for (const auto& [name, bytes] : unsaved) failed.insert(name);
    }
    idle.notify_all();
  }

  // What is not on disk yet: being written, waiting, or failed.
  std::set<std::string> notWritten() {
    std::lock_guard lock(mutex);
    std::set<std::string> names = failed;
    if (!writing.empty()) names.insert(writing);
    for (const auto& [name, encode] : waiting) names.insert(name);
    return names;
  }
};

DocumentsWriter::DocumentsWriter(WriteBytes writeBytes, std::function<void(WriteOutcome)> report,
                                 std::chrono::milliseconds finishLimit)
    : turns_(std::make_shared<Turns>()), finishLimit_(finishLimit) {
  turns_->writeBytes = std::move(writeBytes);
  turns_->report = std::move(report);
}

DocumentsWriter::~DocumentsWriter() {
  bool gaveUp;
  {
    std::lock_guard lock(turns_->mutex);
    gaveUp = turns_->gaveUp;
  }
  // A writer that hung once is not waited for again: the way out must end.
  const bool idle = waitUntilIdle(gaveUp ? std::chrono::milliseconds(0) : finishLimit_);
  queue_.limitWaitAtDestruction(idle ? finishLimit_ : std::chrono::milliseconds(0));
  if (idle) return;
  for (const auto& name : turns_->notWritten())
    std::cerr << "Quillcast: " << name << " could not be written in time and is not saved\n";
}

void DocumentsWriter::write(const std::string& name, Encode encode) {
  {
    std::lock_guard lock(turns_->mutex);
    const bool turnTaken = turns_->waiting.contains(name);
    turns_->waiting[name] = std::move(encode);
    if (turnTaken) return;
    ++turns_->turnsAhead;
  }
  queue_.addOperation([turns = turns_, name] { turns->writeWaiting(name); });
}

void DocumentsWriter::retryUnsaved() {
  {
    std::lock_guard lock(turns_->mutex);
    ++turns_->turnsAhead;
  }
  queue_.addOperation([turns = turns_] {
    turns->finishTurn({"", {}, turns->writeAgainWhatFailed()});
  });
}

void DocumentsWriter::perform(std::function<void()> job) {
  {
    std::lock_guard lock(turns_->mutex);
    ++turns_->turnsAhead;
  }
  queue_.addOperation([turns = turns_, job = std::move(job)] {
    job();
    turns->endTurn();
  });
}

bool DocumentsWriter::waitUntilIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(turns_->mutex);
  const bool idle = turns_->idle.wait_for(lock, limit, [&] { return turns_->turnsAhead == 0; });
  if (!idle && limit > std::chrono::milliseconds(0)) turns_->gaveUp = true;
  return idle;
}

}  // namespace core
