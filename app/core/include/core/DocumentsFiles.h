#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/JSONCoding.h"

namespace core {

// The assistant's folder inside the user's Documents folder, and its files.
inline constexpr const char* kDocumentsFolderName = "Quillcast";
inline constexpr const char* kHistoryFileName = "QuillcastHistory.json";
inline constexpr const char* kPromptsFileName = "QuillcastPrompts.json";

// Reads Documents/Quillcast/<name> and hands the bytes to `decode`, which throws DecodingError
// when they do not fit. On any failure prints "error reading data file:<name> :<why>" and
// returns false; a file that exists but cannot be read or decoded is first moved aside
// ("<name>.corrupt-<timestamp>"), so that no later write can destroy it.
bool readDocumentsFile(const std::string& name,
                       const std::function<void(std::string_view bytes)>& decode);

// Writes Documents/Quillcast/<name> atomically with the bytes that `encode` returns (it may
// throw EncodingError), creating the folders when missing. Prints "Already dictionary created."
// when the folder was there already, and "error writing data" on any failure.
void writeDocumentsFile(const std::string& name, const std::function<std::string()>& encode);

// The list stored in Documents/Quillcast/<name>, or nothing when it cannot be read.
template <class T>
std::optional<std::vector<T>> readJSONFromDocuments(const std::string& name) {
  std::optional<std::vector<T>> list;
  readDocumentsFile(name,
                    [&](std::string_view bytes) { list = decodeJSON<std::vector<T>>(bytes); });
  return list;
}

template <class T>
void saveJSONToDocuments(const std::vector<T>& list, const std::string& name) {
  writeDocumentsFile(name, [&] { return encodeJSON(list); });
}

}  // namespace core
