#include <gtest/gtest.h>

#include "shell/StorageAlerts.h"

namespace shell {
namespace {

using foundation::files::UnreadableFile;

TEST(StorageAlerts, OneAlertNamesEveryFileAndWhereItsCopyWent) {
  const std::vector<UnreadableFile> files{
      {"/home/u/.config/Quillcast/defaults.json",
       "/home/u/.config/Quillcast/defaults.json.corrupt-20260101-090000",
       "its contents are damaged"},
      {"/home/u/Documents/Quillcast/QuillcastPrompts.json", std::nullopt, "Permission denied"}};
  const auto alert = unreadableFilesAlert(files);
  EXPECT_EQ(alert.messageText, "Quillcast could not read some of its files");
  EXPECT_EQ(alert.informativeText,
            "Your settings (defaults.json) could not be read: its contents are damaged.\n"
            "It was moved aside, unchanged, to:\n"
            "/home/u/.config/Quillcast/defaults.json.corrupt-20260101-090000\n\n"
            "Your prompt presets (QuillcastPrompts.json) could not be read: Permission denied.\n"
            "It could not be moved aside either, so it stays at:\n"
            "/home/u/Documents/Quillcast/QuillcastPrompts.json\n"
            "Quillcast will not write over it.\n\n"
            "Quillcast started without what the copies hold.");
  EXPECT_EQ(unreadableFilesAlert({files[0]}).messageText,
            "Quillcast could not read one of its files");
}

TEST(StorageAlerts, ASaveFailureSaysWhatWasNotSavedWhereAndWhy) {
  const auto alert =
      saveFailureAlert({"/home/u/Documents/Quillcast/QuillcastPrompts.json", "No space left"});
  EXPECT_EQ(alert.messageText, "Quillcast could not save your prompt presets");
  EXPECT_TRUE(alert.informativeText.starts_with(
      "Writing /home/u/Documents/Quillcast/QuillcastPrompts.json failed: No space left."))
      << alert.informativeText;
  EXPECT_EQ(saveFailureAlert({"/x/other.json", "?"}).messageText,
            "Quillcast could not save the file other.json");
}

}  // namespace
}  // namespace shell
