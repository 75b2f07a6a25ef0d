#include "app/gui/main_form.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <cstdint>
#include <exception>

#include "app/converter.h"
#include "common/codepage.h"

namespace ks {
namespace {

// The layout is drawn for a client area of 361 x 330; the controls keep their distances to
// the edges they are anchored to when the window is resized.
constexpr int kClientWidth = 361;
constexpr int kClientHeight = 330;

QString FromAnsi(const std::string& text) { return QString::fromStdString(Cp1251ToUtf8(text)); }

}  // namespace

QString ApplicationTitle() { return QStringLiteral("Преобразование данных"); }

TfrmMain::TfrmMain(Converter& converter, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      converter_(converter),
      memCopyLog_(new QPlainTextEdit(this)),
      pbrCopyProgress_(new QProgressBar(this)),
      btnRun_(new QPushButton(QStringLiteral("Старт"), this)),
      btnExit_(new QPushButton(QStringLiteral("Выход"), this)) {
  setObjectName("frmMain");
  setWindowTitle(ApplicationTitle());
  setFont(QFont("MS Sans Serif", 8));
  setSizeGripEnabled(true);
  resize(kClientWidth, kClientHeight);

  memCopyLog_->setObjectName("memCopyLog");
  memCopyLog_->setReadOnly(true);
  memCopyLog_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memCopyLog_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memCopyLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  pbrCopyProgress_->setObjectName("pbrCopyProgress");
  pbrCopyProgress_->setRange(0, 100);
  pbrCopyProgress_->setValue(0);
  pbrCopyProgress_->setTextVisible(false);

  btnRun_->setObjectName("btnRun");
  btnRun_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  btnRun_->setDefault(true);
  btnExit_->setObjectName("btnExit");
  btnExit_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

  connect(btnRun_, &QPushButton::clicked, this, &TfrmMain::btnRunClick);
  connect(btnExit_, &QPushButton::clicked, this, &TfrmMain::btnExitClick);

  setTabOrder(btnRun_, btnExit_);
  setTabOrder(btnExit_, pbrCopyProgress_);
  setTabOrder(pbrCopyProgress_, memCopyLog_);
  btnRun_->setFocus();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const int w = width();
  const int h = height();
  memCopyLog_->setGeometry(4, 4, w - 8, h - 57);
  pbrCopyProgress_->setGeometry(4, h - 51, w - 8, 16);
  btnRun_->setGeometry(w - 176, h - 29, 84, 25);
  btnExit_->setGeometry(w - 88, h - 29, 84, 25);
}

const std::string& TfrmMain::DatabasePath() const { return converter_.DatabasePath(); }

void TfrmMain::LoadConfiguration(const std::string& app_path, const std::string& ini_path) {
  converter_.LoadConfiguration(app_path, ini_path);
}

void TfrmMain::AddLogLine(const std::string& text) {
  memCopyLog_->appendPlainText(FromAnsi(text));
  // The run does not return to the event loop; paint the new line now.
  memCopyLog_->repaint();
}

void TfrmMain::SetProgressMax(int max) {
  pbrCopyProgress_->setMaximum(max);
  painted_fill_ = -1;
}

void TfrmMain::SetProgressPosition(int position) {
  if (pbrCopyProgress_->value() == position) return;
  pbrCopyProgress_->setValue(position);
  // The run does not return to the event loop, so the bar is painted here; but a stage
  // moves it once per record, and a repaint costs far more than a record: paint only
  // when the filled part of the bar grows or shrinks by a pixel.
  const QProgressBar& bar = *pbrCopyProgress_;
  const int64_t span = int64_t(bar.maximum()) - bar.minimum();
  const int fill = span > 0 ? static_cast<int>((int64_t(bar.value()) - bar.minimum()) * bar.width() / span) : 0;
  if (fill == painted_fill_) return;
  painted_fill_ = fill;
  pbrCopyProgress_->repaint();
}

bool TfrmMain::ConfirmOkCancel(const std::string& text) {
  return QMessageBox::warning(this, ApplicationTitle(), FromAnsi(text), QMessageBox::Ok | QMessageBox::Cancel,
                              QMessageBox::Ok) == QMessageBox::Ok;
}

void TfrmMain::ShowErrorBox(const std::string& text) {
  QMessageBox::critical(this, ApplicationTitle(), FromAnsi(text), QMessageBox::Ok);
}

void TfrmMain::ShowException(const std::string& message) { ShowErrorBox(message); }

void TfrmMain::btnRunClick() {
  try {
    converter_.RunFromWindow(*this);
  } catch (const std::exception& e) {
    ShowException(e.what());
  }
}

void TfrmMain::btnExitClick() { close(); }

// Closing the window reaches the dialog as a reject, and so does Esc; only Esc presses the
// button.
void TfrmMain::reject() {
  if (closing_) {
    QDialog::reject();
  } else {
    btnExit_->click();
  }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  closing_ = true;
  QDialog::closeEvent(event);
  closing_ = false;
}

}  // namespace ks
