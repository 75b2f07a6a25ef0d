// The main of the window tests: Qt offscreen, and a watchdog so that no modal box waits for
// an answer forever (one left open for 10 s is closed and the test that opened it fails, so
// that a forgotten answerer cannot hang the suite).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);

  QTimer watchdog;
  QElapsedTimer open_since;
  QWidget* open_box = nullptr;
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != open_box) {
      open_box = modal;
      open_since.restart();
      return;
    }
    if (modal == nullptr || open_since.elapsed() < 10000) return;
    ADD_FAILURE() << "a modal box waited 10 s for an answer: " << modal->windowTitle().toStdString();
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    else modal->close();
    open_box = nullptr;
  });
  watchdog.start(250);
  return RUN_ALL_TESTS();
}
