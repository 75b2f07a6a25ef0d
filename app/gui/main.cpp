// The window program: start-up in the fixed order, then the message loop until the main
// window closes.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <clocale>
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
  // Creating the application adopts the user's locale, whose decimal separator may be a
  // comma; number texts are locale-free in the core, and the C library's are put back too.
  std::setlocale(LC_NUMERIC, "C");
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
  // Errors of background work (the flush tick) go to the application's error box while the
  // window lives.
  const ks::ScopedErrorDisplay error_display([&window](const std::exception& e) { window.ShowErrorBox(e.what()); });
  QTimer flush_timer;
  QObject::connect(&flush_timer, &QTimer::timeout, [&converter] { converter.Tick(); });
  flush_timer.start(ks::TCBEngine::kFlushIntervalMs);
  window.LoadConfiguration(ks::ExecutableDirectory());
  window.show();
  return app.exec();
}
