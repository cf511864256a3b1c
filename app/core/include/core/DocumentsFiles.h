#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/JSONCoding.h"
#include "foundation/Files.h"

namespace core {

// The assistant's folder inside the user's Documents folder, and its files.
inline constexpr const char* kDocumentsFolderName = "Quillcast";
inline constexpr const char* kHistoryFileName = "QuillcastHistory.json";
inline constexpr const char* kPromptsFileName = "QuillcastPrompts.json";

// A file of the folder that could not be written, and why.
struct SaveFailure {
  std::filesystem::path file;
  std::string reason;
};

// The assistant's folder in the user's Documents folder: Documents/Quillcast, private to the user
// (0700, its files 0600), as it holds text captured from other programs. Every write is atomic.
// A file that cannot be read is moved aside before anything can write over it; one that cannot
// be moved aside either is never written in this run. A write that fails keeps its bytes and is
// tried again with the next write and by retryUnsavedFiles(). Main thread only.
class DocumentsFolder {
 public:
  // Documents/Quillcast, or none when there is no Documents folder.
  static std::optional<std::filesystem::path> location();

  // At start: removes what a save stopped midway left behind and makes the folder and the
  // files of ours in it private. The folder is tightened only while it holds nothing but ours.
  void prepare();

  // Reads <name> and hands the bytes to `decode`, which throws DecodingError when they do not
  // fit. On any failure prints "error reading data file:<name> :<why>" and returns false.
  bool read(const std::string& name, const std::function<void(std::string_view bytes)>& decode);
  // Writes <name> with the bytes that `encode` returns (it may throw EncodingError), creating the
  // folders when missing. Prints "Already dictionary created." when the folder was there already,
  // and "error writing data" on any failure. True when written.
  bool write(const std::string& name, const std::function<std::string()>& encode);

  template <class T>
  std::optional<std::vector<T>> readJSONFromDocuments(const std::string& name) {
    std::optional<std::vector<T>> list;
    read(name, [&](std::string_view bytes) { list = decodeJSON<std::vector<T>>(bytes); });
    return list;
  }
  template <class T>
  bool saveJSONToDocuments(const std::vector<T>& list, const std::string& name) {
    return write(name, [&] { return encodeJSON(list); });
  }

  // Writes again what failed to be written; true when nothing is left unsaved.
  bool retryUnsavedFiles();
  bool hasUnsavedFiles() const { return !unsaved_.empty(); }

  // The files that could not be read, in the order met.
  const std::vector<foundation::files::UnreadableFile>& unreadableFiles() const {
    return unreadable_;
  }

  // Told when a write fails after the earlier ones had all gone to disk: once per streak of
  // failures, which ends when every file that failed has been written. A streak running already
  // is told at once.
  void onSaveFailure(std::function<void(const SaveFailure&)> handler);

 private:
  std::error_code writeBytes(const std::string& name, const std::string& bytes);
  void keepUnreadable(const std::filesystem::path& file, const std::string& reason);

  std::map<std::string, std::string> unsaved_;  // by name: the latest bytes that failed
  std::set<std::string> untouchable_;           // unreadable and still in place
  std::vector<foundation::files::UnreadableFile> unreadable_;
  std::function<void(const SaveFailure&)> saveFailureHandler_;
  std::optional<SaveFailure> streakStart_;
};

// One-off reads and writes through a folder of their own.
template <class T>
std::optional<std::vector<T>> readJSONFromDocuments(const std::string& name) {
  return DocumentsFolder().readJSONFromDocuments<T>(name);
}
template <class T>
bool saveJSONToDocuments(const std::vector<T>& list, const std::string& name) {
  return DocumentsFolder().saveJSONToDocuments(list, name);
}

}  // namespace core
