#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HistoryFile.h"
#include "core/JSONCoding.h"
#include "core/SavedChatList.h"
#include "foundation/Files.h"

namespace core {

// The assistant's folder inside the user's Documents folder, and its files.
inline constexpr const char* kDocumentsFolderName = "Quillcast";
inline constexpr const char* kHistoryFileName = "QuillcastHistory.json";
inline constexpr const char* kPromptsFileName = "QuillcastPrompts.json";

// The largest files read: far beyond what years of use write, and small enough that a file
// grown by mistake (or a link to an endless device) cannot take the memory. A larger file is
// treated as an unreadable one.
inline constexpr std::size_t kHistoryReadLimit = 256 * 1024 * 1024;
inline constexpr std::size_t kPromptsReadLimit = 16 * 1024 * 1024;

// A file of the folder that could not be written, and why.
struct SaveFailure {
  std::filesystem::path file;
  std::string reason;
};

class DocumentsWriter;

// How long the way out waits for the files to be written: a history of many thousand chats
// takes seconds on a slow disk.
inline constexpr std::chrono::milliseconds kFinishWritingLimit{20'000};

// The assistant's folder in the user's Documents folder: Documents/Quillcast, private to the user
// (0700, its files 0600), as it holds text captured from other programs. Every write is atomic.
// A file that cannot be read is moved aside before anything can write over it; one that cannot
// be moved aside either is never written in this run. Files are encoded and written on a thread
// of their own, in the order handed over (a newer save of a file may replace one still waiting,
// never the reverse), so a long history never holds the main thread. A write that fails keeps its
// bytes and is tried again with the next write and by retryUnsavedFiles(). Main thread only.
class DocumentsFolder {
 public:
  DocumentsFolder();
  // Writes what was handed over first.
  ~DocumentsFolder();
  DocumentsFolder(const DocumentsFolder&) = delete;
  DocumentsFolder& operator=(const DocumentsFolder&) = delete;

  // Documents/Quillcast, or none when there is no Documents folder.
  static std::optional<std::filesystem::path> location();

  // At start: removes what a save stopped midway left behind and makes the folder and the
  // files of ours in it private. The folder is tightened only while it holds nothing but ours.
  void prepare();

  // Reads <name> and hands the bytes to `decode`, which throws DecodingError when they do not
  // fit. On any failure prints "error reading data file:<name> :<why>" and returns false.
  bool read(const std::string& name, const std::function<void(std::string_view bytes)>& decode);
  // The same on the writer, in its turn: ahead of every write handed over later, and never on
  // the main thread. `decode` runs there; `done` runs on the main queue, or inside
  // waitForWrites(), with whether the file was read.
  void readInBackground(const std::string& name, std::function<void(std::string_view bytes)> decode,
                        std::function<void(bool read)> done);
  // Hands <name> to the writer, which writes it with the bytes that `encode` returns there (it
  // may throw EncodingError), creating the folders when missing. The writer prints "Already
  // dictionary created." when the folder was there already, and "error writing data" on any
  // failure. `encode` must hold what it encodes: the caller goes on changing its own.
  void write(const std::string& name, std::function<std::string()> encode);

  template <class T>
  std::optional<std::vector<T>> readJSONFromDocuments(const std::string& name) {
    std::optional<std::vector<T>> list;
    read(name, [&](std::string_view bytes) { list = decodeJSON<std::vector<T>>(bytes); });
    return list;
  }
  template <class T>
  void saveJSONToDocuments(std::vector<T> list, const std::string& name) {
    write(name, [list = std::move(list)] { return encodeJSON(list); });
  }
  // Holds the chats, not a copy of them.
  void saveJSONToDocuments(SavedChatList chats, const std::string& name) {
    write(name, [chats = std::move(chats)] { return encodeJSON(chats); });
  }

  // Has the writer try again what failed to be written.
  void retryUnsavedFiles();
  // Waits, at most `limit`, until every write and read handed over has ended, and takes in how
  // they ended. True when everything is on disk. Blocks the caller: for the way out.
  bool waitForWrites(std::chrono::milliseconds limit = kFinishWritingLimit);
  // Tries again what failed, then waits as waitForWrites does.
  bool finishWriting(std::chrono::milliseconds limit = kFinishWritingLimit);
  // Writes that failed and have not been written since, as far as the main thread has heard,
  // or were refused to keep a file that could not be read.
  bool hasUnsavedFiles() const;

  // The files that could not be read, in the order met.
  const std::vector<foundation::files::UnreadableFile>& unreadableFiles() const;

  // Told, on the main queue, when a write fails after the earlier ones had all gone to disk:
  // once per streak of failures, which ends when every file that failed has been written. A
  // streak running already is told at once.
  void onSaveFailure(std::function<void(const SaveFailure&)> handler);

 private:
  // What the main thread knows of its files and of the writer's work; the blocks that bring it
  // news hold it weakly.
  struct Saving;
  static std::error_code writeBytes(const std::string& name, const std::string& bytes);

  std::shared_ptr<Saving> saving_;
  std::unique_ptr<DocumentsWriter> writer_;  // after what its outcomes reach
};

// One-off reads and writes through a folder of their own; the write is on disk when it returns
// true.
template <class T>
std::optional<std::vector<T>> readJSONFromDocuments(const std::string& name) {
  return DocumentsFolder().readJSONFromDocuments<T>(name);
}
template <class List>
bool saveJSONToDocuments(List list, const std::string& name) {
  DocumentsFolder folder;
  folder.saveJSONToDocuments(std::move(list), name);
  return folder.waitForWrites();
}

}  // namespace core
