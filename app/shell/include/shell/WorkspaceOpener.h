#pragma once

#include <memory>

#include "appkit/Workspace.h"
#include "shell/URLOpener.h"

namespace shell {

// Web pages and mail addresses go to the desktop's browser or mail program.
class WorkspaceOpener : public URLOpener {
 public:
  explicit WorkspaceOpener(std::shared_ptr<appkit::Workspace> workspace)
      : workspace_(std::move(workspace)) {}
  bool open(std::string_view url) override { return workspace_->openURL(url); }

 private:
  std::shared_ptr<appkit::Workspace> workspace_;
};

}  // namespace shell
