#pragma once

#include <string>
#include <string_view>

namespace loginitem {

// Where the module reports failures.
class Log {
 public:
  virtual ~Log() = default;
  virtual void error(std::string_view message) = 0;
};

// Lines like "com.brambleworth.LoginItem[main] error: <message>", to the system log when the
// machine has one (/dev/log), else to standard error, which the session's journal keeps.
// The process-wide syslog identity is left alone.
class SystemLog final : public Log {
 public:
  SystemLog(std::string subsystem, std::string category);
  void error(std::string_view message) override;
  std::string line(std::string_view level, std::string_view message) const;

 private:
  std::string subsystem_, category_;
};

}  // namespace loginitem
