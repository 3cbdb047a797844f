#include "framework/ini/ini_text.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>
#include <vector>

namespace {

// One line of the text: where it starts and ends (without its line end).
struct Line {
  size_t begin = 0;
  size_t end = 0;
  size_t next = 0;  // start of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) {
      lines.push_back({begin, text.size(), text.size()});
      break;
    }
    size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') {
      ++next;
    }
    lines.push_back({begin, end, next});
    begin = next;
  }
  return lines;
}

std::string LineText(const std::string& text, const Line& line) {
  return text.substr(line.begin, line.end - line.begin);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) {
    ++first;
  }
  while (last > first && IsBlank(text[last - 1])) {
    --last;
  }
  return text.substr(first, last - first);
}

bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The name as SameName compares it.
std::string LowerName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (!trimmed.starts_with('[')) {
    return std::nullopt;
  }
  const size_t close = trimmed.find(']');
  return Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// The key of a "key=value" line, or nothing for other lines.
std::optional<std::string> KeyName(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos || Trim(line).starts_with(';')) {
    return std::nullopt;
  }
  return Trim(line.substr(0, equals));
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The value of a "key=value" line: trimmed, one pair of quotes removed.
std::string KeyValue(const std::string& line) {
  return Unquote(Trim(line.substr(line.find('=') + 1)));
}

// Where a section's lines are: the header line's index and one past its last
// line. header is -1 when the section is missing.
struct SectionSpan {
  long header = -1;
  size_t end = 0;
};

SectionSpan FindSection(const std::string& text, const std::vector<Line>& lines,
                        const std::string& section) {
  SectionSpan span;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(LineText(text, lines[i]));
    if (!name) {
      continue;
    }
    if (span.header >= 0) {
      span.end = i;
      return span;
    }
    if (SameName(*name, section)) {
      span.header = static_cast<long>(i);
    }
  }
  span.end = lines.size();
  return span;
}

long FindKey(const std::string& text, const std::vector<Line>& lines, const SectionSpan& span,
             const std::string& key) {
  for (size_t i = static_cast<size_t>(span.header) + 1; i < span.end; ++i) {
    const auto name = KeyName(LineText(text, lines[i]));
    if (name && SameName(*name, key)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

// The line end the text already uses, so added lines match it.
std::string LineEnd(const std::string& text) {
  const size_t lf = text.find('\n');
  return lf != std::string::npos && (lf == 0 || text[lf - 1] != '\r') ? "\n" : "\r\n";
}

}  // namespace

std::optional<std::string> IniTextFind(const std::string& text, const std::string& section,
                                       const std::string& key) {
  const std::vector<Line> lines = SplitLines(text);
  const SectionSpan span = FindSection(text, lines, section);
  if (span.header < 0) {
    return std::nullopt;
  }
  const long index = FindKey(text, lines, span, key);
  if (index < 0) {
    return std::nullopt;
  }
  return KeyValue(LineText(text, lines[static_cast<size_t>(index)]));
}

std::vector<IniKey> IniTextKeys(const std::string& text, const std::string& section) {
  const std::vector<Line> lines = SplitLines(text);
  const SectionSpan span = FindSection(text, lines, section);
  std::vector<IniKey> keys;
  if (span.header < 0) {
    return keys;
  }
  std::unordered_set<std::string> seen;  // names as LowerName gives them
  for (size_t i = static_cast<size_t>(span.header) + 1; i < span.end; ++i) {
    const std::string line = LineText(text, lines[i]);
    const auto name = KeyName(line);
    if (name && seen.insert(LowerName(*name)).second) {
      keys.push_back({*name, KeyValue(line)});
    }
  }
  return keys;
}

std::string IniTextSet(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value) {
  const std::vector<Line> lines = SplitLines(text);
  const std::string eol = LineEnd(text);
  const std::string keyLine = key + "=" + value;
  const SectionSpan span = FindSection(text, lines, section);
  if (span.header < 0) {
    std::string result = text;
    if (!result.empty() && result.back() != '\n' && result.back() != '\r') {
      result += eol;
    }
    return result + "[" + section + "]" + eol + keyLine + eol;
  }
  const long index = FindKey(text, lines, span, key);
  if (index >= 0) {
    const Line& line = lines[static_cast<size_t>(index)];
    return text.substr(0, line.begin) + keyLine + text.substr(line.end);
  }
  // After the section's last non-blank line, so blank separator lines stay
  // between sections.
  size_t last = static_cast<size_t>(span.header);
  for (size_t i = last + 1; i < span.end; ++i) {
    if (!Trim(LineText(text, lines[i])).empty()) {
      last = i;
    }
  }
  const Line& after = lines[last];
  if (after.next == after.end) {  // the last line of the text has no line end
    return text + eol + keyLine + eol;
  }
  return text.substr(0, after.next) + keyLine + eol + text.substr(after.next);
}
