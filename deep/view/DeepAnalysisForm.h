#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "ui/KeywordRun.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QWidget;

namespace kelvaro {

class SettingsStore;
class TResultGrid;
struct GridCreationValues;

namespace DeepAnalysisForm {

class DeepAnalysisWorker;

// The deep analysis worker's thread: run() calls the worker's Run().
class TAnalyzeThread : public WorkerThreadOf<DeepAnalysisWorker> {
 public:
  using WorkerThreadOf::WorkerThreadOf;
  ~TAnalyzeThread() override;
};

// The top-results grid's columns: the result's number, Page Title, URL and its backlink
// count, with their titles and first widths.
GridCreationValues TopResultsGridColumns();

}  // namespace DeepAnalysisForm

// The Deep Analysis window: for the ticked phrases, the top results, each result's
// backlink count and the average per phrase. Created once at start-up and shown modally
// from the main window as often as the user asks; it keeps its grid and memo in between.
class TfrmDeepAnalysis : public QDialog {
  Q_OBJECT

 public:
  // `services` (shared with the main window) and the main window outlive this window.
  explicit TfrmDeepAnalysis(RunServices& services, QWidget* parent = nullptr);
  ~TfrmDeepAnalysis() override;

  // The main window's Deep Analysis button: `keywords` (as collected, untrimmed) go into
  // the memo, the grid is reset, and the window is shown modally; returns once closed.
  void OpenWith(const std::string& keywords);
  // Header and one empty row; columns 1 and 2 back to their first widths; after Backlinks the
  // Domain Rank column when a rank key is set, then Forums.
  void ResetGrid();
  // Where "Ask Backlinks" is kept (nullptr: nowhere, the box starts ticked); the box is set
  // from it now. `store` outlives the window.
  void SetSettingsStore(SettingsStore* store);
  // While the last worker's end notice has not arrived.
  bool IsAnalysing() const { return run_->IsRunning(); }

  // Stops a run under way for good (the window goes away): no step runs after this
  // returns. Returns false when the worker is still inside a download.
  bool ShutdownWorker() { return run_->Shutdown(); }

  DeepAnalysisForm::TAnalyzeThread* AnalyzeThread() {
    return static_cast<DeepAnalysisForm::TAnalyzeThread*>(run_->Thread());
  }
  KeywordRun& Run() { return *run_; }

  // Handlers (public so that tests can drive the window as a person would).
  void btnStartClick() { run_->btnStartClick(); }
  void bStopClick() { run_->bStopClick(); }
  // False (after telling the user why) while analysing: the window stays open.
  bool FormCloseQuery() { return run_->FormCloseQuery(); }
  void TBXButton2Click();
  // Export to Excel: refused while analysing; the button and its dialog exist only in builds
  // with the workbook writer.
  void bExportExcelClick();

  // The file dialog runs through this, so tests can answer it; returns the chosen file or ""
  // when cancelled.
  std::function<QString(QFileDialog*)> RunFileDialog;

  // Controls.
  QWidget* pnlSettings;
  QLabel* pnlSettingsTitle;
  QPlainTextEdit* Memo1;
  QPushButton* bStart;
  QPushButton* bStop;
  QLabel* lblCost;  // what Start will send: "3 phrases: up to 33 queries"
  QCheckBox* cbAskBacklinks;  // "Ask backlink counts (link:, 10 searches a phrase)"
  QLabel* Panel1;
  TResultGrid* gRes;
  QProgressBar* barProgress;
  QPushButton* bExportExcel = nullptr;
  QPushButton* TBXButton2;
  QStatusBar* barStatus;
  QCheckBox* CheckBox1;  // never visible, unchecked: "Don't erase old results (append the new)"
  QCheckBox* CheckBox2;  // never visible, checked: "Autofit Page Title and URL"
  QFileDialog* dlgS = nullptr;  // Export to Excel

 public slots:
  // Esc and the close box end here too: refused while analysing.
  void reject() override;

 private:
  void BuildLayout();
  // The worker's row step: fits Page Title and URL to their texts, never narrowing them,
  // then gives back from URL what the columns overflow the grid by.
  void AutoFitColumns();
  // The box was ticked or unticked: the line beside Start follows and the choice is stored.
  void cbAskBacklinksClick();
  RunShape Shape() const;

  RunServices& services_;
  SettingsStore* settings_ = nullptr;

  // Made once the controls are. Declared last: its destructor waits for the run, which
  // uses the grid.
  std::unique_ptr<KeywordRun> run_;
};

}  // namespace kelvaro
