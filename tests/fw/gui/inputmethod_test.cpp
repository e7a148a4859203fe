#include "fw/gui/window/inputmethod.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The hooks' calls in order, one letter each, with the open flag as the
// hook saw it.
std::string calls;
template <char letter>
int record(vinput* input) {
  calls += letter;
  if (input->flags & vinputOPEN) calls += '+';
  return 0;
}

class InputMethod : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    vinputRegisterDriver(record<'c'>, record<'d'>, record<'o'>, record<'x'>, record<'1'>, record<'2'>, record<'3'>,
                         record<'a'>, record<'b'>);
  }
  void TearDown() override { vinputMSWRegisterDriver(); }
};

TEST_F(InputMethod, HooksRunOnlyOnChangesAndDestroyClosesFirst) {
  struct Step {
    const char* what;
    void (*run)(vinput*);
    const char* calls;
  };
  const Step steps[] = {
      {"open", vinputOpen, "o"},
      {"open again", vinputOpen, ""},
      {"notify", [](vinput* i) { vinputNotify1(i), vinputNotify2(i), vinputNotify3(i); }, "1+2+3+"},
      {"close", vinputClose, "x+"},
      {"close again", vinputClose, ""},
      {"reopen", vinputOpen, "o"},
  };
  vinput* input = vinputCreate();
  EXPECT_EQ(calls, "c");
  EXPECT_EQ(input->flags, 0);
  for (const Step& s : steps) {
    calls.clear();
    s.run(input);
    EXPECT_EQ(calls, s.calls) << s.what;
  }
  calls.clear();
  vinputDestroy(input);
  EXPECT_EQ(calls, "x+d");
}

TEST_F(InputMethod, AreasAreStoredBeforeTheirHooks) {
  vinput* input = vinputCreate();
  vobject owner{};
  vinputSetOwner(input, &owner);
  vinputSetArea(input, 1, 2, 3, 4);
  vinputSetSecondArea(input, -5, 6, -7, 8);
  EXPECT_EQ(input->owner, &owner);
  EXPECT_EQ(std::vector<int>(input->area, input->area + 4), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(std::vector<int>(input->secondArea, input->secondArea + 4), (std::vector<int>{-5, 6, -7, 8}));
  EXPECT_EQ(calls, "cab");
  // Without a driver nothing is called and everything is still stored.
  vinputRegisterDriver(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  calls.clear();
  vinputOpen(input);
  vinputSetArea(input, 9, 9, 9, 9);
  EXPECT_EQ(input->flags, vinputOPEN);
  EXPECT_EQ(input->area[3], 9);
  vinputDestroy(input);
  EXPECT_EQ(calls, "");
  // The Windows module makes no context.
  EXPECT_EQ(vinputMSWCreateContext(nullptr), nullptr);
}

}  // namespace
