// The current user's hive as a .reg file (REGEDIT4 text), for every platform but Windows.
//
// The file is the registry's own export format, so it can be read and edited by hand or
// imported into a Windows registry as it is:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Dovrane\Kelvaro\Settings]
//   "APIkey"="..."
//   "Engine Code"="..."
//
// Texts are 8-bit bytes, written as they are; only \\ and \" are escaped inside quotes.
// Data that a quoted text cannot carry byte for byte (line breaks and other control
// bytes, embedded NULs, a REG_SZ without its closing NUL) is written as hex(1): bytes, so
// every value stays on its own line(s) and reads back exactly. Other types keep their
// form: dword: for REG_DWORD, hex: for REG_BINARY, hex(N): for everything else.
//
// Every save rewrites the whole file once, through a temporary file; sections, values,
// comments and blank lines that Kelvaro does not own are written back as they were read.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "base/NativePath.h"
#include "base/Text.h"
#include "settings/SettingsHive.h"

namespace kelvaro {
namespace {

namespace fs = std::filesystem;

constexpr char kHeader[] = "REGEDIT4";
constexpr char kRootKey[] = "HKEY_CURRENT_USER";
constexpr char kLineEnd[] = "\r\n";
// Hex data wraps so that a line, with its continuation backslash, fits in 80 columns.
constexpr std::size_t kHexLineWidth = 80;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Key and value names compare as the registry compares them: ASCII case does not count.
bool SameName(const std::string& a, const std::string& b) { return EqualsIgnoringAsciiCase(a, b); }

bool StartsWithNoCase(const std::string& text, std::size_t pos, const std::string& prefix) {
  return StartsWithIgnoringAsciiCase(std::string_view(text).substr(pos), prefix);
}

std::size_t SkipBlanks(const std::string& text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

// One line of a section, or one value with its continuation lines.
struct Entry {
  std::vector<std::string> lines;  // as read, without their line ends
  bool is_value = false;
  bool deleted = false;  // "name"=- : the value is absent
  std::string name;
  RawValue value;
};

struct Section {
  std::string header;  // the line as read
  std::string key;     // what stands between the brackets
  std::vector<Entry> entries;
};

struct Document {
  std::vector<std::string> preamble;  // the header line and what precedes the first section
  std::vector<Section> sections;
};

struct ParseFailure {
  std::size_t line;  // 1-based
  std::string reason;
};

std::vector<std::string> SplitFileLines(const std::string& bytes) {
  const std::vector<std::string_view> views = SplitLines(bytes, LineEnds::kLf);
  return std::vector<std::string>(views.begin(), views.end());
}

class Parser {
 public:
  explicit Parser(const std::string& bytes) : lines_(SplitFileLines(bytes)) {}

  // Throws ParseFailure.
  Document Parse() {
    Document doc;
    if (lines_.empty() || TrimRight(lines_[0]) != kHeader) {
      Fail(1, "the file does not begin with the line REGEDIT4");
    }
    doc.preamble.push_back(lines_[0]);
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      const std::string& line = lines_[index_];
      const std::size_t pos = SkipBlanks(line, 0);
      if (pos == line.size() || line[pos] == ';') {
        Entry plain;
        plain.lines.push_back(line);
        if (doc.sections.empty()) {
          doc.preamble.push_back(line);
        } else {
          doc.sections.back().entries.push_back(std::move(plain));
        }
      } else if (line[pos] == '[') {
        const std::string bracketed = TrimRight(line.substr(pos));
        if (bracketed.size() < 2 || bracketed.back() != ']') Fail("a key name is not closed by ]");
        Section section;
        section.header = line;
        section.key = bracketed.substr(1, bracketed.size() - 2);
        doc.sections.push_back(std::move(section));
      } else if (line[pos] == '"' || line[pos] == '@') {
        if (doc.sections.empty()) Fail("a value stands before the first [key] line");
        doc.sections.back().entries.push_back(ParseValue(pos));
      } else {
        Fail("the line is not a [key], a \"name\"=value or a ; comment");
      }
    }
    return doc;
  }

 private:
  [[noreturn]] void Fail(std::size_t line, const std::string& reason) {
    throw ParseFailure{line, reason};
  }
  [[noreturn]] void Fail(const std::string& reason) { Fail(index_ + 1, reason); }

  const std::string& Line() const { return lines_[index_]; }

  // A quoted text starting at `pos` (on the opening quote); leaves `pos` after the
  // closing quote.
  std::string ParseQuoted(std::size_t& pos) {
    const std::string& line = Line();
    std::string text;
    ++pos;
    for (;;) {
      if (pos >= line.size()) Fail("a text is not closed by \"");
      const char c = line[pos];
      if (c == '"') {
        ++pos;
        return text;
      }
      if (c == '\\') {
        if (pos + 1 >= line.size() || (line[pos + 1] != '\\' && line[pos + 1] != '"')) {
          Fail("a backslash inside a text is not followed by \\ or \"");
        }
        text.push_back(line[pos + 1]);
        pos += 2;
      } else {
        text.push_back(c);
        ++pos;
      }
    }
  }

  void ExpectEnd(std::size_t pos) {
    if (SkipBlanks(Line(), pos) != Line().size()) Fail("unexpected text after the value");
  }

  // Up to eight hexadecimal digits from `pos`, ending where the digits end.
  std::uint32_t ParseHexNumber(std::size_t& pos, const char* what) {
    const std::string& line = Line();
    std::uint32_t number = 0;
    std::size_t digits = 0;
    while (pos < line.size() && HexDigitValue(line[pos]) >= 0) {
      if (++digits > 8) Fail(std::string(what) + " has more than eight hexadecimal digits");
      number = number * 16 + static_cast<std::uint32_t>(HexDigitValue(line[pos]));
      ++pos;
    }
    if (digits == 0) Fail(std::string(what) + " has no hexadecimal digits");
    return number;
  }

  // Comma-separated bytes from `pos`; a line ending in a backslash continues on the next.
  std::string ParseBytes(std::size_t pos, Entry& entry) {
    std::string data;
    for (;;) {
      std::string segment = TrimRight(Line().substr(pos));
      const bool continued = !segment.empty() && segment.back() == '\\';
      if (continued) segment.pop_back();
      std::vector<std::string> tokens;
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = segment.find(',', start);
        tokens.push_back(segment.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      for (std::string& token : tokens) token = TrimRight(token.substr(SkipBlanks(token, 0)));
      // A comma may close the list (the registry editor writes one before a line break).
      if (tokens.size() > 1 && tokens.back().empty()) tokens.pop_back();
      if (tokens.size() == 1 && tokens[0].empty()) tokens.clear();
      for (const std::string& token : tokens) {
        if (token.empty() || token.size() > 2 || HexDigitValue(token[0]) < 0 ||
            (token.size() == 2 && HexDigitValue(token[1]) < 0)) {
          Fail("a byte of hex data is not one or two hexadecimal digits");
        }
        int byte = HexDigitValue(token[0]);
        if (token.size() == 2) byte = byte * 16 + HexDigitValue(token[1]);
        data.push_back(static_cast<char>(byte));
      }
      if (!continued) return data;
      if (index_ + 1 >= lines_.size()) Fail("hex data continues past the end of the file");
      ++index_;
      entry.lines.push_back(Line());
      pos = 0;
    }
  }

  Entry ParseValue(std::size_t pos) {
    Entry entry;
    entry.is_value = true;
    entry.lines.push_back(Line());
    const std::string& line = Line();
    if (line[pos] == '@') {
      ++pos;
    } else {
      entry.name = ParseQuoted(pos);
    }
    pos = SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') Fail("= is missing after the value's name");
    pos = SkipBlanks(line, pos + 1);
    if (pos < line.size() && line[pos] == '"') {
      entry.value.type = kRegSz;
      entry.value.data = ParseQuoted(pos);
      entry.value.data.push_back('\0');
      ExpectEnd(pos);
    } else if (pos < line.size() && line[pos] == '-') {
      entry.deleted = true;
      ExpectEnd(pos + 1);
    } else if (StartsWithNoCase(line, pos, "dword:")) {
      pos += 6;
      const std::uint32_t number = ParseHexNumber(pos, "a dword");
      ExpectEnd(pos);
      entry.value.type = kRegDword;
      for (int shift = 0; shift < 32; shift += 8) {
        entry.value.data.push_back(static_cast<char>((number >> shift) & 0xff));
      }
    } else if (StartsWithNoCase(line, pos, "hex")) {
      pos += 3;
      entry.value.type = kRegBinary;
      if (pos < line.size() && line[pos] == '(') {
        ++pos;
        entry.value.type = ParseHexNumber(pos, "a value type");
        if (pos >= line.size() || line[pos] != ')') Fail("a value type is not closed by )");
        ++pos;
      }
      if (pos >= line.size() || line[pos] != ':') Fail(": is missing after hex");
      entry.value.data = ParseBytes(pos + 1, entry);
    } else {
      Fail("the value is not a \"text\", dword:, hex: or hex(N):");
    }
    return entry;
  }

  std::vector<std::string> lines_;
  std::size_t index_ = 0;
};

std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') quoted.push_back('\\');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

// Whether a quoted text carries `text` byte for byte and keeps it on one line.
bool QuotableText(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t') return false;
  }
  return true;
}

// The lines of one value in the file; empty when its name cannot be written.
std::vector<std::string> ValueLines(const std::string& name, const RawValue& value) {
  if (!QuotableText(name)) return {};
  const std::string head = (name.empty() ? std::string("@") : Quote(name)) + "=";
  const std::string& data = value.data;
  if (value.type == kRegSz && !data.empty() && data.back() == '\0') {
    const std::string text = data.substr(0, data.size() - 1);
    if (text.find('\0') == std::string::npos && QuotableText(text)) return {head + Quote(text)};
  }
  char buffer[32];
  if (value.type == kRegDword && data.size() == 4) {
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i) {
      number = number * 256 + static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
    }
    std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
    return {head + buffer};
  }
  std::string line = head;
  if (value.type == kRegBinary) {
    line += "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
    line += buffer;
  }
  std::vector<std::string> lines;
  bool line_has_bytes = false;
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(data[i]));
    std::string piece = buffer;
    if (i + 1 < data.size()) piece.push_back(',');
    if (line_has_bytes && line.size() + piece.size() + 1 > kHexLineWidth) {
      lines.push_back(line + "\\");
      line = "  ";
    }
    line += piece;
    line_has_bytes = true;
  }
  lines.push_back(line);
  return lines;
}

std::string Serialize(const Document& doc) {
  std::string bytes;
  for (const std::string& line : doc.preamble) bytes += line + kLineEnd;
  for (const Section& section : doc.sections) {
    bytes += section.header + kLineEnd;
    for (const Entry& entry : section.entries) {
      for (const std::string& line : entry.lines) bytes += line + kLineEnd;
    }
  }
  return bytes;
}

Document NewDocument() {
  Document doc;
  doc.preamble = {kHeader, ""};
  return doc;
}

std::string FullKeyName(const std::string& key_path) {
  return std::string(kRootKey) + "\\" + key_path;
}

// A key exists when a section names it or one of its subkeys.
bool HasKey(const Document& doc, const std::string& key) {
  for (const Section& section : doc.sections) {
    if (SameName(section.key, key)) return true;
    if (section.key.size() > key.size() && section.key[key.size()] == '\\' &&
        SameName(section.key.substr(0, key.size()), key)) {
      return true;
    }
  }
  return false;
}

// The value's last entry: when a file names a value twice, the later one counts, as
// when the file is imported.
const Entry* FindValue(const Document& doc, const std::string& key, const std::string& name) {
  const Entry* found = nullptr;
  for (const Section& section : doc.sections) {
    if (!SameName(section.key, key)) continue;
    for (const Entry& entry : section.entries) {
      if (entry.is_value && SameName(entry.name, name)) found = &entry;
    }
  }
  return found;
}

Entry* FindValue(Document& doc, const std::string& key, const std::string& name) {
  return const_cast<Entry*>(FindValue(static_cast<const Document&>(doc), key, name));
}

Section& EnsureSection(Document& doc, const std::string& key) {
  const auto found =
      std::find_if(doc.sections.rbegin(), doc.sections.rend(),
                   [&](const Section& section) { return SameName(section.key, key); });
  if (found != doc.sections.rend()) return *found;
  // Keep a blank line between the last section and the new one.
  const std::string* last_line = doc.preamble.empty() ? nullptr : &doc.preamble.back();
  if (!doc.sections.empty()) {
    const Section& last = doc.sections.back();
    last_line = last.entries.empty() ? &last.header : &last.entries.back().lines.back();
  }
  if (last_line != nullptr && SkipBlanks(*last_line, 0) != last_line->size()) {
    if (doc.sections.empty()) {
      doc.preamble.emplace_back();
    } else {
      Entry blank;
      blank.lines.emplace_back();
      doc.sections.back().entries.push_back(std::move(blank));
    }
  }
  Section section;
  section.key = key;
  section.header = "[" + key + "]";
  Entry blank;
  blank.lines.emplace_back();
  section.entries.push_back(std::move(blank));
  doc.sections.push_back(std::move(section));
  return doc.sections.back();
}

// False when the value cannot be written in the file's format.
bool SetValue(Document& doc, const std::string& key, const std::string& name,
              const RawValue& value) {
  Entry entry;
  entry.is_value = true;
  entry.name = name;
  entry.value = value;
  entry.lines = ValueLines(name, value);
  if (entry.lines.empty()) return false;
  if (Entry* existing = FindValue(doc, key, name)) {
    *existing = std::move(entry);
    return true;
  }
  // A new value goes after the section's last value, before its trailing blank lines
  // and comments.
  Section& section = EnsureSection(doc, key);
  std::size_t at = 0;
  for (std::size_t i = 0; i < section.entries.size(); ++i) {
    if (section.entries[i].is_value) at = i + 1;
  }
  section.entries.insert(section.entries.begin() + static_cast<std::ptrdiff_t>(at),
                         std::move(entry));
  return true;
}

bool FileIsMissing(const std::string& file_name) {
  std::error_code ec;
  return fs::status(file_name, ec).type() == fs::file_type::not_found;
}

// A hive file that is a symbolic link (a configuration folder kept elsewhere) is written
// where the link points, so the link survives the replace.
class RegFileKey : public SettingsKey {
 public:
  RegFileKey(std::string file_name, std::string key, Document doc,
             std::optional<std::string> damaged_bytes)
      : file_name_(std::move(file_name)),
        key_(std::move(key)),
        doc_(std::move(doc)),
        damaged_bytes_(std::move(damaged_bytes)) {}

  std::optional<RawValue> Query(const std::string& name) const override {
    const Entry* entry = FindValue(doc_, key_, name);
    if (entry == nullptr || entry->deleted) return std::nullopt;
    return entry->value;
  }

  bool Set(const std::string& name, std::uint32_t type, const std::string& data) override {
    return SetValues({NamedValue{name, RawValue{type, data}}}) == 1;
  }

  // All values in one replacement of the file, or none of them.
  std::size_t SetValues(const std::vector<NamedValue>& values) override {
    Document next = doc_;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!SetValue(next, key_, values[i].name, values[i].value)) return i;
    }
    // The file holds the user's API key: like the registry's per-user hive, only its owner
    // may read it, and so may the temporary file it is written through.
    try {
      // A damaged file is replaced only now that the user saves; its bytes are kept
      // beside it (beside a link's target) so nothing typed into it by hand is lost.
      if (damaged_bytes_) {
        WriteFileAtomically(LinkTarget(file_name_) + ".damaged", *damaged_bytes_,
                            FileAccess::kOwnerOnly);
      }
      WriteFileAtomically(file_name_, Serialize(next), FileAccess::kOwnerOnly);
    } catch (const std::exception&) {
      return 0;
    }
    damaged_bytes_.reset();
    doc_ = std::move(next);
    return values.size();
  }

 private:
  std::string file_name_;
  std::string key_;
  Document doc_;
  std::optional<std::string> damaged_bytes_;
};

class RegFileHive : public SettingsHive {
 public:
  explicit RegFileHive(std::string file_name) : file_name_(std::move(file_name)) {}

  std::unique_ptr<SettingsKey> OpenKey(const std::string& key_path) const override {
    if (FileIsMissing(file_name_)) return nullptr;
    const std::string bytes = ReadWholeFile(file_name_);
    Document doc;
    try {
      doc = Parser(bytes).Parse();
    } catch (const ParseFailure& failure) {
      throw Error("The settings file \"" + FullPath(file_name_) + "\" is damaged at line " +
                  std::to_string(failure.line) + ": " + failure.reason);
    }
    const std::string key = FullKeyName(key_path);
    if (!HasKey(doc, key)) return nullptr;
    return std::make_unique<RegFileKey>(file_name_, key, std::move(doc), std::nullopt);
  }

  std::unique_ptr<SettingsKey> CreateKey(const std::string& key_path) const override {
    if (!MakePrivateFolders(fs::path(file_name_).parent_path())) return nullptr;
    Document doc = NewDocument();
    std::optional<std::string> damaged_bytes;
    if (!FileIsMissing(file_name_)) {
      std::string bytes;
      try {
        bytes = ReadWholeFile(file_name_);
      } catch (const Error&) {
        return nullptr;
      }
      try {
        doc = Parser(bytes).Parse();
      } catch (const ParseFailure&) {
        damaged_bytes = std::move(bytes);
      }
    }
    const std::string key = FullKeyName(key_path);
    EnsureSection(doc, key);
    return std::make_unique<RegFileKey>(file_name_, key, std::move(doc), std::move(damaged_bytes));
  }

 private:
  std::string file_name_;
};

}  // namespace

std::unique_ptr<SettingsHive> OpenUserHive(const std::string& location) {
  return std::make_unique<RegFileHive>(location);
}

std::string DefaultSettingsLocation() {
  return (XdgFolder("XDG_CONFIG_HOME", ".config") / "Dovrane" / "Kelvaro" / "Settings.reg")
      .string();
}

}  // namespace kelvaro
