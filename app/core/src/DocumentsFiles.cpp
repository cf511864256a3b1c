#include "core/DocumentsFiles.h"

#include <filesystem>
#include <system_error>

#include "core/Console.h"
#include "foundation/Files.h"

namespace core {
namespace fs = std::filesystem;

namespace {

void reportReadError(const std::string& name, const std::string& description) {
  printLine("error reading data file:" + name + " :" + description);
}

void keepUnreadable(const fs::path& file) {
  if (const auto moved = foundation::files::moveAside(file)) {
    printLine("Moved the unreadable " + file.filename().string() + " aside to " + moved->string());
  } else {
    printLine("Could not move the unreadable " + file.string() + " aside");
  }
}

}  // namespace

bool readDocumentsFile(const std::string& name,
                       const std::function<void(std::string_view bytes)>& decode) {
  const auto documents = foundation::files::documentsDirectory();
  if (!documents) {
    reportReadError(name, "The Documents folder could not be found.");
    return false;
  }
  const fs::path file = *documents / kDocumentsFolderName / name;
  std::error_code error;
  const auto bytes = foundation::files::readFile(file, error);
  if (!bytes) {
    reportReadError(name, error.message());
    const bool missing =
        error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
    if (!missing) keepUnreadable(file);
    return false;
  }
  try {
    decode(*bytes);
  } catch (const DecodingError& decodingError) {
    reportReadError(name, decodingError.what());
    keepUnreadable(file);
    return false;
  }
  return true;
}

void writeDocumentsFile(const std::string& name, const std::function<std::string()>& encode) {
  const auto documents = foundation::files::documentsDirectory();
  std::error_code error;
  if (documents) fs::create_directories(*documents, error);
  if (!documents || error) {
    printLine("error writing data");
    return;
  }
  const fs::path folder = *documents / kDocumentsFolderName;
  if (fs::exists(folder, error)) {
    printLine("Already dictionary created.");
  } else if (fs::create_directories(folder, error); error) {
    printLine("error writing data");
    return;
  }
  std::string bytes;
  try {
    bytes = encode();
  } catch (const EncodingError&) {
    printLine("error writing data");
    return;
  }
  // A rewrite keeps the permissions the user gave the file.
  const fs::path file = folder / name;
  auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
              fs::perms::others_read;
  if (const auto status = fs::status(file, error); !error && fs::is_regular_file(status)) {
    mode = status.permissions();
  }
  if (foundation::files::writeAtomically(file, bytes, mode)) printLine("error writing data");
}

}  // namespace core
