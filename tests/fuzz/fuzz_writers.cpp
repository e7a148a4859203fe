// The command log, the session log and output streams while command lines
// run (the input: lines, as standard input). A program writes x:$20, which
// an untimed stream writes to a file and a timed one to the session: the
// file must hold, line for line, the values the session showed. Every line
// of the command log must be a line the session was handed for it, and it
// ends with a whole line. (The session log also takes the source window's
// status lines, which the session is not handed.)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "frontends/console/console.h"
#include "fuzz_support.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"

namespace {

[[noreturn]] void finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
  std::abort();
}

std::string contents(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// What the session was handed for the command log (nolog 0), and the
// values the timed stream showed.
std::set<std::string> command_texts;
std::vector<std::string> shown_values;
// A state load puts the streams back where a save found them, files too.
bool state_loaded = false;
int (*console_output)(const char*, int, int) = nullptr;

int watching_output(const char* text, int nolog, int echo) {
  const std::string t = text != nullptr ? text : "";
  if (nolog == 0) command_texts.insert(t);
  if (t.rfind("Loading State file:", 0) == 0) state_loaded = true;
  constexpr const char* timed = "x:$20 cyc=";
  // A typed line that merely starts like one (its echo) is not a value.
  if (echo == 0 && cur_device == 0 && t.rfind(timed, 0) == 0) {
    const std::size_t colon = t.find(':', std::char_traits<char>::length(timed));
    // The value's line end shows as a blank.
    if (colon != std::string::npos) shown_values.push_back(t.substr(colon + 1, t.find_last_not_of(' ') - colon));
  }
  return console_output(text, nolog, echo);
}

// The stream of list `which` on x:$20, when it is still the one made here.
const io_stream* kept_stream(int which, uint32_t serial, const char* file) {
  if (device_states[0] == nullptr) return nullptr;
  for (const io_stream* s = device_states[0]->streams[which]; s != nullptr; s = s->next)
    if (s->serial == serial && s->item == "x:$20") return s->file_name.find(file) != std::string::npos ? s : nullptr;
  return nullptr;
}

void check_log(const char* name, const std::set<std::string>& handed) {
  const std::string text = contents(name);
  if (!text.empty() && text.back() != '\n') finding("a log ends inside a line", name);
  for (const std::string& line : lines_of(text))
    if (handed.count(line) == 0) finding("a log holds a line it was not handed", std::string(name) + ": " + line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view lines(reinterpret_cast<const char*>(data), size);
  // The names of this target's own files stay its own.
  if (!fuzz_text_is_safe(lines) || lines.find("zq") != std::string_view::npos) return -1;
  fuzz_start();
  if (console_output == nullptr) {
    console_output = fuzz_frontend().session_output;
    fuzz_frontend().session_output = watching_output;
  }
  fuzz_fresh_session();
  for (const char* line : {"asm p:$40 move x:(r2)+,y0", "asm p:$41 move y0,x:(r3)", "asm p:$42 jmp $40",
                           "change pc $40 r2 $100 r3 $20 x:$100 $1234 x:$101 $8000 x:$102 $7f"})
    console_submit_typed(line);
  command_texts.clear();
  shown_values.clear();
  console_submit_typed("log c zqlog -o");
  console_submit_typed("log s zqlog -o");
  std::FILE* const command_file = command_log;
  console_submit_typed("output x:$20 zqout -o");
  console_submit_typed("output t x:$20 term");
  const io_stream* untimed = device_states[0]->streams[SL_OUT_UNTIMED];
  const io_stream* timed = device_states[0]->streams[SL_OUT_TIMED];
  if (untimed == nullptr || timed == nullptr || untimed->file == nullptr) finding("the streams were not made", "");
  const uint32_t untimed_serial = untimed->serial, timed_serial = timed->serial;
  shown_values.clear();
  state_loaded = false;

  fuzz_feed_input(lines, false);
  fuzz_command_loop(2);
  if (quitting == 0) {
    console_submit_typed("step 12");
    fuzz_pump(4);
  }

  // Both streams lived throughout, no state was loaded: the file holds
  // what the session showed.
  if (!state_loaded && kept_stream(SL_OUT_UNTIMED, untimed_serial, "zqout") != nullptr &&
      kept_stream(SL_OUT_TIMED, timed_serial, "term") != nullptr) {
    std::vector<std::string> written = lines_of(contents("zqout.io"));
    if (written != shown_values) {
      std::string detail = std::to_string(written.size()) + " written, " + std::to_string(shown_values.size()) + " shown";
      for (std::size_t k = 0; k < written.size() && k < shown_values.size(); ++k)
        if (written[k] != shown_values[k]) {
          detail += "; line " + std::to_string(k + 1) + ": " + written[k] + " / " + shown_values[k];
          break;
        }
      finding("an output file differs from the values shown", detail);
    }
  }
  if (command_log == command_file && command_log_path().find("zqlog.cmd") != std::string::npos) {
    std::fflush(command_log);
    check_log("zqlog.cmd", command_texts);
  }
  close_all_logs();
  return 0;
}
