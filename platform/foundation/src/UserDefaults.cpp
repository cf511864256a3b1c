#include "foundation/UserDefaults.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "foundation/Files.h"
#include "foundation/MainThread.h"
#include "foundation/OperationQueue.h"

namespace foundation {
namespace fs = std::filesystem;

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) group |= bytes[i + 2];
    out += kBase64[(group >> 18) & 63];
    out += kBase64[(group >> 12) & 63];
    out += n > 1 ? kBase64[(group >> 6) & 63] : '=';
    out += n > 2 ? kBase64[group & 63] : '=';
  }
  return out;
}

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Strict: padded, no line breaks, padding only at the end.
std::optional<std::vector<std::uint8_t>> base64Decode(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const int padding =
        last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
    std::uint32_t group = 0;
    for (int j = 0; j < 4; ++j) {
      const int value = j >= 4 - padding ? 0 : base64Value(text[i + j]);
      if (value < 0) return std::nullopt;
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    out.push_back(static_cast<std::uint8_t>(group >> 16));
    if (padding < 2) out.push_back(static_cast<std::uint8_t>(group >> 8));
    if (padding < 1) out.push_back(static_cast<std::uint8_t>(group));
  }
  return out;
}

// ASCII only: the C library's tolower follows the user's locale.
std::string lowered(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Always with a '.' point, whatever the locale (strtod would take "0,5" under a German one).
// Leading blanks and a plus sign are allowed; nothing may follow the number.
std::optional<double> numberFromText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r')))
    text.remove_prefix(1);
  if (text.starts_with('+')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size() && std::isfinite(value))
    return value;
  return std::nullopt;
}

// Settings are a few keys; anything near this size was not written by us.
constexpr std::size_t kSettingsReadLimit = 4 * 1024 * 1024;

// Makes the missing folders of `directory` private to the user; existing ones are left alone.
std::error_code createPrivateDirectories(const fs::path& directory) {
  std::error_code error;
  if (directory.empty() || fs::is_directory(directory, error)) return {};
  if (auto parentError = createPrivateDirectories(directory.parent_path())) return parentError;
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
    return {errno, std::generic_category()};
  return {};
}

using Observer = std::shared_ptr<std::function<void()>>;

}  // namespace

// Data values are kept in the JSON file as base64 text (standard alphabet, padded), so a data
// key reads back as a string through stringForKey and objectForKey.
struct UserDefaults::State {
  struct Observers {
    std::mutex mutex;
    std::map<std::string, std::map<std::uint64_t, Observer>> byKey;
    std::uint64_t nextId = 0;

    bool contains(const std::string& key, std::uint64_t id) {
      std::lock_guard lock(mutex);
      auto it = byKey.find(key);
      return it != byKey.end() && it->second.count(id);
    }
  };

  fs::path file;
  mutable std::mutex mutex;
  nlohmann::json values = nlohmann::json::object();
  std::optional<files::UnreadableFile> unreadable;
  // False when an existing file could neither be read nor moved aside: it is never replaced.
  bool persistent() const { return !unreadable || unreadable->copy; }
  std::uint64_t generation = 0;  // of the latest change; older pending writes are skipped
  std::shared_ptr<Observers> observers = std::make_shared<Observers>();
  // Writes run off the main thread, since fsync may take a while.
  std::unique_ptr<OperationQueue> writer;

  void load() {
    // The key lives here: a file left readable by others from an older version is made private,
    // and what a write stopped midway left behind goes.
    (void)files::removeStaleTemporaries({file});
    (void)files::restrictToOwner(file);
    std::error_code error;
    const auto contents = files::readFile(file, error, kSettingsReadLimit);
    if (!contents) {
      if (error == std::errc::no_such_file_or_directory) return;
      // A FIFO, a device or a huge file is nothing we wrote: it goes aside like damaged contents.
      if (error.category() == files::readRefusalCategory()) return setAside(error.message());
      unreadable = files::UnreadableFile{file, std::nullopt, error.message()};
      std::cerr << "Quillcast: cannot read the settings file " << file << " (" << error.message()
                << "); changes will not be saved\n";
      return;
    }
    auto parsed = nlohmann::json::parse(*contents, nullptr, false);
    if (!parsed.is_discarded() && parsed.is_object()) {
      values = std::move(parsed);
      return;
    }
    setAside("its contents are damaged");
  }

  void setAside(const std::string& reason) {
    const auto aside = files::moveAside(file);
    unreadable = files::UnreadableFile{file, aside, reason};
    if (aside) {
      std::cerr << "Quillcast: the settings file " << file << " is not valid; kept it as " << *aside
                << " and started with empty settings\n";
    } else {
      std::cerr << "Quillcast: the settings file " << file
                << " is not valid and could not be moved aside; changes will not be saved\n";
    }
  }

  // Called with the mutex held.
  void scheduleWrite() {
    if (!persistent()) return;
    const std::uint64_t mine = ++generation;
    std::string text = values.dump(2) + "\n";
    if (!writer) writer = std::make_unique<OperationQueue>("quill-defaults");
    writer->addOperation([this, mine, text = std::move(text)] {
      {
        std::lock_guard lock(mutex);
        if (mine != generation) return;  // a newer snapshot follows
      }
      std::error_code error = createPrivateDirectories(file.parent_path());
      if (!error)
        error = files::writeAtomically(file, text, fs::perms::owner_read | fs::perms::owner_write);
      if (error)
        std::cerr << "Quillcast: cannot save the settings file " << file << " (" << error.message()
                  << ")\n";
    });
  }

  // Observers may cancel themselves or others, or add new ones (told from the next change on).
  void notify(const std::string& key) {
    const auto current = observers;  // stays valid should an observer destroy the store
    std::vector<std::pair<std::uint64_t, Observer>> snapshot;
    {
      std::lock_guard lock(current->mutex);
      auto it = current->byKey.find(key);
      if (it == current->byKey.end()) return;
      snapshot.assign(it->second.begin(), it->second.end());
    }
    for (const auto& [id, observer] : snapshot)
      if (current->contains(key, id)) (*observer)();
  }

  std::optional<nlohmann::json> value(const std::string& key) const {
    std::lock_guard lock(mutex);
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return *it;
  }
};

namespace {
std::mutex standardMutex;
std::unique_ptr<UserDefaults> standardDefaults;
}  // namespace

UserDefaults& UserDefaults::standard() {
  std::lock_guard lock(standardMutex);
  if (!standardDefaults) {
    const fs::path folder = files::configHome() / "Quillcast";
    // It holds the API key: private like the documents folder, also when an older version made
    // it readable by others.
    (void)files::restrictToOwner(folder);
    standardDefaults = std::make_unique<UserDefaults>(folder / "defaults.json");
  }
  return *standardDefaults;
}

void UserDefaults::resetStandard() {
  std::unique_ptr<UserDefaults> dropped;
  {
    std::lock_guard lock(standardMutex);
    dropped = std::move(standardDefaults);
  }
  // Destroyed outside the lock: it finishes its pending write first.
}

UserDefaults::UserDefaults(fs::path file) : state_(std::make_unique<State>()) {
  state_->file = std::move(file);
  state_->load();
}

UserDefaults::~UserDefaults() {
  state_->writer.reset();  // runs the pending write, then joins
}

const fs::path& UserDefaults::file() const {
  return state_->file;
}

const std::optional<files::UnreadableFile>& UserDefaults::unreadableFile() const {
  return state_->unreadable;
}

bool UserDefaults::has(const std::string& key) const {
  std::lock_guard lock(state_->mutex);
  return state_->values.contains(key);
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
  auto value = state_->value(key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

bool UserDefaults::boolForKey(const std::string& key) const {
  auto value = state_->value(key);
  if (!value) return false;
  if (value->is_boolean()) return value->get<bool>();
  if (value->is_number()) return value->get<double>() != 0;
  if (value->is_string()) {
    const std::string text = lowered(value->get<std::string>());
    if (text == "true" || text == "yes") return true;
    const auto number = numberFromText(text);
    return number && *number != 0;
  }
  return false;
}

double UserDefaults::doubleForKey(const std::string& key) const {
  auto value = state_->value(key);
  if (!value) return 0;
  if (value->is_number()) return value->get<double>();
  if (value->is_boolean()) return value->get<bool>() ? 1 : 0;
  if (value->is_string()) return numberFromText(value->get<std::string>()).value_or(0);
  return 0;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
  auto value = state_->value(key);
  if (value && (value->is_number_integer())) return value->get<std::int64_t>();
  const double d = doubleForKey(key);
  // Out-of-range values would be undefined to convert.
  if (!(d > -9.2e18 && d < 9.2e18)) return 0;
  return static_cast<std::int64_t>(d);
}

std::optional<std::vector<std::uint8_t>> UserDefaults::dataForKey(const std::string& key) const {
  auto value = state_->value(key);
  if (!value || !value->is_string()) return std::nullopt;
  return base64Decode(value->get<std::string>());
}

std::optional<nlohmann::json> UserDefaults::objectForKey(const std::string& key) const {
  return state_->value(key);
}

void UserDefaults::set(const std::string& key, const nlohmann::json& value) {
  assertMainThread();
  {
    std::lock_guard lock(state_->mutex);
    state_->values[key] = value;
    state_->scheduleWrite();
  }
  state_->notify(key);
}

void UserDefaults::set(const std::string& key, bool value) {
  set(key, nlohmann::json(value));
}

void UserDefaults::set(const std::string& key, double value) {
  set(key, nlohmann::json(value));
}

void UserDefaults::set(const std::string& key, std::int64_t value) {
  set(key, nlohmann::json(value));
}

void UserDefaults::set(const std::string& key, std::string_view value) {
  set(key, nlohmann::json(value));
}

void UserDefaults::setData(const std::string& key, const std::vector<std::uint8_t>& bytes) {
  set(key, base64Encode(bytes));
}

void UserDefaults::removeObject(const std::string& key) {
  assertMainThread();
  {
    std::lock_guard lock(state_->mutex);
    if (state_->values.erase(key) == 0) return;  // nothing changed
    state_->scheduleWrite();
  }
  state_->notify(key);
}

void UserDefaults::synchronize() {
  OperationQueue* writer;
  {
    std::lock_guard lock(state_->mutex);
    writer = state_->writer.get();
  }
  if (writer) writer->waitUntilAllOperationsAreFinished();
}

Cancellable UserDefaults::observe(const std::string& key, std::function<void()> observer) {
  assertMainThread();
  auto& observers = *state_->observers;
  std::uint64_t id;
  {
    std::lock_guard lock(observers.mutex);
    id = observers.nextId++;
    observers.byKey[key].emplace(id, std::make_shared<std::function<void()>>(std::move(observer)));
  }
  return Cancellable([weak = std::weak_ptr<State::Observers>(state_->observers), key, id] {
    auto observers = weak.lock();
    if (!observers) return;  // the store is gone
    // Released after the lock, since its captures may cancel other observers.
    Observer removed;
    std::lock_guard lock(observers->mutex);
    auto it = observers->byKey.find(key);
    if (it == observers->byKey.end()) return;
    if (auto entry = it->second.find(id); entry != it->second.end()) {
      removed = std::move(entry->second);
      it->second.erase(entry);
    }
    if (it->second.empty()) observers->byKey.erase(it);
  });
}

}  // namespace foundation
