#pragma once

// The offline demo, built the way kelvaro-demo starts it, on a real X server, and the
// hands that drive it: clicks and key presses on its real widgets, answers to its real
// dialogs and message boxes.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "deep/view/DeepAnalysisForm.h"
#include "main/view/MainForm.h"
#include "settings/SettingsStore.h"
#include "settings/view/uSettings.h"
#include "tests/support/TempDir.h"
#include "tools/SubstituteSearchServer.h"

class QAbstractButton;
class QColor;

namespace kelvaro::e2e {

// The four sample phrases the demo starts with.
extern const char kDemoKeywords[];

// One run of the program: the substitute search service, a settings hive of its own
// prefilled with the demo key, the three windows created in start-up order, the forced
// settings loop (which passes at once) and the main window shown and exposed.
class DemoSession {
 public:
  // `with_volume`: the demo's volume key too, as kelvaro-demo has it (the Volume and KGR
  // columns).
  explicit DemoSession(bool with_volume = false);
  ~DemoSession();
  DemoSession(const DemoSession&) = delete;
  DemoSession& operator=(const DemoSession&) = delete;

  Tfrm& frm() { return *frm_; }
  TfrmDeepAnalysis& deep() { return *deep_; }
  TfSettings& settings() { return *settings_; }
  searchsim::SubstituteSearchServer& service() { return service_; }
  const testing::TempDir& folder() const { return folder_; }
  std::string SettingsFile() const { return folder_.File("Settings.reg"); }
  // A file in the session's own folder, for the file dialogs.
  QString File(const char* name) const;

 private:
  searchsim::SubstituteSearchServer service_;
  testing::TempDir folder_;
  SettingsStore store_;
  RunServices services_;
  std::unique_ptr<Tfrm> frm_;
  std::unique_ptr<TfrmDeepAnalysis> deep_;
  std::unique_ptr<TfSettings> settings_;
};

// A modal window the test expects: armed before the action that opens it, it waits in
// whatever event loop runs (the dialog's own included) for a new visible modal window
// that `match` accepts, then runs `act` on it. When none comes in time the test fails,
// a screenshot is kept, and whatever modal window is open is closed so that the test
// does not hang on it.
class ModalWatch {
 public:
  using Match = std::function<bool(QWidget*)>;
  using Act = std::function<void(QWidget*)>;

  static std::shared_ptr<ModalWatch> Arm(QString what, Match match, Act act,
                                         int timeout_ms = 15000);
  // Runs the event loop until the watch has acted (true) or has given up (false).
  bool Wait(int timeout_ms = 20000);
  bool Handled() const { return handled_; }

  // What the modal window showed when it came.
  QString title;
  QString text;

 private:
  void Poll();

  QString what_;
  Match match_;
  Act act_;
  QWidget* before_ = nullptr;
  qint64 deadline_ms_ = 0;
  bool handled_ = false;
  bool given_up_ = false;
  std::shared_ptr<ModalWatch> self_;  // alive while polling
};

// Matchers for ModalWatch.
ModalWatch::Match IsMessageBox(const QString& title);        // "Confirm", "Information", "Kelvaro"
ModalWatch::Match IsFileDialog(const QString& object_name);  // "dlgS", "dlgO", "dlgS2"
ModalWatch::Match IsWidget(QWidget* widget);

// The text of a Kelvaro message box.
QString MessageBoxText(QWidget* box);
// The button of `parent` captioned `caption` ("&Yes", "Cancel", ...), or nullptr.
QAbstractButton* ButtonCaptioned(QWidget* parent, const QString& caption);

// A left click in the middle of a widget, as the mouse would give it.
void Click(QWidget* widget);
// Presses the box's button captioned `caption` with the mouse.
void ClickButtonOf(QWidget* box, const QString& caption);
// In a file dialog: puts `path` in as the file name and presses the dialog's Save or Open
// button.
void EnterFileName(QWidget* dialog, const QString& path);
// Selects everything in a text edit or line edit and types `text` in its place; "\n"
// is typed as Enter.
void TypeReplacing(QWidget* edit, const QString& text);

// Runs the event loop until `done` holds; false on time-out (after a screenshot).
bool WaitFor(const std::function<bool()>& done, int timeout_ms, const QString& what);
// Waits until the main window's keyword run has ended (its end notice has arrived).
bool WaitForRunEnd(Tfrm& frm, int timeout_ms = 30000);
bool WaitForRunEnd(TfrmDeepAnalysis& form, int timeout_ms = 30000);

// Clicks the check box of grid row `row` (1-based data row) of `grid`.
void ClickCheckBox(TResultGrid& grid, int row);
// Clicks the header of column `col` of `grid`.
void ClickHeader(TResultGrid& grid, int col);
// The colour the grid shows in the empty right part of cell (col, row).
QColor ShownCellColor(TResultGrid& grid, int col, int row);

// Saves a picture of the whole screen into the artefacts folder as <name>.png and returns
// its path ("" when it could not be written). The folder is KELVARO_E2E_ARTIFACTS, by
// default build/e2e-artifacts in the source tree.
QString SaveScreenshot(const QString& name);
// Saves `widget`'s own picture (no frame) as the PNG file `path`; false on failure.
bool SaveWidgetPicture(QWidget* widget, const QString& path);

// Lines of a text file as the program writes them (CR LF), without the line ends.
QStringList FileLines(const QString& path);
QString FileText(const QString& path);

}  // namespace kelvaro::e2e
