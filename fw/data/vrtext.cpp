// The text form of ".vr" files: a small hand-written parser over the
// store's operations, and the dumper that writes what it reads.
#include "fw/data/vrtext.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"

namespace {

struct Kind {
  const char* name;
  int code;
};
constexpr Kind kinds[] = {
    {"untyped", vresUNTYPED}, {"dictionary", vresDICTIONARY}, {"array", vresARRAY},    {"tag", vresTAG},
    {"integer", vresINTEGER}, {"fixed", vresFIXED},           {"float", vresFLOAT},    {"string", vresSTRING},
    {"character", vresCHARACTER}, {"boolean", vresBOOLEAN},   {"opaque", vresOPAQUE},
};

const char* kindName(int code) {
  for (const Kind& k : kinds)
    if (k.code == code) return k.name;
  return "untyped";
}

// The most elements an array of the store holds.
constexpr std::size_t kMostElements = 0xFFFFFF;

struct SyntaxError {
  std::string message;
};

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  void entries(vresource dict, bool nested) {
    for (;;) {
      skip();
      if (at_ >= s_.size()) {
        if (nested) fail("missing }");
        return;
      }
      if (s_[at_] == '}') {
        if (!nested) fail("unexpected }");
        ++at_;
        return;
      }
      vname tag = name();
      expect('=');
      value(dict, tag);
    }
  }

 private:
  const std::string& s_;
  std::size_t at_ = 0;
  int depth_ = 0;

  // One more level of dictionaries or arrays, within the nesting bound.
  struct Level {
    Parser& p;
    explicit Level(Parser& parser) : p(parser) {
      if (++p.depth_ > vscrapMAX_DEPTH) p.fail(vscrapTOO_DEEP);
    }
    ~Level() { --p.depth_; }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
  };

  [[noreturn]] void fail(const std::string& what) {
    int line = 1;
    for (std::size_t i = 0; i < at_ && i < s_.size(); ++i) line += s_[i] == '\n';
    throw SyntaxError{"line " + std::to_string(line) + ": " + what};
  }

  void skip() {
    while (at_ < s_.size()) {
      if (std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
      else if (s_[at_] == '#')
        while (at_ < s_.size() && s_[at_] != '\n') ++at_;
      else break;
    }
  }

  bool peek(char c) {
    skip();
    return at_ < s_.size() && s_[at_] == c;
  }

  void expect(char c) {
    if (!peek(c)) fail(std::string("expected ") + c);
    ++at_;
  }

  std::string word() {
    skip();
    std::size_t start = at_;
    while (at_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[at_])) || std::strchr("_.:-+<>$", s_[at_])))
      ++at_;
    if (start == at_) fail("expected a word");
    return s_.substr(start, at_ - start);
  }

  std::string quoted() {
    expect('"');
    std::string out;
    while (at_ < s_.size() && s_[at_] != '"') {
      char c = s_[at_++];
      if (c == '\n') fail("string runs past the line");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) break;
      char e = s_[at_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\\': case '"': out += e; break;
        case 'x': {
          if (at_ + 2 > s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[at_])) ||
              !std::isxdigit(static_cast<unsigned char>(s_[at_ + 1])))
            fail("bad \\x escape");
          out += char(std::strtol(s_.substr(at_, 2).c_str(), nullptr, 16));
          at_ += 2;
          break;
        }
        default: fail(std::string("unknown escape \\") + e);
      }
    }
    if (at_ >= s_.size()) fail("unterminated string");
    ++at_;
    return out;
  }

  vname name() {
    std::string text = peek('"') ? quoted() : word();
    if (text.empty()) fail("empty name");
    return vnameIntern(vscribeCStringSized(text.data(), text.size()));
  }

  int kind() { return kindOf(word()); }
  int kindOf(const std::string& w) {
    for (const Kind& k : kinds)
      if (w == k.name) return k.code;
    fail("unknown kind " + w);
  }

  std::int64_t integer(std::int64_t lo, std::int64_t hi) {
    std::string w = word();
    char* end;
    errno = 0;
    long long v = std::strtoll(w.c_str(), &end, 0);
    if (*end || errno || v < lo || v > hi) fail("bad number " + w);
    return v;
  }

  double real() {
    std::string w = word();
    char* end;
    double v = std::strtod(w.c_str(), &end);
    if (*end) fail("bad number " + w);
    return v;
  }

  std::string opaqueBytes() {
    std::string hex = quoted(), out;
    if (hex.size() % 2) fail("odd count of hex digits");
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      if (!std::isxdigit(static_cast<unsigned char>(hex[i])) || !std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
        fail("bad hex digit");
      out += char(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
    }
    return out;
  }

  void value(vresource dict, vname tag) {
    std::string w = word();
    if (const Form* f = formOf(w)) {
      Level level(*this);
      (this->*f->parse)(dict, tag);
      return;
    }
    int k = kindOf(w);
    switch (k) {
      case vresUNTYPED: vrstoreCreate(dict, tag, vresUNTYPED); break;
      case vresDICTIONARY: {
        Level level(*this);
        vresource d = vrstoreCreate(dict, tag, vresDICTIONARY);
        expect('{');
        entries(d, true);
        break;
      }
      case vresARRAY: {
        Level level(*this);
        array(vrstoreCreate(dict, tag, vresUNTYPED));
        break;
      }
      case vresTAG: vrstoreSetTag(dict, tag, name()); break;
      case vresINTEGER: vrstoreSetInteger(dict, tag, std::int32_t(integer(INT32_MIN, UINT32_MAX))); break;
      case vresFIXED: vrstoreSetFixed(dict, tag, std::int32_t(integer(INT32_MIN, UINT32_MAX))); break;
      case vresFLOAT: vrstoreSetFloat(dict, tag, real()); break;
      case vresCHARACTER: vrstoreSetCharacter(dict, tag, char(integer(0, 255))); break;
      case vresBOOLEAN: vrstoreSetBoolean(dict, tag, int(integer(INT32_MIN, UINT32_MAX))); break;
      case vresSTRING: {
        std::string text = quoted();
        vrstoreSetStringSized(dict, tag, text.data(), text.size());
        break;
      }
      case vresOPAQUE: {
        std::string bytes = opaqueBytes();
        vrstoreSetOpaque(dict, tag, bytes.data(), bytes.size());
        break;
      }
    }
  }

  // An array read into the resource a (made an array here). Values are
  // read first and the array made once at its count (an insert rewrites
  // the whole record); a dictionary or array element's record takes its
  // place before its own entries are read, as it always did.
  void array(vresource a) {
    int ek = kind();
    if (ek == vresDICTIONARY || ek == vresARRAY) {
      vrstoreCreateArray(a, nullptr, ek, 0);
      expect('[');
      for (std::int32_t i = 0; !peek(']'); ++i) {
        if (at_ >= s_.size()) fail("missing ]");
        element(a, ek, i);
      }
      ++at_;
      return;
    }
    // One list per kind, so that the elements held cost about what their text does.
    std::vector<std::int32_t> numbers;
    std::vector<double> reals;
    std::vector<vname> tags;
    std::vector<std::string> data;
    std::vector<bool> none;  // a string or opaque place that holds no record
    std::size_t n = 0;
    expect('[');
    for (; !peek(']'); ++n) {
      if (at_ >= s_.size()) fail("missing ]");
      // Past the store's bound the store refuses it, as it would the insert.
      if (n == kMostElements) vrstoreCreateArray(a, nullptr, ek, std::int32_t(n + 1));
      switch (ek) {
        case vresSTRING: case vresOPAQUE:
          none.push_back(s_.compare(at_, 4, "none") == 0);
          if (none.back()) {
            at_ += 4;
            data.emplace_back();
          } else {
            Level level(*this);  // its record is a level below the array
            data.push_back(ek == vresSTRING ? quoted() : opaqueBytes());
          }
          break;
        case vresTAG: tags.push_back(name()); break;
        case vresFLOAT: reals.push_back(real()); break;
        case vresCHARACTER: numbers.push_back(std::int32_t(integer(0, 255))); break;
        case vresFIXED: case vresBOOLEAN: case vresINTEGER:
          numbers.push_back(std::int32_t(integer(INT32_MIN, UINT32_MAX)));
          break;
        default: integer(0, 0); break;
      }
    }
    ++at_;
    vrstoreCreateArray(a, nullptr, ek, std::int32_t(n));
    for (std::size_t i = 0; i < n; ++i) {
      auto at = std::int32_t(i);
      switch (ek) {
        case vresSTRING: case vresOPAQUE: {
          if (none[i]) break;
          vresource e = vrstoreCreateAt(a, at, ek);
          if (ek == vresSTRING) vrstoreSetStringSized(e, nullptr, data[i].data(), data[i].size());
          else vrstoreSetOpaque(e, nullptr, data[i].data(), data[i].size());
          break;
        }
        case vresTAG: vrstoreSetAtTag(a, at, tags[i]); break;
        case vresFIXED: vrstoreSetAtFixed(a, at, numbers[i]); break;
        case vresFLOAT: vrstoreSetAtFloat(a, at, reals[i]); break;
        case vresCHARACTER: vrstoreSetAtCharacter(a, at, char(numbers[i])); break;
        case vresBOOLEAN: vrstoreSetAtBoolean(a, at, numbers[i]); break;
        case vresINTEGER: vrstoreSetAtInteger(a, at, numbers[i]); break;
        default: break;
      }
    }
  }

  void element(vresource a, int ek, std::int32_t i) {
    skip();
    if (s_.compare(at_, 4, "none") == 0) {
      at_ += 4;
      vrstoreSetCount(a, i + 1);  // a place that holds no record
      return;
    }
    Level level(*this);
    if (ek == vresDICTIONARY && std::isalpha(static_cast<unsigned char>(s_[at_]))) {
      std::string w = word();
      const Form* f = formOf(w);
      if (!f) fail("unknown form " + w);
      vresource e = vrstoreInsertAt(a, i, vresUNTYPED);
      (this->*f->parse)(e, nullptr);
      return;
    }
    vresource e = vrstoreInsertAt(a, i, ek == vresARRAY ? vresUNTYPED : ek);
    if (ek == vresDICTIONARY) {
      expect('{');
      entries(e, true);
    } else if (ek == vresARRAY) {
      array(e);
    } else if (ek == vresSTRING) {
      std::string text = quoted();
      vrstoreSetStringSized(e, nullptr, text.data(), text.size());
    } else {
      std::string bytes = opaqueBytes();
      vrstoreSetOpaque(e, nullptr, bytes.data(), bytes.size());
    }
  }

  // ---- Pictures: rows of characters, top row first, into the raw image
  // form (one byte a pixel, written back to front from the bottom row).
  struct Form {
    const char* word;
    void (Parser::*parse)(vresource dict, vname tag);
  };
  static const Form* formOf(const std::string& w) {
    static const Form forms[] = {
        {"mask", &Parser::mask}, {"cursor", &Parser::cursor}, {"image", &Parser::image}, {"copy", &Parser::copy}};
    for (const Form& f : forms)
      if (w == f.word) return &f;
    return nullptr;
  }

  struct Picture {
    std::int32_t width, height;
    std::vector<std::string> rows;
  };

  // "W H [ "row" ... ]": every row W characters, H rows, each one of allowed.
  Picture picture(std::int32_t width, std::int32_t height, const std::string& allowed) {
    Picture p{width, height, {}};
    expect('[');
    while (!peek(']')) {
      if (at_ >= s_.size()) fail("missing ]");
      std::string row = quoted();
      if (std::int32_t(row.size()) != width)
        fail("row of " + std::to_string(row.size()) + " characters, not " + std::to_string(width));
      for (char c : row)
        if (allowed.find(c) == std::string::npos) fail(std::string("bad pixel '") + c + "'");
      p.rows.push_back(row);
    }
    ++at_;
    if (std::int32_t(p.rows.size()) != height)
      fail(std::to_string(p.rows.size()) + " rows, not " + std::to_string(height));
    return p;
  }

  std::int32_t size() { return std::int32_t(integer(1, 32767)); }

  static vname key(const char* text) { return vnameInternLiteral(text); }

  // The raw entries of p, whose pixel values the function gives.
  template <typename Value>
  static void raw(vresource r, const Picture& p, std::int32_t colors, Value value) {
    vrstoreSetInteger(r, key("vresourceTAG_IMAGE_WIDTH"), p.width);
    vrstoreSetInteger(r, key("vresourceTAG_IMAGE_HEIGHT"), p.height);
    vrstoreSetInteger(r, key("vresourceTAG_IMAGE_NUMCOLORS"), colors);
    std::string map;
    for (const std::string& row : p.rows)
      for (std::size_t x = row.size(); x-- > 0;) map += char(value(row[x]));
    vrstoreSetOpaque(r, key("vresourceTAG_IMAGE_MAP"), map.data(), map.size());
  }
  static void palette(vresource r, const std::vector<std::uint32_t>& rgb) {
    vresource a = vrstoreCreate(r, key("vresourceTAG_IMAGE_COLORS"), vresUNTYPED);
    vrstoreCreateArray(a, nullptr, vresINTEGER, 0);
    std::int32_t i = 0;
    for (std::uint32_t c : rgb)
      for (int shift : {16, 8, 0}) vrstoreInsertAtInteger(a, i++, std::int32_t(((c >> shift) & 0xFF) * 257));
  }
  // A two-colour mask: white clear pixels, black set ones.
  static void twoColour(vresource r, const Picture& p, const std::string& set) {
    raw(r, p, 2, [&](char c) { return set.find(c) != std::string::npos; });
    palette(r, {0xFFFFFF, 0x000000});
  }

  void mask(vresource dict, vname tag) {
    std::int32_t w = size(), h = size();
    twoColour(vrstoreCreate(dict, tag, vresDICTIONARY), picture(w, h, "#. "), "#");
  }

  // '#' black, 'o' white, ' ' transparent; the hot spot from the bottom left.
  void cursor(vresource dict, vname tag) {
    std::int32_t w = size(), h = size();
    std::int32_t hx = std::int32_t(integer(0, w - 1)), hy = std::int32_t(integer(0, h - 1));
    Picture p = picture(w, h, "#o ");
    vresource r = vrstoreCreate(dict, tag, vresDICTIONARY);
    twoColour(r, p, "#");
    twoColour(vrstoreCreate(r, key("vresourceTAG_IMAGE_TRANSPARENCY"), vresDICTIONARY), p, "#o");
    vrstoreSetInteger(r, key("HotX"), hx);
    vrstoreSetInteger(r, key("HotY"), hy);
  }

  // "W H { "c" RRGGBB ... } [ rows ]": colours by their characters, in the
  // legend's order; "none" for a transparent character.
  void image(vresource dict, vname tag) {
    std::int32_t w = size(), h = size();
    std::string chars;
    std::vector<std::uint32_t> rgb;
    std::string clear;
    expect('{');
    while (!peek('}')) {
      if (at_ >= s_.size()) fail("missing }");
      std::string c = quoted();
      if (c.size() != 1) fail("a legend names one character");
      if (chars.find(c[0]) != std::string::npos || clear.find(c[0]) != std::string::npos) fail("character named twice");
      std::string v = word();
      if (v == "none") {
        clear += c[0];
        continue;
      }
      char* end;
      unsigned long value = std::strtoul(v.c_str(), &end, 16);
      if (*end || v.size() != 6) fail("bad colour " + v);
      chars += c[0];
      rgb.push_back(std::uint32_t(value));
    }
    ++at_;
    if (chars.empty()) fail("a legend needs a colour");
    Picture p = picture(w, h, chars + clear);
    vresource r = vrstoreCreate(dict, tag, vresDICTIONARY);
    raw(r, p, std::int32_t(rgb.size()), [&](char c) {
      std::size_t i = chars.find(c);
      return i == std::string::npos ? 0 : i;
    });
    palette(r, rgb);
    if (!clear.empty()) twoColour(vrstoreCreate(r, key("vresourceTAG_IMAGE_TRANSPARENCY"), vresDICTIONARY), p, chars);
  }

  // "/a/b/c": an entry written earlier in this file, copied whole.
  void copy(vresource dict, vname tag) {
    std::string path = quoted();
    if (path.empty() || path[0] != '/') fail("copy needs a path from the top, as /a/b");
    vresource from = vrstoreGetRoot(dict);
    for (std::size_t at = 1; at <= path.size();) {
      std::size_t end = path.find('/', at);
      if (end == std::string::npos) end = path.size();
      std::string part = path.substr(at, end - at);
      if (part.empty() || vrstoreGetType(from, nullptr) != vresDICTIONARY ||
          !vrstoreTestGet(from, vnameIntern(vscribeCStringSized(part.data(), part.size())), &from))
        fail("nothing at " + path);
      at = end + 1;
    }
    int kind = vrstoreGetType(from, nullptr);
    vresource to = vrstoreCreate(dict, tag, kind == vresARRAY ? vresUNTYPED : kind);
    vresourceCopyContents(from, to);
  }
};

std::string quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

std::string nameText(vname tag) {
  std::string t = tag ? tag : "";
  bool bare = !t.empty();
  for (char c : t) bare = bare && (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_.:-+<>$", c));
  for (const Kind& k : kinds) bare = bare && t != k.name;
  return bare && t != "none" ? t : quote(t);
}

std::string floatText(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.9g", v);
  return buffer;
}

std::string hexText(const void* bytes, std::size_t n) {
  std::string out = "\"";
  for (std::size_t i = 0; i < n; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<const unsigned char*>(bytes)[i]);
    out += hex;
  }
  return out + "\"";
}

std::string opaqueText(vresource r) {
  std::size_t n;
  void* bytes = vrstoreGetOpaque(r, nullptr, &n);
  std::string out = hexText(bytes, n);
  if (bytes) vmemFree(bytes);
  return out;
}

void dumpEntries(vresource dict, int depth, std::string& out);

void dumpArray(vresource a, int depth, std::string& out) {
  int ek = vrstoreGetElementType(a);
  std::int32_t n = vrstoreCount(a);
  out += std::string(kindName(ek)) + " [";
  std::string pad(std::size_t(depth + 1) * 2, ' ');
  bool records = ek == vresDICTIONARY || ek == vresARRAY || ek == vresSTRING || ek == vresOPAQUE;
  for (std::int32_t i = 0; i < n; ++i) {
    out += records ? "\n" + pad : " ";
    vresource e = vrstoreGetAt(a, i);
    switch (ek) {
      case vresDICTIONARY: case vresARRAY: case vresSTRING: case vresOPAQUE:
        if (vrstoreGetNumber(e) == 0) out += "none";
        else if (ek == vresDICTIONARY) {
          out += "{\n";
          dumpEntries(e, depth + 2, out);
          out += pad + "}";
        } else if (ek == vresARRAY) dumpArray(e, depth + 1, out);
        else if (ek == vresSTRING) out += quote(vrstoreGetAtStringText(a, i));
        else out += opaqueText(e);
        break;
      case vresTAG: out += nameText(vrstoreGetAtTag(a, i)); break;
      case vresFIXED: out += std::to_string(vrstoreGetAtFixed(a, i)); break;
      case vresFLOAT: out += floatText(vrstoreGetAtFloat(a, i)); break;
      case vresCHARACTER: out += std::to_string(std::uint8_t(vrstoreGetAtCharacter(a, i))); break;
      case vresBOOLEAN: out += std::to_string(vrstoreGetAtBoolean(a, i)); break;
      case vresINTEGER: out += std::to_string(vrstoreGetAtInteger(a, i)); break;
      default: out += "0"; break;  // an untyped array's places hold nothing
    }
  }
  out += records && n ? "\n" + std::string(std::size_t(depth) * 2, ' ') + "]" : " ]";
}

void dumpEntries(vresource dict, int depth, std::string& out) {
  std::string pad(std::size_t(depth) * 2, ' ');
  for (std::int32_t i = 0, n = vrstoreCount(dict); i < n; ++i) {
    vname tag;
    vresource r = vrstoreGetTagAt(dict, i, &tag);
    int kind = vrstoreGetType(r, nullptr);
    out += pad + nameText(tag) + " = " + kindName(kind);
    switch (kind) {
      case vresDICTIONARY:
        out += " {\n";
        dumpEntries(r, depth + 1, out);
        out += pad + "}";
        break;
      case vresARRAY: out += " "; dumpArray(r, depth, out); break;
      case vresTAG: out += " " + nameText(vrstoreGetTag(r, nullptr)); break;
      case vresINTEGER: out += " " + std::to_string(vrstoreGetInteger(r, nullptr)); break;
      case vresFIXED: out += " " + std::to_string(vrstoreGetFixed(r, nullptr)); break;
      case vresFLOAT: out += " " + floatText(vrstoreGetFloat(r, nullptr)); break;
      case vresCHARACTER: out += " " + std::to_string(std::uint8_t(vrstoreGetCharacter(r, nullptr))); break;
      case vresBOOLEAN: out += " " + std::to_string(vrstoreGetBoolean(r, nullptr)); break;
      case vresSTRING: out += " " + quote(vrstoreGetStringText(r, nullptr)); break;
      case vresOPAQUE: out += " " + opaqueText(r); break;
      default: break;
    }
    out += "\n";
  }
}

}  // namespace

bool vrtextParse(const std::string& text, vresource root, std::string* error) {
  try {
    Parser(text).entries(root, false);
    return true;
  } catch (const SyntaxError& e) {
    *error = e.message;
    return false;
  }
}

std::string vrtextDump(vresource root) {
  std::string out;
  dumpEntries(root, 0, out);
  return out;
}
