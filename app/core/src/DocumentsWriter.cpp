#include "DocumentsWriter.h"

#include "core/Console.h"
#include "core/JSONWriter.h"

namespace core {

DocumentsWriter::DocumentsWriter(WriteBytes writeBytes, std::function<void(WriteOutcome)> report)
    : writeBytes_(std::move(writeBytes)), report_(std::move(report)) {}

DocumentsWriter::~DocumentsWriter() = default;

void DocumentsWriter::write(const std::string& name, Encode encode) {
  {
    std::lock_guard lock(mutex_);
    const bool turnTaken = waiting_.contains(name);
    waiting_[name] = std::move(encode);
    if (turnTaken) return;
    ++turnsAhead_;
  }
  queue_.addOperation([this, name] { writeWaiting(name); });
}

void DocumentsWriter::retryUnsaved() {
  {
    std::lock_guard lock(mutex_);
    ++turnsAhead_;
  }
  queue_.addOperation([this] { finishTurn({"", {}, writeAgainWhatFailed()}); });
}

void DocumentsWriter::perform(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    ++turnsAhead_;
  }
  queue_.addOperation([this, job = std::move(job)] {
    job();
    endTurn();
  });
}

bool DocumentsWriter::waitUntilIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, limit, [&] { return turnsAhead_ == 0; });
}

void DocumentsWriter::writeWaiting(const std::string& name) {
  Encode encode;
  {
    std::lock_guard lock(mutex_);
    encode = std::move(waiting_.at(name));
    waiting_.erase(name);
  }
  std::string bytes;
  try {
    bytes = encode();
  } catch (const EncodingError&) {
    printLine("error writing data");
    finishTurn({name, {}, unsaved_.empty()});
    return;
  }
  encode = nullptr;  // the snapshot it holds goes before the next one is made
  if (const std::error_code error = writeBytes_(name, bytes)) {
    printLine("error writing data");
    unsaved_[name] = std::move(bytes);
    finishTurn({name, error, false});
    return;
  }
  unsaved_.erase(name);
  finishTurn({name, {}, writeAgainWhatFailed()});
}

bool DocumentsWriter::writeAgainWhatFailed() {
  for (auto it = unsaved_.begin(); it != unsaved_.end();) {
    if (writeBytes_(it->first, it->second)) {
      printLine("error writing data");
      ++it;
    } else {
      it = unsaved_.erase(it);
    }
  }
  return unsaved_.empty();
}

void DocumentsWriter::finishTurn(WriteOutcome outcome) {
  // Reported first, so that whoever waits for the writer to be idle finds every outcome.
  if (report_) report_(std::move(outcome));
  endTurn();
}

void DocumentsWriter::endTurn() {
  {
    std::lock_guard lock(mutex_);
    --turnsAhead_;
  }
  idle_.notify_all();
}

}  // namespace core
