#include "core/Bundle.h"

#include <system_error>

#include "core/Console.h"
#include "foundation/Files.h"

namespace core {
namespace {

std::vector<std::filesystem::path> foldersBesideExecutable() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const auto folder = executable.parent_path();
  return {folder, folder.parent_path() / "share" / "quillcast"};
}

}  // namespace

const Bundle& Bundle::main() {
  static const Bundle bundle(foldersBesideExecutable(), true);
  return bundle;
}

Bundle::Bundle(std::vector<std::filesystem::path> folders, bool includeEmbedded)
    : folders_(std::move(folders)), includeEmbedded_(includeEmbedded) {}

Bundle::Lookup Bundle::resource(std::string_view name) const {
  for (const auto& folder : folders_) {
    const auto file = folder / name;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) continue;
    if (auto bytes = foundation::files::readFile(file, error)) return std::move(*bytes);
    return Unreadable{error.message()};
  }
  if (includeEmbedded_) {
    for (const auto& embedded : embeddedResources()) {
      if (embedded.name == name) return std::string(embedded.bytes);
    }
  }
  return NotFound{};
}

std::string loadBundleJSON(std::string_view name, const Bundle& bundle) {
  auto lookup = bundle.resource(name);
  if (std::holds_alternative<Bundle::NotFound>(lookup)) {
    fatalError("Couldn't find " + std::string(name) + " in main bundle.");
  }
  if (const auto* unreadable = std::get_if<Bundle::Unreadable>(&lookup)) {
    fatalError("Couldn't load " + std::string(name) + " from main bundle:\n" +
               unreadable->description);
  }
  return std::move(std::get<std::string>(lookup));
}

}  // namespace core
