#pragma once

#include <functional>
#include <string>

class QWidget;

namespace kelvaro {

// Buttons of a message box; they always stand in the order Yes, No, OK, Cancel.
enum MessageButton : int {
  kButtonYes = 1,
  kButtonNo = 2,
  kButtonOk = 4,
  kButtonCancel = 8,
};

enum class MessageKind {
  kInformation,   // caption "Information", information icon
  kConfirmation,  // caption "Confirm", question icon
  kPlain,         // caption "Kelvaro", no icon
  kError,         // caption "Kelvaro", error icon
};

// A modal box centred on the screen, its text wrapped at half the screen's width.
// Returns 6 (Yes), 7 (No), 1 (OK) or 2 (Cancel, and the close box). Enter chooses OK
// when present, else Yes; Esc chooses Cancel when present, else No, else OK.
int ShowMessageBox(MessageKind kind, const std::string& text, int buttons,
                   QWidget* parent = nullptr);

// The same box without blocking anything: it stands over `parent`, which stays usable,
// and `on_answer` gets the result code once it is closed (on the GUI thread). The box
// deletes itself afterwards; it goes with `parent` when that goes first.
void OpenMessageBox(MessageKind kind, const std::string& text, int buttons, QWidget* parent,
                    std::function<void(int result)> on_answer);

void ShowInformation(const std::string& text, QWidget* parent = nullptr);
void ShowPlainMessage(const std::string& text, QWidget* parent = nullptr);
// Yes/No (or Yes/Cancel) question; returns the result code.
int AskConfirmation(const std::string& text, int buttons, QWidget* parent = nullptr);

// The standard error box: caption "Kelvaro", error icon, OK, the text with a full stop
// added when it does not end with one.
void ShowErrorBox(const std::string& text, QWidget* parent = nullptr);

}  // namespace kelvaro
