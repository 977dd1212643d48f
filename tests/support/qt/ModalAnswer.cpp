#include "tests/support/qt/ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <memory>

namespace kelvaro::testing {

void AnswerNextModal(std::function<void(QWidget* modal)> action, int timeout_ms) {
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [action, clock, poll, timeout_ms] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible()) {
      action(modal);
      *poll = nullptr;  // break the self-reference
      return;
    }
    if (clock->elapsed() > timeout_ms) {
      *poll = nullptr;
      return;
    }
    QTimer::singleShot(5, *poll);
  };
  QTimer::singleShot(0, *poll);
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
