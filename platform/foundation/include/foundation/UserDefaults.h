#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "foundation/Files.h"
#include "foundation/ObservableObject.h"

namespace foundation {

// A persistent key-value store: a JSON object in <config>/Quillcast/defaults.json, mode 0600,
// written atomically on every change. A file that does not parse is moved aside at start; one
// that cannot be read at all is left alone and never written. Main thread only.
class UserDefaults {
 public:
  // The store of the current user ($XDG_CONFIG_HOME, else ~/.config). Made on first use.
  static UserDefaults& standard();
  // Drops the standard store so that the next standard() reads the environment again (tests).
  static void resetStandard();

  explicit UserDefaults(std::filesystem::path file);
  ~UserDefaults();
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

  const std::filesystem::path& file() const;
  // The file as it was found at start when it could not be read, and where its copy went.
  const std::optional<files::UnreadableFile>& unreadableFile() const;

  bool has(const std::string& key) const;
  std::optional<std::string> stringForKey(
      const std::string& key) const;                         // absent or not text → none
  bool boolForKey(const std::string& key) const;             // absent → false
  double doubleForKey(const std::string& key) const;         // absent → 0
  std::int64_t integerForKey(const std::string& key) const;  // absent → 0
  std::optional<std::vector<std::uint8_t>> dataForKey(const std::string& key) const;
  // Any stored value; the caller includes <nlohmann/json.hpp>.
  std::optional<nlohmann::json> objectForKey(const std::string& key) const;

  void set(const std::string& key, bool value);
  void set(const std::string& key, double value);
  void set(const std::string& key, std::int64_t value);
  void set(const std::string& key, int value) { set(key, static_cast<std::int64_t>(value)); }
  void set(const std::string& key, std::string_view value);
  void set(const std::string& key, const char* value) { set(key, std::string_view(value)); }
  void set(const std::string& key, const std::string& value) { set(key, std::string_view(value)); }
  // Objects and lists; the caller includes <nlohmann/json.hpp>.
  void set(const std::string& key, const nlohmann::json& value);
  // Stored as base64 text (standard alphabet, padded); dataForKey decodes it again.
  void setData(const std::string& key, const std::vector<std::uint8_t>& bytes);
  void removeObject(const std::string& key);

  // The file is written off the main thread; this waits until the latest change is on disk.
  void synchronize();

  // Told after every change of the key (set or remove), on the main thread.
  [[nodiscard]] Cancellable observe(const std::string& key, std::function<void()> observer);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace foundation
