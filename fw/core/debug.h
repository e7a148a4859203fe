// The debug console and the debug log. The console records are the
// process's standard streams; console output and errors both go to
// standard error, so they never mix with a session on standard output.
// Everything written to a console record is also kept in the debug log
// ("vdebug.log", or the first free "vdebug%d.log"). Other streams pass to
// the C runtime unchanged.
#pragma once
#include <cstdarg>
#include <cstdio>

std::FILE* vdebugGetConsoleInput();
std::FILE* vdebugGetConsoleOutput();
std::FILE* vdebugGetConsoleError();
void vdebugOpenConsole();
void vdebugWriteConsole(std::FILE* record, const char* text);
std::FILE* vdebugOpenLog();
const char* vdebugGetLogName();  // "" until a log was opened
void vdebugConsoleExit();        // the console's exit routine: closes the log

int vdebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int vdebugFprintf(std::FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
int vdebugVprintf(const char* format, va_list ap);
int vdebugVfprintf(std::FILE* stream, const char* format, va_list ap);
int vdebugFputs(const char* text, std::FILE* stream);
int vdebugPuts(const char* text);
int vdebugFputc(int c, std::FILE* stream);
int vdebugPutchar(int c);
int vdebugFflush(std::FILE* stream);

struct vdebugStdioTable {
  int (*printf)(const char*, ...);
  int (*fprintf)(std::FILE*, const char*, ...);
  int (*vprintf)(const char*, va_list);
  int (*vfprintf)(std::FILE*, const char*, va_list);
  int (*fputs)(const char*, std::FILE*);
  int (*puts)(const char*);
  int (*fputc)(int, std::FILE*);
  int (*putchar)(int);
  int (*fflush)(std::FILE*);
};
const vdebugStdioTable* vdebugGetStdioTable();

// A pointer's hex digits alone (what "0x%p" stands for), into buf.
const char* vdebugPointerText(char (&buf)[24], const void* p);

inline constexpr int vdebugFORMAT_BUFFER = 24000;
