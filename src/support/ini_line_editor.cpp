#include "support/ini_line_editor.hpp"

#include <algorithm>

namespace tarnwick {

namespace {

constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";

// The reader puts the keys after a "[" line without "]" into a section that no name reaches
// (its name runs on into the next line); a line end never occurs in a real name.
constexpr std::string_view kNoSection = "\n";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) {
    s.remove_prefix(1);
  }
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

// The reader folds A-Z only.
std::string Lower(std::string_view s) {
  std::string out(s);
  for (auto& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

bool HasLineEnd(const std::string& raw) {
  return !raw.empty() && (raw.back() == '\n' || raw.back() == '\r');
}

} // namespace

IniLineEditor::IniLineEditor(std::string_view Text) {
  // The reader stops at a NUL byte: what follows is kept but never read.
  const size_t visible = std::min(Text.find('\0'), Text.size());
  tail_ = std::string(Text.substr(visible));
  const std::string_view view = Text.substr(0, visible);

  std::string section;
  bool pendingHeader = false; // after "[" alone: the reader takes the next line as the name
  size_t pendingLine = 0;
  size_t pos = 0;
  while (pos < view.size()) {
    size_t end = view.find_first_of("\r\n", pos);
    size_t next = view.size();
    if (end == std::string_view::npos) {
      end = view.size();
    } else {
      next = end + (view[end] == '\r' && end + 1 < view.size() && view[end + 1] == '\n' ? 2 : 1);
    }
    Line line;
    line.Raw = std::string(view.substr(pos, next - pos));
    std::string_view content = view.substr(pos, end - pos);
    if (pos == 0 && content.starts_with(kUtf8Signature)) {
      content.remove_prefix(kUtf8Signature.size());
    }
    pos = next;

    const std::string_view text = TrimLeft(content);
    if (pendingHeader) {
      if (!text.empty()) {
        pendingHeader = false;
        lines_[pendingLine].OpensHeader = false;
        const auto close = text.find(']');
        section = close != std::string_view::npos ? Lower(TrimRight(text.substr(0, close)))
                                                  : std::string(kNoSection);
        line.Header = true;
      }
    } else if (text.empty() || text.front() == ';' || text.front() == '#') {
      // blank or comment
    } else if (text.front() == '[') {
      const std::string_view name = TrimLeft(text.substr(1));
      if (name.empty()) {
        pendingHeader = true;
        pendingLine = lines_.size();
        line.OpensHeader = true;
      } else {
        const auto close = name.find(']');
        section = close != std::string_view::npos ? Lower(TrimRight(name.substr(0, close)))
                                                  : std::string(kNoSection);
        line.Header = true;
      }
    } else if (const auto eq = text.find('='); eq != std::string_view::npos && eq > 0) {
      line.Key = Lower(TrimRight(text.substr(0, eq)));
    }
    line.Section = section;
    lines_.push_back(std::move(line));
  }
}

size_t IniLineEditor::ReadableEnd() const {
  // A "[" that never got its name swallows whatever would follow it.
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].OpensHeader) {
      return i;
    }
  }
  return lines_.size();
}

void IniLineEditor::InsertAt(size_t Index, Line NewLine) {
  if (Index > 0 && !HasLineEnd(lines_[Index - 1].Raw)) {
    lines_[Index - 1].Raw += "\r\n";
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(Index), std::move(NewLine));
}

void IniLineEditor::Set(std::string_view Section, std::string_view Key, std::string_view Value) {
  const std::string section = Lower(Section);
  const std::string key = Lower(Key);
  Line entry;
  entry.Raw = std::string(Key) + "=" + std::string(Value) + "\r\n";
  entry.Section = section;
  entry.Key = key;

  // The reader keeps the last of several equal keys; one line is left so there is no doubt.
  bool found = false;
  for (size_t i = 0; i < lines_.size();) {
    Line& l = lines_[i];
    if (!l.Header && l.Key == key && l.Section == section) {
      const std::string signature(i == 0 && l.Raw.starts_with(kUtf8Signature) ? kUtf8Signature
                                                                              : "");
      if (!found) {
        l.Raw = signature + entry.Raw;
        found = true;
      } else if (!signature.empty()) {
        l.Raw = signature;
        l.Key.clear();
      } else {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
    }
    ++i;
  }
  if (found) {
    return;
  }

  const size_t end = ReadableEnd();
  size_t header = end;
  for (size_t i = 0; i < end; ++i) {
    if (lines_[i].Header && lines_[i].Section == section) {
      header = i;
      break;
    }
  }
  if (header < end) {
    // After the section's last key, so that comments and blank lines before the next
    // section stay with that one.
    size_t last = header;
    for (size_t i = header + 1; i < end && !lines_[i].Header && !lines_[i].OpensHeader; ++i) {
      if (!lines_[i].Key.empty()) {
        last = i;
      }
    }
    InsertAt(last + 1, std::move(entry));
    return;
  }

  size_t at = end;
  if (at > 0 && TrimLeft(lines_[at - 1].Raw).find_first_not_of("\r\n") != std::string::npos) {
    Line blank;
    blank.Raw = "\r\n";
    blank.Section = lines_[at - 1].Section;
    InsertAt(at++, std::move(blank));
  }
  Line head;
  head.Raw = "[" + std::string(Section) + "]\r\n";
  head.Section = section;
  head.Header = true;
  InsertAt(at++, std::move(head));
  InsertAt(at, std::move(entry));
}

void IniLineEditor::Remove(std::string_view Section, std::string_view Key) {
  const std::string section = Lower(Section);
  const std::string key = Lower(Key);
  for (size_t i = 0; i < lines_.size();) {
    Line& l = lines_[i];
    if (l.Header || l.Key != key || l.Section != section) {
      ++i;
    } else if (i == 0 && l.Raw.starts_with(kUtf8Signature)) {
      l.Raw = std::string(kUtf8Signature); // the file's signature stays with its first line
      l.Key.clear();
      ++i;
    } else {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

std::string IniLineEditor::Text() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l.Raw;
  }
  out += tail_;
  return out;
}

} // namespace tarnwick
