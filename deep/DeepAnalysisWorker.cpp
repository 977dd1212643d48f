#include "deep/DeepAnalysisWorker.h"

#include <utility>

#include "base/WorkerSteps.h"
#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"
#include "web/CustomSearch.h"

namespace kelvaro::DeepAnalysisForm {

namespace {

constexpr int kColumns = 4;
constexpr int kPauseBetweenPhrasesMs = 500;
constexpr const char* kItemsMarker = "\"items\":";
constexpr const char* kTitleMarker = "\"title\": \"";
constexpr const char* kLinkMarker = "\"link\": \"";
constexpr const char* kAveragesText = "<b>Averages:</b>";
constexpr const char* kEmptyResultText = "Empty request result";

std::string Bold(const std::string& text) { return "<b>" + text + "</b>"; }

// Reads one entry of the result list (its own members only) as a result.
bool ReadResult(const std::string& entry, SearchResult& result) {
  int title_pos = 1;
  int link_pos = 1;
  std::string title;
  std::string link;
  if (!ExtractJsonString(entry, kTitleMarker, title_pos, title) || title.empty()) return false;
  if (!ExtractJsonString(entry, kLinkMarker, link_pos, link)) return false;
  link = HTMLDecode(link);
  // An empty URL cell would read as a spacer row in the second pass.
  if (link.empty()) return false;
  result = {std::move(title), std::move(link)};
  return true;
}

}  // namespace

std::vector<SearchResult> ReadResults(const std::string& response, size_t max_results) {
  std::vector<SearchResult> results;
  const size_t marker = response.find(kItemsMarker);
  if (marker == std::string::npos) return results;
  size_t p = marker + std::string(kItemsMarker).size();
  while (p < response.size() && (response[p] == ' ' || response[p] == '\t' || response[p] == '\r' ||
                                 response[p] == '\n')) {
    ++p;
  }
  if (p >= response.size() || response[p] != '[') return results;

  // Walk the list, counting brackets outside strings. `entry` gathers the members of
  // the entry under way at its own level; nested objects and lists are kept as empty
  // brackets so that their "title" or "link" members are never taken for the entry's.
  std::string entry;
  bool entry_is_object = false;
  int depth = 0;  // 0: between entries; 1: an entry's own members; 2 and more: nested
  bool in_string = false;
  bool escaped = false;
  SearchResult result;
  for (++p; p < response.size() && results.size() < max_results; ++p) {
    const char c = response[p];
    if (in_string) {
      if (depth == 1) entry += c;
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        in_string = true;
        if (depth == 1) entry += c;
        break;
      case '{':
      case '[':
        if (depth == 0) {
          entry.clear();
          entry_is_object = c == '{';
        } else if (depth == 1) {
          entry += c;
        }
        ++depth;
        break;
      case '}':
      case ']':
        if (depth == 0) return results;  // the end of the list
        --depth;
        if (depth == 1) {
          entry += c;
        } else if (depth == 0 && entry_is_object && ReadResult(entry, result)) {
          results.push_back(std::move(result));
        }
        break;
      default:
        if (depth == 1) entry += c;
        break;
    }
  }
  // An answer cut off inside an entry: the entry counts when its title and link came
  // through whole.
  if (depth > 0 && entry_is_object && results.size() < max_results && ReadResult(entry, result)) {
    results.push_back(std::move(result));
  }
  return results;
}

std::string FormatAverage(int64_t sum, int64_t counted) {
  const int64_t mean = RoundHalfEven(sum, counted);
  if (mean == 0) return Bold("");
  const std::string digits = std::to_string(mean);
  std::string grouped;
  const size_t first = digits[0] == '-' ? 1 : 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > first && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return Bold(grouped);
}

DeepAnalysisWorker::DeepAnalysisWorker(std::vector<std::string> keywords, WorkerHost& host,
                                       ResultGridModel& grid, DeepAnalysisWorkerSink sink,
                                       bool autofit)
    : Keywords(std::move(keywords)),
      host_(host),
      grid_(grid),
      sink_(std::move(sink)),
      autofit_(autofit) {}

void DeepAnalysisWorker::Run() noexcept {
  try {
    if (FirstPass()) SecondPass();
  } catch (...) {
    // The thread's edge: a failure here ends the run like any other end.
  }
}

bool DeepAnalysisWorker::FirstPass() {
  StartRowCount = ReadRowCount();
  const size_t n = Keywords.size();
  for (size_t i = 0; i < n; ++i) {
    const std::string& k = Keywords[i];
    const std::string response =
        QueryAndDownload(host_, [&](const Credentials& credentials, const std::string& endpoint) {
          return BuildQueryURL(QueryKind::Phrase, k, credentials.api_key, credentials.engine_code,
                               endpoint);
        }).body;
    std::string total;
    if (!ReadCount(response, total)) {
      // Yes goes straight on with the next phrase: no progress, no pause.
      if (AskToContinue(host_, ErrorText(response), i + 1 == n)) continue;
      return false;
    }

    AddResultRow({"", Bold(k), Bold(total), ""});
    if (response.find(kItemsMarker) == std::string::npos) {
      host_.ShowMessage(kEmptyResultText);
      continue;
    }
    // One row per result the answer lists; a shorter list gives fewer rows.
    const std::vector<SearchResult> results = ReadResults(response, kMaxResults);
    for (size_t r = 0; r < results.size(); ++r) {
      AddResultRow({std::to_string(r + 1), LiteralCellText(results[r].title), results[r].link, ""});
    }
    AddResultRow({"", "", kAveragesText, ""});
    AddResultRow({"", "", "", ""});

    ShowProgress(static_cast<int>(
        RoundHalfEven(static_cast<int64_t>(i + 1) * 20, static_cast<int64_t>(n + 1))));
    if (StopRequested) return false;
    // Half a second between phrases; the second pass follows the last one at once.
    if (i + 1 < n) host_.Pause(kPauseBetweenPhrasesMs);
  }
  return true;
}

void DeepAnalysisWorker::SecondPass() {
  const int s = StartRowCount;
  const int e = ReadRowCount();
  // 64-bit: the counts of ten well-linked pages overflow 32 bits easily.
  int64_t counted = 0;
  int64_t sum = 0;
  for (int r = s + 1; r <= e - 1; ++r) {
    const std::vector<std::string> cells = ReadRowCells(r);
    const std::string c2 = cells.size() > 2 ? cells[2] : std::string();

    if (c2 == kAveragesText) {
      if (counted > 0) SetResultCell(3, r, FormatAverage(sum, counted));
      counted = 0;
      sum = 0;
      continue;
    }
    // Spacer and phrase rows.
    if (c2.empty() || c2.compare(0, 3, "<b>") == 0) continue;

    const std::string response =
        QueryAndDownload(host_, [&](const Credentials& credentials, const std::string& endpoint) {
          return BuildQueryURL(QueryKind::Backlinks, c2, credentials.api_key,
                               credentials.engine_code, endpoint);
        }).body;
    std::string count;
    if (!ReadCount(response, count)) {
      if (AskToContinue(host_, ErrorText(response), r == e - 1)) continue;
      return;
    }
    SetResultCell(3, r, count);
    sum += ParseCount(count);
    ++counted;
    ShowProgress(static_cast<int>(RoundHalfEven(static_cast<int64_t>(r - s + 1) * 80,
                                                static_cast<int64_t>(e - s + 1))) +
                 20);
    if (StopRequested) return;
  }
}

// The steps below run on the GUI thread while the worker waits; the host guards them. A
// step the host drops (its window is gone) hands back nothing: no rows, no cells.

int DeepAnalysisWorker::ReadRowCount() {
  int rows = 0;
  host_.Synchronize([this, &rows] { rows = grid_.RowCount(); });
  return rows;
}

void DeepAnalysisWorker::AddResultRow(std::vector<std::string> cells) {
  host_.Synchronize([this, cells = std::move(cells)] {
    // Always appended: the grid's empty row 1 stays above the results.
    grid_.AddRow();
    const int row = grid_.RowCount() - 1;
    for (int col = 0; col < kColumns && col < static_cast<int>(cells.size()); ++col) {
      grid_.SetCells(col, row, cells[col]);
    }
    if (autofit_) {
      grid_.SetAutoSizeGrowOnly(true);
      if (sink_.AutoFitColumns) sink_.AutoFitColumns();
    }
  });
}

std::vector<std::string> DeepAnalysisWorker::ReadRowCells(int row) {
  std::vector<std::string> cells;
  host_.Synchronize([this, row, &cells] {
    for (int col = 0; col < kColumns; ++col) cells.push_back(grid_.Cells(col, row));
  });
  return cells;
}

void DeepAnalysisWorker::SetResultCell(int col, int row, std::string text) {
  host_.Synchronize([this, col, row, text = std::move(text)] { grid_.SetCells(col, row, text); });
}

void DeepAnalysisWorker::ShowProgress(int progress) {
  host_.Synchronize([this, progress] {
    if (sink_.ShowProgress) sink_.ShowProgress(progress);
  });
}

}  // namespace kelvaro::DeepAnalysisForm
