// The report writer: the profiler's report lines as a paginated text file
// and, from the same lines, a PostScript file set in fonts with column
// stops, rules and number fields.
//
// In-band control bytes of a printed text: a first byte of REPORT_TEXT_ONLY
// sends the line to the text file only, REPORT_PS_ONLY to the PostScript
// file only, REPORT_PS_RAW writes the rest unchanged to the PostScript
// file. A directive stands between two REPORT_DIRECTIVE bytes: "C" and an
// x position (a column stop, PostScript only); "N", an optional "-", a
// width digit and the number's text (a number field); any other letter, a
// fill character and a count (a run of fill characters; a fill of "-" is a
// rule in PostScript).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

constexpr char REPORT_TEXT_ONLY = '\x80';
constexpr char REPORT_PS_ONLY = '\x81';
constexpr char REPORT_PS_RAW = '\x82';
constexpr char REPORT_DIRECTIVE = '\x83';

// Directive texts for report lines.
std::string report_column(int x);
std::string report_fill(char fill, int count);
std::string report_number(int width, bool left, const std::string& number);

// Fonts by index.
enum report_font : int {
  FONT_HELVETICA = 0,
  FONT_HELVETICA_OBLIQUE,
  FONT_HELVETICA_BOLD,
  FONT_COURIER,
  FONT_COURIER_BOLD,
  FONT_COURIER_OBLIQUE,
  FONT_TIMES_ITALIC,
};
// Font operations.
enum font_op : int {
  FONT_PUSH = 0,       // (font, size)
  FONT_PUSH_SIZE = 1,  // current font at size
  FONT_PUSH_FACE = 2,  // font at the current size
  FONT_SELECT = 3,     // (font, size) without pushing
  FONT_SELECT_SIZE = 4,
  FONT_SELECT_FACE = 5,
  FONT_POP = 6,
  FONT_RESELECT = 7,
};

// The PostScript name of a report font ("Helvetica-Oblique").
std::string report_font_name(int font);

// A number field's text: number fits as is, else shortened (123456 in
// width 4: "12e4"; 123.456 in width 5: "123.5").
std::string report_number_text(const std::string& number, int width, bool left);

class ReportWriter {
 public:
  ReportWriter() = default;
  ~ReportWriter();
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;
  // Opens both files (level-1 message on failure). The PostScript name is
  // the output name with ".ps" for its extension, or with ".ps" added
  // when that would be the output name itself.
  void open(const char* object_file, const char* output, const char* mode);
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void print_text(const std::string& text);
  void title(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void font(int op, int a = 0, int b = 0);
  // Starts a PostScript page at once, for drawings in raw PostScript.
  void ps_new_page();
  // Closes both files; false (after a level-2 message) when either could
  // not be written completely.
  bool close();
  bool is_open() const { return text_ != nullptr || ps_ != nullptr; }
  const std::string& ps_name() const { return ps_name_; }

 private:
  void text_side(const std::string& s);
  void ps_side(const std::string& s);
  void text_put(const std::string& s);
  void text_char(char c);
  void ps_char(char c);
  void ps_write(const std::string& s);
  void ps_flush();
  void ps_page_start();
  void select(int font, int size);
  void push(int font, int size);
  void pop();

  std::FILE* text_ = nullptr;
  std::FILE* ps_ = nullptr;
  std::string text_name_, ps_name_;
  std::string header_;  // "Zelmorak Profiler Version ... date"
  std::string base_name_;
  // PostScript side.
  static constexpr std::size_t STRING_MAX = 120;
  std::string string_;
  int ps_page_ = 0;
  int ps_line_ = 0;
  bool page_start_ = true;
  bool comment_ = false;
  struct font_entry {
    int font, size;
  };
  std::array<font_entry, 20> fonts_{};
  int font_top_ = -1;
  // Text side.
  int text_page_ = 0;
  int text_line_ = 0;
  int text_column_ = 0;
};
