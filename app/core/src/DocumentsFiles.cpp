#include "core/DocumentsFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>
#include <system_error>

#include "DocumentsWriter.h"
#include "core/Console.h"
#include "foundation/DispatchQueue.h"

namespace core {
namespace fs = std::filesystem;
namespace files = foundation::files;

namespace {

// Why a file that reads but does not decode is set aside, in the user's words.
constexpr const char* kDamagedContents = "its contents are damaged";

void reportReadError(const std::string& name, const std::string& description) {
  printLine("error reading data file:" + name + " :" + description);
}

// Our files, the copies of unreadable ones and the temporaries of a save.
bool isOurs(const std::string& name) {
  for (const char* file : {kHistoryFileName, kPromptsFileName}) {
    if (name == file || name.starts_with(std::string(file) + ".corrupt-") ||
        files::isTemporaryOf(file, name))
      return true;
  }
  return false;
}

// Moves an unreadable file aside, so that nothing writes over it; one that cannot be moved is
// named with no copy.
files::UnreadableFile setAside(const fs::path& file, const std::string& reason) {
  const auto moved = files::moveAside(file);
  if (moved) {
    printLine("Moved the unreadable " + file.filename().string() + " aside to " + moved->string());
  } else {
    printLine("Could not move the unreadable " + file.string() + " aside");
  }
  return {file, moved, reason};
}

struct ReadResult {
  bool read = false;
  std::optional<files::UnreadableFile> setAside;
};

// Touches no state of the folder's, so that it can run on the writer.
ReadResult readDocument(const std::string& name,
                        const std::function<void(std::string_view bytes)>& decode) {
  const auto folder = DocumentsFolder::location();
  if (!folder) {
    reportReadError(name, "The Documents folder could not be found.");
    return {};
  }
  const fs::path file = *folder / name;
  std::error_code error;
  const auto bytes = files::readFile(
      file, error, name == kHistoryFileName ? kHistoryReadLimit : kPromptsReadLimit);
  if (!bytes) {
    reportReadError(name, error.message());
    const bool missing =
        error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
    if (missing) return {};
    return {false, setAside(file, error.message())};
  }
  try {
    decode(*bytes);
  } catch (const DecodingError& decodingError) {
    reportReadError(name, decodingError.what());
    return {false, setAside(file, kDamagedContents)};
  }
  return {true, std::nullopt};
}

}  // namespace

struct DocumentsFolder::Saving {
  // Filled on the writer, taken in on the main thread.
  std::mutex mutex;
  std::vector<std::function<void(Saving&)>> inbox;
  // Main thread only.
  std::function<void(const SaveFailure&)> failureHandler;
  std::optional<SaveFailure> streakStart;
  bool unsaved = false;
  // A write refused because it would destroy a file that could not be read: lost like a
  // failed one, whatever later writes of other files do.
  bool refused = false;
  std::set<std::string> untouchable;  // unreadable and still in place
  std::vector<files::UnreadableFile> unreadable;

  // From any thread; `news` runs on the main thread, in the order posted.
  static void post(const std::shared_ptr<Saving>& saving, std::function<void(Saving&)> news) {
    {
      std::lock_guard lock(saving->mutex);
      saving->inbox.push_back(std::move(news));
    }
    foundation::DispatchQueue::main().async([weak = std::weak_ptr<Saving>(saving)] {
      if (const auto alive = weak.lock()) alive->takeInNews();
    });
  }

  void takeInNews() {
    std::vector<std::function<void(Saving&)>> news;
    {
      std::lock_guard lock(mutex);
      news.swap(inbox);
    }
    for (auto& item : news) item(*this);
  }

  void takeIn(const WriteOutcome& outcome) {
    if (outcome.error && !streakStart) {
      const auto folder = location();
      streakStart = SaveFailure{folder ? *folder / outcome.name : fs::path(outcome.name),
                                outcome.error.message()};
      if (failureHandler) failureHandler(*streakStart);
    }
    unsaved = !outcome.everythingSaved;
    if (!unsaved) streakStart.reset();
  }

  void remember(const files::UnreadableFile& file) {
    if (!file.copy) untouchable.insert(file.file.filename().string());
    unreadable.push_back(file);
  }
};

DocumentsFolder::DocumentsFolder() : saving_(std::make_shared<Saving>()) {
  writer_ = std::make_unique<DocumentsWriter>(
      &DocumentsFolder::writeBytes,
      [saving = saving_](WriteOutcome outcome) {
        Saving::post(saving, [outcome = std::move(outcome)](Saving& s) { s.takeIn(outcome); });
      },
      kFinishWritingLimit);
}

DocumentsFolder::~DocumentsFolder() = default;

std::optional<fs::path> DocumentsFolder::location() {
  const auto documents = files::documentsDirectory();
  if (!documents) return std::nullopt;
  return *documents / kDocumentsFolderName;
}

void DocumentsFolder::prepare() {
  const auto folder = location();
  std::error_code error;
  if (!folder || !fs::is_directory(*folder, error)) return;
  for (const auto& removed :
       files::removeStaleTemporaries({*folder / kHistoryFileName, *folder / kPromptsFileName}))
    printLine("Removed " + removed.string() + ", left by a save that did not finish");
  // The history holds what the user selected in other programs.
  bool onlyOurs = true;
  for (auto it = fs::directory_iterator(*folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    if (isOurs(it->path().filename().string())) {
      (void)files::restrictToOwner(it->path());
    } else {
      onlyOurs = false;
    }
  }
  // A folder the user shares other files from stays as the user set it.
  if (onlyOurs && !error) (void)files::restrictToOwner(*folder);
}

bool DocumentsFolder::read(const std::string& name,
                           const std::function<void(std::string_view bytes)>& decode) {
  const ReadResult result = readDocument(name, decode);
  if (result.setAside) saving_->remember(*result.setAside);
  return result.read;
}

void DocumentsFolder::readInBackground(const std::string& name,
                                       std::function<void(std::string_view bytes)> decode,
                                       std::function<void(bool read)> done) {
  writer_->perform([saving = saving_, name, decode = std::move(decode), done = std::move(done)] {
    const ReadResult result = readDocument(name, decode);
    Saving::post(saving, [result, done](Saving& s) {
      if (result.setAside) s.remember(*result.setAside);
      done(result.read);
    });
  });
}

const std::vector<files::UnreadableFile>& DocumentsFolder::unreadableFiles() const {
  return saving_->unreadable;
}

std::error_code DocumentsFolder::writeBytes(const std::string& name, const std::string& bytes) {
  const auto documents = files::documentsDirectory();
  if (!documents) return std::make_error_code(std::errc::no_such_file_or_directory);
  std::error_code error;
  fs::create_directories(*documents, error);
  if (error) return error;
  const fs::path folder = *documents / kDocumentsFolderName;
  if (fs::exists(folder, error)) {
    printLine("Already dictionary created.");
  } else if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return {errno, std::generic_category()};
  }
  return files::writeAtomically(folder / name, bytes,
                                fs::perms::owner_read | fs::perms::owner_write);
}

void DocumentsFolder::write(const std::string& name, std::function<std::string()> encode) {
  // Writing it would destroy what could not be read.
  if (saving_->untouchable.contains(name)) {
    printLine("error writing data");
    saving_->refused = true;
    return;
  }
  writer_->write(name, std::move(encode));
}

void DocumentsFolder::onSaveFailure(std::function<void(const SaveFailure&)> handler) {
  saving_->failureHandler = std::move(handler);
  if (saving_->streakStart && saving_->failureHandler)
    saving_->failureHandler(*saving_->streakStart);
}

void DocumentsFolder::retryUnsavedFiles() {
  writer_->retryUnsaved();
}

bool DocumentsFolder::waitForWrites(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const bool idle = writer_->waitUntilIdle(std::max(left, std::chrono::milliseconds(0)));
    // What the news sets off (a read's end may hand over a write) is waited for too.
    saving_->takeInNews();
    if (!idle) return false;
    if (writer_->waitUntilIdle(std::chrono::milliseconds(0))) return !hasUnsavedFiles();
  }
}

bool DocumentsFolder::finishWriting(std::chrono::milliseconds limit) {
  retryUnsavedFiles();
  return waitForWrites(limit);
}

bool DocumentsFolder::hasUnsavedFiles() const {
  return saving_->unsaved || saving_->refused;
}

}  // namespace core
