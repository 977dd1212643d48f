#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ideas/KeywordIdeas.h"
#include "ui/RunController.h"
#include "ui/RunServices.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QWidget;

namespace kelvaro {

class TResultGrid;
struct GridCreationValues;
class AutocompleteWorker;

namespace KeywordIdeasForm {

// The autocomplete run's thread: run() calls the worker's Run().
class TAutocompleteThread : public WorkerThreadOf<AutocompleteWorker> {
 public:
  using WorkerThreadOf::WorkerThreadOf;
  ~TAutocompleteThread() override;
};

// The ideas grid's columns: the tick box, Idea, From and Kind, with their titles and widths.
GridCreationValues IdeasGridColumns();

// The "Kind" column's text of an idea.
const char* IdeaKindText(IdeaKind kind);

}  // namespace KeywordIdeasForm

// The Keyword Ideas window: the ideas the answers of the ticked phrases hold, autocomplete
// suggestions asked on request, and the ticked ideas added to the main window's keywords.
// Made for one opening and shown modally over the main window.
class TfrmKeywordIdeas : public QDialog {
  Q_OBJECT

 public:
  // `services` and `book` (the main window's ideas) outlive this window.
  TfrmKeywordIdeas(RunServices& services, IdeaBook& book, QWidget* parent = nullptr);
  ~TfrmKeywordIdeas() override;

  // `seeds`: the ticked phrases; `memo_text`: the main window's memo, whose lines are left out
  // of the list. Fills the window without showing it.
  void Load(std::vector<std::string> seeds, std::string memo_text);
  // Load, then shown modally; returns the memo with the ideas added by Add to Keywords, or
  // nullopt when the window was closed without, or nothing was ticked.
  std::optional<std::string> OpenWith(std::vector<std::string> seeds, std::string memo_text);

  // The rows listed now, in the grid's order.
  const std::vector<IdeaRow>& Rows() const { return rows_; }
  // The memo text Add to Keywords made, or nullopt.
  const std::optional<std::string>& AddedMemo() const { return added_memo_; }
  bool IsAsking() const { return controller_->IsRunning(); }

  // Handlers (public so that tests can drive the window as a person would).
  void bAutocompleteClick();
  void bStopClick() { controller_->Stop(); }
  void bAddClick();
  void bCloseClick() { close(); }

  // Controls.
  QLabel* lblNoIdeas;      // the service's answers hold no ideas
  QPushButton* bAutocomplete;
  QPushButton* bStop;
  QLabel* lblCost;         // what Ask Autocomplete sends: "2 phrases: 1 queries, 1 stored"
  TResultGrid* gIdeas;
  QPushButton* bAdd;
  QPushButton* bClose;
  QStatusBar* barStatus;

 public slots:
  // Esc and the close box end here too: refused while asking.
  void reject() override;

 private:
  void BuildLayout();
  // The grid again from the book, keeping the ticks of the ideas listed before.
  void ListAgain();
  void ShowCost();
  void Asking(bool on);

  RunServices& services_;
  IdeaBook& book_;
  std::vector<std::string> seeds_;
  std::string memo_text_;
  std::vector<IdeaRow> rows_;
  std::optional<std::string> added_memo_;
  // Declared last: its destructor waits for the run, which writes into the book.
  std::unique_ptr<RunController> controller_;
};

}  // namespace kelvaro
