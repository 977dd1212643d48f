#pragma once

// The keyword ideas of the phrases counted: the related searches and questions their phrase
// answers held, and the autocomplete suggestions asked for them, listed for the user to pick
// into the keyword list. Texts here are in the system's code page, as the keyword lines are.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/ApiCredentials.h"
#include "web/KeywordIdea.h"

namespace kelvaro {

// The ideas kept by seed phrase (the keyword line as typed). GUI thread only.
class IdeaBook {
 public:
  // The related searches and questions (UTF-8, as the service answered) of the phrase answer
  // of `phrase`, in place of those kept for it before; its suggestions stay.
  void KeepAnswerIdeas(const std::string& phrase, const std::vector<KeywordIdea>& ideas);
  // The autocomplete suggestions (UTF-8) of `phrase`, in place of those kept before.
  void KeepSuggestions(const std::string& phrase, const std::vector<KeywordIdea>& ideas);
  // The ideas of `phrase`: its answer's, then its suggestions; empty when none are kept.
  std::vector<KeywordIdea> IdeasOf(const std::string& phrase) const;
  // Whether the ideas of a phrase answer of `phrase` are kept (none counts too).
  bool HasAnswerIdeas(const std::string& phrase) const;

 private:
  struct Kept {
    bool answered = false;
    std::vector<KeywordIdea> answer;
    std::vector<KeywordIdea> suggestions;
  };
  static std::vector<KeywordIdea> InCodePage(const std::vector<KeywordIdea>& ideas,
                                             IdeaKind only, IdeaKind or_kind);
  std::unordered_map<std::string, Kept> kept_;
};

class AnswerStore;

// For each of `seeds` whose answer ideas `book` does not hold, the ideas of its phrase answer
// stored under `settings` (the settings a request made now goes with), however old: what was
// paid for before this session, such as the phrases of an opened project. `store` may be
// nullptr.
void KeepStoredIdeas(IdeaBook& book, const AnswerStore* store, const Credentials& settings,
                     const std::vector<std::string>& seeds);

// What two ideas are compared by: the text in lower case, its runs of white space one space,
// without white space around it. Ideas with one key are one idea.
std::string IdeaKey(std::string_view text);

// One row of the Ideas window.
struct IdeaRow {
  std::string idea;
  std::string from;  // the seed phrase whose answer gave it
  IdeaKind kind = IdeaKind::kRelatedSearch;

  bool operator==(const IdeaRow&) const = default;
};

// The ideas of `seeds` (a seed given twice counts once) in the seeds' order, each seed's in
// the order IdeasOf gives them: each idea once (the first seed that gave it is its "From"),
// none whose key is empty or is the key of a line of `memo_text`.
std::vector<IdeaRow> ListIdeas(const std::vector<std::string>& seeds, const IdeaBook& book,
                               const std::string& memo_text);

// `memo_text` with `ideas` appended, one a line (a line break first when the memo's last
// line has text).
std::string MemoWithIdeas(const std::string& memo_text, const std::vector<std::string>& ideas);

}  // namespace kelvaro
