// The program: one instance per user, living in the tray.
#include <QCoreApplication>
#include <string>
#include <vector>

#include "appkit/Application.h"
#include "markdown/ImageLoader.h"
#include "shell/QuillcastApp.h"
#include "shell/SingleInstance.h"
#include "ui/qt/ImageDecoding.h"

int main(int argc, char** argv) {
  std::vector<std::string> urls;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.find("://") != std::string::npos) urls.push_back(argument);
  }

  shell::QuillcastApp* program = nullptr;
  // Later starts come here: with URLs (a browser link, `quillcast quillcast://promptEditor`),
  // or without, from the applications menu, for the panel.
  auto start =
      shell::SingleInstance::acquire(shell::defaultSocketPlace(), shell::requestFor(urls),
                                     [&program](shell::InstanceRequest request) {
                                       if (!program) return;
                                       if (request.openPanel)
                                         program->delegate().applicationShouldHandleReopen();
                                       if (!request.urls.empty())
                                         program->delegate().application(request.urls);
                                     });
  // Another Quillcast runs and took the request, or it could not be asked (said on stderr).
  if (!start.instance) return start.handedOver ? 0 : 1;

  auto application = appkit::Application::create(argc, argv);
  if (!application) return 1;
  // What the desktop shows for windows without a title of their own (alerts).
  QCoreApplication::setApplicationName("Quillcast");

  // Answers' images are decoded by Qt's image plugins.
  markdown::DefaultImageLoader::shared().setDecoder(
      [](std::string_view bytes, std::size_t maxPixels) {
        return ui::qt::decodeImage(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
            maxPixels * 4);
      });

  shell::QuillcastApp quillcast;
  program = &quillcast;
  const int code = quillcast.run(*application, urls);
  program = nullptr;
  return code;
}
