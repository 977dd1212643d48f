#pragma once

#include <string>
#include <vector>

#include "grid/CellVisuals.h"
#include "grid/GridXlsx.h"

namespace kelvaro {
class ResultGridModel;
}

namespace kelvaro::MainForm {

// Text files as lists of lines: reading splits at CR LF, a lone CR and a lone LF;
// writing puts CR LF after every line, the last one included.
std::vector<std::string> SplitTextLines(const std::string& bytes);
std::string JoinTextLines(const std::vector<std::string>& lines);

// The CSV export without the check column: the first field of every record and the
// comma after it are cut, whatever the field's length or quoting. A record without a
// comma becomes an empty line. Records are found outside quotes, so a quoted text with
// line breaks stays whole.
std::string TidyCSVText(const std::string& bytes);
// Every `">` becomes `" target="_blank">`, then every `>http` ` target="_blank">http`,
// so that the exported links open in a new browser window.
std::string TidyHTMLText(const std::string& bytes);

// Every link `<a href="URL">` (the URL read up to `">`) opens the public results page of the
// same query instead (PublicResultsURL); a link with no such page is replaced by its text. So
// a document shared with others never carries the engine code, an endpoint or any other
// address, nor a key left in a link the grid did not make.
// Unquoted links (a cell holding an address) and all text stay as they are.
std::string PublicCountLinks(const std::string& html);

// Open Project's step after reading the file: every link address in the grid (read as
// PublicCountLinks reads it) loses its API key (WithoutKey). The count links of an earlier
// Kelvaro held the key; once opened, the next save no longer carries it. The grid changes in
// one update, and only where a key was.
void DropLinkKeys(ResultGridModel& grid);

// The two exports, each built whole in memory and written once through the safe writing, so
// a failed export leaves an existing file exactly as it was. ExportCSV writes the grid's CSV
// text (as SaveCSV would, with the grid's SaveWithHTML) tidied by TidyCSVText; ExportHTML the
// grid's HTML document (as SaveHTML would, with `look`) with PublicCountLinks, tidied by
// TidyHTMLText. The grid keeps its query links (projects save them).
// Throw kelvaro::Error.
void ExportCSV(const ResultGridModel& grid, const std::string& file_name);
void ExportHTML(const ResultGridModel& grid, const CellVisualsFunction& look,
                const std::string& file_name);

// The keyword grid as a worksheet "Keywords": the tick column left out, the phrase as text,
// the three counts, Volume and KGR (when the header names them) as numbers, each cell on
// the background the grid paints it (KeywordCellColor). A column an opened project added
// beyond those is text.
XlsxSheet KeywordSheet(const ResultGridModel& grid);

}  // namespace kelvaro::MainForm
