// The window program: start-up in the fixed order, then the message loop until the main
// window closes.

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "app/configuration.h"
#include "app/converter.h"
#include "app/gui/main_form.h"
#include "app/startup.h"
#include "common/codepage.h"

int main(int argc, char** argv) {
  // The metadata document is loaded before the application exists; a failure stops the
  // program with its message before any window shows.
  std::string failure;
  try {
    ks::LoadProcessMetadata();
  } catch (const std::exception& e) {
    failure = e.what();
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(ks::ApplicationTitle());
  QApplication::setApplicationDisplayName(ks::ApplicationTitle());
  if (!failure.empty()) {
    const std::string text = ks::Cp1251ToUtf8(failure);
    std::fprintf(stderr, "%s\n", text.c_str());
    QMessageBox::critical(nullptr, ks::ApplicationTitle(), QString::fromStdString(text));
    return 1;
  }

  ks::Converter converter;  // the data modules
  ks::TfrmMain window(converter);
  window.LoadConfiguration(ks::ExecutableDirectory());
  window.show();
  return app.exec();
}
