// The Open and Save file dialogs as scripted stand-ins. Each run is a
// hidden dialog window that calls the hook: Explorer style puts it in a
// frame that answers CDM_GETFILEPATH, the old style gives it the file-name
// field edt1. It sends WM_INITDIALOG (and CDN_INITDONE), lets the queue
// run until the queued answer is due, then presses OK: the buffer is
// filled in the style's form, the existence checks and the overwrite
// question run against the real file system, and the hook sees
// "commdlg_FileNameOK", whose 1 keeps the dialog for the next answer.
//
// - `GetOpenFileNameA`/`GetSaveFileNameA` (`platform/user/commdlg_file.cpp`) refuse a structure not
//   of the host's size (CDERR_STRUCTSIZE). Explorer style is a frame (answers `CDM_GETFILEPATH` with
//   the bytes the selection needs) holding the hook's dialog; the old style is one dialog with the
//   name field `edt1`. A run sends WM_INITDIALOG (and CDN_INITDONE), then per queued
//   `win::test::FileAnswer`: waits its delay, sends IDOK to the frame's current procedure, checks
//   must-exist, path-must-exist and the overwrite question against the file system, fills the buffer
//   in the style's form (too small: FNERR_BUFFERTOOSMALL), and sends "commdlg_FileNameOK"; a check
//   or a hook answer of 1 keeps it for the next answer. No answer left cancels.
//   `win::test::LastFileDialog` reports what it was given and asked. `GetDlgItem`/`GetDlgItemTextA`
//   find a child by its control id.
#include <sys/stat.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/user/commdlg_internal.h"
#include "platform/win/test.h"

namespace win {
namespace {

std::deque<test::FileAnswer>& answers() {
  static std::deque<test::FileAnswer> queue;
  return queue;
}
test::FileDialogReport report;

// One run's state, reached from the windows' procedures.
struct Run {
  OPENFILENAMEA* ofn;
  bool explorer;
  HWND frame;   // the top-level window: the Explorer frame, or the dialog itself
  HWND dialog;  // the hook's window
  std::string selection;  // the pending answer in the buffer's form
};
Run* current = nullptr;

LRESULT callHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!current || !(current->ofn->Flags & OFN_ENABLEHOOK) || !current->ofn->lpfnHook) return 0;
  return static_cast<LRESULT>(current->ofn->lpfnHook(hwnd, message, wParam, lParam));
}

LRESULT dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  bool wake = message == WM_TIMER && wParam == internal::kStandInWakeTimer;
  if (current && hwnd == current->dialog && !wake) return callHook(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == CDM_GETFILEPATH && current) {
    const std::string& s = current->selection;
    if (wParam >= s.size() && lParam) std::memcpy(reinterpret_cast<char*>(lParam), s.data(), s.size());
    return static_cast<LRESULT>(s.size());
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT editProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool exists(const std::string& path, bool* directory = nullptr) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return false;
  if (directory) *directory = S_ISDIR(st.st_mode);
  return true;
}

std::string parentOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}
std::string nameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The answer in the buffer's form: Explorer style one path, or the
// directory and the names, each ended by a NUL, with a final NUL; the old
// style one path, or the directory and the names separated by blanks.
std::string bufferForm(const std::vector<std::string>& paths, bool explorer) {
  if (paths.size() == 1) return paths[0] + (explorer ? std::string(2, '\0') : std::string(1, '\0'));
  std::string out = parentOf(paths[0]);
  char separator = explorer ? '\0' : ' ';
  for (const std::string& p : paths) out += separator + nameOf(p);
  return out + (explorer ? std::string(2, '\0') : std::string(1, '\0'));
}

std::string namesField(const std::vector<std::string>& paths) {
  std::string out;
  for (const std::string& p : paths) out += (out.empty() ? "" : " ") + nameOf(p);
  return out;
}

void recordGiven(const OPENFILENAMEA* ofn, bool save) {
  report = test::FileDialogReport{};
  report.save = save;
  report.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
  for (const char* p = ofn->lpstrFilter; p && *p;) {
    std::string description = p;
    p += description.size() + 1;
    std::string pattern = p;
    p += pattern.size() + 1;
    report.filters.emplace_back(description, pattern);
  }
  report.filterIndex = ofn->nFilterIndex;
  report.initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "";
  report.defaultExtension = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
  report.flags = ofn->Flags;
  report.owner = ofn->hwndOwner;
}

// The checks the dialog makes before it lets the names go: false (with
// the refusal noted) keeps it open.
bool passesChecks(const test::FileAnswer& answer, bool save) {
  DWORD flags = current->ofn->Flags;
  for (const std::string& path : answer.paths) {
    bool directory = false;
    bool there = exists(path, &directory);
    if ((flags & OFN_FILEMUSTEXIST) && !there) return report.refusals.push_back("file must exist: " + path), false;
    if ((flags & OFN_PATHMUSTEXIST) && !exists(parentOf(path)))
      return report.refusals.push_back("path must exist: " + path), false;
    if (save && (flags & OFN_OVERWRITEPROMPT) && there) {
      report.overwriteQuestions.push_back(path);
      if (!answer.overwrite) return report.refusals.push_back("overwrite: " + path), false;
    }
  }
  return true;
}

// A typed name without an extension gets the default one, as the user
// would see it completed.
test::FileAnswer withDefaultExtension(test::FileAnswer answer, const char* extension) {
  if (!extension || !*extension) return answer;
  for (std::string& p : answer.paths)
    if (nameOf(p).find('.') == std::string::npos) p += std::string(".") + extension;
  return answer;
}

// Presses OK with the answer; true when the dialog ends.
bool pressOk(const test::FileAnswer& typed, bool save, UINT fileOk) {
  OPENFILENAMEA* ofn = current->ofn;
  test::FileAnswer answer = withDefaultExtension(typed, ofn->lpstrDefExt);
  current->selection = bufferForm(answer.paths, current->explorer);
  // The frame's current procedure: the framework may have replaced it.
  SendMessageA(current->frame, WM_COMMAND, IDOK, 0);
  ofn = current->ofn;
  if (!passesChecks(answer, save)) return false;
  const std::string& s = current->selection;
  if (!ofn->lpstrFile || s.size() > ofn->nMaxFile) {
    internal::setCommonDialogError(FNERR_BUFFERTOOSMALL);
    if (ofn->lpstrFile && ofn->nMaxFile >= 2) {
      ofn->lpstrFile[0] = char(s.size() & 0xFF);
      ofn->lpstrFile[1] = char((s.size() >> 8) & 0xFF);
    }
    report.refusals.push_back("buffer too small: " + std::to_string(s.size()));
    return true;
  }
  std::memcpy(ofn->lpstrFile, s.data(), s.size());
  if (!current->explorer) SetWindowTextA(GetDlgItem(current->dialog, edt1), namesField(answer.paths).c_str());
  std::string first = answer.paths[0];
  ofn->nFileOffset = WORD(answer.paths.size() == 1 ? first.size() - nameOf(first).size() : parentOf(first).size() + 1);
  std::size_t dot = nameOf(first).rfind('.');
  ofn->nFileExtension = WORD(dot == std::string::npos ? 0 : first.size() - nameOf(first).size() + dot + 1);
  if (answer.readOnly && !(ofn->Flags & OFN_HIDEREADONLY))
    ofn->Flags = *answer.readOnly ? (ofn->Flags | OFN_READONLY) : (ofn->Flags & ~OFN_READONLY);
  if (callHook(current->dialog, fileOk, 0, reinterpret_cast<LPARAM>(ofn)) == 1) {
    report.refusals.push_back("hook: " + first);
    return false;
  }
  return true;
}

BOOL runFileDialog(OPENFILENAMEA* ofn, bool save) {
  internal::setCommonDialogError(0);
  if (!ofn || ofn->lStructSize != sizeof(OPENFILENAMEA)) {
    internal::setCommonDialogError(CDERR_STRUCTSIZE);
    return 0;
  }
  recordGiven(ofn, save);
  UINT fileOk = RegisterWindowMessageA("commdlg_FileNameOK");
  Run run{ofn, (ofn->Flags & OFN_EXPLORER) != 0, nullptr, nullptr, {}};
  Run* outer = current;
  current = &run;
  const char* title = ofn->lpstrTitle ? ofn->lpstrTitle : save ? "Save As" : "Open";
  constexpr int kWidth = 430, kHeight = 300;
  if (run.explorer) {
    run.frame = internal::createStandInWindow("#FileDlgFrame", frameProc, title, WS_POPUP, kWidth, kHeight,
                                              ofn->hwndOwner);
    run.dialog = internal::createStandInWindow("#FileDlg", dialogProc, "", WS_CHILD, kWidth, kHeight, run.frame);
  } else {
    run.frame = run.dialog = internal::createStandInWindow("#FileDlg", dialogProc, title, WS_POPUP, kWidth, kHeight,
                                                           ofn->hwndOwner);
    internal::createStandInWindow("#FileDlgEdit", editProc, "", WS_CHILD, 200, 20, run.dialog, edt1);
  }
  BOOL result = 0;
  if (run.frame && run.dialog) {
    SendMessageA(run.dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(ofn));
    GetWindowRect(run.frame, &report.rect);
    if (run.explorer) {
      OFNOTIFYA note{{run.dialog, 0, CDN_INITDONE}, ofn, ofn->lpstrFile};
      SendMessageA(run.dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
    }
    // Without a script (X11, or a test that queued none) it cancels.
    while (!answers().empty()) {
      test::FileAnswer answer = answers().front();
      answers().pop_front();
      internal::pumpUntil(run.frame, GetTickCount64() + answer.delay);
      if (answer.paths.empty()) break;
      if (pressOk(answer, save, fileOk)) {
        result = CommDlgExtendedError() == 0;
        break;
      }
    }
    SendMessageA(run.dialog, WM_DESTROY, 0, 0);
  }
  current = outer;
  if (run.frame) DestroyWindow(run.frame);
  return result;
}

}  // namespace

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) { return runFileDialog(ofn, false); }
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn) { return runFileDialog(ofn, true); }

HWND GetDlgItem(HWND dialog, int id) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (GetWindowLongPtrA(child, GWLP_ID) == id) return child;
  return nullptr;
}

UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int size) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(item, buffer, size));
}

namespace test {
void QueueFileAnswer(const FileAnswer& answer) { answers().push_back(answer); }
void ClearFileAnswers() { answers().clear(); }
const FileDialogReport& LastFileDialog() { return report; }
}  // namespace test

}  // namespace win
