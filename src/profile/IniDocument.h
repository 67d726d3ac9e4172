// One INI file held in memory as its lines. A rewrite keeps every line that no change touched
// byte for byte, and an index finds a key without walking the file, so that a section of a
// hundred thousand sync records reads and grows in constant time per key. A record costs
// little more than its own bytes: lines are spans of the file's text, and the index holds
// line numbers, not copies of the keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/HashIndex.h"
#include "common/Text.h"
#include "common/TextBlocks.h"

namespace tandro {

class IniDocument {
 public:
  // The document of an empty or missing file.
  IniDocument();
  // Reads lines ending with LF, CR LF or a lone CR, as the platform does. Throws
  // std::length_error for a text of 4 GiB or more.
  explicit IniDocument(std::string text);

  // The value of the first `key` in the first section named `sectionName`, both matched without
  // regard to ASCII letter case and to blanks around them; blanks around the value and one pair
  // of enclosing quotes dropped.
  std::optional<std::string> value(std::string_view sectionName, std::string_view key) const;
  // The key as the line that value() reads spells it.
  std::optional<std::string> keySpelling(std::string_view sectionName, std::string_view key) const;

  // The first section named `sectionName`, for reads of many of its keys: its number stays
  // valid as the document changes.
  std::optional<std::size_t> findSection(std::string_view name) const;
  // value() in a section found before, of a key without blanks around it; the text stays
  // valid until the document changes.
  std::optional<std::string_view> valueIn(std::size_t section, const HashedName& key) const;
  // Readies a valueIn() of the key soon after: see HashIndex::prefetch.
  void prefetchIn(std::size_t section, const HashedName& key) const;

  // Every key of the first section named `sectionName` with the value value() reads for it,
  // in the order of the lines.
  std::vector<std::pair<std::string, std::string>> entries(std::string_view sectionName) const;

  struct SectionSize {
    std::size_t lines = 0;
    std::size_t bytes = 0;  // of the lines' text, without line ends
  };
  // The size of the first section named `sectionName`, its header line included.
  SectionSize sectionSize(std::string_view sectionName) const;

  // Replaces the value of the key's line in place, or adds the key after the last non-blank
  // line of its section, or adds the section at the end. New lines end with CR LF; names are
  // written without blanks around them, the value without blanks before it. Throws
  // std::length_error when the document would reach 4 GiB.
  void set(std::string_view sectionName, std::string_view key, std::string_view value);
  // Drops the line that value() reads the key from; a later duplicate then takes its place.
  void remove(std::string_view sectionName, std::string_view key);

  // The document's text, handed to `put` a line, or a line's end, at a time: a large profile
  // is written out without a second copy of it.
  void write(const std::function<void(std::string_view)>& put) const;
  std::string text() const;

  // Whether `line` reads as a section header.
  static bool isSectionHeader(std::string_view line);

 private:
  static constexpr std::uint32_t kNoLine = HashIndex::kNoItem;

  enum class LineEnd : std::uint8_t { None, Lf, Cr, CrLf };
  static std::string_view textOf(LineEnd end);

  struct Line {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    // The next line of the section that holds the same key; the last one leads back to the
    // first, so that the index reaches both ends of the chain in one step.
    std::uint32_t nextSameKey = kNoLine;
    LineEnd end = LineEnd::CrLf;
    bool added = false;  // the text is in added_, not in loaded_
    bool removed = false;
  };

  struct Section {
    std::vector<Line> lines;  // the header line first, except in the lines before any section
    HashIndex keys;           // the last line of each key's chain
  };

  std::string_view lineText(const Line& line) const;
  void addLine(std::string_view text, LineEnd end);
  void indexKeys(Section& section);
  const Line* firstLineOf(std::string_view sectionName, std::string_view key) const;
  const Line* firstLineIn(const Section& section, const HashedName& key) const;
  Section& sectionForWriting(std::string_view name);
  std::size_t slotOf(const Section& section, std::string_view name, std::uint32_t hash) const;
  std::uint32_t lastLineOf(const Section& section, std::string_view key) const;
  std::uint32_t lastLineOf(const Section& section, const HashedName& key) const;
  void appendLine(Section& section, std::string_view text);
  void indexKey(Section& section, std::uint32_t index);
  void indexKey(Section& section, std::uint32_t index, const HashedName& key);
  std::uint32_t endOfContent(Section& section) const;
  void replaceText(Line& line, std::string_view text);
  void storeAdded(Line& line, std::string_view text);
  void discard(Line& line);
  void compactIfWasteful();
  static void dropRemovedLines(Section& section);

  std::vector<Section> sections_;  // the first one holds the lines before any section header
  std::unordered_map<std::string, std::size_t> sectionsByName_;  // by case-folded name
  std::string loaded_;      // the text the document was read from
  TextBlocks added_;        // lines written since, each followed by its line end
  std::size_t wasted_ = 0;  // bytes of both that no line holds any more
};

}  // namespace tandro
