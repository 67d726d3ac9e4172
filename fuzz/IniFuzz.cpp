// libFuzzer target over IniDocument, the profile store's reader and writer. The input is a
// profile text, then, after a NUL byte, changes separated by NUL bytes: a write is three
// fields (section, key, value), a removal two ("-" and the section, then the key). The target
// stops the run (abort) when
// - reading the text back unchanged does not give its bytes,
// - a write is not read back, by the same document or by one read from its text,
// - a change alters the bytes of a line other than its own, or the value of another key,
// - a document read from the text reads any key differently from the one that wrote it;
// and the sanitizers stop it on any memory fault or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "profile/IniDocument.h"
#include "profile/ProfileStore.h"

namespace {

using tandro::IniDocument;
using tandro::trimmed;
using tandro::withoutLeadingBlanks;

constexpr std::size_t kMaxChanges = 16;
constexpr std::size_t kMaxProbes = 32;

struct Change {
  std::string section;
  std::string key;
  std::optional<std::string> value;  // none: a removal
};

struct Probe {
  std::string section;
  std::string key;
};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "ini_fuzz: %s\n", what);
  std::abort();
}

void check(bool holds, const char* what) {
  if (!holds) {
    fail(what);
  }
}

// Names match without regard to ASCII letter case and to blanks around them.
bool sameName(std::string_view a, std::string_view b) {
  return tandro::equalIgnoringCase(trimmed(a), trimmed(b));
}

// The value as the reader hands it back, by its documented contract.
std::string asRead(std::string_view value) {
  value = trimmed(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

bool holdsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::size_t characterCount(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8) {
    count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  }
  return count;
}

std::string keyLine(std::string_view key, std::string_view value) {
  return std::string(trimmed(key)) + "=" + std::string(withoutLeadingBlanks(value));
}

// Whether the reader takes `line` for a section header: "[", a name, "]", and no "=" after it.
bool readsAsHeader(std::string_view line) {
  line = trimmed(line);
  const auto close = line.find(']');
  return !line.empty() && line.front() == '[' && close != std::string_view::npos &&
         line.find('=', close) == std::string_view::npos;
}

// What ProfileStore::writeDeferred lets through, and what the INI form can hold at all: the
// first "=" of a line ends its key and the first "]" of a header its section name, so no
// caller can name such a key or section.
bool isWritable(const Change& change) {
  return !holdsLineBreak(change.section) && !holdsLineBreak(change.key) &&
         !holdsLineBreak(*change.value) &&
         characterCount(*change.value) < tandro::kLongValueLimit &&
         change.key.find('=') == std::string::npos &&
         change.section.find(']') == std::string::npos &&
         // The store refuses a key line that would read as a header, such as "[a=b]".
         !readsAsHeader(keyLine(change.key, *change.value));
}

// The lines of `text`, each with its line end, split as the reader splits them.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    auto end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      end = text.size();
    } else {
      end += text.substr(end, 2) == "\r\n" ? 2 : 1;
    }
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return lines;
}

bool endsLine(std::string_view line) {
  return !line.empty() && (line.back() == '\n' || line.back() == '\r');
}

std::string_view withoutLineEnd(std::string_view line) {
  while (endsLine(line)) {
    line.remove_suffix(1);
  }
  return line;
}

// Whether `after` is `before` with the bytes [from, to) replaced by `with`: every other line
// kept its bytes.
bool isSplice(std::string_view before, std::string_view after, std::size_t from, std::size_t to,
              std::string_view with) {
  return after.size() + (to - from) == before.size() + with.size() &&
         after.substr(0, from) == before.substr(0, from) &&
         after.substr(from, with.size()) == with &&
         after.substr(from + with.size()) == before.substr(to);
}

// The key that `line` names to the reader's eye, if it holds one.
std::optional<std::string_view> keyOf(std::string_view line) {
  const auto content = withoutLineEnd(line);
  const auto equals = content.find('=');
  if (equals == std::string_view::npos) {
    return std::nullopt;
  }
  return trimmed(content.substr(0, equals));
}

// The value that `line` holds to the reader's eye.
std::string valueOf(std::string_view line) {
  const auto content = withoutLineEnd(line);
  return asRead(content.substr(content.find('=') + 1));
}

// The last line of a text may lack a line end: it gets CR LF once a line follows it.
bool isOpen(std::string_view text) {
  return !text.empty() && !endsLine(text.substr(text.size() - 1));
}

void checkWrite(const Change& change, const std::optional<std::string>& old,
                std::string_view before, std::string_view after) {
  const auto value = std::string(withoutLeadingBlanks(*change.value));
  if (old) {
    // The line the value was read from is rewritten in place, keeping its name as written
    // and its line end.
    std::size_t at = 0;
    for (const auto line : linesOf(before)) {
      const auto key = keyOf(line);
      const auto rewritten = std::string(key ? *key : "") + "=" + value +
                             std::string(line.substr(withoutLineEnd(line).size()));
      if (key && sameName(*key, change.key) && valueOf(line) == *old &&
          isSplice(before, after, at, at + line.size(), rewritten)) {
        return;
      }
      at += line.size();
    }
    fail("a rewrite changed more than the key's line");
  }
  const auto added = keyLine(change.key, value) + "\r\n";
  const std::string_view closing = isOpen(before) ? "\r\n" : "";
  if (after.size() == before.size() + added.size()) {
    // Into its section: a splice at a line boundary, found between the bytes the two texts
    // share at the start and at the end. After a CR that a removal put before a blank line's
    // LF, the document still has a boundary that the text no longer shows.
    std::size_t head = 0;
    while (head < before.size() && before[head] == after[head]) {
      ++head;
    }
    std::size_t tail = 0;
    while (tail < before.size() &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
      ++tail;
    }
    for (auto at = before.size() - tail; at <= head; ++at) {
      if ((at == 0 || endsLine(before.substr(at - 1, 1))) &&
          after.substr(at, added.size()) == added) {
        return;
      }
    }
  }
  check(after == std::string(before) + std::string(closing) + added ||
            after == std::string(before) + std::string(closing) + "[" +
                         std::string(trimmed(change.section)) + "]\r\n" + added,
        "adding a key changed more than its own lines");
}

void checkRemoval(const Change& change, const std::optional<std::string>& old,
                  std::string_view before, std::string_view after) {
  if (!old) {
    check(after == before, "removing a missing key changed the text");
    return;
  }
  std::size_t at = 0;
  for (const auto line : linesOf(before)) {
    const auto key = keyOf(line);
    const auto end = at + line.size();
    if (key && sameName(*key, change.key) && valueOf(line) == *old &&
        (isSplice(before, after, at, end, "") ||
         // The line before the last one had no line end of its own.
         (end == before.size() && at >= 2 && before.substr(at - 2, 2) == "\r\n" &&
          isSplice(before, after, at - 2, end, "")) ||
         // A key line ending with CR, and a blank line after it that the text now joins.
         (line.ends_with("\r\n") && isSplice(before, after, at, end - 1, "")))) {
      return;
    }
    at = end;
  }
  fail("a removal changed more than the key's line");
}

// The names the fuzzer wrote, and the ones the text seems to hold, so that every change is
// checked against keys it must leave alone.
std::vector<Probe> probesOf(std::string_view text, const std::vector<Change>& changes) {
  std::vector<Probe> probes;
  for (const auto& change : changes) {
    probes.push_back({change.section, change.key});
  }
  std::string_view section;
  for (const auto line : linesOf(text)) {
    if (probes.size() >= kMaxProbes) {
      break;
    }
    const auto content = trimmed(withoutLineEnd(line));
    const auto close = content.find(']');
    if (!content.empty() && content.front() == '[' && close != std::string_view::npos) {
      section = content.substr(1, close - 1);
    } else if (const auto equals = content.find('='); equals != std::string_view::npos) {
      probes.push_back({std::string(section), std::string(content.substr(0, equals))});
    }
  }
  return probes;
}

std::vector<std::optional<std::string>> valuesOf(const IniDocument& document,
                                                 const std::vector<Probe>& probes) {
  std::vector<std::optional<std::string>> values;
  values.reserve(probes.size());
  for (const auto& probe : probes) {
    values.push_back(document.value(probe.section, probe.key));
  }
  return values;
}

std::vector<Change> changesOf(std::string_view fields) {
  std::vector<std::string_view> parts;
  while (!fields.empty()) {
    const auto end = fields.find('\0');
    parts.push_back(fields.substr(0, end));
    fields.remove_prefix(end == std::string_view::npos ? fields.size() : end + 1);
  }
  std::vector<Change> changes;
  for (std::size_t at = 0; changes.size() < kMaxChanges;) {
    const bool removal = at < parts.size() && !parts[at].empty() && parts[at].front() == '-';
    if (removal && at + 2 <= parts.size()) {
      changes.push_back({std::string(parts[at].substr(1)), std::string(parts[at + 1]), {}});
      at += 2;
    } else if (!removal && at + 3 <= parts.size()) {
      changes.push_back(
          {std::string(parts[at]), std::string(parts[at + 1]), std::string(parts[at + 2])});
      at += 3;
    } else {
      break;
    }
  }
  return changes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto split = input.find('\0');
  const auto text = input.substr(0, split);
  const auto changes =
      changesOf(split == std::string_view::npos ? std::string_view() : input.substr(split + 1));

  IniDocument document{std::string(text)};
  check(document.text() == text, "an unchanged document did not give back its text");

  const auto probes = probesOf(text, changes);
  auto values = valuesOf(document, probes);
  for (const auto& change : changes) {
    if (change.value && !isWritable(change)) {
      continue;
    }
    const auto before = document.text();
    const auto old = std::move(values);
    const auto oldValue = document.value(change.section, change.key);
    if (change.value) {
      document.set(change.section, change.key, *change.value);
      check(document.value(change.section, change.key) == asRead(*change.value),
            "a written value was not read back");
    } else {
      document.remove(change.section, change.key);
    }
    const auto after = document.text();
    if (change.value) {
      checkWrite(change, oldValue, before, after);
    } else {
      checkRemoval(change, oldValue, before, after);
    }

    auto now = valuesOf(document, probes);
    for (std::size_t i = 0; i < probes.size(); ++i) {
      const bool changed =
          sameName(probes[i].section, change.section) && sameName(probes[i].key, change.key);
      check(changed || now[i] == old[i], "a change altered the value of another key");
    }
    // What the next run reads from the file.
    const IniDocument reread(after);
    check(valuesOf(reread, probes) == now, "the text reads back differently");
    check(reread.text() == after, "the text of a document read back differs");
    values = std::move(now);
  }
  return 0;
}
