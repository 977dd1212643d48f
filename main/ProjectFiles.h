#pragma once

#include <string>
#include <vector>

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

// Rewrite a just-written export in place (safely: an interrupted rewrite keeps the file
// as it was). Throw kelvaro::Error.
void TidyCSVExport(const std::string& file_name);
void TidyHTMLExport(const std::string& file_name);

}  // namespace kelvaro::MainForm
