#include "fw/core/debug.h"

#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/core/sys.h"

namespace {

bool consoleOpened = false;
bool exitRegistered = false;
std::FILE* logFile = nullptr;
std::string logName;
bool logUnavailable = false;
char* formatBuffer = nullptr;
int formatSize = 0;
char fallbackBuffer[500];

void registerExit() {
  if (exitRegistered) return;
  exitRegistered = true;
  vsysAddExitHandler(vdebugConsoleExit);
}

bool isConsole(std::FILE* stream) { return stream == stdin || stream == stderr; }

void toConsole(const char* text) {
  if (!consoleOpened) vdebugOpenConsole();
  std::fputs(text, stderr);
}

void ensureBuffer() {
  if (formatBuffer) return;
  // Plain malloc: a failure here must not raise from inside the debug output.
  formatBuffer = static_cast<char*>(std::malloc(vdebugFORMAT_BUFFER));
  formatSize = vdebugFORMAT_BUFFER;
  if (!formatBuffer) formatBuffer = fallbackBuffer, formatSize = sizeof fallbackBuffer;
}

// A name is taken only by creating its file: an existing log is never
// overwritten.
std::FILE* createLog(const char* name) {
  std::FILE* f = std::fopen(name, "wx");
  if (f) logName = name;
  return f;
}

}  // namespace

std::FILE* vdebugGetConsoleInput() {
  registerExit();
  return stdin;
}

std::FILE* vdebugGetConsoleOutput() {
  registerExit();
  return stderr;
}

std::FILE* vdebugGetConsoleError() {
  registerExit();
  return stderr;
}

void vdebugOpenConsole() {
  vsysStartup();
  consoleOpened = true;
}

void vdebugWriteConsole(std::FILE* record, const char* text) {
  if (record && isConsole(record)) toConsole(text);
}

std::FILE* vdebugOpenLog() {
  if (logFile || logUnavailable) return logFile;
  if (logName.empty()) {
    logFile = createLog("vdebug.log");
    char name[32];
    for (int i = 0; !logFile && i < 100; ++i) {
      std::snprintf(name, sizeof name, "vdebug%d.log", i);
      logFile = createLog(name);
    }
    if (!logFile) logUnavailable = true;
    registerExit();
  } else {
    logFile = std::fopen(logName.c_str(), "a");
  }
  return logFile;
}

const char* vdebugGetLogName() { return logName.c_str(); }

void vdebugConsoleExit() {
  // Started with valid standard streams: no console of our own, so nothing
  // waits for a key.
  if (logFile) std::fclose(logFile);
  logFile = nullptr;
}

int vdebugVfprintf(std::FILE* stream, const char* format, va_list ap) {
  if (!stream) return 0;
  if (!isConsole(stream)) return std::vfprintf(stream, format, ap);
  std::FILE* log = vdebugOpenLog();
  ensureBuffer();
  va_list again;
  va_copy(again, ap);
  int n = std::vsnprintf(formatBuffer, static_cast<std::size_t>(formatSize), format, ap);
  if (log) {
    va_list forLog;
    va_copy(forLog, again);
    std::vfprintf(log, format, forLog);
    va_end(forLog);
  }
  if (n >= formatSize) {
    if (log) {
      std::snprintf(formatBuffer, static_cast<std::size_t>(formatSize),
                    "\n\nNOTE: a write of %d bytes was just made to the console, it was more then\n"
                    "NOTE: could be redirected into the console at once.  the data was written to\n"
                    "NOTE: the log file.\n\n",
                    n);
      toConsole(formatBuffer);
    } else {
      // Without a log the text would be lost: it goes whole to the console.
      std::string whole(static_cast<std::size_t>(n) + 1, '\0');
      std::vsnprintf(whole.data(), whole.size(), format, again);
      toConsole(whole.c_str());
    }
  } else if (n > 0) {
    toConsole(formatBuffer);
  }
  va_end(again);
  return n;
}

int vdebugFprintf(std::FILE* stream, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = vdebugVfprintf(stream, format, ap);
  va_end(ap);
  return n;
}

int vdebugVprintf(const char* format, va_list ap) { return vdebugVfprintf(vdebugGetConsoleOutput(), format, ap); }

int vdebugPrintf(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = vdebugVprintf(format, ap);
  va_end(ap);
  return n;
}

int vdebugFputs(const char* text, std::FILE* stream) {
  if (!stream) return 0;
  if (!isConsole(stream)) return std::fputs(text, stream);
  toConsole(text);
  if (*text)
    if (std::FILE* log = vdebugOpenLog()) std::fputs(text, log);
  return 1;
}

int vdebugPuts(const char* text) {
  std::FILE* out = vdebugGetConsoleOutput();
  vdebugFputs(text, out);
  return vdebugFputs("\n", out);
}

int vdebugFputc(int c, std::FILE* stream) {
  if (!stream) return 0;
  if (!isConsole(stream)) return std::fputc(c, stream);
  char text[2] = {static_cast<char>(c), '\0'};
  toConsole(text);
  if (std::FILE* log = vdebugOpenLog()) std::fputc(c, log);
  return static_cast<unsigned char>(c);
}

int vdebugPutchar(int c) { return vdebugFputc(c, vdebugGetConsoleOutput()); }

int vdebugFflush(std::FILE* stream) {
  if (!stream) return 0;
  if (!isConsole(stream)) return std::fflush(stream);
  std::fflush(stderr);
  return logFile ? std::fflush(logFile) : 0;
}

const vdebugStdioTable* vdebugGetStdioTable() {
  static const vdebugStdioTable table{vdebugPrintf, vdebugFprintf, vdebugVprintf, vdebugVfprintf, vdebugFputs,
                                      vdebugPuts,   vdebugFputc,   vdebugPutchar, vdebugFflush};
  return &table;
}

const char* vdebugPointerText(char (&buf)[24], const void* p) {
  std::snprintf(buf, sizeof buf, "%016" PRIXPTR, reinterpret_cast<std::uintptr_t>(p));
  return buf;
}
