#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ideas/KeywordIdeas.h"
#include "ui/KeywordRun.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QWidget;
class QBrush;
class QFont;

namespace kelvaro {

class SettingsStore;
class TfSettings;
class TfrmDeepAnalysis;
class TResultGrid;
struct GridCreationValues;
struct GridDrawState;

// What start-up hands the main window besides the shared pieces. The shipped program
// uses the user's settings store.
struct MainFormEnvironment {
  SettingsStore* store = nullptr;  // nullptr: settings are neither loaded nor saved
  QString caption = QStringLiteral("Kelvaro");
  std::string initial_keywords;  // the offline demo starts with sample phrases
};

namespace MainForm {

class KeywordWorker;

// The keyword worker's thread: run() calls the worker's Run().
class TAnalyzeThread : public WorkerThreadOf<KeywordWorker> {
 public:
  using WorkerThreadOf::WorkerThreadOf;
  ~TAnalyzeThread() override;
};

// The keyword grid's columns: the tick box, the phrase and its three counts, with their
// titles and widths.
GridCreationValues KeywordGridColumns();

}  // namespace MainForm

// The main window: keyword phrases in, three coloured counts per phrase out.
class Tfrm : public QMainWindow {
  Q_OBJECT

 public:
  // `services` (shared with the Deep Analysis window) outlive this window.
  Tfrm(const MainFormEnvironment& environment, RunServices& services, QWidget* parent = nullptr);
  ~Tfrm() override;

  // Start-up wiring: the other two windows, created after this one.
  void SetDeepAnalysisForm(TfrmDeepAnalysis* form) { frmDeepAnalysis_ = form; }
  void SetSettingsDialog(TfSettings* dialog) { fSettings_ = dialog; }

  // Creation: writes the chime file, then loads the settings.
  void FormCreate();
  // The forced settings loop, run before the window is first shown.
  void FormShow();
  // Ends the process when "Terminate program" was chosen.
  void FormActivate();

  ApiCredentials& Credentials() { return services_.credentials; }
  // The completion chime's player: start-up's, shared by both windows.
  ChimePlayer& MediaPlayer1() { return services_.chime; }
  bool IsSearching(bool show);

  // Stops a run under way for good (process end): no step runs after this returns.
  // Returns false when the worker is still inside a download.
  bool ShutdownWorker();

  bool TerminateRequested = false;
  MainForm::TAnalyzeThread* AnalyzeThread() {
    return static_cast<MainForm::TAnalyzeThread*>(run_->Thread());
  }
  KeywordRun& Run() { return *run_; }

  // Handlers (public so that tests can drive the window as a person would).
  void btnStartClick() { run_->btnStartClick(); }
  void bStopClick() { run_->bStopClick(); }
  void bClearClick();
  void bClearAllClick();
  void TBXButton1Click();
  // Keyword Ideas: the ideas of the ticked phrases, in a window of their own.
  void TBXButton3Click();
  void TBXButton2Click();
  void btSettingsClick();
  void bSaveClick();
  void bOpenClick();
  void bExportClick();
  void Button3Click();
  // Export to Excel; the button and its dialog exist only in builds with the workbook writer.
  void bExportExcelClick();
  // A header click asks first: refused, with the reason in the status bar, during a run.
  bool gResSortRequest(int col);
  void gResGetCellColor(TResultGrid& Sender, int ARow, int ACol, const GridDrawState& AState,
                        QBrush& ABrush, QFont& AFont);

  // The file dialogs run through this, so tests can answer them; returns the chosen
  // file or "" when cancelled.
  std::function<QString(QFileDialog*)> RunFileDialog;

  // Controls.
  QWidget* pnlSettings;
  QLabel* pnlSettingsTitle;
  QPlainTextEdit* Memo1;
  QPushButton* bStart;
  QPushButton* bStop;
  QLabel* Label1;
  QLineEdit* Edit1;
  QLabel* lblCost;  // beside the delay: what Start will send, "5 phrases: 15 queries"
  QPushButton* btSettings;
  QPushButton* TBXButton1;
  QPushButton* TBXButton3;  // "Keyword Ideas"
  QLabel* Panel1;
  TResultGrid* gRes;
  QProgressBar* barProgress;
  QPushButton* bSave;
  QPushButton* bOpen;
  QPushButton* bClear;
  QPushButton* bClearAll;
  QPushButton* bExport;
  QPushButton* Button3;
  QPushButton* bExportExcel = nullptr;
  QPushButton* TBXButton2;
  QStatusBar* barStatus;
  QCheckBox* CheckBox1;  // never visible: "Don't erase old results (append the new)"
  QFileDialog* dlgS;
  QFileDialog* dlgO;
  QFileDialog* dlgS2;
  QFileDialog* dlgS3 = nullptr;  // Export to Excel

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  KeywordRunParts RunParts();
  // The ticked phrases for Deep Analysis or Keyword Ideas; nullopt (after telling the user
  // why) while a run is under way or when none is ticked.
  std::optional<std::string> TickedForWindow();
  bool FormCloseQuery() { return run_->FormCloseQuery(); }
  bool FormClose();
  // "Reuse Days" from the settings store into the shared services, and back after OK.
  // "Reuse Days" and "Searches At Once" into the services.
  void LoadRunSettings();
  // Stores a run setting the dialog changed with `save`; the new value applies to the next
  // run even when it cannot be stored.
  void SaveRunSetting(const std::function<void(SettingsStore&)>& save);
  // Whether runs ask for monthly searches (a volume key is set).
  bool VolumesWanted();
  // After the volume settings changed: the Volume and KGR columns of an idle grid and the
  // cost line follow them.
  void VolumeSettingsChanged();
  // Runs a save dialog and the overwrite question; "" when the user backed out.
  QString ChooseSaveFile(QFileDialog* dialog);

  RunServices& services_;
  SettingsStore* store_;
  TfrmDeepAnalysis* frmDeepAnalysis_ = nullptr;
  TfSettings* fSettings_ = nullptr;
  // The keyword ideas the runs' phrase answers held, and the suggestions asked for them.
  IdeaBook ideas_;
  bool closing_for_good_ = false;
  // The store held volume values at start, or the user set a key: they are written at close.
  bool save_volume_ = false;
  // Made once the controls are. Declared last: its destructor waits for the run, which
  // uses the grid.
  std::unique_ptr<KeywordRun> run_;
};

}  // namespace kelvaro
