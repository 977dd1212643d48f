#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdlib>
#include <string>
#include <vector>

#include "grid/view/TResultGrid.h"
#include "ideas/view/KeywordIdeasForm.h"
#include "main/view/MainForm.h"
#include "store/AnswerStore.h"
#include "tests/support/TempDir.h"
#include "tests/support/qt/ModalAnswer.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "ui/TextConvert.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

using testing::AnswerNextModal;
using testing::WaitUntil;

// After a SerpApi run with reuse off, Keyword Ideas lists the ideas of the two ticked phrases
// without a search, asks autocomplete at the cost it showed, and adds the ticked ideas to the
// memo, which the line beside Start then counts. Over Google Custom Search it offers none.
TEST(KeywordIdeasForm, IdeasOfTheTickedPhrasesGoIntoTheMemo) {
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  searchsim::SubstituteSearchServer server;
  testing::TempDir temp;
  AnswerStore store(temp.File("answers.sqlite"));
  RunServices services;
  services.credentials.Set({"demo-key", "", kSerpApi, ""});
  services.endpoint = server.Endpoint();
  services.temp_dir = temp.path().string() + "/";
  services.timings.phrase_pause_ms = 0;
  services.answers = &store;
  services.reuse_days = 0;
  Tfrm frm(MainFormEnvironment{}, services);
  frm.Memo1->setPlainText(QStringLiteral("red shoes\nblue hats\ngreen socks"));
  frm.btnStartClick();
  ASSERT_TRUE(WaitUntil([&] { return !frm.IsSearching(false); }));
  frm.gRes->Model().ToggleCheck(0, 3);  // green socks stays behind
  server.ClearRequests();

  std::vector<std::string> listed;
  std::vector<std::string> after_autocomplete;
  QString cost;
  AnswerNextModal([&](QWidget* modal) {
    auto* window = dynamic_cast<TfrmKeywordIdeas*>(modal);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(server.Requests().empty());  // nothing sent, not even to the account
    for (const IdeaRow& row : window->Rows()) listed.push_back(row.from + ": " + row.idea);
    EXPECT_FALSE(window->lblNoIdeas->isVisible());
    cost = window->lblCost->text();
    window->bAutocomplete->click();
    EXPECT_TRUE(WaitUntil([&] { return !window->IsAsking(); }));
    for (const IdeaRow& row : window->Rows()) {
      if (row.kind == IdeaKind::kAutocomplete) after_autocomplete.push_back(row.idea);
    }
    ResultGridModel& grid = window->gIdeas->Model();
    EXPECT_EQ(grid.Cells(3, 1), "Related search");
    grid.ToggleCheck(0, 1);
    grid.ToggleCheck(0, grid.RowCount() - 1);
    window->bAdd->click();
  });
  frm.TBXButton3Click();

  // Each phrase's related searches, then its questions; none of the unticked phrase.
  std::vector<std::string> expected;
  for (const char* phrase : {"red shoes", "blue hats"}) {
    for (const std::string& idea : searchsim::RelatedSearchesFor(phrase)) {
      expected.push_back(std::string(phrase) + ": " + idea);
    }
    for (const std::string& idea : searchsim::QuestionsFor(phrase)) {
      expected.push_back(std::string(phrase) + ": " + idea);
    }
  }
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(cost, QStringLiteral("2 phrases: 2 queries"));
  int searches = 0;
  for (const auto& request : server.Requests()) {
    if (request.target.starts_with("/search.json?engine=google_autocomplete&")) ++searches;
  }
  EXPECT_EQ(searches, 2);
  // "... near me" is a related search already.
  EXPECT_THAT(after_autocomplete,
              ::testing::ElementsAre("red shoes online", "red shoes for sale", "red shoes 2026",
                                     "blue hats online", "blue hats for sale", "blue hats 2026"));
  EXPECT_EQ(frm.Memo1->toPlainText(),
            QStringLiteral("red shoes\nblue hats\ngreen socks\nred shoes near me\nblue hats 2026"));
  EXPECT_TRUE(WaitUntil([&] { return frm.lblCost->text() == QStringLiteral("5 phrases: 15 queries"); }));

  // Google Custom Search: no ideas and no autocomplete.
  services.credentials.Set({"demo-key", "demo-cx", kGoogleCustomSearch, ""});
  bool offered = true;
  size_t rows = 99;
  AnswerNextModal([&](QWidget* modal) {
    auto* window = dynamic_cast<TfrmKeywordIdeas*>(modal);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->lblNoIdeas->isVisible());
    EXPECT_EQ(window->lblNoIdeas->text(),
              QStringLiteral("This search service gives no keyword ideas."));
    offered = window->bAutocomplete->isVisible();
    rows = window->Rows().size();
    window->bCloseClick();
  });
  frm.TBXButton3Click();
  EXPECT_FALSE(offered);
  EXPECT_EQ(rows, 0u);
  EXPECT_EQ(frm.Memo1->toPlainText(),
            QStringLiteral("red shoes\nblue hats\ngreen socks\nred shoes near me\nblue hats 2026"));
}

}  // namespace
}  // namespace kelvaro
