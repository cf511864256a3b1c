#pragma once

#include <QIcon>
#include <string>

namespace appkit {

// The tray icon for one of the program's symbols: dark, with a light rim so that it reads on
// light and dark panels alike. A symbol the view layer does not know is drawn as a wand with
// stars.
QIcon statusIcon(const std::string& symbolName);

}  // namespace appkit
