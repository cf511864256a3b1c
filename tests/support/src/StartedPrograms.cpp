#include "testsupport/StartedPrograms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

const std::set<std::string, std::less<>>& startedPrograms() {
  static const std::set<std::string, std::less<>> programs = [] {
    std::set<std::string, std::less<>> names;
    std::ifstream file(QUILL_STARTED_PROGRAMS_FILE);
    std::string line, name;
    while (std::getline(file, line))
      if (std::istringstream(line) >> name && name.front() != '#') names.insert(name);
    return names;
  }();
  return programs;
}

bool expectListedProgram(std::string_view program) {
  const auto slash = program.rfind('/');
  const std::string_view name =
      slash == std::string_view::npos ? program : program.substr(slash + 1);
  // Programs outside PATH are listed by their full path.
  if (startedPrograms().contains(name) || startedPrograms().contains(program)) return true;
  ADD_FAILURE() << "The test starts \"" << name << "\", which " << QUILL_STARTED_PROGRAMS_FILE
                << " does not name: add it there with its Debian package, and the package to "
                   "scripts/install-deps";
  return false;
}

int runCommand(const std::string& command) {
  std::string first;
  std::istringstream(command) >> first;
  if (!expectListedProgram("sh") || !expectListedProgram(first)) return -1;
  return std::system(command.c_str());
}

}  // namespace testsupport
