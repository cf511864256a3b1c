#include "core/DocumentsFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <mutex>
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

}  // namespace

std::string encodeJSON(const SavedChatList& chats) {
  std::string bytes = "[";
  for (const auto& chat : chats) {
    if (bytes.size() > 1) bytes += ',';
    bytes += encodeJSON(chat);
  }
  bytes += ']';
  return bytes;
}

struct DocumentsFolder::Saving {
  // Filled on the writer, emptied on the main thread.
  std::mutex mutex;
  std::vector<WriteOutcome> inbox;
  // Main thread only.
  std::function<void(const SaveFailure&)> failureHandler;
  std::optional<SaveFailure> streakStart;
  bool unsaved = false;

  void takeInOutcomes() {
    std::vector<WriteOutcome> outcomes;
    {
      std::lock_guard lock(mutex);
      outcomes.swap(inbox);
    }
    for (const auto& outcome : outcomes) {
      if (outcome.error && !streakStart) {
        const auto folder = location();
        streakStart = SaveFailure{folder ? *folder / outcome.name : fs::path(outcome.name),
                                  outcome.error.message()};
        if (failureHandler) failureHandler(*streakStart);
      }
      unsaved = !outcome.everythingSaved;
      if (!unsaved) streakStart.reset();
    }
  }
};

DocumentsFolder::DocumentsFolder() : saving_(std::make_shared<Saving>()) {
  // The writer holds the inbox; the news it posts finds this folder only while it lives.
  writer_ = std::make_unique<DocumentsWriter>(
      &DocumentsFolder::writeBytes, [saving = saving_](WriteOutcome outcome) {
        {
          std::lock_guard lock(saving->mutex);
          saving->inbox.push_back(std::move(outcome));
        }
        foundation::DispatchQueue::main().async([weak = std::weak_ptr<Saving>(saving)] {
          if (const auto alive = weak.lock()) alive->takeInOutcomes();
        });
      });
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
  const auto folder = location();
  if (!folder) {
    reportReadError(name, "The Documents folder could not be found.");
    return false;
  }
  const fs::path file = *folder / name;
  std::error_code error;
  const auto bytes = files::readFile(file, error);
  if (!bytes) {
    reportReadError(name, error.message());
    const bool missing =
        error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
    if (!missing) keepUnreadable(file, error.message());
    return false;
  }
  try {
    decode(*bytes);
  } catch (const DecodingError& decodingError) {
    reportReadError(name, decodingError.what());
    keepUnreadable(file, kDamagedContents);
    return false;
  }
  return true;
}

void DocumentsFolder::keepUnreadable(const fs::path& file, const std::string& reason) {
  const auto moved = files::moveAside(file);
  if (moved) {
    printLine("Moved the unreadable " + file.filename().string() + " aside to " + moved->string());
  } else {
    printLine("Could not move the unreadable " + file.string() + " aside");
    untouchable_.insert(file.filename().string());
  }
  unreadable_.push_back({file, moved, reason});
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
  if (untouchable_.contains(name)) {
    printLine("error writing data");
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
  const bool idle = writer_->waitUntilIdle(limit);
  saving_->takeInOutcomes();
  return idle && !saving_->unsaved;
}

bool DocumentsFolder::finishWriting(std::chrono::milliseconds limit) {
  retryUnsavedFiles();
  return waitForWrites(limit);
}

bool DocumentsFolder::hasUnsavedFiles() const {
  return saving_->unsaved;
}

}  // namespace core
