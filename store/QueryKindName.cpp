// How the store names a query kind; built with or without SQLite, since the search session
// tags its tasks with the same names.
#include "store/AnswerStore.h"

namespace kelvaro {

const char* QueryKindName(QueryKind kind) {
  switch (kind) {
    case QueryKind::Phrase:
      return "phrase";
    case QueryKind::Title:
      return "allintitle";
    case QueryKind::URL:
      return "allinurl";
    case QueryKind::Backlinks:
      return "backlink";
    case QueryKind::Autocomplete:
      return "autocomplete";
  }
  return "";
}

}  // namespace kelvaro
