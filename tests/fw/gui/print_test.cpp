#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/print/print.h"
#include "tests/fw/gui/raises.h"

namespace {

vprefDict* root() { return vprefGetDefaultDict(); }
void setPref(const char* name, const char* value) { vprefSetString(root(), vscribeCString(name), value); }

vresource parsed(const char* text) {
  vrstoreInstallInterface();
  vresource r = vrstoreCreateMemory();
  std::string error;
  EXPECT_TRUE(vrtextParse(text, r, &error)) << error;
  return r;
}

std::string tempPath(const char* name) { return (testing::TempDir() + "print_") + name; }

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A job class that keeps what it is sent.
std::vector<std::string> written;
std::vector<std::size_t> sizes;
vprintClassRec* recordingClass() {
  static vprintClassRec* c = nullptr;
  if (c && vclassFindByName(vscribeLiteral("testRecordingPrint")) == c) return c;
  c = vclassSpawnOf<vprintClassRec>(vprintGetDefaultClass());
  vclassSetName(c, vscribeLiteral("testRecordingPrint"));
  c->write = [](vprint*, const void* bytes, std::size_t count, std::size_t size) {
    written.emplace_back(static_cast<const char*>(bytes), count * size);
    sizes.push_back(size);
  };
  return c;
}

class PrintJobs : public ::testing::Test {
 public:
  void SetUp() override {
    for (const char* n : {"printpaper", "spool", "printfile", "printclass"}) setPref(n, "");
    written.clear();
    sizes.clear();
  }
  void TearDown() override {
    for (vprint* j : jobs) vinstanceDestroy(j);
    vdrawBindPathDevice();
    for (const char* n : {"printpaper", "spool", "printfile", "printclass"}) setPref(n, "");
  }
  vprint* make(vprintClassRec* cls = nullptr) {
    auto* j = static_cast<vprint*>(vinstanceCreate(cls ? cls : vprintGetDefaultClass()));
    jobs.push_back(j);
    return j;
  }
  std::vector<vprint*> jobs;
};

TEST_F(PrintJobs, NewJobsTakeTheDefaultsAndTheClassWords) {
  vprint* job = make();
  EXPECT_EQ(job->paper.width, 612.0f);
  EXPECT_EQ(job->paper.height, 792.0f);
  EXPECT_EQ(job->page.x, 18.0f);
  EXPECT_EQ(job->page.y, 7.92f);
  EXPECT_EQ(job->page.width, 576.0f);
  EXPECT_EQ(job->page.height, 776.16f);
  EXPECT_EQ(job->lastPage, 0xFFFFFFFFu);
  EXPECT_EQ(job->flags, 0u);
  EXPECT_EQ(job->mode, 0u);
  EXPECT_EQ(make(vprintStreamGetDefaultClass())->mode, 1u);
  EXPECT_EQ(vprintGetDefaultClass()->driver, &vdrawPathRecorder);

  setPref("spool", "1");
  EXPECT_EQ(make()->flags, vprintSPOOL);
  setPref("spool", "");
  vprintConfigureJob(job);
  EXPECT_EQ(job->flags, 0u);

  std::string message;
  EXPECT_EQ(raised([&] { vobjectClone(job); }, &message), &vexModuleUnimplementedClass);
  EXPECT_EQ(message, "unable to copy printer connection");

  // "printclass" names a job class, else the plain one answers.
  EXPECT_EQ(vprintGetPreferredClass(), vprintGetDefaultClass());
  setPref("printclass", "vprintStream");
  EXPECT_EQ(vprintGetPreferredClass(), vprintStreamGetDefaultClass());
  setPref("printclass", "vprefDict");
  EXPECT_EQ(vprintGetPreferredClass(), vprintGetDefaultClass());
}

TEST_F(PrintJobs, PaperComesFromTheNamedDictionaryEntry) {
  vprefDictPushResource(root(), parsed(
      "printpaperdict = dictionary { letter = array float [ 612 792 18 18 594 774 ] "
      "a5 = array float [ 420 595 10 20 410 575 ] }"));
  _vprintReadPaperDictionary();
  int notified = 0;
  static int* counter;
  counter = &notified;
  setPref("printpaper", "letter");
  vprint* job = make();
  EXPECT_EQ(job->page.x, 18.0f);
  EXPECT_EQ(job->page.y, 18.0f);
  EXPECT_EQ(job->page.width, 576.0f);
  EXPECT_EQ(job->page.height, 756.0f);
  vprintClassOf(job)->setPaperNotify(job, [](vprint*, std::int32_t r) { *counter += r; });
  setPref("printpaper", "a5");
  vprintConfigurePaper(job);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(job->paper.width, 420.0f);
  EXPECT_EQ(job->page.height, 555.0f);
  setPref("printpaper", "tabloid");  // no entry: unchanged
  vprintConfigurePaper(job);
  EXPECT_EQ(job->paper.width, 420.0f);

  // Stored and loaded: the rectangles and the spool bit, the rest as new.
  vresource store = vrstoreCreateMemory();
  vresource r = vresourceMake(store, vnameInternLiteral("Job"));
  vprintClassOf(job)->setSpool(job, 1);
  vprintClassOf(job)->setLastPage(job, 4);
  vclassRec<vobjectClassRec>(job)->store(job, r);
  auto* back = static_cast<vprint*>(vclassAllocInstance(vprintGetDefaultClass()));
  back->cls = vprintGetDefaultClass();
  vclassRec<vobjectClassRec>(back)->loadInit(back, r);
  jobs.push_back(back);
  EXPECT_EQ(back->paper.width, 420.0f);
  EXPECT_EQ(back->page.height, 555.0f);
  EXPECT_EQ(back->flags, vprintSPOOL);
  EXPECT_EQ(back->lastPage, 0xFFFFFFFFu);
}

// Each operation out of turn raises Arg and leaves the flags alone.
TEST_F(PrintJobs, SequencingErrorsLeaveTheStateAlone) {
  using Op = void (*)(vprint*);
  struct Case {
    const char* name;
    std::function<void(vprint*)> prepare;
    Op op;
  } cases[] = {
      {"connect twice", vprintConnect, vprintConnect},
      {"open twice", vprintOpen, vprintOpen},
      {"page unopened", [](vprint*) {}, vprintBeginPage},
      {"page twice", [](vprint* j) { vprintOpen(j), vprintBeginPage(j); }, vprintBeginPage},
      {"end outside", vprintOpen, vprintEndPage},
      {"close unopened", [](vprint*) {}, vprintClose},
      {"close in page", [](vprint* j) { vprintOpen(j), vprintBeginPage(j); }, vprintClose},
      {"disconnect idle", [](vprint*) {}, vprintDisconnect},
      {"disconnect open", [](vprint* j) { vprintConnect(j), vprintOpen(j); }, vprintDisconnect},
  };
  for (const auto& c : cases) {
    vprint* job = make();
    c.prepare(job);
    std::uint32_t before = job->flags;
    EXPECT_TRUE(raisesArg([&] { c.op(job); })) << c.name;
    EXPECT_EQ(job->flags, before) << c.name;
    if (job->flags & vprintIN_PAGE) vprintEndPage(job);
    if (job->flags & vprintOPEN) vprintClose(job);
  }
}

TEST_F(PrintJobs, PagesOutsideTheRangeDrawIntoThePathRecorder) {
  vprint* job = make();
  vprintClassOf(job)->setFirstPage(job, 2);
  vprintClassOf(job)->setLastPage(job, 3);
  vprintOpen(job);
  EXPECT_EQ(job->flags, vprintOPEN | vprintCONNECTED | vprintCONNECTED_BY_OPEN);
  std::string seen;
  for (int page = 0; page < 6; ++page) {
    vprintBeginPage(job);
    bool bound = vdrawGetState()->binding->target == job;
    EXPECT_EQ(bound, !(job->flags & vprintSKIPPED)) << page;
    seen += bound ? 'P' : '-';
    vprintEndPage(job);
    EXPECT_EQ(vdrawGetState()->binding->target, nullptr);
  }
  EXPECT_EQ(seen, "--PP--");
  EXPECT_EQ(job->currentPage, 6u);
  vprintClose(job);
  EXPECT_EQ(job->flags, vprintSKIPPED);  // the open connected, the close disconnected

  // Connected beforehand, it stays connected; every page prints by default.
  vprint* other = make();
  vprintConnect(other);
  vprintOpen(other);
  vprintClassOf(other)->setCurrentPage(other, 1000);
  vprintBeginPage(other);
  EXPECT_FALSE(other->flags & vprintSKIPPED);
  vprintEndPage(other);
  vprintClose(other);
  EXPECT_EQ(other->flags, vprintCONNECTED);
}

TEST_F(PrintJobs, ScribesGoThroughOneWrite) {
  vprint* job = make(recordingClass());
  for (std::size_t n : {5u, 256u, 257u, 1000u}) {
    written.clear();
    _vprintWriteScribe(job, vscribeRepeatChar('x', n));
    ASSERT_EQ(written.size(), 1u) << n;
    EXPECT_EQ(written[0], std::string(n, 'x'));
    EXPECT_EQ(sizes[0], 1u);
  }
}

TEST_F(PrintJobs, StreamsSpoolToTheFileOrThePortAndSurviveAFailedConnect) {
  vprintClassRec* cls = vprintStreamGetDefaultClass();
  setPref("spool", "1");
  vprint* job = make(cls);
  std::string message;
  EXPECT_EQ(raised([&] { vprintOpen(job); }, &message), &vexModuleStateClass);
  EXPECT_EQ(message, "unable to get spool file preference");
  EXPECT_EQ(job->flags, vprintSPOOL);  // the failed connect is undone

  std::string spool = tempPath("spool.txt");
  setPref("printfile", spool.c_str());
  vprintOpen(job);
  vprintWrite(job, "hello", 5, 1);
  vprintClose(job);
  EXPECT_EQ(job->flags, vprintSPOOL);
  EXPECT_EQ(slurp(spool), "hello");

  // The port is the third item of the profile's default device.
  std::string profile = tempPath("win.ini"), port = tempPath("port.txt");
  const char* old = std::getenv("WEXLIN_PROFILE");
  std::string saved = old ? old : "";
  setenv("WEXLIN_PROFILE", profile.c_str(), 1);
  std::ofstream(profile) << "[windows]\n";
  vprintClassOf(job)->setSpool(job, 0);
  EXPECT_EQ(raised([&] { vprintConnect(job); }, &message), &vexReturnNullClass);
  EXPECT_EQ(message, "unable to open default printer");
  EXPECT_EQ(job->flags, 0u);
  std::ofstream(profile) << "[windows]\ndevice=Laser,WINSPOOL," << port << "\n";
  vprintConnect(job);
  vprintWrite(job, "ab", 1, 2);
  vprintDisconnect(job);
  EXPECT_EQ(slurp(port), "ab");
  if (old)
    setenv("WEXLIN_PROFILE", saved.c_str(), 1);
  else
    unsetenv("WEXLIN_PROFILE");
}

// A spool file or port on a full device: the close says the bytes were
// lost, the job is disconnected all the same (destroying it closes
// nothing twice) and prints again once the file is a sound one.
TEST_F(PrintJobs, AStreamWhoseCloseFailsIsClosedOnce) {
  std::string profile = tempPath("full.ini");
  const char* old = std::getenv("WEXLIN_PROFILE");
  std::string saved = old ? old : "";
  setenv("WEXLIN_PROFILE", profile.c_str(), 1);
  std::ofstream(profile) << "[windows]\ndevice=Laser,WINSPOOL,/dev/full\n";
  setPref("printfile", "/dev/full");
  for (bool spool : {true, false}) {
    SCOPED_TRACE(spool ? "spool file" : "port");
    vprint* job = make(vprintStreamGetDefaultClass());
    vprintClassOf(job)->setSpool(job, spool);
    vprintOpen(job);
    vprintWrite(job, "hello", 5, 1);  // kept in the stream's buffer
    std::string message;
    const vexClass* cls = raised([&] { vprintClose(job); }, &message);
    EXPECT_EQ(cls, spool ? &vfsIOWriteClass : &vexReturnClass);
    EXPECT_NE(message.find(spool ? "close lost written data" : "unable to write to printer driver"),
              std::string::npos) << message;
    EXPECT_EQ(job->flags, spool ? vprintSPOOL : 0u);
    EXPECT_EQ(job->spoolFile, nullptr);
    EXPECT_EQ(job->portFile, nullptr);
  }
  std::string spool = tempPath("after_full.txt");
  setPref("printfile", spool.c_str());
  vprint* job = jobs.front();
  vprintOpen(job);
  vprintWrite(job, "again", 5, 1);
  vprintClose(job);
  EXPECT_EQ(slurp(spool), "again");
  if (old)
    setenv("WEXLIN_PROFILE", saved.c_str(), 1);
  else
    unsetenv("WEXLIN_PROFILE");
}

}  // namespace
