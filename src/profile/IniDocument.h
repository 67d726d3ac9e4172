// One INI file held in memory as its lines. A rewrite keeps every line that no change touched
// byte for byte, and an index finds a key without walking the file, so that a section of a
// hundred thousand sync records reads and grows in constant time per key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tandro {

class IniDocument {
 public:
  // The document of an empty or missing file.
  IniDocument();
  // Reads lines ending with LF, CR LF or a lone CR, as the platform does.
  explicit IniDocument(std::string_view text);

  // The value of the first `key` in the first section named `sectionName`, both matched without
  // regard to ASCII letter case and to blanks around them; blanks around the value and one pair
  // of enclosing quotes dropped.
  std::optional<std::string> value(std::string_view sectionName, std::string_view key) const;

  // Replaces the value of the key's line in place, or adds the key after the last non-blank
  // line of its section, or adds the section at the end. New lines end with CR LF; names are
  // written without blanks around them, the value without blanks before it.
  void set(std::string_view sectionName, std::string_view key, std::string_view value);
  // Drops the line that value() reads the key from; a later duplicate then takes its place.
  void remove(std::string_view sectionName, std::string_view key);

  std::string text() const;

 private:
  static constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);

  enum class LineEnd : std::uint8_t { None, Lf, Cr, CrLf };
  static std::string_view textOf(LineEnd end);

  struct Line {
    std::string text;
    LineEnd end = LineEnd::CrLf;
    bool removed = false;
    // The next line of the same section that holds the same key; duplicates are rare.
    std::size_t nextSameKey = kNoLine;
  };

  // The lines of one key in its section: the one reads see, and the last duplicate.
  struct KeyLines {
    std::size_t first;
    std::size_t last;
  };

  struct Section {
    std::vector<Line> lines;  // the header line first, except in the lines before any section
    std::unordered_map<std::string, KeyLines> keys;  // by case-folded key
  };

  void addLine(std::string_view text, LineEnd end);
  std::optional<std::size_t> findSection(std::string_view name) const;
  Section& sectionForWriting(std::string_view name);
  void appendLine(Section& section, std::string text);
  void indexKey(Section& section, std::size_t index);
  static std::size_t endOfContent(Section& section);

  std::vector<Section> sections_;  // the first one holds the lines before any section header
  std::unordered_map<std::string, std::size_t> sectionsByName_;  // by case-folded name
};

}  // namespace tandro
