#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>

namespace kelvaro::testing {

// Runs the event loop in small steps until `done` or `ms` milliseconds have passed;
// returns whether `done` came true.
bool WaitUntil(const std::function<bool()>& done, int ms = 20000);

// Queues `action` to run on the next modal widget once it is shown (polling the event
// loop), or, while no modal widget is up, on a worker's message box (those leave their
// window usable); the test then calls the code that opens the box. Gives up after
// `timeout_ms`.
void AnswerNextModal(std::function<void(QWidget* modal)> action, int timeout_ms = 5000);

// The worker's message box standing now (not modal), or nullptr.
QWidget* OpenWorkerBox();

// Counts the Kelvaro message boxes shown while it lives and closes each at once, so a test
// sees that a handler opened none without waiting for one to appear.
class ShownBoxes : public QObject {
 public:
  ShownBoxes();
  ~ShownBoxes() override;
  int Count() const { return count_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int count_ = 0;
};

// The text shown by a Kelvaro message box (its label named "text"), or "" for others.
QString MessageBoxText(QWidget* modal);

// Clicks the button captioned `caption` ("&Yes", "OK", ...) in `modal`.
void ClickButton(QWidget* modal, const QString& caption);

// Records what the next message box showed and answers it with the button `caption`.
struct SeenBox {
  QString title;
  QString text;
  bool seen = false;
};
void AnswerNextBox(SeenBox* seen, const QString& caption, int timeout_ms = 5000);

}  // namespace kelvaro::testing
