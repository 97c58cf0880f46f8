#include "ResultNames.h"

#include "BatchOptions.h"
#include "formats/Formats.h"

namespace vizuvod {

namespace {

const struct {
  const char* text;
  int field;
} Fields[] = {{"{name}", 1},   {"{stem}", 2}, {"{ext}", 3},   {"{width}", 4},
              {"{height}", 5}, {"{size}", 6}, {"{srcext}", 7}};

bool IsDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// "<digits>x<digits>", as {size} writes it.
bool IsSize(const std::string& s) {
  const std::size_t x = s.find('x');
  return x != std::string::npos && IsDigits(s.substr(0, x)) && IsDigits(s.substr(x + 1));
}

}  // namespace

TFormats ParseFormats(const std::string& list) {
  TFormats formats;
  std::size_t at = 0;
  do {
    const std::size_t comma = list.find(',', at);
    const std::string word = list.substr(at, comma - at);
    at = comma == std::string::npos ? comma : comma + 1;
    const TFormatRow* row = FormatRowNamed(word);
    if (word == "all")
      formats = TFormats::All();
    else if (row && !row->readable)
      throw TUsageError{"--formats: " + word +
                        " photos cannot be read: this vizuvod-batch was built without libheif"};
    else if (row)
      formats.*row->chosen = true;
    else {
      std::string known;
      for (const TFormatRow& r : FormatRows())
        known += (known.empty() ? "" : ", ") + std::string(r.name);
      throw TUsageError{"--formats knows " + known + " and all, not \"" + word + "\""};
    }
  } while (at != std::string::npos);
  return formats;
}

TNamePattern::TNamePattern(const std::string& text, TResultFormat format) : format_(format) {
  if (text.empty()) throw TUsageError{"--name needs a pattern"};
  if (text.find('/') != std::string::npos)
    throw TUsageError{"--name makes a file name, so it may not hold '/': " + text};
  if (text == "." || text == "..") throw TUsageError{"--name may not be \"" + text + "\""};
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '{') {
      bool known = false;
      for (const auto& f : Fields) {
        if (text.compare(at, std::char_traits<char>::length(f.text), f.text) != 0) continue;
        parts_.push_back({static_cast<TField>(f.field), {}});
        at += std::char_traits<char>::length(f.text);
        usesSize_ = usesSize_ || (f.field >= 4 && f.field <= 6);
        known = true;
        break;
      }
      if (!known)
        throw TUsageError{
            "--name knows {name}, {stem}, {ext}, {srcext}, {width}, {height} and {size}, not \"" +
            text.substr(at, text.find('}', at) - at + 1) + "\""};
      continue;
    }
    const std::size_t next = text.find('{', at);
    const std::string literal = text.substr(at, next - at);
    parts_.push_back({TField::tfText, literal});
    at = next == std::string::npos ? text.size() : next;
  }
}

std::string TNamePattern::Apply(const std::string& photo, int width, int height) const {
  const std::string name = ResultNameOf(photo, format_);
  std::string out;
  for (const TPart& p : parts_) {
    switch (p.field) {
      case TField::tfText: out += p.text; break;
      case TField::tfName: out += name; break;
      case TField::tfStem: out += StemOf(name); break;
      case TField::tfExt: out += ExtOf(name); break;
      case TField::tfWidth: out += std::to_string(width); break;
      case TField::tfHeight: out += std::to_string(height); break;
      case TField::tfSize: out += std::to_string(width) + "x" + std::to_string(height); break;
      case TField::tfSrcExt: out += ExtOf(photo); break;
    }
  }
  return out;
}

// What the fields matched so far stand for; a field met twice must match the
// same text both times.
struct TNamePattern::TBound {
  std::string value[8];
  bool set[8] = {};
};

bool TNamePattern::IsResultAmong(const std::string& file,
                                 const std::unordered_set<std::string>& names,
                                 const std::unordered_set<std::string>& stems) const {
  TBound bound;
  return Match(file, 0, 0, bound, names, stems);
}

// Backtracking over the pattern's parts; names are short and patterns hold a
// few fields, so this stays cheap.
bool TNamePattern::Match(const std::string& file, std::size_t at, std::size_t part, TBound& bound,
                         const std::unordered_set<std::string>& names,
                         const std::unordered_set<std::string>& stems) const {
  if (part == parts_.size()) {
    if (at != file.size()) return false;
    const auto& v = bound.value;
    const auto& s = bound.set;
    const int name = int(TField::tfName), stem = int(TField::tfStem), ext = int(TField::tfExt);
    // The photo it was made of must be there, and must not be the file itself.
    if (s[name])
      return v[name] != file && names.count(v[name]) > 0 &&
             (!s[stem] || StemOf(v[name]) == v[stem]) && (!s[ext] || ExtOf(v[name]) == v[ext]);
    if (s[stem] && s[ext]) {
      const std::string source = v[stem] + "." + v[ext];
      return source != file && names.count(source) > 0;
    }
    if (s[stem]) return stems.count(v[stem]) > 0 && v[stem] != StemOf(file);
    return names.size() > (names.count(file) ? 1u : 0u);
  }
  const TPart& p = parts_[part];
  if (p.field == TField::tfText) {
    if (file.compare(at, p.text.size(), p.text) != 0) return false;
    return Match(file, at + p.text.size(), part + 1, bound, names, stems);
  }
  const int f = int(p.field);
  if (bound.set[f]) {
    const std::string& v = bound.value[f];
    if (file.compare(at, v.size(), v) != 0) return false;
    return Match(file, at + v.size(), part + 1, bound, names, stems);
  }
  for (std::size_t end = at + 1; end <= file.size(); ++end) {
    std::string v = file.substr(at, end - at);
    if ((p.field == TField::tfWidth || p.field == TField::tfHeight) && !IsDigits(v)) break;
    if (p.field == TField::tfSize && !IsSize(v)) {
      if (!IsDigits(v) && !(IsDigits(v.substr(0, v.size() - 1)) && v.back() == 'x')) break;
      continue;  // digits, or digits and the 'x', may still grow into a size
    }
    bound.value[f] = std::move(v);
    bound.set[f] = true;
    if (Match(file, end, part + 1, bound, names, stems)) return true;
    bound.set[f] = false;
  }
  return false;
}

}  // namespace vizuvod
