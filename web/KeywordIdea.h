#pragma once

// A keyword idea: a phrase a search service offers around the one it was asked, for the user
// to pick into the keyword list.

#include <string>

namespace kelvaro {

enum class IdeaKind {
  kRelatedSearch,  // "Related searches" under a results page
  kQuestion,       // "People also ask"
  kAutocomplete,   // what the search box suggests for the phrase
};

struct KeywordIdea {
  IdeaKind kind = IdeaKind::kRelatedSearch;
  std::string text;  // UTF-8, as the service wrote it

  bool operator==(const KeywordIdea&) const = default;
};

}  // namespace kelvaro
