#include "shell/StorageAlerts.h"

#include "foundation/DispatchQueue.h"

namespace shell {
namespace {

// What the file holds, as the user knows it.
std::string whatItHolds(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  if (name == core::kHistoryFileName) return "Your chat history";
  if (name == core::kPromptsFileName) return "Your prompt presets";
  if (name == "defaults.json") return "Your settings";
  return "The file " + name;
}

}  // namespace

appkit::Alert unreadableFilesAlert(const std::vector<foundation::files::UnreadableFile>& files) {
  appkit::Alert alert;
  alert.messageText = files.size() == 1 ? "Quillcast could not read one of its files"
                                        : "Quillcast could not read some of its files";
  bool anyMoved = false;
  for (const auto& file : files) {
    std::string paragraph =
        whatItHolds(file.file) + " (" + file.file.filename().string() + ") could not be read";
    if (!file.reason.empty()) paragraph += ": " + file.reason;
    paragraph += ".";
    if (file.copy) {
      anyMoved = true;
      paragraph += "\nIt was moved aside, unchanged, to:\n" + file.copy->string();
    } else {
      paragraph += "\nIt could not be moved aside either, so it stays at:\n" + file.file.string() +
                   "\nQuillcast will not write over it.";
    }
    alert.informativeText += paragraph + "\n\n";
  }
  alert.informativeText += anyMoved ? "Quillcast started without what the copies hold."
                                    : "Quillcast started without what it holds.";
  return alert;
}

appkit::Alert saveFailureAlert(const core::SaveFailure& failure) {
  appkit::Alert alert;
  std::string what = whatItHolds(failure.file);
  what[0] = static_cast<char>(what[0] - 'A' + 'a');
  alert.messageText = "Quillcast could not save " + what;
  alert.informativeText = "Writing " + failure.file.string() + " failed: " + failure.reason +
                          ".\n\nNothing is lost while Quillcast runs: it keeps your chats and "
                          "presets and tries again with every change and when you quit. Make "
                          "the folder writable or free some disk space.";
  return alert;
}

StorageAlerts::StorageAlerts(std::shared_ptr<appkit::UserFeedback> feedback)
    : feedback_(std::move(feedback)) {}

StorageAlerts::~StorageAlerts() = default;

void StorageAlerts::tellUnreadableFiles(std::vector<foundation::files::UnreadableFile> files) {
  if (!files.empty()) show(feedback_, alive_, unreadableFilesAlert(files));
}

void StorageAlerts::watchSaves(core::DocumentsFolder& folder) {
  // The folder may outlive this: the handler holds nothing of it.
  folder.onSaveFailure([feedback = feedback_,
                        alive = std::weak_ptr<bool>(alive_)](const core::SaveFailure& failure) {
    show(feedback, alive, saveFailureAlert(failure));
  });
}

void StorageAlerts::show(std::shared_ptr<appkit::UserFeedback> feedback, std::weak_ptr<bool> alive,
                         appkit::Alert alert) {
  if (!feedback) return;
  // The save that failed may run inside a change of the model; the alert's loop must not.
  foundation::DispatchQueue::main().async(
      [feedback = std::move(feedback), alive = std::move(alive), alert = std::move(alert)] {
        if (!alive.expired()) feedback->runModal(alert);
      });
}

}  // namespace shell
