#include "platform/net/dde.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/net/posix_socket.h"
#include "platform/user/internal.h"
#include "platform/win.h"

namespace win {

namespace internal {
// A clock that waits move instead of sleeping (clock.cpp).
bool clockMovesOnWaits();
void advanceVirtualClock(ULONGLONG to);
}  // namespace internal

namespace {

namespace px = posix;

// Frame kinds on a conversation: a 32-bit length of what follows, a kind
// byte, then the kind's fields.
enum Kind : BYTE {
  kConnect = 1,  // topic
  kAccept,
  kRefuse,
  kAdviseStart,  // format, item
  kAdviseStop,   // format, item
  kAdviseData,   // format, item, data
  kPoke,         // format, item, data
  kAck,          // answer flags (0: refused)
};
constexpr std::uint32_t kMaxFrame = 64u << 20;
// A service's end stops reading past these, and handles at most a turn of
// frames a round, so that a peer cannot grow it or hold it from the others.
constexpr std::size_t kUnhandledLimit = 256 * 1024;
constexpr std::size_t kUnsentLimit = 256 * 1024;
constexpr std::size_t kTurnBytes = 256 * 1024;
// A real peer answers within this much real time even under a virtual clock.
constexpr int kVirtualGraceMs = 100;

struct StringRec {
  std::string text;
  int refs = 0;
};
std::vector<StringRec> strings;  // handle = index + 1

struct DataRec {
  std::string bytes;
  UINT format = 0;
  HSZ item = nullptr;
};
std::map<ULONG_PTR, DataRec> datas;
ULONG_PTR nextData = 0x10000;
bool roundSizes = false;

struct Instance {
  PFNCALLBACK callback;
  UINT lastError = 0;
};
std::map<DWORD, Instance> instances;
DWORD nextInstance = 1;

struct Listener {
  DWORD instance;
  HSZ service;
  int fd;
};
std::vector<Listener> listeners;

struct Conv {
  DWORD instance;
  int fd;
  bool server;
  bool established;  // client: accepted; server: connect answered TRUE
  bool gone = false;  // the peer closed or the stream broke
  HSZ service, topic;
  // Bytes are taken from the front by moving a start, not by erasing, so
  // a burst of many frames costs each frame once.
  std::string in, out;
  std::size_t inStart = 0, outStart = 0;
  std::deque<std::string> held;  // frames a synchronous wait set aside
  // How many of the first held frames a wait has looked at and found to be
  // of no kind any wait asks for: the next wait starts after them.
  std::size_t heldPlain = 0;
  std::vector<std::pair<HSZ, UINT>> advises;  // server: loops the client started
  std::vector<HSZ> posted;                    // server: items with an advise due
  bool blocked = false;  // a callback held the first held frame back
};
std::map<DWORD, Conv> convs;
DWORD nextConv = 0x1000;
int watcher = -1;
int polling = 0;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

StringRec* stringOf(HSZ h) {
  auto i = reinterpret_cast<ULONG_PTR>(h);
  if (!i || i > strings.size() || !strings[i - 1].refs) return nullptr;
  return &strings[i - 1];
}
const std::string& textOf(HSZ h) {
  static const std::string empty;
  StringRec* s = stringOf(h);
  return s ? s->text : empty;
}
HSZ intern(const std::string& text) {
  std::string key = lower(text);
  std::size_t free = strings.size();
  for (std::size_t i = 0; i < strings.size(); ++i) {
    if (strings[i].refs && lower(strings[i].text) == key) {
      ++strings[i].refs;
      return reinterpret_cast<HSZ>(i + 1);
    }
    if (!strings[i].refs && free == strings.size()) free = i;
  }
  if (free == strings.size()) strings.emplace_back();
  strings[free] = StringRec{text, 1};
  return reinterpret_cast<HSZ>(free + 1);
}
void keep(HSZ h) {
  if (StringRec* s = stringOf(h)) ++s->refs;
}
void release(HSZ h) {
  if (StringRec* s = stringOf(h)) --s->refs;
}

DataRec* dataOf(HDDEDATA h) {
  auto it = datas.find(reinterpret_cast<ULONG_PTR>(h));
  return it == datas.end() ? nullptr : &it->second;
}
std::size_t rounded(std::size_t n) { return roundSizes ? (n + 15) / 16 * 16 : n; }
HDDEDATA makeData(std::string bytes, UINT format, HSZ item) {
  ULONG_PTR id = nextData++;
  keep(item);
  datas[id] = DataRec{std::move(bytes), format, item};
  return reinterpret_cast<HDDEDATA>(id);
}
void freeData(HDDEDATA h) {
  auto it = datas.find(reinterpret_cast<ULONG_PTR>(h));
  if (it == datas.end()) return;
  release(it->second.item);
  datas.erase(it);
}

Instance* instanceOf(DWORD id) {
  auto it = instances.find(id);
  return it == instances.end() ? nullptr : &it->second;
}
void setError(DWORD id, UINT error) {
  if (Instance* i = instanceOf(id)) i->lastError = error;
}
Conv* convOf(HCONV h) {
  auto it = convs.find(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(h)));
  return it == convs.end() ? nullptr : &it->second;
}
HCONV handleOf(DWORD id) { return reinterpret_cast<HCONV>(static_cast<ULONG_PTR>(id)); }

std::string socketName(HSZ service) {
  static const std::string user = px::userName();
  return "wexlin-dde/" + user + "/" + lower(textOf(service));
}

void ensureWatcher() {
  if (watcher >= 0) return;
  watcher = px::watcherCreate();
  if (watcher < 0) return;
  AddWaitDescriptor(watcher);
  AddDescriptorWatcher(DdePollConversations);
}

// Frames: building and reading fields.
void put32(std::string& s, std::uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }
std::string frame(Kind kind, UINT format, const std::string& text, const std::string& data) {
  std::string f(4, '\0');
  f.push_back(static_cast<char>(kind));
  put32(f, format);
  put32(f, static_cast<std::uint32_t>(text.size()));
  f += text;
  f += data;
  std::uint32_t n = static_cast<std::uint32_t>(f.size() - 4);
  std::memcpy(f.data(), &n, 4);
  return f;
}
struct Parsed {
  Kind kind;
  UINT format;
  std::string text, data;
};
bool parse(const std::string& f, Parsed* p) {
  if (f.size() < 9) return false;
  p->kind = static_cast<Kind>(f[0]);
  std::uint32_t n;
  std::memcpy(&p->format, f.data() + 1, 4);
  std::memcpy(&n, f.data() + 5, 4);
  if (n > f.size() - 9) return false;
  p->text = f.substr(9, n);
  p->data = f.substr(9 + n);
  return true;
}

void closeFd(int fd) {
  if (watcher >= 0) px::watcherSet(watcher, fd, false, false);
  px::closeSocket(fd);
}

// Sends what the socket takes now; the rest waits for the socket to drain.
// Drops the bytes before start once they are the larger part.
void compact(std::string& s, std::size_t& start) {
  if (start == s.size()) {
    s.clear();
    start = 0;
  } else if (start > 65536 && start > s.size() / 2) {
    s.erase(0, start);
    start = 0;
  }
}
bool outEmpty(const Conv& c) { return c.outStart == c.out.size(); }

std::size_t unsent(const Conv& c) { return c.out.size() - c.outStart; }

// Where the whole frame at the front of what came in ends, or 0.
std::size_t wholeFrame(const Conv& c) {
  std::size_t left = c.in.size() - c.inStart;
  if (left < 4) return 0;
  std::uint32_t n;
  std::memcpy(&n, c.in.data() + c.inStart, 4);
  return left >= 4 + std::size_t{n} ? 4 + std::size_t{n} : 0;
}

// A client reads all there is: it may be waiting for an answer behind
// whatever came first. A service's end reads only what it can soon handle
// (a frame begun is always completed).
bool reading(const Conv& c) {
  if (c.gone) return false;
  if (!c.server) return true;
  if (c.blocked || unsent(c) >= kUnsentLimit) return false;
  return !wholeFrame(c) || c.in.size() - c.inStart < kUnhandledLimit;
}

bool hasFrame(const Conv& c) { return !c.held.empty() || wholeFrame(c); }

// A service's end not read is not watched for input either: the wait
// would wake at once for bytes no one takes.
void rewatch(Conv& c) {
  if (watcher < 0 || c.gone) return;
  px::watcherSet(watcher, c.fd, reading(c), !outEmpty(c));
}

void flush(Conv& c) {
  while (!outEmpty(c) && !c.gone) {
    long n = px::sendBytes(c.fd, c.out.data() + c.outStart, c.out.size() - c.outStart, nullptr);
    if (n > 0) {
      c.outStart += static_cast<std::size_t>(n);
    } else if (n < 0 && px::lastError() == 10035) {
      break;
    } else {
      c.gone = true;
    }
  }
  compact(c.out, c.outStart);
  rewatch(c);
}
bool send(Conv& c, const std::string& f) {
  if (c.gone) return false;
  c.out += f;
  flush(c);
  return !c.gone;
}

// Reads what is there; false at the end of the stream or on an error.
void fill(Conv& c) {
  char buffer[65536];
  while (reading(c)) {
    long n = px::receive(c.fd, buffer, sizeof buffer, false, nullptr);
    if (n > 0) {
      c.in.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && px::lastError() == 10035) return;
    c.gone = true;  // end or error: the conversation is over
  }
}

// The next whole frame that came in, set-aside ones aside.
bool nextInFrame(Conv& c, std::string* f) {
  std::size_t left = c.in.size() - c.inStart;
  if (left < 4) return false;
  std::uint32_t n;
  std::memcpy(&n, c.in.data() + c.inStart, 4);
  if (n > kMaxFrame) {
    c.gone = true;  // no peer of ours sends that: the stream is garbage
    c.in.clear();
    c.inStart = 0;
    return false;
  }
  if (left < 4 + std::size_t{n}) return false;
  f->assign(c.in, c.inStart + 4, n);
  c.inStart += 4 + std::size_t{n};
  compact(c.in, c.inStart);
  return true;
}

// The next whole frame, set-aside ones first.
bool nextFrame(Conv& c, std::string* f) {
  if (!c.held.empty()) {
    *f = std::move(c.held.front());
    c.held.pop_front();
    if (c.heldPlain) --c.heldPlain;
    return true;
  }
  return nextInFrame(c, f);
}

// The kinds a synchronous wait asks for: the answers to a connect, a poke
// and an advise start or stop.
bool awaitedKind(const std::string& f) {
  if (f.empty()) return false;
  auto k = static_cast<Kind>(f[0]);
  return k == kAck || k == kAccept || k == kRefuse;
}

// Waits up to the time-out for a frame of one of the kinds on this
// conversation only; other frames are set aside, in order, for the loop.
bool await(DWORD id, std::initializer_list<Kind> kinds, DWORD timeout, Parsed* answer) {
  ULONGLONG deadline = GetTickCount64() + timeout;
  bool found = false;
  auto wanted = [&](const std::string& f, Parsed* p) {
    return !f.empty() && std::find(kinds.begin(), kinds.end(), static_cast<Kind>(f[0])) != kinds.end() &&
           parse(f, p);
  };
  for (;;) {
    Conv* c = convOf(handleOf(id));
    if (!c) break;
    // What an earlier wait set aside, past what is known to hold no answer.
    for (std::size_t i = c->heldPlain; !found && i < c->held.size(); ++i) {
      if (Parsed p; wanted(c->held[i], &p)) {
        *answer = std::move(p);
        c->held.erase(c->held.begin() + static_cast<std::ptrdiff_t>(i));
        found = true;
      } else if (i == c->heldPlain && !awaitedKind(c->held[i])) {
        ++c->heldPlain;
      }
    }
    std::string f;
    while (!found && nextInFrame(*c, &f)) {
      if (Parsed p; wanted(f, &p)) {
        *answer = std::move(p);
        found = true;
      } else {
        if (c->heldPlain == c->held.size() && !awaitedKind(f)) ++c->heldPlain;
        c->held.push_back(std::move(f));
      }
    }
    if (found || c->gone) break;
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) break;
    bool virtualClock = internal::clockMovesOnWaits();
    int wait = static_cast<int>(std::min<ULONGLONG>(deadline - now, virtualClock ? kVirtualGraceMs : 1u << 30));
    std::vector<int> fds{c->fd}, events{outEmpty(*c) ? 1 : 3};
    int n = px::pollSockets(fds, events, wait);
    if (n < 0 && px::lastError() != 10004) break;
    if (n == 0 && virtualClock) internal::advanceVirtualClock(deadline);
    if (events[0] & 2) flush(*c);
    if (events[0] & 1) fill(*c);
  }
  return found;
}

void forget(DWORD id) {
  auto it = convs.find(id);
  if (it == convs.end()) return;
  closeFd(it->second.fd);
  release(it->second.service);
  release(it->second.topic);
  for (auto& a : it->second.advises) release(a.first);
  for (HSZ h : it->second.posted) release(h);
  convs.erase(it);
}

HDDEDATA call(DWORD instance, UINT type, UINT format, DWORD conv, HSZ a, HSZ b, HDDEDATA data) {
  Instance* i = instanceOf(instance);
  if (!i || !i->callback) return nullptr;
  // Like a message dispatched: the wait returns, so that whatever the
  // callback queued is looked at.
  internal::noteArrival();
  return i->callback(type, format, conv ? handleOf(conv) : nullptr, a, b, data, 0, 0);
}

void accept(Listener l) {
  for (;;) {
    int fd = px::acceptLocal(l.fd);
    if (fd < 0) return;
    px::setNonBlocking(fd, true);
    DWORD id = nextConv++;
    keep(l.service);
    convs.emplace(id, Conv{l.instance, fd, true, false, false, l.service, nullptr, {}, {}, 0, 0, {}, 0, {}, {}});
    px::watcherSet(watcher, fd, true, false);
  }
}

// One frame that arrived on a conversation, with its callbacks.
void handle(DWORD id, const std::string& f) {
  Conv* c = convOf(handleOf(id));
  Parsed p;
  if (!c || !parse(f, &p)) return;
  DWORD inst = c->instance;
  if (c->server && !c->established) {
    if (p.kind != kConnect) {
      c->gone = true;
      return;
    }
    HSZ topic = intern(p.text);
    c->topic = topic;
    HSZ service = c->service;
    bool yes = call(inst, XTYP_CONNECT, 0, 0, topic, service, nullptr) != nullptr;
    if (!(c = convOf(handleOf(id)))) return;
    if (!yes) {
      send(*c, frame(kRefuse, 0, {}, {}));
      forget(id);
      return;
    }
    c->established = true;
    send(*c, frame(kAccept, 0, {}, {}));
    call(inst, XTYP_CONNECT_CONFIRM, 0, id, topic, service, nullptr);
    return;
  }
  HSZ item = intern(p.text);
  HSZ topic = c->topic;
  switch (p.kind) {
    case kAdviseStart:
    case kAdviseStop: {
      bool start = p.kind == kAdviseStart;
      HDDEDATA r = call(inst, start ? XTYP_ADVSTART : XTYP_ADVSTOP, p.format, id, topic, item, nullptr);
      if (!(c = convOf(handleOf(id)))) break;
      auto& loops = c->advises;
      auto it = std::find_if(loops.begin(), loops.end(), [&](auto& a) { return a.first == item; });
      bool ok = start ? r != nullptr : true;
      if (start && ok && it == loops.end()) {
        keep(item);
        loops.emplace_back(item, p.format);
      } else if (!start && it != loops.end()) {
        release(it->first);
        loops.erase(it);
      }
      send(*c, frame(kAck, ok ? 1 : 0, {}, {}));
      break;
    }
    case kAdviseData:
    case kPoke: {
      HDDEDATA d = makeData(p.data, p.format, item);
      HDDEDATA r = call(inst, p.kind == kPoke ? XTYP_POKE : XTYP_ADVDATA, p.format, id, topic, item, d);
      freeData(d);
      if (r == CBR_BLOCK) {
        // Taken again, first, when the conversation is let go on; not
        // answered meanwhile.
        if ((c = convOf(handleOf(id)))) {
          c->blocked = true;
          c->held.push_front(f);
          ++c->heldPlain;
        }
        break;
      }
      if (p.kind == kPoke)
        if ((c = convOf(handleOf(id))))
          send(*c, frame(kAck, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(r)), {}, {}));
      break;
    }
    default:
      break;  // a late answer after a time-out
  }
  release(item);
}

void adviseDue(DWORD id) {
  Conv* c = convOf(handleOf(id));
  // Answers wait in the caller's own queue while the peer does not read.
  while (c && !c->posted.empty() && !c->gone && unsent(*c) < kUnsentLimit) {
    HSZ item = c->posted.front();
    c->posted.erase(c->posted.begin());
    UINT format = CF_TEXT;
    for (auto& a : c->advises)
      if (a.first == item) format = a.second;
    HDDEDATA d = call(c->instance, XTYP_ADVREQ, format, id, c->topic, item, nullptr);
    c = convOf(handleOf(id));
    if (DataRec* r = dataOf(d)) {
      if (c) send(*c, frame(kAdviseData, r->format ? r->format : format, textOf(item), r->bytes));
      freeData(d);
    }
    release(item);
  }
}

void ended(DWORD id) {
  Conv* c = convOf(handleOf(id));
  if (!c) return;
  DWORD inst = c->instance;
  bool told = c->established;
  std::vector<std::pair<HSZ, UINT>> loops;
  loops.swap(c->advises);
  for (auto& a : loops) {
    if (told) call(inst, XTYP_ADVSTOP, a.second, id, c->topic, a.first, nullptr);
    release(a.first);
    if (!(c = convOf(handleOf(id)))) return;
  }
  if (told) call(inst, XTYP_DISCONNECT, 0, id, nullptr, nullptr, nullptr);
  forget(id);
}

void dropInstance(DWORD inst) {
  for (auto it = listeners.begin(); it != listeners.end();) {
    if (it->instance != inst) {
      ++it;
      continue;
    }
    closeFd(it->fd);
    release(it->service);
    it = listeners.erase(it);
  }
  std::vector<DWORD> ids;
  for (auto& [id, c] : convs)
    if (c.instance == inst) ids.push_back(id);
  for (DWORD id : ids) forget(id);
}

}  // namespace

UINT DdeInitializeA(DWORD* instance, PFNCALLBACK callback, DWORD, DWORD) {
  if (!instance || !callback) return DMLERR_INVALIDPARAMETER;
  if (*instance) return DMLERR_DLL_USAGE;  // re-initialising is not offered
  ensureWatcher();
  if (watcher < 0) return DMLERR_SYS_ERROR;
  *instance = nextInstance++;
  instances[*instance] = Instance{callback, 0};
  return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD instance) {
  if (!instanceOf(instance)) return 0;
  dropInstance(instance);
  instances.erase(instance);
  return 1;
}

UINT DdeGetLastError(DWORD instance) {
  Instance* i = instanceOf(instance);
  if (!i) return DMLERR_DLL_NOT_INITIALIZED;
  UINT e = i->lastError;
  i->lastError = 0;
  return e;
}

HSZ DdeCreateStringHandleA(DWORD instance, const char* text, int) {
  if (!instanceOf(instance) || !text) return setError(instance, DMLERR_INVALIDPARAMETER), nullptr;
  return intern(text);
}

BOOL DdeFreeStringHandle(DWORD, HSZ hsz) {
  if (!stringOf(hsz)) return 0;
  release(hsz);
  return 1;
}

DWORD DdeQueryStringA(DWORD, HSZ hsz, char* buffer, DWORD size, int) {
  StringRec* s = stringOf(hsz);
  if (!s) return 0;
  DWORD n = static_cast<DWORD>(s->text.size());
  if (!buffer) return n;
  if (!size) return 0;
  n = std::min<DWORD>(n, size - 1);
  std::memcpy(buffer, s->text.data(), n);
  buffer[n] = '\0';
  return n;
}

int DdeCmpStringHandles(HSZ a, HSZ b) {
  int r = lower(textOf(a)).compare(lower(textOf(b)));
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

HDDEDATA DdeNameService(DWORD instance, HSZ service, HSZ, UINT command) {
  if (!instanceOf(instance) || !stringOf(service)) return setError(instance, DMLERR_INVALIDPARAMETER), nullptr;
  auto it = std::find_if(listeners.begin(), listeners.end(), [&](const Listener& l) {
    return l.instance == instance && l.service == service;
  });
  if (command & DNS_UNREGISTER) {
    if (it == listeners.end()) return setError(instance, DMLERR_INVALIDPARAMETER), nullptr;
    closeFd(it->fd);
    release(it->service);
    listeners.erase(it);
    return reinterpret_cast<HDDEDATA>(1);
  }
  if (it != listeners.end()) return reinterpret_cast<HDDEDATA>(1);
  int fd = px::listenAbstract(socketName(service), 16);
  if (fd < 0) return setError(instance, DMLERR_DLL_USAGE), nullptr;  // the name is taken
  keep(service);
  listeners.push_back(Listener{instance, service, fd});
  px::watcherSet(watcher, fd, true, false);
  return reinterpret_cast<HDDEDATA>(1);
}

HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, void*) {
  if (!instanceOf(instance) || !stringOf(service) || !stringOf(topic))
    return setError(instance, DMLERR_INVALIDPARAMETER), nullptr;
  int fd = px::connectAbstract(socketName(service));
  if (fd < 0) return setError(instance, DMLERR_NO_CONV_ESTABLISHED), nullptr;
  px::setNonBlocking(fd, true);
  DWORD id = nextConv++;
  keep(service);
  keep(topic);
  convs.emplace(id, Conv{instance, fd, false, false, false, service, topic, {}, {}, 0, 0, {}, 0, {}, {}});
  Parsed answer;
  if (!send(convs.at(id), frame(kConnect, 0, textOf(topic), {})) ||
      !await(id, {kAccept, kRefuse}, TIMEOUT_DEFAULT, &answer) || answer.kind != kAccept) {
    forget(id);
    return setError(instance, DMLERR_NO_CONV_ESTABLISHED), nullptr;
  }
  convs.at(id).established = true;
  return handleOf(id);
}

BOOL DdeDisconnect(HCONV conv) {
  Conv* c = convOf(conv);
  if (!c) return 0;
  forget(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(conv)));
  return 1;
}

HDDEDATA DdeClientTransaction(const BYTE* data, DWORD length, HCONV conv, HSZ item, UINT format, UINT type,
                              DWORD timeout, DWORD* result) {
  if (result) *result = 0;
  std::string bytes;
  HDDEDATA owned = nullptr;
  if (length == CB_HANDLE) {
    owned = reinterpret_cast<HDDEDATA>(const_cast<BYTE*>(data));
    if (DataRec* r = dataOf(owned)) bytes = r->bytes;
  } else if (data) {
    bytes.assign(reinterpret_cast<const char*>(data), length);
  }
  Conv* c = convOf(conv);
  DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(conv));
  auto done = [&](UINT error, DWORD instance) -> HDDEDATA {
    freeData(owned);
    setError(instance, error);
    return error ? nullptr : reinterpret_cast<HDDEDATA>(1);
  };
  if (!c || c->server || !stringOf(item)) return done(DMLERR_INVALIDPARAMETER, c ? c->instance : 0);
  DWORD instance = c->instance;
  Kind kind = type == XTYP_ADVSTART ? kAdviseStart : type == XTYP_ADVSTOP ? kAdviseStop : kPoke;
  if (type != XTYP_ADVSTART && type != XTYP_ADVSTOP && type != XTYP_POKE)
    return done(DMLERR_INVALIDPARAMETER, instance);
  Parsed answer;
  if (!send(*c, frame(kind, format, textOf(item), kind == kPoke ? bytes : std::string{})))
    return done(DMLERR_NO_CONV_ESTABLISHED, instance);
  if (!await(id, {kAck}, timeout, &answer)) {
    Conv* now = convOf(conv);
    UINT timedOut = kind == kPoke ? DMLERR_POKEACKTIMEOUT : DMLERR_ADVACKTIMEOUT;
    return done(!now || now->gone ? DMLERR_NO_CONV_ESTABLISHED : timedOut, instance);
  }
  if (result) *result = answer.format;
  if (!answer.format) return done(DMLERR_NOTPROCESSED, instance);
  return done(DMLERR_NO_ERROR, instance);
}

BOOL DdePostAdvise(DWORD instance, HSZ topic, HSZ item) {
  if (!instanceOf(instance)) return 0;
  for (auto& [id, c] : convs) {
    if (c.instance != instance || !c.server || !c.established || DdeCmpStringHandles(c.topic, topic) != 0) continue;
    for (auto& a : c.advises)
      if (DdeCmpStringHandles(a.first, item) == 0 &&
          std::find(c.posted.begin(), c.posted.end(), a.first) == c.posted.end()) {
        keep(a.first);
        c.posted.push_back(a.first);
      }
  }
  return 1;
}

HDDEDATA DdeCreateDataHandle(DWORD instance, const BYTE* source, DWORD length, DWORD offset, HSZ item, UINT format,
                             UINT) {
  if (!instanceOf(instance)) return nullptr;
  std::string bytes(rounded(std::size_t{offset} + length), '\0');
  if (source) std::memcpy(bytes.data() + offset, source, length);
  return makeData(std::move(bytes), format, item);
}

HDDEDATA DdeAddData(HDDEDATA data, const BYTE* source, DWORD length, DWORD offset) {
  DataRec* r = dataOf(data);
  if (!r) return nullptr;
  std::size_t end = std::size_t{offset} + length;
  if (end > r->bytes.size()) r->bytes.resize(rounded(end), '\0');
  if (source) std::memcpy(r->bytes.data() + offset, source, length);
  return data;
}

DWORD DdeGetData(HDDEDATA data, BYTE* buffer, DWORD size, DWORD offset) {
  DataRec* r = dataOf(data);
  if (!r || offset > r->bytes.size()) return 0;
  DWORD n = static_cast<DWORD>(r->bytes.size() - offset);
  if (!buffer) return n;
  n = std::min(n, size);
  std::memcpy(buffer, r->bytes.data() + offset, n);
  return n;
}

BOOL DdeFreeDataHandle(HDDEDATA data) {
  if (!dataOf(data)) return 0;
  freeData(data);
  return 1;
}

BOOL DdeEnableCallback(DWORD instance, HCONV conv, UINT command) {
  if (!instanceOf(instance)) return 0;
  if (conv && (!convOf(conv) || convOf(conv)->instance != instance)) return 0;
  for (auto& [id, c] : convs) {
    if (c.instance != instance || (conv && convOf(conv) != &c)) continue;
    c.blocked = command == EC_DISABLE;
    rewatch(c);
  }
  // What was held back is taken at the next look, which must come.
  internal::noteArrival();
  return 1;
}

void DdeSetSizeRounding(int on) { roundSizes = on != 0; }

void DdePollConversations() {
  if (watcher < 0 || polling) return;  // callbacks never run inside another callback
  ++polling;
  px::Ready ready[32];
  int n = px::watcherReady(watcher, ready, 32);
  for (int i = 0; i < n; ++i) {
    int fd = ready[i].fd;
    auto l = std::find_if(listeners.begin(), listeners.end(), [&](const Listener& x) { return x.fd == fd; });
    if (l != listeners.end()) {
      accept(*l);
      continue;
    }
    for (auto& [id, c] : convs)
      if (c.fd == fd) {
        if (ready[i].out) flush(c);
        if (ready[i].in || ready[i].hangup) fill(c);
      }
  }
  // Frames, due advises and ends, conversation by conversation; the
  // callbacks may end conversations or start new ones.
  std::vector<DWORD> ids;
  for (auto& [id, c] : convs) ids.push_back(id);
  bool more = false;
  for (DWORD id : ids) {
    std::string f;
    std::size_t turn = 0;
    for (Conv* c = convOf(handleOf(id)); c && !c->blocked; c = convOf(handleOf(id))) {
      // A service's end answers no more while its peer leaves the answers;
      // one that has gone can be sent nothing anyway.
      if (c->server && !c->gone && unsent(*c) >= kUnsentLimit) break;
      if (c->server && turn >= kTurnBytes) {
        more = more || hasFrame(*c);
        break;
      }
      if (!nextFrame(*c, &f)) break;
      turn += f.size() + 4;
      handle(id, f);
    }
    adviseDue(id);
    Conv* c = convOf(handleOf(id));
    if (!c) continue;
    // A peer gone while held back is answered nothing more: it ends now.
    if (c->gone && (c->blocked || !hasFrame(*c))) {
      ended(id);
    } else {
      rewatch(*c);
    }
  }
  // Frames left for another turn: the wait must not sleep on them.
  if (more) internal::noteArrival();
  --polling;
}

}  // namespace win
