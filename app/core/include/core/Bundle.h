#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace core {

// A resource compiled into the program.
struct EmbeddedResource {
  std::string_view name;
  std::string_view bytes;
};
// Every resource of app/core/resources, generated at build time.
std::span<const EmbeddedResource> embeddedResources();

// Where the program's own resources are found: files in a list of folders first, then the
// copies compiled into the program.
class Bundle {
 public:
  struct NotFound {};
  struct Unreadable {
    std::string description;
  };
  using Lookup = std::variant<std::string, NotFound, Unreadable>;

  // The folder of the executable, then <exe>/../share/quillcast, then the compiled-in copies.
  static const Bundle& main();

  Bundle(std::vector<std::filesystem::path> folders, bool includeEmbedded);

  // The bytes of the resource with this full name.
  Lookup resource(std::string_view name) const;

 private:
  std::vector<std::filesystem::path> folders_;
  bool includeEmbedded_;
};

// The bytes of a resource of the bundle. Stops the program when it is missing or unreadable.
std::string loadBundleJSON(std::string_view name, const Bundle& bundle = Bundle::main());

}  // namespace core
