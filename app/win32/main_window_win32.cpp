#include "app/win32/main_window_win32.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <exception>
#include <stdexcept>

#include "app/converter.h"
#include "app/win32/button_glyphs.h"
#include "app/win32/log_text.h"
#include "app/win32/resource.h"
#include "app/win32/window_layout.h"
#include "common/win32_text.h"

namespace ks {
namespace {

constexpr UINT_PTR kFlushTimerId = 1;

void Place(HWND control, const ControlRect& r) { MoveWindow(control, r.left, r.top, r.width, r.height, TRUE); }

}  // namespace

const wchar_t* ApplicationTitle() { return L"Преобразование данных"; }

TfrmMain::TfrmMain(Converter& converter) : converter_(converter) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc,
                     reinterpret_cast<LPARAM>(this));
  if (hwnd_ == nullptr) throw std::runtime_error("The main window cannot be created");
}

TfrmMain::~TfrmMain() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  for (HICON glyph : glyphs_) {
    if (glyph != nullptr) DestroyIcon(glyph);
  }
}

INT_PTR CALLBACK TfrmMain::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    reinterpret_cast<TfrmMain*>(lparam)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  // No exception may unwind through the system's frames; the handlers show their own.
  try {
    return self->HandleMessage(message, wparam, lparam);
  } catch (const std::exception& e) {
    self->ShowErrorBox(e.what());
    return TRUE;
  }
}

INT_PTR TfrmMain::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      CreateControls();
      SizeAndCentre();
      SetFocus(btnRun_);
      return FALSE;  // the focus is set
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) ArrangeControls(LOWORD(lparam), HIWORD(lparam));
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      if (LOWORD(wparam) == IDC_RUN) btnRunClick();
      if (LOWORD(wparam) == IDC_EXIT) btnExitClick();
      return TRUE;
    case WM_TIMER:
      if (wparam != kFlushTimerId) return FALSE;
      converter_.Tick();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      // A read-only edit is painted as a static control; the log keeps the window colour.
      if (reinterpret_cast<HWND>(lparam) != memCopyLog_) return FALSE;
      SetTextColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    case WM_CLOSE:
      // Closing the window does not press "Выход"; it only ends the program.
      DestroyWindow(hwnd_);
      return TRUE;
    case WM_DESTROY:
      KillTimer(hwnd_, kFlushTimerId);
      PostQuitMessage(0);
      return TRUE;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void TfrmMain::CreateControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto font = static_cast<WPARAM>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  auto create = [&](DWORD ex_style, const wchar_t* window_class, const wchar_t* text, DWORD style, int id) {
    HWND control = CreateWindowExW(ex_style, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control == nullptr) throw std::runtime_error("A control of the main window cannot be created");
    SendMessageW(control, WM_SETFONT, font, FALSE);
    return control;
  };
  // Created in tab order: "Старт", "Выход", the bar (which takes no focus), the log.
  btnRun_ = create(0, L"BUTTON", L"Старт", WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, IDC_RUN);
  btnExit_ = create(0, L"BUTTON", L"Выход", WS_TABSTOP | BS_PUSHBUTTON, IDC_EXIT);
  pbrCopyProgress_ = create(0, PROGRESS_CLASSW, L"", 0, IDC_PROGRESS);
  memCopyLog_ = create(WS_EX_CLIENTEDGE, L"EDIT", L"",
                       WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                           ES_AUTOVSCROLL | ES_NOHIDESEL,
                       IDC_LOG);
  const int glyph_size = GetSystemMetrics(SM_CXSMICON);
  glyphs_[0] = CreateButtonGlyph(ButtonGlyph::kRun, glyph_size);
  glyphs_[1] = CreateButtonGlyph(ButtonGlyph::kExit, glyph_size);
  SendMessageW(btnRun_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyphs_[0]));
  SendMessageW(btnExit_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyphs_[1]));
  SendMessageW(memCopyLog_, EM_SETLIMITTEXT, 0, 0);  // the log keeps every line of every run
  themed_progress_ = GetWindowTheme(pbrCopyProgress_) != nullptr;
  SendMessageW(pbrCopyProgress_, PBM_SETRANGE32, 0, progress_max_);
  SendMessageW(pbrCopyProgress_, PBM_SETPOS, progress_position_, 0);
  SendMessageW(hwnd_, DM_SETDEFID, IDC_RUN, 0);
  SetWindowTextW(hwnd_, ApplicationTitle());
}

// The client area gets its designed size, and the window is centred in the work area of
// its screen.
void TfrmMain::SizeAndCentre() {
  RECT frame{0, 0, kMainClientWidth, kMainClientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const Point origin =
      CentredOrigin({work.left, work.top, work.right - work.left, work.bottom - work.top}, width, height);
  SetWindowPos(hwnd_, nullptr, origin.x, origin.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(hwnd_, &client);
  ArrangeControls(client.right, client.bottom);
}

void TfrmMain::ArrangeControls(int client_width, int client_height) {
  if (btnRun_ == nullptr) return;
  const MainWindowLayout layout = LayoutMainWindow(client_width, client_height);
  Place(memCopyLog_, layout.log);
  Place(pbrCopyProgress_, layout.progress);
  Place(btnRun_, layout.run);
  Place(btnExit_, layout.exit);
  SendMessageW(pbrCopyProgress_, PBM_SETPOS, progress_position_, 0);
  painted_fill_ = -1;
}

void TfrmMain::StartFlushTimer(unsigned interval_ms) { SetTimer(hwnd_, kFlushTimerId, interval_ms, nullptr); }

void TfrmMain::Show(int show_command) {
  ShowWindow(hwnd_, show_command);
  UpdateWindow(hwnd_);
}

int TfrmMain::RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

const std::string& TfrmMain::DatabasePath() const { return converter_.DatabasePath(); }

void TfrmMain::LoadConfiguration(const std::string& app_path, const std::string& ini_path) {
  converter_.LoadConfiguration(app_path, ini_path);
}

void TfrmMain::AddLogLine(const std::string& text) {
  const std::wstring line = win32::Cp1251ToWide(LogAppendText(text));
  const int end = GetWindowTextLengthW(memCopyLog_);
  SendMessageW(memCopyLog_, EM_SETSEL, end, end);
  SendMessageW(memCopyLog_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  // The run does not return to the message loop; paint the new line now.
  UpdateWindow(memCopyLog_);
}

void TfrmMain::SetProgressMax(int max) {
  progress_max_ = max;
  SendMessageW(pbrCopyProgress_, PBM_SETRANGE32, 0, max);
  painted_fill_ = -1;  // the control may have clamped its position to the new range
  ShowProgress();
}

void TfrmMain::SetProgressPosition(int position) {
  if (position == progress_position_) return;
  progress_position_ = position;
  ShowProgress();
}

// The run does not return to the message loop, so the bar is painted here; but a stage
// moves it once per record, and a paint costs far more than a record: the control is moved
// and painted only when the filled part of the bar grows or shrinks by a pixel, and in
// between its ends not more often than the eye follows.
void TfrmMain::ShowProgress() {
  constexpr ULONGLONG kPaintIntervalMs = 40;
  RECT client;
  GetClientRect(pbrCopyProgress_, &client);
  const int fill = ProgressFillPixels(progress_max_, progress_position_, client.right - client.left);
  if (fill == painted_fill_) return;
  const ULONGLONG now = GetTickCount64();
  const bool at_an_end = progress_position_ <= 0 || progress_position_ >= progress_max_;
  if (!at_an_end && painted_fill_ >= 0 && now - painted_at_ < kPaintIntervalMs) return;
  painted_fill_ = fill;
  painted_at_ = now;
  // A themed bar animates a growing fill on timer messages, which a run does not process;
  // a step back is drawn at once.
  if (themed_progress_ && progress_position_ < progress_max_) {
    SendMessageW(pbrCopyProgress_, PBM_SETPOS, progress_position_ + 1, 0);
  }
  SendMessageW(pbrCopyProgress_, PBM_SETPOS, progress_position_, 0);
  UpdateWindow(pbrCopyProgress_);
}

bool TfrmMain::ConfirmOkCancel(const std::string& text) {
  return MessageBoxW(hwnd_, win32::Cp1251ToWide(text).c_str(), ApplicationTitle(), MB_OKCANCEL | MB_ICONWARNING) == IDOK;
}

void TfrmMain::ShowErrorBox(const std::string& text) {
  MessageBoxW(hwnd_, win32::Cp1251ToWide(text).c_str(), ApplicationTitle(), MB_OK | MB_ICONERROR);
}

void TfrmMain::btnRunClick() {
  try {
    converter_.RunFromWindow(*this);
  } catch (const std::exception& e) {
    ShowErrorBox(e.what());
  }
}

void TfrmMain::btnExitClick() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

}  // namespace ks
