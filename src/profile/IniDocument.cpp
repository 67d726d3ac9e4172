#include "profile/IniDocument.h"

#include <algorithm>

#include "common/Text.h"

namespace tandro {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view withoutLeadingBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  return text;
}

std::string_view trimmed(std::string_view text) {
  text = withoutLeadingBlanks(text);
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The name of the section that `line` opens, if it is a section header: "[", the name, "]"
// and whatever follows, as the platform reads it ("[Path] ; paths"). Unlike the platform, a
// line with "=" after the "]" stays a key: it is the record of a file whose name begins
// with "[", and as a header it would hide every record after it.
std::optional<std::string_view> sectionNameOf(std::string_view line) {
  const auto text = trimmed(line);
  const auto close = text.find(']');
  if (text.empty() || text.front() != '[' || close == std::string_view::npos ||
      text.find('=', close) != std::string_view::npos) {
    return std::nullopt;
  }
  return text.substr(1, close - 1);
}

// The key that `line` holds: the text before its first "=", unless it is a section header.
// A line that begins with ";" is no comment to the platform's reads and writes.
std::optional<std::string_view> keyOf(std::string_view line) {
  const auto text = trimmed(line);
  const auto equals = text.find('=');
  if (equals == std::string_view::npos || sectionNameOf(text)) {
    return std::nullopt;
  }
  return trimmed(text.substr(0, equals));
}

// Names match without regard to letter case and to blanks around them.
std::string indexName(std::string_view name) {
  return foldCase(trimmed(name));
}

std::string_view valueOf(std::string_view keyLine) {
  auto value = trimmed(keyLine.substr(keyLine.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

std::string sectionHeader(std::string_view name) {
  name = trimmed(name);
  std::string line;
  line.reserve(name.size() + 2);
  line.append("[").append(name).append("]");
  return line;
}

// Blanks around a name and before a value never read back; the platform does not write them.
std::string keyLine(std::string_view key, std::string_view value) {
  key = trimmed(key);
  value = withoutLeadingBlanks(value);
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  line.append(key).append("=").append(value);
  return line;
}

}  // namespace

std::string_view IniDocument::textOf(LineEnd end) {
  switch (end) {
    case LineEnd::Lf:
      return "\n";
    case LineEnd::Cr:
      return "\r";
    case LineEnd::CrLf:
      return "\r\n";
    case LineEnd::None:
      break;
  }
  return {};
}

IniDocument::IniDocument() : sections_(1) {}

IniDocument::IniDocument(std::string_view text) : IniDocument() {
  while (!text.empty()) {
    const auto end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      addLine(text, LineEnd::None);
      return;
    }
    const auto line = text.substr(0, end);
    const bool crLf = text.substr(end, 2) == "\r\n";
    const LineEnd kind = crLf ? LineEnd::CrLf : text[end] == '\r' ? LineEnd::Cr : LineEnd::Lf;
    text.remove_prefix(end + (crLf ? 2 : 1));
    addLine(line, kind);
  }
}

std::optional<std::string> IniDocument::value(std::string_view sectionName,
                                              std::string_view key) const {
  const auto index = findSection(sectionName);
  if (!index) {
    return std::nullopt;
  }
  const Section& section = sections_[*index];
  const auto found = section.keys.find(indexName(key));
  if (found == section.keys.end()) {
    return std::nullopt;
  }
  return std::string(valueOf(section.lines[found->second.first].text));
}

void IniDocument::set(std::string_view sectionName, std::string_view key, std::string_view value) {
  Section& section = sectionForWriting(sectionName);
  const auto found = section.keys.find(indexName(key));
  if (found == section.keys.end()) {
    appendLine(section, keyLine(key, value));
    return;
  }
  Line& line = section.lines[found->second.first];
  line.text = keyLine(*keyOf(line.text), value);
}

void IniDocument::remove(std::string_view sectionName, std::string_view key) {
  const auto index = findSection(sectionName);
  if (!index) {
    return;
  }
  Section& section = sections_[*index];
  const auto found = section.keys.find(indexName(key));
  if (found == section.keys.end()) {
    return;
  }
  // Marked, not erased, so that the indexes of the lines after it stay valid.
  Line& line = section.lines[found->second.first];
  line.removed = true;
  line.text = std::string();
  if (found->second.first == found->second.last) {
    section.keys.erase(found);
  } else {
    found->second.first = line.nextSameKey;
  }
}

std::string IniDocument::text() const {
  std::string text;
  bool lineOpen = false;  // the last line of the file had no line break
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) {
      if (line.removed) {
        continue;
      }
      if (lineOpen) {
        text += "\r\n";
      }
      text += line.text;
      text += textOf(line.end);
      lineOpen = line.end == LineEnd::None;
    }
  }
  return text;
}

void IniDocument::addLine(std::string_view text, LineEnd end) {
  if (const auto name = sectionNameOf(text)) {
    sectionsByName_.try_emplace(indexName(*name), sections_.size());
    sections_.emplace_back();
  }
  Section& section = sections_.back();
  section.lines.push_back({std::string(text), end});
  indexKey(section, section.lines.size() - 1);
}

std::optional<std::size_t> IniDocument::findSection(std::string_view name) const {
  const auto found = sectionsByName_.find(indexName(name));
  if (found == sectionsByName_.end()) {
    return std::nullopt;
  }
  return found->second;
}

IniDocument::Section& IniDocument::sectionForWriting(std::string_view name) {
  const auto [found, added] = sectionsByName_.try_emplace(indexName(name), sections_.size());
  if (added) {
    sections_.emplace_back();
    sections_.back().lines.push_back({sectionHeader(name)});
  }
  return sections_[found->second];
}

void IniDocument::appendLine(Section& section, std::string text) {
  const auto at = endOfContent(section);
  section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at),
                       Line{std::move(text)});
  indexKey(section, at);
}

// Only blank lines follow the insertion point, and no index refers to them.
std::size_t IniDocument::endOfContent(Section& section) {
  auto& lines = section.lines;
  auto end = lines.size();
  while (end > 0 && (lines[end - 1].removed || trimmed(lines[end - 1].text).empty())) {
    --end;
  }
  // Removed lines there would be walked over again by every later append.
  lines.erase(std::remove_if(lines.begin() + static_cast<std::ptrdiff_t>(end), lines.end(),
                             [](const Line& line) { return line.removed; }),
              lines.end());
  return end;
}

void IniDocument::indexKey(Section& section, std::size_t index) {
  const auto key = keyOf(section.lines[index].text);
  if (!key) {
    return;
  }
  const auto [found, added] = section.keys.try_emplace(indexName(*key), KeyLines{index, index});
  if (!added) {
    section.lines[found->second.last].nextSameKey = index;
    found->second.last = index;
  }
}

}  // namespace tandro
