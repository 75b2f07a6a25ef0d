#pragma once
// The one window of the program on Windows: a log, a progress bar, "Старт" and "Выход".
// It is a modeless dialog, so that Enter presses the default button ("Старт", or the button
// that has the focus), Esc presses "Выход" and Tab walks the controls, as operators know it.

#include <windows.h>

#include <string>

#include "common/main_window.h"

namespace ks {

class Converter;

class TfrmMain : public IMainWindow {
 public:
  // Creates the window hidden; Show() shows it.
  explicit TfrmMain(Converter& converter);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // Reads ks.ini beside the executable (or ini_path when given) into DatabasePath and hands
  // the directory to the data layer.
  void LoadConfiguration(const std::string& app_path, const std::string& ini_path = "");
  const std::string& DatabasePath() const;

  // The engine's flush tick as a window timer: its messages arrive through the message loop,
  // so a tick never falls into a table operation of a run.
  void StartFlushTimer(unsigned interval_ms);
  void Show(int show_command);
  // The message loop, until the window closes.
  int RunMessageLoop();

  // IMainWindow
  void AddLogLine(const std::string& text) override;
  void SetProgressMax(int max) override;
  void SetProgressPosition(int position) override;
  bool ConfirmOkCancel(const std::string& text) override;
  void ShowErrorBox(const std::string& text) override;

  void btnRunClick();
  void btnExitClick();

  HWND Handle() const { return hwnd_; }
  HWND memCopyLog() const { return memCopyLog_; }
  HWND pbrCopyProgress() const { return pbrCopyProgress_; }
  HWND btnRun() const { return btnRun_; }
  HWND btnExit() const { return btnExit_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void SizeAndCentre();
  void ArrangeControls(int client_width, int client_height);
  void ShowProgress();

  Converter& converter_;
  HWND hwnd_ = nullptr;
  HWND memCopyLog_ = nullptr;
  HWND pbrCopyProgress_ = nullptr;
  HWND btnRun_ = nullptr;
  HWND btnExit_ = nullptr;
  HICON glyphs_[2] = {};  // of "Старт" and "Выход"
  bool themed_progress_ = false;
  int progress_max_ = 100;
  int progress_position_ = 0;
  int painted_fill_ = -1;  // filled pixels of the bar when it was last moved and painted
  ULONGLONG painted_at_ = 0;  // and when, in milliseconds since the system started
};

// The application title: task bar, message boxes.
const wchar_t* ApplicationTitle();

}  // namespace ks
