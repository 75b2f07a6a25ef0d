// The window program on Windows: start-up in the fixed order, then the message loop until
// the main window closes.

#include <windows.h>

#include <exception>
#include <string>

#include "app/configuration.h"
#include "app/converter.h"
#include "app/startup.h"
#include "app/win32/main_window_win32.h"
#include "common/win32_text.h"
#include "db/engine/cb_engine.h"

namespace {

void ShowFailure(const std::string& text) {
  MessageBoxW(nullptr, ks::win32::Cp1251ToWide(text).c_str(), ks::ApplicationTitle(), MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show_command) {
  // The metadata document is loaded before anything else; a failure stops the program with
  // its message before any window shows.
  try {
    ks::LoadProcessMetadata();
  } catch (const std::exception& e) {
    ShowFailure(e.what());
    return 1;
  }
  // A run keeps the message loop waiting for minutes while it paints its log and bar; the
  // window must not be replaced by the system's "not responding" ghost meanwhile.
  DisableProcessWindowsGhosting();
  try {
    ks::Converter converter;  // the data modules
    ks::TfrmMain window(converter);
    // Errors of background work (the flush tick) go to the application's error box while the
    // window lives.
    const ks::ScopedErrorDisplay error_display([&window](const std::exception& e) { window.ShowErrorBox(e.what()); });
    window.StartFlushTimer(ks::TCBEngine::kFlushIntervalMs);
    window.LoadConfiguration(ks::ExecutableDirectory());
    window.Show(show_command);
    return window.RunMessageLoop();
  } catch (const std::exception& e) {
    ShowFailure(e.what());
    return 1;
  }
}
