#pragma once

#include <QObject>
#include <QPushButton>
#include <QString>

#include "ui/HandlerGuard.h"

class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QVBoxLayout;
class QWidget;

namespace kelvaro {

// Texts both windows show.
inline constexpr char kAnalyzingText[] = "The analyzing is in progress. It must be finished first.";
inline constexpr char kNoKeywordsText[] =
    "Please type in some keyword phrases before search (one per line).";

// "MS Sans Serif" 11 px, or the platform's fallback.
QFont WindowFont();

// A 16-pixel strip in the highlight colour with a bold centred caption.
QLabel* TitleStrip(const QString& text, QWidget* parent);

// A button with its hint in the status bar and as a tooltip. Enter in the keyword memo is
// a line break, so no button is pressed by it.
QPushButton* HintedButton(const QString& caption, const QString& name, const QString& hint,
                          QWidget* parent);

// The top panel both windows share: 110 pixels, white, an empty title strip, the keyword
// memo (295 x 77, word wrap, vertical scroll bar), the bold "Keywords" label and the Start
// and Stop buttons below it (with the window's own hints). Each window adds the rest to
// `keywords_column` and `controls`.
struct KeywordPanel {
  QWidget* panel;
  QLabel* title;
  QPlainTextEdit* memo;
  QPushButton* start;
  QPushButton* stop;
  QVBoxLayout* keywords_column;  // below the "Keywords" label
  QHBoxLayout* controls;         // memo, keywords column, then what the window adds
};
KeywordPanel BuildKeywordPanel(QWidget* parent, const QString& start_hint,
                               const QString& stop_hint);

// The 16-pixel smooth 0-100 progress bar along the bottom of the results.
QProgressBar* ResultsProgressBar(QWidget* parent);

// Read-only in light green while a run is under way, editable in the normal colour after.
void LockKeywordMemo(QPlainTextEdit* memo, bool locked);

void CentreOnScreen(QWidget* window);

// Connects a button to a handler of `form` that runs inside RunHandler.
template <typename Form>
void ConnectHandler(QPushButton* button, Form* form, void (Form::*handler)()) {
  QObject::connect(button, &QPushButton::clicked, form,
                   [form, handler] { RunHandler([&] { (form->*handler)(); }); });
}

}  // namespace kelvaro
