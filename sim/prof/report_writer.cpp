#include "sim/prof/report_writer.h"

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "sim/engine/device/banner.h"
#include "sim/prof/prof_support.h"

namespace {

constexpr const char* PROGRAM_TITLE = "Zelmorak Profiler";
constexpr int TEXT_PAGE_LINES = 59;
constexpr int PS_PAGE_LINES = 63;

constexpr const char* font_names[] = {"Helvetica",   "Helvetica_Oblique", "Helvetica_Bold",
                                      "Courier",     "Courier_Bold",      "Courier_Oblique",
                                      "Times_Italic"};

constexpr const char* prolog[] = {
    "%!PS-Adobe-1.0",
    "%%PageOrder: Ascend",
    "%%BeginProlog",
    "/TM 770 def /BM 0 def /LM 25 def /RM 612 def",
    "/sh {show} def",
    "/sp {showpage} def",
    "/sg {LM TM moveto} def",
    "/nl {currentpoint exch pop CHARHIGHT sub LM exch moveto} def",
    "/li {newpath moveto lineto stroke} def",
    "/hl {currentpoint exch pop CHARHIGHT 2 idiv sub LM exch moveto} def",
    "/sc {currentpoint exch pop moveto} def",
    "/nf {2 add /CHARHIGHT exch def findfont CHARHIGHT 2 sub      scalefont setfont} def",
    "/da {dup /s exch string def 1 sub -1 0 {s exch 45 put} for s stringwidth      0 CHARHIGHT 3 "
    "idiv rmoveto rlineto 0 CHARHIGHT 3 idiv neg rmoveto      currentpoint stroke moveto} def",
    "/cp {2 copy newpath 0 setgray 2 0 360 arc fill moveto 0 exch rmoveto      dup stringwidth pop "
    "2 div neg 0 rmoveto sh stroke} def",
    "/ar {newpath moveto lineto atan /angle exch def      angle rotate -2 -3 rlineto +2 +3 rmoveto "
    "-2 +3 rlineto      angle neg rotate stroke} def",
    "/ra {newpath moveto -6 0 rmoveto 12 0 rlineto      -2 -3 rlineto +2 +3 rmoveto -2 +3 rlineto "
    "stroke} def",
    "/ia {newpath moveto -6 0 rmoveto -5 +3 rlineto +5 -3 rmoveto -5 -3      rlineto +5 +3 rmoveto "
    "6 sub neg 0 rlineto 0 exch rlineto stroke} def",
    "/rv {newpath 6 90 360 arc      -2 -3 rlineto +2 +3 rmoveto +1 -3 rlineto stroke} def",
    "/rc {3 copy newpath 5 0 360 arc 1 eq {fill} if stroke      moveto pop 8 -2 rmoveto sh} def",
    "%%EndProlog",
};

std::string vformat(const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

std::string format(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* f, ...) {
  std::va_list args;
  va_start(args, f);
  std::string text = vformat(f, args);
  va_end(args);
  return text;
}

// " Version 6.1.1 ": the report headers carry the word after "VERSION" in
// the banner.
std::string version_text() {
  const char* p = std::strstr(SIM_BANNER, "VERSION");
  std::string word;
  if (p != nullptr) {
    p += 7;
    while (*p == ' ') ++p;
    while (*p != '\0' && *p != ' ') word += *p++;
  }
  return " Version " + word + " ";
}

// One piece of a formatted text: a character, or a directive's body.
struct piece {
  bool directive;
  char c;
  std::string body;
};

// Calls visit for each character and each directive of s.
template <class Visit>
void for_each_piece(const std::string& s, Visit visit) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != REPORT_DIRECTIVE) {
      visit(piece{false, s[i], {}});
      continue;
    }
    const std::size_t end = s.find(REPORT_DIRECTIVE, i + 1);
    const std::size_t stop = end == std::string::npos ? s.size() : end;
    visit(piece{true, 0, s.substr(i + 1, stop - i - 1)});
    i = stop;
  }
}

// A number field directive: "N", optional "-", width digit, text.
bool number_directive(const std::string& body, int& width, bool& left, std::string& text) {
  if (body.empty() || body[0] != 'N') return false;
  std::size_t i = 1;
  left = i < body.size() && body[i] == '-';
  if (left) ++i;
  width = i < body.size() && std::isdigit(static_cast<unsigned char>(body[i])) ? body[i] - '0' : 0;
  text = body.substr(i + 1 <= body.size() ? i + 1 : body.size());
  return true;
}

// A fill directive: letter, fill character, decimal count.
bool fill_directive(const std::string& body, char& fill, int& count) {
  if (body.size() < 2 || body[0] == 'C' || body[0] == 'N') return false;
  fill = body[1];
  count = std::atoi(body.c_str() + 2);
  return true;
}

std::string pad(const std::string& s, int width, bool left) {
  if (static_cast<int>(s.size()) >= width) return s;
  const std::string blanks(static_cast<std::size_t>(width) - s.size(), ' ');
  return left ? s + blanks : blanks + s;
}

}  // namespace

std::string report_column(int x) { return std::string(1, REPORT_DIRECTIVE) + "C" + std::to_string(x) + REPORT_DIRECTIVE; }

std::string report_fill(char fill, int count) {
  return std::string(1, REPORT_DIRECTIVE) + "P" + fill + std::to_string(count) + REPORT_DIRECTIVE;
}

std::string report_number(int width, bool left, const std::string& number) {
  return std::string(1, REPORT_DIRECTIVE) + "N" + (left ? "-" : "") + std::to_string(width % 10) + number +
         REPORT_DIRECTIVE;
}

std::string report_font_name(int font) {
  if (font < 0 || font >= static_cast<int>(std::size(font_names))) font = FONT_COURIER;
  std::string name = font_names[font];
  for (char& c : name)
    if (c == '_') c = '-';
  return name;
}

std::string report_number_text(const std::string& number, int width, bool left) {
  int filled = 0;
  bool point = false;
  for (char c : number) {
    if (c != ' ') ++filled;
    if (c == '.') point = true;
  }
  if (filled <= width) return number;
  long long n = 0;
  if (point) {
    const double d = std::atof(number.c_str());
    int e = 0;
    for (double v = d < 0 ? -d : d; v >= 10.0; v /= 10.0) ++e;
    if (width - 1 > e) {
      if (d == 0.0) return pad("0", width, left);
      const int precision = d >= 1.0 ? width - e - 2 : width - 2;
      return format("%.*f", precision < 0 ? 0 : precision, d);
    }
    n = static_cast<long long>(d);
  } else {
    n = std::atoll(number.c_str());
  }
  int e = 0;
  while (n >= 100) {
    n /= 10;
    ++e;
  }
  return pad(format("%02llde%d", n, e), width, left);
}

// --- The writer ---------------------------------------------------------------

ReportWriter::~ReportWriter() {
  if (text_ != nullptr && text_ != stdout) std::fclose(text_);
  if (ps_ != nullptr) std::fclose(ps_);
}

void ReportWriter::open(const char* object_file, const char* output, const char* mode) {
  const std::time_t now = std::time(nullptr);
  std::srand(static_cast<unsigned>(now));
  char date[32] = {};
  if (const char* text = std::ctime(&now)) std::snprintf(date, sizeof date, "%.24s", text);
  header_ = std::string(PROGRAM_TITLE) + version_text() + date;
  if (object_file == nullptr || *object_file == '\0') {
    base_name_ = "(scratch)";
  } else {
    const char* slash = std::strrchr(object_file, '/');
    const char* back = std::strrchr(object_file, '\\');
    const char* base = slash > back ? slash : back;
    base_name_ = base != nullptr ? base + 1 : object_file;
  }
  text_name_ = output;
  const bool append = std::strcmp(mode, "w") != 0;
  text_ = prof_open_file(output, mode, nullptr, PROF_ABANDON);
  // The PostScript report never takes the text report's name.
  ps_name_ = prof_replace_extension(output, ".ps");
  if (ps_name_ == text_name_) ps_name_ = text_name_ + ".ps";
  ps_ = append ? std::fopen(ps_name_.c_str(), "r+b") : nullptr;
  if (ps_ != nullptr) std::fseek(ps_, 0, SEEK_END);
  if (ps_ == nullptr) ps_ = prof_open_file(ps_name_.c_str(), "wb", nullptr, PROF_ABANDON);
  for (const char* line : prolog) ps_write(std::string(line) + "\r\n");
  page_start_ = true;
  font_top_ = -1;
  ps_page_ = ps_line_ = 0;
  text_page_ = text_line_ = text_column_ = 0;
  comment_ = false;
  string_.clear();
  // The page comment ends its line: a font selection after it would be
  // part of the comment.
  ps_write("\r\n%%Page: 1 \r\n");
  push(FONT_COURIER_BOLD, 10);
}

bool ReportWriter::close() {
  bool ok = true;
  auto finish = [&ok](std::FILE*& file, const std::string& name) {
    if (file == nullptr) return;
    bool written = std::fflush(file) == 0 && std::ferror(file) == 0;
    if (file != stdout) written = std::fclose(file) == 0 && written;
    file = nullptr;
    if (!written) {
      prof_message(PROF_WARNING, "Failed to close file %s", name.c_str());
      ok = false;
    }
  };
  finish(text_, text_name_);
  if (ps_ != nullptr) {
    ps_flush();
    ps_write("sp \r\n");
  }
  finish(ps_, ps_name_);
  return ok;
}

void ReportWriter::print(const char* f, ...) {
  std::va_list args;
  va_start(args, f);
  const std::string text = vformat(f, args);
  va_end(args);
  print_text(text);
}

void ReportWriter::print_text(const std::string& text) {
  if (text.empty()) return;
  switch (text[0]) {
    case REPORT_TEXT_ONLY:
      text_side(text.substr(1));
      return;
    case REPORT_PS_RAW:
      ps_write(text.substr(1));
      return;
    case REPORT_PS_ONLY:
      ps_side(text.substr(1));
      return;
    default:
      text_side(text);
      ps_side(text);
  }
}

void ReportWriter::title(const char* f, ...) {
  std::va_list args;
  va_start(args, f);
  const std::string text = vformat(f, args);
  va_end(args);
  push(FONT_HELVETICA_BOLD, 10);
  print_text("\r\n");
  print_text(text + "\r\n\r\n");
  pop();
}

// --- Text side --------------------------------------------------------------

void ReportWriter::text_put(const std::string& s) {
  if (text_ != nullptr) std::fwrite(s.data(), 1, s.size(), text_);
}

void ReportWriter::text_char(char c) {
  if (text_line_ == 0 && text_column_ == 0) {
    ++text_page_;
    text_put(header_ + format(" %s Page %d\r\n\r\n", base_name_.c_str(), text_page_));
    text_line_ = 2;
  }
  switch (c) {
    case '\t':
      text_put("        ");
      text_column_ = 1;
      break;
    case '\n':
      text_put("\n");
      if (++text_line_ >= TEXT_PAGE_LINES) {
        text_put("\f\r\n");
        text_line_ = text_column_ = 0;
      }
      break;
    case '\f':
      text_put("\f\r\n");
      text_line_ = text_column_ = 0;
      break;
    default:
      text_put(std::string(1, c));
      text_column_ = 1;
  }
}

void ReportWriter::text_side(const std::string& s) {
  if (text_ == nullptr) return;
  for_each_piece(s, [this](const piece& p) {
    if (!p.directive) {
      text_char(p.c);
      return;
    }
    int width = 0, count = 0;
    bool left = false;
    char fill = ' ';
    std::string number;
    if (number_directive(p.body, width, left, number)) {
      for (char c : report_number_text(number, width, left)) text_char(c);
    } else if (fill_directive(p.body, fill, count)) {
      for (int k = 0; k < count; ++k) text_char(fill);
    }
  });
}

// --- PostScript side -----------------------------------------------------------

void ReportWriter::ps_write(const std::string& s) {
  if (ps_ != nullptr) std::fwrite(s.data(), 1, s.size(), ps_);
}

void ReportWriter::ps_flush() {
  if (string_.empty()) return;
  ps_write("(" + string_ + ") sh \r\n");
  string_.clear();
}

void ReportWriter::ps_char(char c) {
  switch (c) {
    case '\t':
      for (int k = 0; k < 8; ++k) ps_char(' ');
      return;
    case '\n':
      ps_flush();
      ps_write("nl ");
      if (comment_) {
        comment_ = false;
        pop();
      }
      if (++ps_line_ >= PS_PAGE_LINES) page_start_ = true;
      return;
    case '\f':
      ps_flush();
      page_start_ = true;
      return;
    case ';':
      if (!comment_) {
        comment_ = true;
        push(FONT_TIMES_ITALIC, font_top_ >= 0 ? fonts_[static_cast<std::size_t>(font_top_)].size : 10);
      }
      break;
    default:
      break;
  }
  // A full string is shown and the next one goes on from there: nothing
  // is dropped.
  const std::size_t room = (c == '(' || c == ')' || c == '\\') ? 2 : 1;
  if (string_.size() + room > STRING_MAX) ps_flush();
  if (room == 2) string_ += '\\';
  string_ += c;
}

void ReportWriter::ps_new_page() {
  if (ps_ == nullptr) return;
  ps_flush();
  ps_page_start();
  ps_flush();
}

void ReportWriter::ps_page_start() {
  page_start_ = false;
  ++ps_page_;
  if (ps_page_ > 1) ps_write(format("sp \r\n%%%%Page: %d \r\n", ps_page_));
  ps_write("sg ");
  ps_line_ = 1;
  push(FONT_HELVETICA_OBLIQUE, 10);
  for (char c : header_ + format(" %s Page %d\r\n", base_name_.c_str(), ps_page_)) ps_char(c);
  pop();
  ps_write("hl ");
}

void ReportWriter::ps_side(const std::string& s) {
  if (ps_ == nullptr) return;
  for_each_piece(s, [this](const piece& p) {
    if (page_start_) ps_page_start();
    if (!p.directive) {
      ps_char(p.c);
      return;
    }
    int width = 0, count = 0;
    bool left = false;
    char fill = ' ';
    std::string number;
    if (!p.body.empty() && p.body[0] == 'C') {
      ps_flush();
      ps_write(format("%d sc ", std::atoi(p.body.c_str() + 1)));
    } else if (number_directive(p.body, width, left, number)) {
      for (char c : report_number_text(number, width, left)) ps_char(c);
    } else if (fill_directive(p.body, fill, count)) {
      if (fill == '-') {
        ps_flush();
        ps_write(format("%d da ", count));
      } else {
        for (int k = 0; k < count; ++k) ps_char(fill);
      }
    }
  });
}

// --- Fonts -------------------------------------------------------------------------

void ReportWriter::select(int font, int size) {
  ps_flush();
  ps_write(format("/%s %d nf\r\n", report_font_name(font).c_str(), size));
}

void ReportWriter::push(int font, int size) {
  if (font_top_ + 1 >= static_cast<int>(fonts_.size())) prof_message(PROF_ABANDON, "%s", "");
  fonts_[static_cast<std::size_t>(++font_top_)] = {font, size};
  select(font, size);
}

void ReportWriter::pop() {
  if (font_top_ < 0) prof_message(PROF_ABANDON, "%s", "");
  --font_top_;
  if (font_top_ >= 0) select(fonts_[static_cast<std::size_t>(font_top_)].font, fonts_[static_cast<std::size_t>(font_top_)].size);
}

void ReportWriter::font(int op, int a, int b) {
  const font_entry top = font_top_ >= 0 ? fonts_[static_cast<std::size_t>(font_top_)] : font_entry{FONT_COURIER, 10};
  switch (op) {
    case FONT_PUSH: push(a, b); break;
    case FONT_PUSH_SIZE: push(top.font, a); break;
    case FONT_PUSH_FACE: push(a, top.size); break;
    case FONT_SELECT: select(a, b); break;
    case FONT_SELECT_SIZE: select(top.font, a); break;
    case FONT_SELECT_FACE: select(a, top.size); break;
    case FONT_POP: pop(); break;
    case FONT_RESELECT: select(top.font, top.size); break;
    default: break;
  }
}
