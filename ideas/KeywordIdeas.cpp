#include "ideas/KeywordIdeas.h"

#include <unordered_set>

#include "base/CodePage.h"
#include "base/KeywordLines.h"
#include "base/TextCase.h"
#include "search/AnswerReuse.h"
#include "store/AnswerStore.h"

namespace kelvaro {

std::vector<KeywordIdea> IdeaBook::InCodePage(const std::vector<KeywordIdea>& ideas,
                                              IdeaKind only, IdeaKind or_kind) {
  const unsigned code_page = SystemCodePage();
  std::vector<KeywordIdea> kept;
  for (const KeywordIdea& idea : ideas) {
    if (idea.kind == only || idea.kind == or_kind) {
      kept.push_back({idea.kind, FromUtf8(idea.text, code_page)});
    }
  }
  return kept;
}

void IdeaBook::KeepAnswerIdeas(const std::string& phrase, const std::vector<KeywordIdea>& ideas) {
  Kept& kept = kept_[phrase];
  kept.answered = true;
  kept.answer = InCodePage(ideas, IdeaKind::kRelatedSearch, IdeaKind::kQuestion);
}

bool IdeaBook::HasAnswerIdeas(const std::string& phrase) const {
  const auto found = kept_.find(phrase);
  return found != kept_.end() && found->second.answered;
}

void KeepStoredIdeas(IdeaBook& book, const AnswerStore* store, const Credentials& settings,
                     const std::vector<std::string>& seeds) {
  // Ideas do not go stale as counts do: any stored answer will do.
  constexpr int kAnyAgeDays = 100 * 366;
  if (store == nullptr) return;
  for (const std::string& seed : seeds) {
    if (book.HasAnswerIdeas(seed)) continue;
    const std::optional<StoredAnswer> answer =
        store->Lookup(RequestKey(settings, QueryKind::Phrase, seed), kAnyAgeDays);
    if (answer) book.KeepAnswerIdeas(seed, answer->ideas);
  }
}

void IdeaBook::KeepSuggestions(const std::string& phrase, const std::vector<KeywordIdea>& ideas) {
  kept_[phrase].suggestions = InCodePage(ideas, IdeaKind::kAutocomplete, IdeaKind::kAutocomplete);
}

std::vector<KeywordIdea> IdeaBook::IdeasOf(const std::string& phrase) const {
  const auto found = kept_.find(phrase);
  if (found == kept_.end()) return {};
  std::vector<KeywordIdea> ideas = found->second.answer;
  ideas.insert(ideas.end(), found->second.suggestions.begin(), found->second.suggestions.end());
  return ideas;
}

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// `text` with its runs of white space (line breaks too) one space, none around it: an idea
// goes into the memo as one line.
std::string OneLine(std::string_view text) {
  std::string line;
  bool space = false;
  for (const char c : text) {
    if (IsSpace(c)) {
      space = !line.empty();
      continue;
    }
    if (space) line += ' ';
    space = false;
    line += c;
  }
  return line;
}

}  // namespace

std::string IdeaKey(std::string_view text) {
  return OneLine(LowerUtf8(ToUtf8(std::string(text), SystemCodePage())));
}

std::vector<IdeaRow> ListIdeas(const std::vector<std::string>& seeds, const IdeaBook& book,
                               const std::string& memo_text) {
  std::unordered_set<std::string> taken;
  for (const std::string& line : KeywordLines(memo_text)) taken.insert(IdeaKey(line));
  std::unordered_set<std::string> seen_seeds;
  std::vector<IdeaRow> rows;
  for (const std::string& seed : seeds) {
    if (!seen_seeds.insert(seed).second) continue;
    for (const KeywordIdea& idea : book.IdeasOf(seed)) {
      std::string key = IdeaKey(idea.text);
      if (key.empty() || !taken.insert(std::move(key)).second) continue;
      rows.push_back({OneLine(idea.text), seed, idea.kind});
    }
  }
  return rows;
}

std::string MemoWithIdeas(const std::string& memo_text, const std::vector<std::string>& ideas) {
  std::string text = memo_text;
  for (const std::string& idea : ideas) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += idea;
  }
  return text;
}

}  // namespace kelvaro
