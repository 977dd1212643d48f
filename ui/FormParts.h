#pragma once

#include <QObject>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <functional>

#include "ui/HandlerGuard.h"

class QCheckBox;
class QFileDialog;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QStatusBar;
class QVBoxLayout;
class QWidget;

namespace kelvaro {

// Texts both windows show.
inline constexpr char kAnalyzingText[] = "The analyzing is in progress. It must be finished first.";
inline constexpr char kNoKeywordsText[] =
    "Please type in some keyword phrases before search (one per line).";

inline constexpr char kSearchingText[] =
    "Searching in progress. Stop the search first or wait for it to finish.";

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
// and Stop buttons below it (with the window's own hints). Each window places the cost
// label and adds the rest to `keywords_column` and `controls`.
struct KeywordPanel {
  QWidget* panel;
  QLabel* title;
  QPlainTextEdit* memo;
  QPushButton* start;
  QPushButton* stop;
  QLabel* cost;                  // what Start will send: "5 phrases: 15 queries"
  QVBoxLayout* keywords_column;  // below the "Keywords" label
  QHBoxLayout* controls;         // memo, keywords column, then what the window adds
};
KeywordPanel BuildKeywordPanel(QWidget* parent, const QString& start_hint,
                               const QString& stop_hint);

// BuildKeywordPanel into `form`'s controls of the same names.
template <typename Form>
KeywordPanel BuildKeywordPanelOf(Form* form, QWidget* parent, const QString& start_hint,
                                 const QString& stop_hint) {
  KeywordPanel top = BuildKeywordPanel(parent, start_hint, stop_hint);
  form->pnlSettings = top.panel;
  form->pnlSettingsTitle = top.title;
  form->Memo1 = top.memo;
  form->bStart = top.start;
  form->bStop = top.stop;
  form->lblCost = top.cost;
  return top;
}

// The 16-pixel smooth 0-100 progress bar along the bottom of the results.
QProgressBar* ResultsProgressBar(QWidget* parent);

// The 33-pixel bottom panel `Panel3`; the window adds its buttons to `row`.
struct BottomPanel {
  QWidget* panel;
  QHBoxLayout* row;
};
BottomPanel BuildBottomPanel(QWidget* parent);

// The status bar `barStatus`, showing the hints of the control under the mouse, with the
// label `lblRunCost` that ShowRunCost fills.
QStatusBar* WindowStatusBar(QWidget* parent);

// A check box the user never sees, holding a switch the window reads.
QCheckBox* HiddenCheckBox(const QString& caption, const QString& name, bool checked,
                          QWidget* parent);

// Read-only in light green while a run is under way, editable in the normal colour after.
void LockKeywordMemo(QPlainTextEdit* memo, bool locked);

void CentreOnScreen(QWidget* window);

// A file dialog of a window, for saving or opening, with its default suffix and filters. It
// asks no overwrite question of its own: ChooseSaveFile does.
QFileDialog* FileDialog(QWidget* parent, const QString& name, bool save, const QString& suffix,
                        const QStringList& filters);

// The save dialog of Export to Excel: "Excel workbook (*.xlsx)", suffix "xlsx".
QFileDialog* ExcelFileDialog(QWidget* parent, const QString& name);

// Runs a save dialog through `run_dialog` (which returns the chosen file, "" when cancelled)
// and, for a file that exists, asks "The file you specified exists. Do you want to overwrite
// it?" with Yes and Cancel. The file, or "" when the user backed out.
QString ChooseSaveFile(QFileDialog* dialog, const std::function<QString(QFileDialog*)>& run_dialog,
                       QWidget* parent);

// The file dialogs' way of running: modally, the first chosen file or "".
QString ExecFileDialog(QFileDialog* dialog);

// Connects a button to a handler of `form` that runs inside RunHandler.
template <typename Form>
void ConnectHandler(QPushButton* button, Form* form, void (Form::*handler)()) {
  QObject::connect(button, &QPushButton::clicked, form,
                   [form, handler] { RunHandler([&] { (form->*handler)(); }); });
}

}  // namespace kelvaro
