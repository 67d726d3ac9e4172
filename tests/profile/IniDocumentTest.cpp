#include "profile/IniDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tandro {
namespace {

// The lines of one section kept in a plain list and searched from the top on every call.
struct ListedSection {
  struct Line {
    std::string name;  // as the line spells it
    std::string value;
    std::string text;
    bool removed = false;
  };
  std::string name;
  std::string trailer;  // blank lines after the last key
  std::vector<Line> lines;

  Line* first(const std::string& key) {
    for (auto& line : lines) {
      if (!line.removed && sameLetters(line.name, key)) {
        return &line;
      }
    }
    return nullptr;
  }
  std::string text() const {
    std::string text = "[" + name + "]\r\n";
    for (const auto& line : lines) {
      text += line.removed ? "" : line.text + "\r\n";
    }
    return text + trailer;
  }
  static bool sameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
             return std::tolower(x) == std::tolower(y);
           });
  }
};

// Duplicates, removals, values that grow and shrink, and keys enough to make the index grow
// and collide, checked line for line against the plain list after every change.
TEST(IniDocumentTest, AgreesWithAPlainListThroughManyChangesAndRemovals) {
  std::mt19937 random(20080219);
  const auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };
  const auto anyKey = [&] {
    return std::string(pick(2) == 0 ? "k" : "K") + std::to_string(pick(20));
  };
  const auto anyValue = [&] { return std::string(pick(25), static_cast<char>('a' + pick(26))); };

  std::vector<ListedSection> sections{{"A", "\r\n", {}}, {"B", "", {}}};
  for (auto& section : sections) {
    for (int i = 0; i < 30; ++i) {
      const auto key = anyKey();
      const auto value = anyValue();
      const auto text = pick(2) == 0 ? key + "=" + value : " " + key + " = " + value + " ";
      section.lines.push_back({key, value, text});
    }
  }
  IniDocument document(sections[0].text() + sections[1].text());

  for (int step = 0; step < 4000; ++step) {
    auto& section = sections[pick(2)];
    const auto key = anyKey();
    auto* line = section.first(key);
    if (pick(3) == 0) {
      document.remove(section.name, key);
      if (line != nullptr) {
        line->removed = true;
      }
    } else {
      const auto value = anyValue();
      document.set(section.name, key, value);
      if (line == nullptr) {
        section.lines.push_back({key, value, key + "=" + value});
      } else {
        *line = {line->name, value, line->name + "=" + value};
      }
    }
    SCOPED_TRACE("step " + std::to_string(step));
    ASSERT_EQ(document.text(), sections[0].text() + sections[1].text());
    for (auto& listed : sections) {
      for (int i = 0; i < 20; ++i) {
        const auto name = "k" + std::to_string(i);
        const auto* expected = listed.first(name);
        ASSERT_EQ(document.value(listed.name, name),
                  expected ? std::optional(expected->value) : std::nullopt);
      }
    }
  }
}

TEST(IniDocumentSizeTest, ASectionCountsItsLinesAndTheirBytes) {
  IniDocument document("[Path]\r\nLocal=x\r\n[Tandro]\na=1\r\nb=22\r");
  document.remove("Tandro", "a");
  document.set("tandro", "c", "333");
  const struct {
    const char* section;
    std::size_t lines, bytes;
  } cases[] = {{"Path", 2, 13}, {" TANDRO ", 3, 17}, {"Missing", 0, 0}};
  for (const auto& c : cases) {
    const auto size = document.sectionSize(c.section);
    EXPECT_EQ(size.lines, c.lines) << c.section;
    EXPECT_EQ(size.bytes, c.bytes) << c.section;
  }
}

}  // namespace
}  // namespace tandro
