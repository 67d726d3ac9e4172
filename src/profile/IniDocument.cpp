#include "profile/IniDocument.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "common/Text.h"

namespace tandro {

namespace {

// The name of the section that `line` opens, if it is a section header: "[", the name, "]"
// and whatever follows, as the platform reads it ("[Path] ; paths"). Unlike the platform, a
// line with "=" after the "]" stays a key: it is the record of a file whose name begins
// with "[", and as a header it would hide every record after it.
std::optional<std::string_view> sectionNameOf(std::string_view line) {
  const auto text = trimmed(line);
  if (text.empty() || text.front() != '[') {
    return std::nullopt;
  }
  const auto close = text.find(']');
  if (close == std::string_view::npos || text.find('=', close) != std::string_view::npos) {
    return std::nullopt;
  }
  return text.substr(1, close - 1);
}

// The text before the first "=" of a key line, without blanks around it.
std::string_view namePart(std::string_view keyLine) {
  return trimmed(keyLine.substr(0, keyLine.find('=')));
}

// The key that `line` holds: the text before its first "=", unless it is a section header.
// A line that begins with ";" is no comment to the platform's reads and writes.
std::optional<std::string_view> keyOf(std::string_view line) {
  if (line.find('=') == std::string_view::npos || sectionNameOf(line)) {
    return std::nullopt;
  }
  return namePart(line);
}

// Names match without regard to letter case and to blanks around them.
std::string indexName(std::string_view name) {
  return foldCase(trimmed(name));
}

// Offsets, lengths and line numbers are 32 bits wide, which keeps a line small.
std::uint32_t narrowed(std::size_t number) {
  if (number >= UINT32_MAX) {
    throw std::length_error("profile of 4 GiB or more");
  }
  return static_cast<std::uint32_t>(number);
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

IniDocument::IniDocument(std::string text) : IniDocument() {
  narrowed(text.size());
  loaded_ = std::move(text);
  std::string_view rest = loaded_;
  while (!rest.empty()) {
    const auto end = findAnyOf(rest, "\r\n");
    if (end == std::string_view::npos) {
      addLine(rest, LineEnd::None);
      break;
    }
    const auto line = rest.substr(0, end);
    const bool crLf = rest.substr(end, 2) == "\r\n";
    const LineEnd kind = crLf ? LineEnd::CrLf : rest[end] == '\r' ? LineEnd::Cr : LineEnd::Lf;
    rest.remove_prefix(end + (crLf ? 2 : 1));
    addLine(line, kind);
  }
  for (Section& section : sections_) {
    section.lines.shrink_to_fit();
    indexKeys(section);
  }
}

const IniDocument::Line* IniDocument::firstLineOf(std::string_view sectionName,
                                                  std::string_view key) const {
  const auto index = findSection(sectionName);
  return index ? firstLineIn(sections_[*index], HashedName(trimmed(key))) : nullptr;
}

const IniDocument::Line* IniDocument::firstLineIn(const Section& section,
                                                  const HashedName& key) const {
  const auto last = lastLineOf(section, key);
  if (last == kNoLine) {
    return nullptr;
  }
  return &section.lines[section.lines[last].nextSameKey];
}

std::optional<std::string> IniDocument::value(std::string_view sectionName,
                                              std::string_view key) const {
  const auto section = findSection(sectionName);
  const auto found = section ? valueIn(*section, HashedName(trimmed(key))) : std::nullopt;
  return found ? std::optional<std::string>(*found) : std::nullopt;
}

std::optional<std::string> IniDocument::keySpelling(std::string_view sectionName,
                                                    std::string_view key) const {
  const Line* first = firstLineOf(sectionName, key);
  if (first == nullptr) {
    return std::nullopt;
  }
  return std::string(namePart(lineText(*first)));
}

std::optional<std::string_view> IniDocument::valueIn(std::size_t section,
                                                     const HashedName& key) const {
  const Line* first = firstLineIn(sections_[section], key);
  if (first == nullptr) {
    return std::nullopt;
  }
  return valueOf(lineText(*first));
}

void IniDocument::prefetchIn(std::size_t section, const HashedName& key) const {
  sections_[section].keys.prefetch(key.hash);
}

std::vector<std::pair<std::string, std::string>> IniDocument::entries(
    std::string_view sectionName) const {
  std::vector<std::pair<std::string, std::string>> found;
  const auto index = findSection(sectionName);
  if (!index) {
    return found;
  }
  const Section& section = sections_[*index];
  for (std::uint32_t i = 0; i < section.lines.size(); ++i) {
    const Line& line = section.lines[i];
    const auto text = lineText(line);
    const auto key = line.removed ? std::nullopt : keyOf(text);
    // A key that stands twice is read from its first line.
    if (key && section.lines[lastLineOf(section, *key)].nextSameKey == i) {
      found.emplace_back(*key, valueOf(text));
    }
  }
  return found;
}

IniDocument::SectionSize IniDocument::sectionSize(std::string_view sectionName) const {
  SectionSize size;
  const auto index = findSection(sectionName);
  if (!index) {
    return size;
  }
  for (const Line& line : sections_[*index].lines) {
    if (!line.removed) {
      ++size.lines;
      size.bytes += line.length;
    }
  }
  return size;
}

void IniDocument::set(std::string_view sectionName, std::string_view key, std::string_view value) {
  Section& section = sectionForWriting(sectionName);
  const auto last = lastLineOf(section, key);
  if (last == kNoLine) {
    appendLine(section, keyLine(key, value));
    return;
  }
  Line& first = section.lines[section.lines[last].nextSameKey];
  replaceText(first, keyLine(namePart(lineText(first)), value));
  compactIfWasteful();
}

void IniDocument::remove(std::string_view sectionName, std::string_view key) {
  const auto index = findSection(sectionName);
  if (!index) {
    return;
  }
  Section& section = sections_[*index];
  key = trimmed(key);
  const auto slot = slotOf(section, key, hashIgnoringCase(key));
  if (section.keys.item(slot) == kNoLine) {
    return;
  }
  Line& last = section.lines[section.keys.item(slot)];
  Line& first = section.lines[last.nextSameKey];
  if (&first == &last) {
    section.keys.erase(slot);
  } else {
    last.nextSameKey = first.nextSameKey;
  }
  // Marked, not erased, so that the indexes of the lines after it stay valid.
  discard(first);
  compactIfWasteful();
}

void IniDocument::write(const std::function<void(std::string_view)>& put) const {
  bool lineOpen = false;  // the last line of the file had no line break
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) {
      if (line.removed) {
        continue;
      }
      if (lineOpen) {
        put("\r\n");
      }
      put(lineText(line));
      put(textOf(line.end));
      lineOpen = line.end == LineEnd::None;
    }
  }
}

std::string IniDocument::text() const {
  std::string text;
  text.reserve(loaded_.size() + added_.size() - wasted_);
  write([&](std::string_view piece) { text += piece; });
  return text;
}

bool IniDocument::isSectionHeader(std::string_view line) {
  return sectionNameOf(line).has_value();
}

std::string_view IniDocument::lineText(const Line& line) const {
  if (line.added) {
    return added_.view(line.offset, line.length);
  }
  return std::string_view(loaded_).substr(line.offset, line.length);
}

void IniDocument::addLine(std::string_view text, LineEnd end) {
  if (const auto name = sectionNameOf(text)) {
    sectionsByName_.try_emplace(indexName(*name), sections_.size());
    sections_.emplace_back();
  }
  Section& section = sections_.back();
  const auto offset = static_cast<std::uint32_t>(text.data() - loaded_.data());
  section.lines.push_back({offset, static_cast<std::uint32_t>(text.size()), kNoLine, end});
}

// Once the section's lines are all in: its index is made at its final size, not grown (and
// rehashed) step by step through a hundred thousand records.
// A large section's index does not fit the processor's caches: each key's slot is asked for
// a few lines before the key goes in, so that the misses of a loaded profile overlap.
void IniDocument::indexKeys(Section& section) {
  constexpr std::uint32_t kLookAhead = 8;
  const auto count = static_cast<std::uint32_t>(section.lines.size());
  section.keys.reserve(count);
  std::array<std::optional<HashedName>, kLookAhead> keysAhead;
  const auto lookAhead = [&](std::uint32_t index) {
    if (index >= count) {
      return;
    }
    auto& key = keysAhead[index % kLookAhead];
    key.reset();
    if (const auto text = keyOf(lineText(section.lines[index]))) {
      section.keys.prefetch(key.emplace(*text).hash);
    }
  };
  for (std::uint32_t index = 0; index < kLookAhead; ++index) {
    lookAhead(index);
  }
  for (std::uint32_t index = 0; index < count; ++index) {
    const auto key = keysAhead[index % kLookAhead];
    lookAhead(index + kLookAhead);
    if (key) {
      indexKey(section, index, *key);
    }
  }
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
    Section& section = sections_.emplace_back();
    storeAdded(section.lines.emplace_back(), sectionHeader(name));
  }
  return sections_[found->second];
}

// The index slot of `name` (without blanks around it), or the free slot where it would go.
std::size_t IniDocument::slotOf(const Section& section, std::string_view name,
                                std::uint32_t hash) const {
  return section.keys.find(hash, [&](std::uint32_t line) {
    return equalIgnoringCase(namePart(lineText(section.lines[line])), name);
  });
}

// The last line of the key's chain, none when the section has no such key.
std::uint32_t IniDocument::lastLineOf(const Section& section, std::string_view key) const {
  return lastLineOf(section, HashedName(trimmed(key)));
}

std::uint32_t IniDocument::lastLineOf(const Section& section, const HashedName& key) const {
  return section.keys.item(slotOf(section, key.text, key.hash));
}

void IniDocument::appendLine(Section& section, std::string_view text) {
  const auto at = endOfContent(section);
  Line& line =
      *section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at), Line{});
  storeAdded(line, text);
  indexKey(section, at);
}

void IniDocument::indexKey(Section& section, std::uint32_t index) {
  if (const auto key = keyOf(lineText(section.lines[index]))) {
    indexKey(section, index, HashedName(*key));
  }
}

void IniDocument::indexKey(Section& section, std::uint32_t index, const HashedName& key) {
  const auto slot = slotOf(section, key.text, key.hash);
  Line& line = section.lines[index];
  const auto last = section.keys.item(slot);
  if (last == kNoLine) {
    section.keys.insert(slot, index, key.hash);
    line.nextSameKey = index;
    return;
  }
  line.nextSameKey = section.lines[last].nextSameKey;
  section.lines[last].nextSameKey = index;
  section.keys.replaceItem(slot, index);
}

// Only blank lines follow the insertion point, and no index refers to them.
std::uint32_t IniDocument::endOfContent(Section& section) const {
  auto& lines = section.lines;
  auto end = lines.size();
  while (end > 0 && (lines[end - 1].removed || trimmed(lineText(lines[end - 1])).empty())) {
    --end;
  }
  // Removed lines there would be walked over again by every later append.
  lines.erase(std::remove_if(lines.begin() + static_cast<std::ptrdiff_t>(end), lines.end(),
                             [](const Line& line) { return line.removed; }),
              lines.end());
  return narrowed(end);
}

// Overwrites the old text when the new one fits, as a changed sync record mostly does.
void IniDocument::replaceText(Line& line, std::string_view text) {
  if (text.size() > line.length) {
    wasted_ += line.length;
    storeAdded(line, text);
    return;
  }
  char* buffer = line.added ? added_.data(line.offset) : loaded_.data() + line.offset;
  std::copy(text.begin(), text.end(), buffer);
  wasted_ += line.length - text.size();
  line.length = static_cast<std::uint32_t>(text.size());
}

void IniDocument::storeAdded(Line& line, std::string_view text) {
  const auto length = narrowed(text.size());
  line.offset = added_.add(text, textOf(line.end));
  line.length = length;
  line.added = true;
}

void IniDocument::discard(Line& line) {
  line.removed = true;
  wasted_ += line.length + textOf(line.end).size();
}

// Copies the text that lines still hold into new blocks once most of the old is waste, so
// that a document that lives through many runs does not grow with every change.
void IniDocument::compactIfWasteful() {
  if (2 * wasted_ <= loaded_.size() + added_.size()) {
    return;
  }
  TextBlocks kept;
  for (Section& section : sections_) {
    dropRemovedLines(section);
    for (Line& line : section.lines) {
      line.offset = kept.add(lineText(line), textOf(line.end));
      line.added = true;
    }
  }
  loaded_ = std::string();
  added_ = std::move(kept);
  wasted_ = 0;
}

// Renumbers the lines in the key chains and the index as the removed lines go.
void IniDocument::dropRemovedLines(Section& section) {
  auto& lines = section.lines;
  std::vector<std::uint32_t> numbers(lines.size(), kNoLine);
  std::uint32_t kept = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].removed) {
      numbers[i] = kept++;
    }
  }
  for (Line& line : lines) {
    if (!line.removed && line.nextSameKey != kNoLine) {
      line.nextSameKey = numbers[line.nextSameKey];
    }
  }
  section.keys.renumber(numbers);
  std::erase_if(lines, [](const Line& line) { return line.removed; });
}

}  // namespace tandro
