#pragma once

#include <set>
#include <string>
#include <string_view>

namespace testsupport {

// The programs named in tests/support/started-programs.txt: the only ones a test may start, so
// that scripts/install-deps installs each of them on a fresh machine.
const std::set<std::string, std::less<>>& startedPrograms();

// Fails the running test, naming the list to add it to, unless `program` (a name, or a path
// whose last part counts) is listed. True when it is.
bool expectListedProgram(std::string_view program);

// std::system for tests: runs `command` with /bin/sh once its first word is a listed program;
// -1 when it is not.
int runCommand(const std::string& command);

}  // namespace testsupport
