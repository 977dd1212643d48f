#include "tests/support/qt/ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace kelvaro::testing {

bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QTest::qWait(5);
  }
  return true;
}

void AnswerNextModal(std::function<void(QWidget* modal)> action, int timeout_ms) {
  // The poll timer belongs to the application, so one still waiting when the test ends
  // goes with it.
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  QElapsedTimer clock;
  clock.start();
  QObject::connect(timer, &QTimer::timeout, timer, [timer, action, clock, timeout_ms] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) modal = OpenWorkerBox();
    const bool found = modal != nullptr && modal->isVisible();
    if (found || clock.elapsed() > timeout_ms) {
      timer->stop();
      timer->deleteLater();
    }
    if (found) action(modal);
  });
  timer->start();
}

QWidget* OpenWorkerBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QStringLiteral("KelvaroMessageBox") && widget->isVisible() &&
        !widget->isModal()) {
      return widget;
    }
  }
  return nullptr;
}

ShownBoxes::ShownBoxes() { qApp->installEventFilter(this); }

ShownBoxes::~ShownBoxes() { qApp->removeEventFilter(this); }

bool ShownBoxes::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType() &&
      watched->objectName() == QStringLiteral("KelvaroMessageBox")) {
    ++count_;
    QPointer<QWidget> box(static_cast<QWidget*>(watched));
    QTimer::singleShot(0, qApp, [box] {
      if (!box.isNull()) box->close();
    });
  }
  return false;
}

QString MessageBoxText(QWidget* modal) {
  auto* label = modal ? modal->findChild<QLabel*>("text") : nullptr;
  return label ? label->text() : QString();
}

void ClickButton(QWidget* modal, const QString& caption) {
  for (auto* button : modal->findChildren<QAbstractButton*>()) {
    if (button->text() == caption) {
      button->click();
      return;
    }
  }
}

void AnswerNextBox(SeenBox* seen, const QString& caption, int timeout_ms) {
  AnswerNextModal(
      [seen, caption](QWidget* modal) {
        seen->seen = true;
        seen->title = modal->windowTitle();
        seen->text = MessageBoxText(modal);
        ClickButton(modal, caption);
      },
      timeout_ms);
}

}  // namespace kelvaro::testing
