// The Windows window with its real controls; runs under Wine on a virtual display.
#include "app/win32/main_window_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/converter.h"
#include "app/win32/window_layout.h"
#include "common/codepage.h"
#include "common/platform.h"
#include "common/win32_text.h"

namespace ks {
namespace {

// Answers every message box of this thread that opens while it lives, remembering the texts.
// The boxes run their own message loop, which delivers the thread timer.
class BoxAnswerer {
 public:
  BoxAnswerer(HWND main_window, int answer) : main_window_(main_window), answer_(answer) {
    instance_ = this;
    timer_ = SetTimer(nullptr, 0, 20, &OnTimer);
  }
  ~BoxAnswerer() {
    KillTimer(nullptr, timer_);
    instance_ = nullptr;
  }
  std::vector<std::wstring> texts;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), &Answer, 0);
  }
  static BOOL CALLBACK Answer(HWND box, LPARAM) {
    BoxAnswerer& self = *instance_;
    wchar_t window_class[16] = {};
    GetClassNameW(box, window_class, 16);
    if (box == self.main_window_ || std::wstring(window_class) != L"#32770" || !IsWindowVisible(box)) return TRUE;
    if (!self.answered_.insert(box).second) return TRUE;
    wchar_t text[2048] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 2048);  // the message of a message box
    self.texts.push_back(text);
    PostMessageW(box, WM_COMMAND, self.answer_, 0);
    return TRUE;
  }
  static inline BoxAnswerer* instance_ = nullptr;
  HWND main_window_;
  int answer_;
  UINT_PTR timer_;
  std::set<HWND> answered_;
};

ControlRect RectIn(HWND parent, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

class MainWindowWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.Show(SW_SHOWNORMAL);
    SetForegroundWindow(form_.Handle());
    Pump();
  }
  // What the program's message loop does with the messages waiting now.
  void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (form_.Handle() != nullptr && IsDialogMessageW(form_.Handle(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  void PressKey(WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, 1u | (3u << 30));
    Pump();
  }

  Converter converter_;
  TfrmMain form_{converter_};
};

TEST_F(MainWindowWin32Test, CaptionControlsAndGeometry) {
  const HWND form = form_.Handle();
  EXPECT_EQ(TextOf(form), L"Преобразование данных");
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 361);
  EXPECT_EQ(client.bottom, 330);
  EXPECT_EQ(RectIn(form, form_.memCopyLog()), (ControlRect{4, 4, 353, 273}));
  EXPECT_EQ(RectIn(form, form_.pbrCopyProgress()), (ControlRect{4, 279, 353, 16}));
  EXPECT_EQ(RectIn(form, form_.btnRun()), (ControlRect{185, 301, 84, 25}));
  EXPECT_EQ(RectIn(form, form_.btnExit()), (ControlRect{273, 301, 84, 25}));
  EXPECT_EQ(TextOf(form_.btnRun()), L"Старт");
  EXPECT_EQ(TextOf(form_.btnExit()), L"Выход");
  const LONG_PTR log_style = GetWindowLongPtrW(form_.memCopyLog(), GWL_STYLE);
  EXPECT_TRUE(log_style & ES_READONLY);
  EXPECT_TRUE(log_style & ES_MULTILINE);
  EXPECT_TRUE((log_style & WS_HSCROLL) && (log_style & WS_VSCROLL));
  EXPECT_EQ(TextOf(form_.memCopyLog()), L"");
  EXPECT_EQ(SendMessageW(form_.pbrCopyProgress(), PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(form_.pbrCopyProgress(), PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendMessageW(form_.pbrCopyProgress(), PBM_GETPOS, 0, 0), 0);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form_.btnRun(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
  const HDC screen = GetDC(nullptr);
  EXPECT_EQ(font.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(LOWORD(SendMessageW(form, DM_GETDEFID, 0, 0)), IDOK);
  EXPECT_EQ(GetFocus(), form_.btnRun());
}

TEST_F(MainWindowWin32Test, AnchorsFollowResize) {
  RECT frame{0, 0, 500, 400};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(form_.Handle(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(form_.Handle(), GWL_EXSTYLE)));
  SetWindowPos(form_.Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  EXPECT_EQ(RectIn(form_.Handle(), form_.memCopyLog()), (ControlRect{4, 4, 492, 343}));
  EXPECT_EQ(RectIn(form_.Handle(), form_.pbrCopyProgress()), (ControlRect{4, 349, 492, 16}));
  EXPECT_EQ(RectIn(form_.Handle(), form_.btnRun()), (ControlRect{324, 371, 84, 25}));
  EXPECT_EQ(RectIn(form_.Handle(), form_.btnExit()), (ControlRect{412, 371, 84, 25}));
}

TEST_F(MainWindowWin32Test, TabWalksStartExitAndLog) {
  const HWND form = form_.Handle();
  EXPECT_EQ(GetNextDlgTabItem(form, form_.btnRun(), FALSE), form_.btnExit());
  EXPECT_EQ(GetNextDlgTabItem(form, form_.btnExit(), FALSE), form_.memCopyLog());
  EXPECT_EQ(GetNextDlgTabItem(form, form_.memCopyLog(), FALSE), form_.btnRun());
}

TEST_F(MainWindowWin32Test, EnterInTheLogRunsAndEscCloses) {
  // The run finds no legacy tables here and ends in the error box, which is answered; the
  // report page of the failed run goes beside the program, named by the log's last line.
  const std::string dir = ::testing::TempDir() + "ks_win32_enter\\";
  const std::string program = ::testing::TempDir();
  converter_.SetLegacyDirectory(dir + "missing-legacy\\");
  converter_.TakeDatabasePath(dir + "db\\");
  converter_.SetReportDirectory(program);
  BoxAnswerer answerer(form_.Handle(), IDOK);
  SetFocus(form_.memCopyLog());
  PressKey(VK_RETURN);
  Pump();
  ASSERT_EQ(answerer.texts.size(), 1u);
  EXPECT_NE(answerer.texts[0].find(L"missing-legacy"), std::wstring::npos);
  std::wstring log = TextOf(form_.memCopyLog());
  ASSERT_GE(log.size(), 2u);
  log.resize(log.size() - 2);  // the break after the last line
  const std::wstring last = log.substr(log.rfind(L'\n') + 1);
  const std::wstring named = L"Отчёт: " + win32::Cp1251ToWide(program) + L"ksconvert-report-";
  ASSERT_EQ(last.substr(0, named.size()), named);
  const std::string page = win32::WideToCp1251(last.substr(7));
  std::ifstream in(page, std::ios::binary);
  const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(html.find("Преобразование прервано"), std::string::npos);
  EXPECT_NE(html.find("missing-legacy"), std::string::npos);
  in.close();
  RemoveFile(page);
  ASSERT_NE(form_.Handle(), nullptr);  // the window stays after the error
  PressKey(VK_ESCAPE);
  EXPECT_EQ(form_.Handle(), nullptr);
}

TEST_F(MainWindowWin32Test, LogKeepsEmptyLinesAndEveryRun) {
  form_.AddLogLine(W("Начало"));
  form_.AddLogLine("");
  form_.AddLogLine("---");
  EXPECT_EQ(TextOf(form_.memCopyLog()), L"Начало\r\n\r\n---\r\n");
  form_.AddLogLine(W("второй"));
  EXPECT_EQ(TextOf(form_.memCopyLog()), L"Начало\r\n\r\n---\r\nвторой\r\n");
}

TEST_F(MainWindowWin32Test, LogShowsItsEndFromTheLeftEdge) {
  for (int i = 0; i < 40; ++i) form_.AddLogLine(std::string(i % 7 == 0 ? 300 : 10, 'x'));
  form_.AddLogLine(std::string(300, 'y'));
  const HWND log = form_.memCopyLog();
  const auto lines = SendMessageW(log, EM_GETLINECOUNT, 0, 0);
  EXPECT_EQ(lines, 42);  // and the empty line after the last break
  RECT area;
  SendMessageW(log, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
  // The last line lies in the visible area, from its left edge.
  const LRESULT last = SendMessageW(log, EM_POSFROMCHAR, SendMessageW(log, EM_LINEINDEX, lines - 2, 0), 0);
  EXPECT_GE(static_cast<short>(HIWORD(last)), area.top);
  EXPECT_LT(static_cast<short>(HIWORD(last)), area.bottom);
  EXPECT_EQ(static_cast<short>(LOWORD(last)), area.left);
}

// Counts the paints of a control.
LRESULT CALLBACK CountPaints(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR counter) {
  if (message == WM_PAINT) ++*reinterpret_cast<int*>(counter);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

TEST_F(MainWindowWin32Test, ProgressBarIsPaintedWhileAStageRunsNotForEveryRecord) {
  int paints = 0;
  SetWindowSubclass(form_.pbrCopyProgress(), &CountPaints, 1, reinterpret_cast<DWORD_PTR>(&paints));
  constexpr int kRecords = 200000;
  form_.SetProgressPosition(0);
  form_.SetProgressMax(kRecords);
  for (int row = 1; row <= kRecords; ++row) {
    form_.SetProgressPosition(row);
    if (row % 20000 == 0) Sleep(60);  // a stage that takes longer than the eye needs
  }
  EXPECT_EQ(SendMessageW(form_.pbrCopyProgress(), PBM_GETPOS, 0, 0), kRecords);
  EXPECT_GE(paints, 10);  // it does move while the stage runs
  EXPECT_LE(paints, 100);
  RemoveWindowSubclass(form_.pbrCopyProgress(), &CountPaints, 1);
}

TEST_F(MainWindowWin32Test, ConfigurationIsHandedToTheCore) {
  const std::string dir = ::testing::TempDir() + "ks_win32_noini\\";
  form_.LoadConfiguration(dir);
  EXPECT_EQ(form_.DatabasePath(), dir + "Database\\");
  EXPECT_EQ(converter_.DatabasePath(), dir + "Database\\");
}

}  // namespace
}  // namespace ks
