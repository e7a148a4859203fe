// Our resource authoring tool: builds a ".vr" file from its text form, and
// dumps a ".vr" file back to the text form.
//   vrtool build TEXT OUT.vr      vrtool dump IN.vr [TEXT]
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "fw/core/fs.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "sysio/file_write.h"

namespace {

// Ended by a signal, a build leaves no scratch or temporary file behind.
void onTerminate(int sig) {
  remove_unfinished_files();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

int usage() {
  std::cerr << "usage: vrtool build TEXT OUT.vr | vrtool dump IN.vr [TEXT]\n";
  return 2;
}

// Runs body; a raised framework exception is reported as an error.
template <class F>
bool run(const char* what, F body) {
  bool ok = true;
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    std::cerr << "vrtool: " << what << ": " << (e->message ? e->message : e->cls->name);
    // The system's reason, where the message does not already end with it.
    const char* reason = e->errnum ? std::strerror(e->errnum) : "";
    std::string said = e->message ? e->message : "";
    if (*reason && (said.size() < std::strlen(reason) || said.compare(said.size() - std::strlen(reason), std::string::npos, reason) != 0))
      std::cerr << ": " << reason;
    std::cerr << "\n";
    vexSetCurrentException(h.savedChain);
    ok = false;
  });
  return ok;
}

// Why a file that is there is not one dump reads: its kind, said plainly;
// "" when it is a resource store (the store itself then says what fails).
std::string notAStore(const char* file) {
  std::string why;
  run(file, [&] {
    vfsPath* path = vfsNewPathFromString(file);
    vfsFileInfo info{};
    vexGuard([&] { vfsGetFileInfo(path, &info); },
             [&](vexHandler&) {
               vfsFreePath(path);
               _vexGenerate(nullptr, vexEnd);
             });
    bool directory = (info.flags & vfsINFO_KIND) == vfsINFO_DIRECTORY;
    bool other = (info.flags & vfsINFO_KIND) == vfsINFO_OTHER;
    int kind = directory ? -1 : other ? -2 : vfsTestFileKind(path);
    // A kind unknown because the file cannot be read: the system's answer.
    if (kind == 0 && info.size > 0)
      vexGuard([&] { vfsCloseFile(vfsOpenFile(path, vfsOPEN_READ)); },
               [&](vexHandler&) {
                 vfsFreePath(path);
                 _vexGenerate(nullptr, vexEnd);
               });
    vfsFreePath(path);
    if (kind == -1) why = "a directory, not a resource file";
    else if (kind == -2) why = "not a regular file (a FIFO, a device or a socket), not a resource file";
    else if (kind == 2)
      why = "a chunk resource file (the kind the framework writes its preference store in), "
            "not a resource store; only resource stores can be dumped";
    else if (kind == 0 && info.size == 0)
      why = "an empty file, not a resource file";
    else if (kind == 0)
      why = "not a resource file: it does not begin with a resource store's or a chunk file's header";
  });
  return why;
}

}  // namespace

int main(int argc, char** argv) {
  // A file past the size limit is a failed write, said as any other.
  std::signal(SIGXFSZ, SIG_IGN);
  for (int sig : {SIGTERM, SIGINT, SIGHUP})
    if (std::signal(sig, onTerminate) == SIG_IGN) std::signal(sig, SIG_IGN);
  if (argc < 3) return usage();
  std::string mode = argv[1];
  if (mode == "build" && argc == 4) {
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
      std::cerr << "vrtool: cannot read " << argv[2] << "\n";
      return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    bool parsed = true;
    vresource root = 0;
    bool ok = run(argv[2], [&] {
      root = vrstoreCreateMemory();
      std::string error;
      parsed = vrtextParse(text.str(), root, &error);
      if (!parsed) std::cerr << argv[2] << ": " << error << "\n";
    });
    // Saved as any framework save is: a link's target replaced, a device
    // written in place, a regular file replaced whole keeping its mode.
    if (ok && parsed)
      ok = run(argv[3], [&] {
        vfsPath* out = vfsNewPathFromString(argv[3]);
        vexGuard([&] { vrstoreCloseFile(vrstoreSaveFile(root, out, 0)); },
                 [&](vexHandler&) {
                   vfsFreePath(out);
                   _vexGenerate(nullptr, vexEnd);
                 });
        vfsFreePath(out);
      });
    if (root) run(argv[2], [&] { vrstoreCloseFile(root); });
    return ok && parsed ? 0 : 1;
  }
  if (mode == "dump" && (argc == 3 || argc == 4)) {
    std::string text;
    if (std::string why = notAStore(argv[2]); !why.empty()) {
      std::cerr << "vrtool: " << argv[2] << ": " << why << "\n";
      return 1;
    }
    bool ok = run(argv[2], [&] {
      vfsPath* in = vfsNewPathFromString(argv[2]);
      vresource root = vrstoreOpenFile(in, 1);
      vfsFreePath(in);
      text = vrtextDump(root);
      vrstoreCloseFile(root);
    });
    if (!ok) return 1;
    if (argc == 3) {
      std::cout << text;
      return 0;
    }
    std::ofstream out(argv[3], std::ios::binary);
    out << text;
    return out ? 0 : 1;
  }
  return usage();
}
