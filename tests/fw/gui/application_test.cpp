#include "fw/gui/window/application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/sys.h"
#include "fw/gui/window/hooks.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "tests/fw/gui/raises.h"

namespace {

// The default application and its stores live until the program's exit
// handlers run, as a real program's do at exit; run them at the end of the
// test program so that nothing is left for the leak checker.
struct RunExitHandlersAtEnd : ::testing::Environment {
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const exitAtEnd =
    ::testing::AddGlobalTestEnvironment(new RunExitHandlersAtEnd);

struct Rgb {
  unsigned r, g, b;
};
bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
std::ostream& operator<<(std::ostream& os, Rgb c) { return os << "(" << c.r << "," << c.g << "," << c.b << ")"; }

vcolor* make(Rgb c) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, c.r, c.g, c.b);
  return vcolorInternSpec(&s);
}
Rgb rgbOf(vcolor* c) {
  Rgb v{};
  vcolorGetSpecRGB(&c->desc, &v.r, &v.g, &v.b);
  return v;
}
void put(vcolorScheme* s, int i, vcolor* c) {
  s->entries[i] = c;
  s->mask |= vcolorSchemeBit(i);
}

constexpr Rgb kBg{30000, 60000, 3000}, kFg{3000, 0, 65535}, kRed{65535, 0, 0};

TEST(ApplicationColors, DeriveTableRowByRow) {
  struct Case {
    int index;
    int extra;  // an entry set to red first, or -1
    Rgb want;
  };
  const Case cases[] = {
      {1, -1, {21000, 40000, 23845}},  {3, -1, kBg},  {8, -1, kBg},
      {4, -1, {37499, 65535, 3749}},   {6, -1, {14999, 29999, 1499}},  {10, -1, kFg},
      {16, -1, kFg},                   {18, -1, kFg}, {12, -1, {32999, 65535, 3299}},
      {14, -1, {26999, 53999, 2699}},  {20, -1, {37499, 65535, 3749}}, {20, 4, kRed},
      {22, -1, {14999, 29999, 1499}},  {22, 6, kRed}, {5, -1, {32999, 65535, 3299}},
      {5, 4, {41845, 40000, 2000}},    {7, -1, {24999, 49998, 2499}},  {13, -1, {32999, 65535, 3299}},
      {15, -1, {26999, 53999, 2699}},  {21, 20, {41845, 40000, 2000}}, {23, -1, {24999, 49998, 2499}},
      {9, -1, kBg},                    {9, 8, {41845, 40000, 2000}},   {11, -1, {21000, 40000, 23845}},
      {17, -1, {21000, 40000, 23845}}, {19, 18, {41845, 40000, 2000}},
  };
  for (const Case& c : cases) {
    vcolorScheme s{};
    put(&s, 0, make(kFg));
    put(&s, 2, make(kBg));
    if (c.extra >= 0) put(&s, c.extra, make(kRed));
    vcolor* got = vapplicationDefaultDerive(&s, c.index);
    ASSERT_NE(got, nullptr) << c.index;
    EXPECT_EQ(rgbOf(got), c.want) << "entry " << c.index << " with " << c.extra;
  }
  vcolorScheme full{};
  put(&full, 0, make(kFg));
  put(&full, 2, make(kBg));
  for (int never : {0, 2, 24, -1}) EXPECT_TRUE(raisesArg([&] { vapplicationDefaultDerive(&full, never); })) << never;
  vcolorScheme noBg{};
  put(&noBg, 0, make(kFg));
  EXPECT_TRUE(raisesArg([&] { vapplicationDefaultDerive(&noBg, 3); }));
  EXPECT_TRUE(raisesArg([&] { vapplicationDefaultDerive(&noBg, 1); }));
  EXPECT_EQ(rgbOf(vapplicationDefaultDerive(&noBg, 10)), kFg);  // needs no background
  // The same colour twice is one shared object.
  EXPECT_EQ(vapplicationDefaultDerive(&full, 4), vapplicationDefaultDerive(&full, 20));
}

TEST(ApplicationColors, ClosureMasks) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 0},
      {0x1, 0xF0C03},
      {0x4, 0xAAFBFE},
      {0x10, 0x30},
      {0x2, 0x2},
      {0x5, 0xF0C03 | 0xAAFBFE},
      {0x800000, 0x800000},
  };
  for (auto [m, want] : cases) EXPECT_EQ(vapplicationDefaultClosure(m), want) << std::hex << m;
}

TEST(ApplicationColors, DetermineColorsFallsBackThroughAppClassAndDerive) {
  vapplication* app = vapplicationGetDefault();
  vapplicationClassRec* c = vapplicationClassOf(app);
  // Only black on white: entry 1 is derived and brings entry 0 with it.
  vcolorScheme r{};
  vapplicationDetermineColorMask(app, vcolorSchemeBit(1), &r);
  EXPECT_EQ(r.mask, 3u);
  EXPECT_EQ(r.entries[0], vcolorGetBlack());
  EXPECT_EQ(rgbOf(r.entries[1]), (Rgb{43690, 43690, 43690}));
  EXPECT_EQ(vapplicationDetermineColor(app, 2), vcolorGetWhite());

  // The application's background reaches the derived entries.
  vcolor* bg = make(kBg);
  c->setSchemeColor(app, 2, bg);
  EXPECT_EQ(rgbOf(vapplicationDetermineColor(app, 3)), kBg);
  EXPECT_EQ(rgbOf(vapplicationDetermineColor(app, 4)), (Rgb{37499, 65535, 3749}));

  // An application entry that depends on an overridden background is not used.
  vcolor* red = make(kRed);
  c->setSchemeColor(app, 4, red);
  EXPECT_EQ(vapplicationDetermineColor(app, 4), red);
  vcolor* white = vcolorGetWhite();
  int idx[] = {2};
  vcolorScheme out{};
  vapplicationDetermineColors(app, idx, &white, 1, vcolorSchemeBit(4), &out);
  EXPECT_EQ(rgbOf(out.entries[4]), (Rgb{65535, 65535, 65535}));  // scaled up past the top
  // An override equal to the application's own keeps its entries usable.
  vapplicationDetermineColors(app, idx, &bg, 1, vcolorSchemeBit(4), &out);
  EXPECT_EQ(out.entries[4], red);
  EXPECT_EQ(out.mask, vcolorSchemeBit(4));

  // An override holding everything wanted is answered from the override alone.
  vcolorScheme s{}, res{};
  put(&s, 6, red);
  c->determineColors(app, &s, vcolorSchemeBit(6), &res);
  EXPECT_EQ(res.mask, vcolorSchemeBit(6));
  EXPECT_EQ(res.entries[6], red);
}

TEST(ApplicationColors, ClassWithoutBackgroundRaisesWhenDeriving) {
  auto* sub = vclassSpawnOf<vapplicationClassRec>(vapplicationGetDefaultClass());
  auto* app = static_cast<vapplication*>(vinstanceCreate(sub));
  sub->scheme.mask &= ~vcolorSchemeBit(2);  // after init, whose class preferences copy the superclass's
  EXPECT_EQ(vapplicationDetermineColor(app, 0), vcolorGetBlack());
  EXPECT_TRUE(raisesArg([&] { vapplicationDetermineColor(app, 3); }));
  EXPECT_TRUE(raisesArg([&] { vapplicationDetermineColor(app, 2); }));  // never invented
  vapplicationDestroy(app);
}

// --- The class and its setters ------------------------------------------------

std::vector<std::string> sent;
void recordSend(vobject*, vname selector, vdict*) { sent.push_back(selector); }

int destroyed = 0;
void countDestroy(vinstance* self) {
  ++destroyed;
  vobjectGetDefaultClass()->destroy(self);
}
vobject* makeCounted() {
  static vobjectClassRec* cls = [] {
    auto* c = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
    c->destroy = countDestroy;
    return c;
  }();
  return static_cast<vobject*>(vinstanceCreate(cls));
}

TEST(Application, ClassAttributesCommandsAndDefaults) {
  vapplicationClassRec* c = vapplicationGetDefaultClass();
  EXPECT_STREQ(c->name, "vapplication");
  const std::pair<const char*, int> attrs[] = {{"Data", 0},        {"Title", 1},     {"Name", 2},
                                               {"Cursor", 3},      {"BlockCursor", 4}, {"Icon", 5},
                                               {"Font", 6},        {"LineWidth", 7}, {"Foreground", 8},
                                               {"Background", 10}, {"ShadowBottomDark", 30}};
  for (auto [name, index] : attrs) EXPECT_EQ(vdictGetInteger(c->attributes, vnameInternLiteral(name)), index) << name;
  EXPECT_EQ(c->scheme.mask, 5u);
  EXPECT_EQ(c->scheme.entries[0], vcolorGetBlack());
  EXPECT_EQ(c->scheme.entries[2], vcolorGetWhite());

  vapplication* app = vapplicationGetDefault();
  EXPECT_EQ(vapplicationGetCurrent(), app);
  EXPECT_EQ(vapplicationGetLineWidth(app), 1);
  vname stop = vnameInternLiteral("StopProcess");
  EXPECT_EQ(c->findCommand(app, vname_Operand, stop), app);
  EXPECT_EQ(vobjectQueryTag(app, stop, vname_Dispatch), vname_Enabled);
  EXPECT_EQ(vobjectIssueTag(app, stop, nullptr), 1);
  // Inherited commands stay.
  EXPECT_NE(c->findCommand(app, vname_Command, vnameInternLiteral("Help")), nullptr);

  // Attribute access by index: scheme entries only when present, 7 the width's address.
  EXPECT_EQ(c->getAttribute(app, vname_Foreground), nullptr);
  vcolor* red = make(kRed);
  c->setAttribute(app, vname_Background, red);
  EXPECT_EQ(c->getAttribute(app, vname_Background), red);
  std::intptr_t w = 3;
  c->setAttribute(app, vname_LineWidth, &w);
  EXPECT_EQ(*static_cast<const std::intptr_t*>(c->getAttribute(app, vname_LineWidth)), 3);
  EXPECT_EQ(vapplicationGetLineWidth(app), 3);

  EXPECT_EQ(raised([&] { c->setSchemeClosure(app, nullptr); }), &vexArgNullClass);
  EXPECT_EQ(raised([&] { c->setSchemeDerive(app, nullptr); }), &vexArgNullClass);
  EXPECT_TRUE(raisesArg([&] { c->setSchemeColor(app, 24, red); }));
}

TEST(Application, NotificationsOnlyOnRealChange) {
  auto* sub = vclassSpawnOf<vapplicationClassRec>(vapplicationGetDefaultClass());
  sub->send = recordSend;
  auto* app = static_cast<vapplication*>(vinstanceCreate(sub));
  sent.clear();
  sub->setTitle(app, vscribeLiteral("T"));
  sub->setTitle(app, vscribeLiteral("T"));
  sub->setName(app, vscribeLiteral("N"));
  sub->setName(app, vscribeLiteral("N"));
  sub->setLineWidth(app, 2);
  sub->setLineWidth(app, 2);
  vcolor* red = make(kRed);
  sub->setSchemeColor(app, 5, red);
  sub->setSchemeColor(app, 5, red);
  sub->setSchemeColor(app, 7, nullptr);  // absent stays absent
  sub->setFont(app, nullptr);
  const std::vector<std::string> want = {"Title", "Name", "LineWidth", "ShadowTop"};
  EXPECT_EQ(sent, want);
  EXPECT_STREQ(app->title, "T");
  vapplicationDestroy(app);
}

TEST(Application, OwnedObjectsAreDestroyedWhenReplaced) {
  vapplication* app = vapplicationCreate();
  vapplicationClassRec* c = vapplicationClassOf(app);
  EXPECT_NE(app->context, vmoduleGetDefaultContext());
  vobject* first = makeCounted();
  vobject* second = makeCounted();
  destroyed = 0;
  c->setCursor(app, first);
  app->owned |= vapplicationCURSOR_OWNED;
  c->setCursor(app, first);  // the same object is kept, and no longer owned
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(app->owned & vapplicationCURSOR_OWNED, 0u);
  app->owned |= vapplicationCURSOR_OWNED;
  c->setCursor(app, second);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(vapplicationGetCursor(app), second);
  c->setIcon(app, makeCounted());
  app->owned |= vapplicationICON_OWNED;

  vcommandSpace* owned = vcommandSpaceCreate();
  vapplicationSetSpaceOwned(app, owned);
  vcommandSpace* foreign = vcommandSpaceCreate();
  c->setSpace(app, foreign);  // the owned space goes
  EXPECT_EQ(app->owned & vapplicationSPACE_OWNED, 0u);
  destroyed = 0;
  vapplicationDestroy(app);  // the owned icon goes, the unowned cursor stays
  EXPECT_EQ(destroyed, 1);
  vinstanceDestroy(second);
  vinstanceDestroy(foreign);
}

TEST(Application, SetCurrentInstallsTableAndContext) {
  vapplication* def = vapplicationGetDefault();
  vapplication* other = vapplicationCreate();
  EXPECT_EQ(vmoduleGetCurrentContext(), vmoduleGetDefaultContext());  // only SetCurrent switches
  vapplicationSetCurrent(other);
  EXPECT_EQ(vapplicationGetCurrent(), other);
  EXPECT_EQ(vmoduleGetCurrentContext(), other->context);
  EXPECT_EQ(veventSetDispatchTable(&other->dispatch), &other->dispatch);
  vapplicationSetCurrent(def);
  EXPECT_EQ(vmoduleGetCurrentContext(), vmoduleGetDefaultContext());
  vapplicationDestroy(other);
}

// --- The hook record ------------------------------------------------------------

const char* givenName = nullptr;
TEST(WindowHooks, InstalledBeforeTheClassAndRefusedAfter) {
  std::string message;
  EXPECT_EQ(raised([] { vwindowDefaultHooks().helpGetGlobalWindow(); }, &message), &vexModuleStateClass);
  EXPECT_EQ(message, "attempt to get the default global window when the default class wasn't set");

  vwindowHooks h = vwindowDefaultHooks();
  h.helpSetApplicationName = nullptr;
  EXPECT_TRUE(raisesArg([&] { vwindowInstallHooks(&h); }));
  h = vwindowDefaultHooks();
  h.helpSetApplicationName = [](vname n) { givenName = n; };
  vwindowInstallHooks(&h);
  vapplication* app = vapplicationGetDefault();  // init hands the help module its name
  EXPECT_EQ(givenName, app->name);
  EXPECT_EQ(raised([&] { vwindowInstallHooks(&h); }), &vexModuleStateClass);
}

TEST(WindowHooks, StartupRowBuildsTheClass) {
  vapplicationInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  const vmoduleStartupRow* row = nullptr;
  for (int i = 0; i < n; ++i)
    if (std::string(rows[i].name) == "vapplicationGetDefaultClass") row = &rows[i];
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->fn, nullptr);
  row->fn();
  EXPECT_NE(vapplicationGetCurrent(), nullptr);
}

}  // namespace

namespace {

vobjectClassRec* countedClass() {
  static vobjectClassRec* cls = [] {
    makeCounted();
    auto* c = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
    c->destroy = countDestroy;
    vclassSetName(c, vscribeLiteral("appTestCounted"));
    return c;
  }();
  return cls;
}

TEST(ApplicationResource, StoreLoadAndCopyRoundTrip) {
  vrstoreInstallInterface();
  vapplicationGetDefaultClass();
  vapplication* a = vapplicationCreate();
  vapplicationClassRec* c = vapplicationClassOf(a);
  c->setTitle(a, vscribeLiteral("Title A"));
  c->setSchemeColor(a, 4, make(kRed));
  vapplicationSetSpaceOwned(a, vcommandSpaceCreate());
  c->setCursor(a, static_cast<vobject*>(vinstanceCreate(countedClass())));  // not owned: not stored

  vresource r = vrstoreCreateMemory();
  vresourceCreate(r, vname_Icon, vresDICTIONARY);  // stale keys go
  vresourceCreate(r, vname_Font, vresDICTIONARY);
  c->store(a, r);
  vresource probe;
  EXPECT_FALSE(vresourceTestGet(r, vname_Icon, &probe));
  EXPECT_FALSE(vresourceTestGet(r, vname_Font, &probe));
  EXPECT_FALSE(vresourceTestGet(r, vname_Cursor, &probe));
  EXPECT_TRUE(vresourceTestGet(r, vname_Space, &probe));
  EXPECT_TRUE(vresourceTestGet(r, vname_Colors, &probe));

  auto* b = static_cast<vapplication*>(vobjectLoad(r));
  ASSERT_EQ(b->cls, a->cls);
  EXPECT_STREQ(b->title, "Title A");
  EXPECT_EQ(b->name, a->name);
  EXPECT_EQ(b->scheme.mask, vcolorSchemeBit(4));
  EXPECT_EQ(rgbOf(b->scheme.entries[4]), kRed);
  ASSERT_NE(b->space, nullptr);
  EXPECT_EQ(b->owned, vapplicationSPACE_OWNED);

  auto* copied = static_cast<vapplication*>(vobjectClone(a));
  EXPECT_STREQ(copied->title, "Title A");
  EXPECT_EQ(copied->file, a->file);
  EXPECT_EQ(a->file->count, 2);
  EXPECT_NE(copied->space, a->space);  // the copy owns its own
  EXPECT_EQ(copied->owned, vapplicationSPACE_OWNED);
  EXPECT_EQ(copied->cursor, a->cursor);  // not owned: shared
  vobject* cursor = a->cursor;
  vapplicationDestroy(copied);
  EXPECT_EQ(a->file->count, 1);
  vapplicationDestroy(b);
  vapplicationDestroy(a);
  vinstanceDestroy(cursor);
}

TEST(ApplicationResource, FailedLoadOwnsNothingHalfLoaded) {
  vrstoreInstallInterface();
  vapplicationClassRec* c = vapplicationGetDefaultClass();
  vresource r = vrstoreCreateMemory();
  vobject* cursor = static_cast<vobject*>(vinstanceCreate(countedClass()));
  vclassRec<vobjectClassRec>(cursor)->store(cursor, vresourceCreate(r, vname_Cursor, vresDICTIONARY));
  vinstanceDestroy(cursor);
  vresourceSetString(r, vname_Space, vscribeLiteral("not a space"));
  auto* storage = static_cast<vapplication*>(vclassAllocInstance(c));
  storage->cls = c;
  destroyed = 0;
  EXPECT_NE(raised([&] { c->loadInit(storage, r); }), nullptr);
  EXPECT_EQ(destroyed, 1);  // the cursor read before the failure is gone again
  EXPECT_EQ(storage->cursor, nullptr);
  EXPECT_EQ(storage->owned, 0u);
  vapplicationDestroy(storage);
}

}  // namespace
