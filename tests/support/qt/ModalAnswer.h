#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace kelvaro::testing {

// Runs the event loop in small steps until `done` or `ms` milliseconds have passed;
// returns whether `done` came true.
bool WaitUntil(const std::function<bool()>& done, int ms = 20000);

// Queues `action` to run on the next modal widget once it is shown (polling the event
// loop); the test then calls the code that opens the box. Gives up after `timeout_ms`.
void AnswerNextModal(std::function<void(QWidget* modal)> action, int timeout_ms = 5000);

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
