#pragma once
// What table creation and the conversion run need of "the main window". The Qt window and
// the console front end implement it, so both run the very same conversion code.
// All texts are Windows-1251; the implementations convert them for display.

#include <string>

namespace ks {

class IMainWindow {
 public:
  virtual ~IMainWindow() = default;

  // Appends one line to the log; an empty text appends an empty line.
  virtual void AddLogLine(const std::string& text) = 0;
  virtual void SetProgressMax(int max) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // Names what the bar shows from now on, such as "Document -> Doc.dbf", so that a long stage
  // does not look like a hang. A window that shows no such text ignores it.
  virtual void SetProgressStage(const std::string& stage) { (void)stage; }
  // Warning box with OK and Cancel; true only for OK.
  virtual bool ConfirmOkCancel(const std::string& text) = 0;
  // Modal error box with one OK button (the open-table message of table creation).
  virtual void ShowErrorBox(const std::string& text) = 0;
};

}  // namespace ks
