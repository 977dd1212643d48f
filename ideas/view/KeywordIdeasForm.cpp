#include "ideas/view/KeywordIdeasForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <unordered_set>
#include <utility>

#include "grid/view/TResultGrid.h"
#include "ideas/AutocompleteWorker.h"
#include "search/SearchSession.h"
#include "ui/FormParts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/RunTexts.h"
#include "ui/TextConvert.h"
#include "web/SearchService.h"
#include "web/ServiceQuery.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace KeywordIdeasForm {

TAutocompleteThread::~TAutocompleteThread() = default;

GridCreationValues IdeasGridColumns() {
  GridCreationValues values;
  values.col_count = 4;
  values.row_count = 2;
  values.column_headers = {"", "Idea", "From", "Kind"};
  values.col_widths = {20, 300, 180, 110};
  return values;
}

const char* IdeaKindText(IdeaKind kind) {
  switch (kind) {
    case IdeaKind::kRelatedSearch:
      return "Related search";
    case IdeaKind::kQuestion:
      return "Question";
    case IdeaKind::kAutocomplete:
      return "Autocomplete";
  }
  return "";
}

}  // namespace KeywordIdeasForm

namespace {

// Whether the service the settings name now gives keyword ideas.
bool ServiceGivesIdeas(const RunServices& services) {
  const SearchService* service = FindSearchService(services.credentials.Get().service);
  return service != nullptr && service->GivesIdeas();
}

}  // namespace

TfrmKeywordIdeas::TfrmKeywordIdeas(RunServices& services, IdeaBook& book, QWidget* parent)
    : QDialog(parent), services_(services), book_(book) {
  setObjectName(QStringLiteral("frmKeywordIdeas"));
  setWindowTitle(QStringLiteral("Keyword Ideas"));
  setModal(true);
  setFont(WindowFont());
  BuildLayout();
  controller_ = std::make_unique<RunController>(services, this);
}

TfrmKeywordIdeas::~TfrmKeywordIdeas() = default;

void TfrmKeywordIdeas::BuildLayout() {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  auto* top = new QWidget(this);
  top->setObjectName(QStringLiteral("pnlAutocomplete"));
  auto* top_row = new QHBoxLayout(top);
  bAutocomplete = HintedButton(QStringLiteral("Ask Autocomplete"), QStringLiteral("bAutocomplete"),
                               QStringLiteral("Ask the search box's suggestions for the phrases"),
                               top);
  bStop = HintedButton(QStringLiteral("Stop"), QStringLiteral("bStop"),
                       QStringLiteral("Stop after the phrase under way"), top);
  lblCost = new QLabel(top);
  lblCost->setObjectName(QStringLiteral("lblCost"));
  lblNoIdeas = new QLabel(QString::fromLatin1(kNoKeywordIdeasText), top);
  lblNoIdeas->setObjectName(QStringLiteral("lblNoIdeas"));
  top_row->addWidget(bAutocomplete);
  top_row->addWidget(bStop);
  top_row->addWidget(lblCost, 1);
  top_row->addWidget(lblNoIdeas, 1);
  column->addWidget(top);

  auto* strip = TitleStrip(QStringLiteral("Ideas"), this);
  column->addWidget(strip);
  gIdeas = new TResultGrid(KeywordIdeasForm::IdeasGridColumns(), this);
  gIdeas->setObjectName(QStringLiteral("gIdeas"));
  gIdeas->SetReadOnly(true);
  gIdeas->SetTickAllOnHeaderClick(true);
  column->addWidget(gIdeas, 1);

  const BottomPanel bottom = BuildBottomPanel(this);
  bAdd = HintedButton(QStringLiteral("Add to Keywords"), QStringLiteral("bAdd"),
                      QStringLiteral("Add the ticked ideas to the keywords"), bottom.panel);
  bClose = HintedButton(QStringLiteral("Close"), QStringLiteral("bClose"),
                        QStringLiteral("Close Keyword Ideas"), bottom.panel);
  bottom.row->addWidget(bAdd);
  bottom.row->addStretch();
  bottom.row->addWidget(bClose);
  column->addWidget(bottom.panel);

  barStatus = WindowStatusBar(this);
  barStatus->setSizeGripEnabled(false);
  column->addWidget(barStatus);

  ConnectHandler(bAutocomplete, this, &TfrmKeywordIdeas::bAutocompleteClick);
  ConnectHandler(bStop, this, &TfrmKeywordIdeas::bStopClick);
  ConnectHandler(bAdd, this, &TfrmKeywordIdeas::bAddClick);
  ConnectHandler(bClose, this, &TfrmKeywordIdeas::bCloseClick);

  resize(700, 480);
  CentreOnScreen(this);
}

void TfrmKeywordIdeas::Load(std::vector<std::string> seeds, std::string memo_text) {
  // Each phrase once, and none of blanks: it has nothing to suggest.
  std::unordered_set<std::string> seen;
  seeds_.clear();
  for (std::string& seed : seeds) {
    if (!Trim(seed).empty() && seen.insert(seed).second) seeds_.push_back(std::move(seed));
  }
  memo_text_ = std::move(memo_text);
  added_memo_.reset();
  rows_.clear();
  const bool ideas = ServiceGivesIdeas(services_);
  if (ideas) {
    KeepStoredIdeas(book_, services_.answers,
                    RequestSettings(services_.credentials.Get(), services_.endpoint), seeds_);
  }
  lblNoIdeas->setVisible(!ideas);
  for (QWidget* control : {static_cast<QWidget*>(bAutocomplete), static_cast<QWidget*>(bStop),
                           static_cast<QWidget*>(lblCost)}) {
    control->setVisible(ideas);
  }
  Asking(false);
  ListAgain();
  ShowCost();
}

std::optional<std::string> TfrmKeywordIdeas::OpenWith(std::vector<std::string> seeds,
                                                      std::string memo_text) {
  Load(std::move(seeds), std::move(memo_text));
  exec();
  return added_memo_;
}

void TfrmKeywordIdeas::ListAgain() {
  ResultGridModel& grid = gIdeas->Model();
  // An idea ticked before stays ticked when the list grows.
  std::unordered_set<std::string> ticked;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (grid.IsChecked(0, static_cast<int>(i) + 1)) ticked.insert(IdeaKey(rows_[i].idea));
  }
  rows_ = ServiceGivesIdeas(services_) ? ListIdeas(seeds_, book_, memo_text_)
                                       : std::vector<IdeaRow>();
  grid.SetRowCount(2);
  for (int col = 0; col < 4; ++col) grid.SetCells(col, 1, std::string());
  grid.RemoveCheckBox(0, 1);
  for (size_t i = 0; i < rows_.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    if (row >= grid.RowCount()) grid.AddRow();
    grid.AddCheckBox(0, row, ticked.count(IdeaKey(rows_[i].idea)) > 0, false);
    grid.SetCells(1, row, rows_[i].idea);
    grid.SetCells(2, row, rows_[i].from);
    grid.SetCells(3, row, KeywordIdeasForm::IdeaKindText(rows_[i].kind));
  }
}

void TfrmKeywordIdeas::ShowCost() {
  const RunPlan plan = PlanRun(RunShape::kAutocomplete, seeds_, services_.credentials.Get(),
                               services_.endpoint, services_.answers, services_.reuse_days);
  lblCost->setText(ToQString(PlannedQueriesText(seeds_.size(), plan.queries, plan.stored, false)));
}

void TfrmKeywordIdeas::Asking(bool on) {
  bAutocomplete->setEnabled(!on);
  bAdd->setEnabled(!on);
  bStop->setEnabled(on);
}

void TfrmKeywordIdeas::bAutocompleteClick() {
  if (IsAsking()) {
    ShowInformation(kAnalyzingText, this);
    return;
  }
  if (!ServiceGivesIdeas(services_)) {
    ShowInformation(kNoKeywordIdeasText, this);
    return;
  }
  if (seeds_.empty()) {
    ShowInformation("Please check some of the keywords first.", this);
    return;
  }
  AutocompleteSink sink;
  sink.KeepSuggestions = [this](const std::string& seed, const std::vector<KeywordIdea>& ideas) {
    book_.KeepSuggestions(seed, ideas);
    ListAgain();
  };
  auto worker = std::make_unique<AutocompleteWorker>(seeds_, controller_->Host(),
                                                     controller_->Search(), std::move(sink));
  controller_->Start(std::make_unique<KeywordIdeasForm::TAutocompleteThread>(std::move(worker)),
                     [this] {
                       Asking(false);
                       ShowRunCost(barStatus, RunCostText(controller_->Thread()->Cost()));
                       ShowCost();
                     });
  Asking(true);
}

void TfrmKeywordIdeas::bAddClick() {
  if (IsAsking()) {
    ShowInformation(kAnalyzingText, this);
    return;
  }
  std::vector<std::string> ticked;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (gIdeas->Model().IsChecked(0, static_cast<int>(i) + 1)) ticked.push_back(rows_[i].idea);
  }
  // Nothing ticked leaves the memo as it is.
  if (!ticked.empty()) added_memo_ = MemoWithIdeas(memo_text_, ticked);
  accept();
}

void TfrmKeywordIdeas::reject() {
  if (IsAsking()) {
    RunHandler([this] { ShowInformation(kAnalyzingText, this); });
    return;
  }
  QDialog::reject();
}

}  // namespace kelvaro
