#include "fw/core/ex.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "fw/core/array.h"
#include "fw_support.h"

namespace {

// Raises cls with a message inside a guard; answers the class found by
// looking for `find`, restoring the chain.
const vexClass* raiseAndFind(const vexClass* cls, const vexClass* find) {
  const vexClass* found = nullptr;
  vexGuard([&] { vexGenerateMessage(cls, "x"); },
           [&](vexHandler& h) {
             vexException* e = vexFindException(find);
             found = e ? e->cls : nullptr;
             vexSetCurrentException(h.savedChain);
           });
  return found;
}

TEST(Exceptions, FindByFamily) {
  struct Case {
    const vexClass* raised;
    const vexClass* sought;
    bool found;
  } cases[] = {
      {&vexArgRangeClass, &vexArgClass, true},     {&vexValueRangeClass, &vexArgClass, false},
      {&vexArgRangeClass, &vexRootClass, true},    {&vexArgClass, &vexArgRangeClass, false},
      {&varrayIndexClass, &varrayArrayClass, true}, {&vexModuleLimitClass, &vexModuleClass, true},
  };
  for (const auto& c : cases) EXPECT_EQ(raiseAndFind(c.raised, c.sought) != nullptr, c.found) << c.raised->name;
  EXPECT_EQ(vexGetCurrentException(), nullptr);
}

TEST(Exceptions, NestedHandlersAndRaiseAgain) {
  std::vector<std::string> trail;
  vexGuard(
      [&] {
        vexGuard([&] { vexGenerateMessage(&vexArgNullClass, "inner"); },
                 [&](vexHandler&) {
                   trail.push_back(std::string("inner:") + vexGetCurrentException()->message);
                   _vexGenerate(nullptr, vexEnd);  // passed on: the same chain
                 });
        trail.push_back("not reached");
      },
      [&](vexHandler& h) {
        trail.push_back(std::string("outer:") + vexGetCurrentException()->message);
        EXPECT_EQ(vexGetCurrentException()->link, nullptr);
        vexSetCurrentException(h.savedChain);
      });
  EXPECT_EQ(trail, (std::vector<std::string>{"inner:inner", "outer:inner"}));
  EXPECT_EQ(vexGetCurrentException(), nullptr);
}

TEST(Exceptions, HandlerInsideHandlerKeepsOuterChain) {
  vexGuard([] { vexGenerateMessage(&vexMathClass, "first"); },
           [](vexHandler& outer) {
             vexException* first = vexGetCurrentException();
             vexGuard([] { vexGenerateMessage(&vexValueClass, "second"); },
                      [&](vexHandler& inner) {
                        EXPECT_EQ(vexGetCurrentException()->link, first);
                        vexSetCurrentException(inner.savedChain);
                      });
             EXPECT_EQ(vexGetCurrentException(), first);
             vexSetCurrentException(outer.savedChain);
           });
  EXPECT_EQ(vexGetCurrentException(), nullptr);
}

TEST(Exceptions, ForeignExceptionPopsItsHandler) {
  EXPECT_THROW(vexGuard([] { throw 7; }, [](vexHandler&) {}), int);
  // The handler stack is empty again: a guard pushed now is the top.
  EXPECT_EQ(raiseAndFind(&vexArgClass, &vexArgClass), &vexArgClass);
}

TEST(Exceptions, UnhandledChainDumpAndStatus) {
  ChildRun r = runInChild([] {
    errno = ENOENT;  // an older failure's, not this raise's: not printed
    _vexGenerate(&vexArgNullClass, vexSetMessage, "x", vexArgSetPosition, 2, vexEnd);
  });
  const char* expected =
      "An error has occurred.  The following chain of information is available:\n"
      "    error 1: /Arg/Null/\n"
      "\tmessage: x\n"
      "\targument position: 2\n";
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, expected);
  EXPECT_EQ(r.log, expected);
}

TEST(Exceptions, ChainOfTwoWithFieldsAndErrno) {
  ChildRun r = runInChild([] {
    vexGuard([] { _vexGenerate(&vexModuleStateClass, vexSetModule, "mod", vexSetErrno, 2, vexEnd); },
             [](vexHandler&) {
               _vexGenerate(&varrayIndexClass, _varrayExceptionSetArray, nullptr, _varrayExceptionSetIndex, 5,
                            vexSetErrno, 0, vexEnd);
             });
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "An error has occurred.  The following chain of information is available:\n"
            "    error 1: /Array/Index/\n"
            "\tarray: 0x0000000000000000\n"
            "\tarray index: 5\n"
            "    error 2: /Module/State/\n"
            "\tmodule: mod\n"
            "\terrno: 2: No such file or directory\n");
}

// 32 records of 36 bytes fill the 1152-byte stack exactly; a 40-byte one
// more does not fit.
TEST(Exceptions, StackOverflowCountsPartSizes) {
  auto fill = [](int n36, const vexClass* last) {
    return runInChild([=] {
      std::function<void(int)> nest = [&](int left) {
        if (left == 0) {
          if (last) vexGenerateMessage(last, "last");
          std::exit(0);
        }
        vexGuard([] { vexGenerateMessage(&vexMathClass, "m"); }, [&](vexHandler&) { nest(left - 1); });
      };
      nest(n36);
    });
  };
  EXPECT_EQ(fill(32, nullptr).status, 0);
  ChildRun over = fill(31, &vexArgClass);  // 31 x 36 + 40 = 1156
  EXPECT_EQ(over.status, 1);
  EXPECT_NE(over.err.find("    error 31: /Math/\n"), std::string::npos);
  EXPECT_NE(over.err.find("_vexGenerate: Exception stack overflow: Terminated.\n"), std::string::npos);
  ChildRun fits = fill(30, &vexArgNotUnderstoodClass);  // 30 x 36 + 44 = 1124: fits, then unhandled
  EXPECT_EQ(fits.status, 1);
  EXPECT_NE(fits.err.find("    error 1: /Arg/Not Understood/\n"), std::string::npos);
  EXPECT_EQ(fits.err.find("overflow"), std::string::npos);
}

TEST(Exceptions, PopOfNonTopHandlerIsFatal) {
  ChildRun r = runInChild([] {
    vexHandler a, b;
    vexPushHandlerBare(&a);
    vexPushHandlerBare(&b);
    _vexPopHandler(&a, "mod", "file.c", 12);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "_vexPopHandler: corrupt stack:\n\t\tcall from mod: file.c, 12 attempted to pop non-topmost handler: "
            "Terminated.\n");
}

}  // namespace
