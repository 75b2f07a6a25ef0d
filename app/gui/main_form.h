#pragma once
// The one window of the program: a log, a progress bar, "Старт" and "Выход".

#include <QDialog>

#include "common/main_window.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace ks {

class Converter;

// A dialog-style window so that Enter presses the default button ("Старт", or the button
// that has the focus) and Esc presses "Выход", as the operators know it.
class TfrmMain : public QDialog, public IMainWindow {
  Q_OBJECT

 public:
  explicit TfrmMain(Converter& converter, QWidget* parent = nullptr);

  // Reads ks.ini beside the executable (or ini_path when given) into DatabasePath and hands
  // the directory to the data layer.
  void LoadConfiguration(const std::string& app_path, const std::string& ini_path = "");
  const std::string& DatabasePath() const;

  // IMainWindow
  void AddLogLine(const std::string& text) override;
  void SetProgressMax(int max) override;
  void SetProgressPosition(int position) override;
  bool ConfirmOkCancel(const std::string& text) override;
  void ShowErrorBox(const std::string& text) override;

  QPlainTextEdit* memCopyLog() const { return memCopyLog_; }
  QProgressBar* pbrCopyProgress() const { return pbrCopyProgress_; }
  QPushButton* btnRun() const { return btnRun_; }
  QPushButton* btnExit() const { return btnExit_; }

 public slots:
  void btnRunClick();
  void btnExitClick();

 protected:
  void reject() override;  // Esc
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowException(const std::string& message);

  Converter& converter_;
  bool closing_ = false;
  QPlainTextEdit* memCopyLog_;
  QProgressBar* pbrCopyProgress_;
  int painted_fill_ = -1;  // filled pixels of the bar when it was last painted
  QPushButton* btnRun_;
  QPushButton* btnExit_;
};

// The application title: task bar, message boxes.
QString ApplicationTitle();

}  // namespace ks
