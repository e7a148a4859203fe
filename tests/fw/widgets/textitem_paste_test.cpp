// A text pasted into a text item with Ctrl+V: a one-line field keeps it up
// to its first line end (what follows would be out of sight); a field of
// several lines takes all of it.
#include <gtest/gtest.h>

#include <string>

#include "fw/data/scrap.h"
#include "fw/gui/window/clipboard.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog_support.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

std::string text_of(vtextitem* item) {
  char* s = vtextitemGetString(item);
  std::string out = s != nullptr ? s : "";
  vmemFree(s);
  return out;
}

TEST(TextItemPaste, AOneLineFieldKeepsThePasteUpToItsFirstLineEnd) {
  startDialogItemTests();
  vdialog* d = vdialogCreate();
  d->rect = {100, 100, 300, 160};
  vtextitem* fields[2];
  for (int i = 0; i < 2; ++i) {
    fields[i] = vtextitemCreate();
    vrect r{10, static_cast<std::int16_t>(10 + 70 * i), 280, 60};
    vdialogSetItemRect(fields[i], &r);
    vtextitemSetOneLine(fields[i], i == 0);
    vtextitemSetModifiable(fields[i], 1);
    vtextitemSetSelectable(fields[i], 1);
    vdialogAppendItem(d, fields[i]);
  }
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  settle();
  struct paste_case {
    const char* pasted;
    const char* one_line;  // what the one-line field then holds after "x"
  };
  const paste_case cases[] = {
      {"evaluate 3\n", "xevaluate 3"},   {"evaluate 3\r\n", "xevaluate 3"}, {"two\n\n", "xtwo"},
      {"a\nb", "xa"},                     {"no end", "xno end"},           {"\n", "x"},
      {"lone cr\r", "xlone cr"},          {"", "x"},                       {"a\r\nb\r\n", "xa"},
      {"\nhidden", "x"},
  };
  for (const paste_case& c : cases) {
    for (vtextitem* field : fields) {
      const bool one_line = field == fields[0];
      SCOPED_TRACE(std::string(one_line ? "one line: " : "lines: ") + "\"" + c.pasted + "\"");
      vtextitemSetTextChars(field, "x");
      vdialogSetFocusItem(d, field);
      vtextSetSelectionRange(field->text, field->selection, 1, 1);
      vclipboardSetContents(vtextviewGetGlobalClipboard(), vscrapCreateNativeString(c.pasted));
      win::test::KeyDown(win::VK_CONTROL);
      win::test::Type("v");
      win::test::KeyUp(win::VK_CONTROL);
      settle();
      const std::string want = one_line ? c.one_line : std::string("x") + c.pasted;
      EXPECT_EQ(text_of(field), want);
      EXPECT_EQ(field->selection->start, static_cast<std::int32_t>(want.size())) << "the caret after the paste";
    }
  }
  vwindowClose(d);
  vinstanceDestroy(d);
  settle();
}

}  // namespace
