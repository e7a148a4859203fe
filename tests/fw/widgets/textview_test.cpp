// Text views run in a probe process per look (the view class, its caret
// timer and the look are built once per process).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

std::string probe(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(TEXTVIEW_PROBE) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

// Scroll bars, a styled run with an underline, a selection across a line
// end (highlighted to the edge), an unfocused selection and a caret at the
// text area's left edge.
class TextviewLooks : public ::testing::TestWithParam<const char*> {
 protected:
  // The probe's picture of a mode, compared with the stored one.
  void matchesStored(const std::string& mode, const std::string& stored) {
    std::string laf = GetParam();
    std::string png = (std::filesystem::temp_directory_path() /
                       ("textview_" + mode + "_" + laf + "_" + std::to_string(getpid()) + ".png"))
                          .string();
    ASSERT_EQ(probe("-laf " + laf + " " + mode + " " + png), "");
    win::test::Image image;
    ASSERT_TRUE(win::test::ReadPng(png, image));
    std::filesystem::remove(png);
    EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/textview/" + stored + "_" + laf + ".png"));
  }
};
TEST_P(TextviewLooks, DrawAsStored) { matchesStored("shots", "textview"); }

// Invisibles (dots, the tab's and the line end's marks), key codes (two
// digits and a blank a character, the line end included), the highlight
// kinds 2, 3 and 5 of unfocused views, an inverted run and the caret at
// the left edge of a focused view (shown in Motif too).
TEST_P(TextviewLooks, DisplaysAsStored) { matchesStored("displays", "displays"); }
INSTANTIATE_TEST_SUITE_P(TwoLooks, TextviewLooks, ::testing::Values("win95", "motif"));

// Text items in their modes: a focused one-line entry with the caret after
// its text, a multi-line note with a selection, a static message on the
// owner's background, an unselectable item; Open Look frames one-line items
// with a line along their lower edge.
class TextItemLooks : public TextviewLooks {};
TEST_P(TextItemLooks, DrawAsStored) { matchesStored("items", "items"); }
INSTANTIATE_TEST_SUITE_P(TwoLooks, TextItemLooks, ::testing::Values("win95", "openlook"));

// A 1 MB file loaded as the front-end loads its listings, then keys through
// the window system: a line typed in, the first word copied with
// Ctrl+Shift+Right and Ctrl+C and pasted at the end, three pages down from
// the top; each step as stored.
TEST(TextviewScenario, OneMegabyteTypedPastedAndPaged) {
  std::string prefix = (std::filesystem::temp_directory_path() / ("textview_scenario_" + std::to_string(getpid()))).string();
  EXPECT_EQ(probe("-laf win95 scenario " + prefix),
            "loaded 1048580 characters in 17286 lines\n"
            "typed: caret 70, 17287 lines\n"
            "pasted: first line 17280, caret 1048598 of 1048598\n"
            "paged: first line 25\n");
  for (const char* step : {"typed", "pasted", "paged"}) {
    win::test::Image image;
    std::string png = prefix + "_" + step + ".png";
    ASSERT_TRUE(win::test::ReadPng(png, image)) << step;
    std::filesystem::remove(png);
    EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/textview/scenario_" + step + ".png"))
        << step;
  }
}

// After each of 300 random typing, deleting, inserting and selecting steps
// (some scrolling the selection into view) the view's pixels equal a full
// redraw, caret included.
TEST_P(TextviewLooks, EditsRedrawAsAWholeRedraw) {
  EXPECT_EQ(probe(std::string("-laf ") + GetParam() + " redraw"), "300 steps, 0 mismatches\n");
}

// PageDown with both bars redraws no more than it changes, yet every page
// leaves the pixels of a whole redraw (which draws the bar once a page),
// the vertical bar's thumb and arrows among them.
TEST_P(TextviewLooks, PagingLeavesTheUnchangedBarAlone) {
  EXPECT_EQ(probe(std::string("-laf ") + GetParam() + " paging"),
            "12 pages at line 97, 0 mismatches, horizontal bar drawn 0 times\n");
}

// The end of a 3,000-character line is reached by the view and by its
// horizontal bar alike: the bar's value is ScrollX and its last value the
// view's maximum, past the classic 20,479; its left arrow steps back by 20
// from there; the thumb is drawn where a whole redraw puts it. (Open Look's
// left arrow rides the elevator, whose released drawing is its own.)
TEST(TextviewScroll, TheHorizontalBarReachesAsFarAsTheView) {
  const std::string expected =
      "short lines in view: bar value is ScrollX: 1; bar's last value the view's maximum: 1; as a whole redraw: 1\n"
      "end of the line: ScrollX past 20,479: 1, within the view's maximum: 1; caret inside the area: 1\n"
      "end of the line: bar value is ScrollX: 1; bar's last value the view's maximum: 1; as a whole redraw: 1\n"
      "left arrow: ScrollX back by the bar's step: 1\n"
      "left arrow: bar value is ScrollX: 1; bar's last value the view's maximum: 1; as a whole redraw: 1\n"
      "scrolled to the far right: ScrollX is the view's maximum: 1\n"
      "far right: bar value is ScrollX: 1; bar's last value the view's maximum: 1; as a whole redraw: 1\n";
  for (const char* look : {"windows", "win95", "motif", "cua"}) EXPECT_EQ(probe(std::string("-laf ") + look + " barreach"), expected) << look;
}

// The period from "caretblinkinterval"; phases every 250 ms of the
// virtual clock; a non-empty selection never blinks; 0 never starts the timer;
// a value that is no number keeps 0.75 s.
TEST(TextviewCaret, BlinkPeriodFromThePreference) {
  EXPECT_EQ(probe("blink 0.5"), "period 0 s 500000000 ns\nempty selection, every 250 ms: 10011001\nselection 1-3: 00000000\n");
  EXPECT_EQ(probe("blink 2"), "period 2 s 0 ns\nempty selection, every 250 ms: 11111110\nselection 1-3: 00000000\n");
  EXPECT_EQ(probe("blink 0"), "period 0 s 0 ns\nempty selection, every 250 ms: 11111111\nselection 1-3: 00000000\n");
  EXPECT_EQ(probe("blink x"), "period 0 s 750000000 ns\nempty selection, every 250 ms: 11000111\nselection 1-3: 00000000\n");
}

// ScrollY within 1..line count - visible + 1 and ScrollX within 0..20479,
// or as far as the widest line (3,000 "w", some 38,800 pixels) reaches;
// short scrolls moving pixels and drawing only the uncovered strip, as a
// whole redraw would; the scroll locks passed only by line, page and bar
// scrolling; the reversed
// vertical bar; the four ScrollTo modes; a caret at column 2990 of a
// 3000-character line; the resource form without the tracking bit; a copy
// sharing text and selection with bars of its own.
TEST(TextviewScroll, ClampsModesLongLinesResourcesAndCopy) {
  EXPECT_EQ(probe("-laf win95 scroll"),
            "lines 101 visible 8\n"
            "scroll to 500,-40: 94,0 bar 1\n"
            "scroll to 1,99999: 1,38689 bar 93\n"
            "ScrollTo 0, line 60: first 57\n"
            "ScrollTo 1, line 60: first 60\n"
            "ScrollTo 2, line 60: first 53\n"
            "ScrollTo 3, line 60: first 60\n"
            "column 2990: first 94 x 38559 caret x 333 height 19\n"
            "back to line 2: first 1 x 0\n"
            "text area 159x313; drawn after: down 2 38x313 same; up 1 19x313 same; right 30 159x30 same; down 40 159x313 same\n"
            "locked scroll to 10,0: 42,30; line down 43; page down 51; bar to 5: 5,30\n"
            "stored flags 0x181; loaded flags 0x181 margins 7,3 bars 11\n"
            "copy: same text 1 same selection 1 own bars 11\n");
}

// A line of 8,000 digits (its block holds the first 7,680 on one display
// line): every x is exact far past 16,383 pixels, the view scrolls past
// 20,479 to show the caret near the line's end, a click there lands on its
// gap, and the end of the row is drawn as its start is.
TEST(TextviewScroll, AnEightThousandCharacterLineKeepsExactPositions) {
  std::string png = (std::filesystem::temp_directory_path() / ("textview_long_" + std::to_string(getpid()) + ".png")).string();
  EXPECT_EQ(probe("-laf win95 longline " + png),
            "lines 2, first 7680 characters, every position exact: 1\n"
            "x of gap 7,679 as 7,679 steps: 1, past 16,383: 1\n"
            "scrolled past 20,479: 1; caret inside the area: 1\n"
            "click lands on: 7675\n"
            "drawn up to the caret: 1; the last digit after it: 1\n"
            "the row at x 76466 drawn as at x 66: 1\n");
  std::filesystem::remove(png);
}

// The shipped keys: typing, control characters (one >= 32 with Ctrl held
// is typed, Ctrl+B is not), Select All, word motion, extending with Shift,
// End, Backspace, Return, Tab and Del; the selector numbers; "Shift Right 1"
// reaching selector 52 with "Direction" and "Amount"; a toggle's query.
TEST(TextviewKeys, ShippedBindingsCommandsAndTyping) {
  const char* expected =
      "a: 1\n"
      "typed: \"one two|threea\" 14-14\n"
      "ctrl+b: 0\n"
      "ctrl+@ (alt-gr): 1\n"
      "control keys: \"one two|threea@\" 15-15\n"
      "ctrl+a: \"one two|threea@\" 0-15\n"
      "ctrl+right: \"one two|threea@\" 4-4\n"
      "shift+right twice: \"one two|threea@\" 4-6\n"
      "end: \"one two|threea@\" 7-7\n"
      "backspace, return, tab: \"one tw|\t|threea@\" 8-8\n"
      "del before a line end: \"one tw|\tthreea@\" 8-8\n"
      "del at the start: \"ne tw|\tthreea@\" 0-0\n"
      "Select Block 66 Select All 39 Shift 52 Extend Select 67\n"
      "selector 52 Direction Right Amount 1\n"
      "selector 52 Direction Left Amount -2147483648\n"
      "selector 52 Direction Align Amount -2147483648\n"
      "Show Key Code: Off, then On\n";
  EXPECT_EQ(probe("-laf win95 keys"), expected);
  EXPECT_EQ(probe("-laf motif keys"), expected);
}

// The line and word commands issued by name on a fresh text each: answer,
// text ('|' a line end, '>' a tab), selection and undo names. Sorting puts a
// prefix first and an unterminated last line sorts as if terminated; Shift
// counts blanks only; Transpose at the ends and on the last line changes
// nothing and names nothing; the line deletions pass on to the superclass;
// the Windows-1252 case pairs (0x83 and 0xDF have no upper form, 0xD7 is no
// letter) all come back.
TEST(TextviewEdits, LineAndWordCommands) {
  const char* expected =
      "Sort Lines: 1 \"a|b|\" 0-4 Sort Lines;\n"
      "Sort Lines: 1 \"a|ab|\" 0-5 Sort Lines;\n"
      "Sort Lines: 1 \"a|b\" 0-3 Sort Lines;\n"
      "Sort Lines: 1 \"zz|a|b|c|yy\" 3-7 Sort Lines;\n"
      "Shift Left: 1 \"x|>yy|\" 0-6 Shift;\n"
      "Shift Right 1: 1 \" x|y|z\" 0-3 Shift;\n"
      "Align: 1 \"a|  b|  c|d\" 2-10 Align;\n"
      "Capitalize: 1 \"Hello World\" 0-11 Case Change;\n"
      "Upper Case: 1 \"AB|CD\" 0-5 Case Change;\n"
      "Upper Case: 1 \"AB\\xC0\\x9F\\x83\\xDF\" 0-6 Case Change;\n"
      "Lower Case: 1 \"ab\\xE0\\xFF\\xD7\" 0-5 Case Change;\n"
      "Toggle Case: 1 \"Ab1\" 0-3 Case Change;\n"
      "Transpose: 1 \"oen two\" 2-2 Transpose;\n"
      "Transpose: 1 \"one two\" 0-0 \n"
      "Transpose: 1 \"one two\" 7-7 \n"
      "Transpose Words: 1 \"one three two\" 5-5 Transpose;\n"
      "Transpose Words: 1 \"two one\" 2-2 Transpose;\n"
      "Transpose Lines: 1 \"cd|ab|ef\" 1-1 Transpose;\n"
      "Transpose Lines: 1 \"ab|cd\" 4-4 \n"
      "Transpose Lines: 1 \"ab|ef|cd\" 4-4 Transpose;\n"
      "Delete to End of Line: [super 43] 0 \"a|cd\" 1-1 Delete;\n"
      "Delete to End of Line: [super 43] 0 \"abcd\" 2-2 Delete;\n"
      "Delete to End of Line: [super 43] 0 \"ab|cd\" 5-5 \n"
      "Delete Line: [super 42] 0 \"ab|ef\" 3-3 Delete;\n"
      "Delete Line: [super 42] 0 \"ab|\" 3-3 Delete;\n"
      "Duplicate: 1 \"ab|ab|cd|\" 3-6 Paste;\n"
      "Duplicate Block: 1 \"ab|cd|cd\" 6-8 Paste;\n"
      "case pairs 59, not restored 0\n";
  EXPECT_EQ(probe("-laf win95 edits"), expected);
}

// The text's undo records through the view's actions: typing coalesces
// into one record, backspaces inside the run only shorten it, older
// characters deleted backward or forward come back in their order, a paste
// and the typing after it are two actions, a case change is one record
// and comes back exactly, across a line end too, keeping a bold run over
// it; a random session of typing, pastes, cuts and commands undoes to
// the original text and redoes to the final one.
TEST(TextviewUndo, RecordsUndoAndRedoExactly) {
  std::string out = probe("-laf win95 undo");
  EXPECT_EQ(out.substr(0, out.find("random")),
            "typed abc: \"Zabc\" 1 action(s), undone \"Z\", redone \"Zabc\"\n"
            "two typed, three backspaces: \"x\" 1 action(s), undone \"xZ\", redone \"x\"\n"
            "three backspaces: \"\" 1 action(s), undone \"abc\", redone \"\"\n"
            "two forward deletes: \"ad\" 1 action(s), undone \"abcd\", redone \"ad\"\n"
            "backspace, delete, type, delete: \"ax\" 1 action(s), undone \"abcd\", redone \"ax\"\n"
            "pasted then typed: \"one two!!\" 2 action(s), undone \"one\", redone \"one two!!\"\n"
            "capitalized: \"Hello World\" 1 action(s), undone \"hELLO wORLD\", redone \"Hello World\"\n"
            "toggled: 1 record(s), the first a vtextCaseRecord\n"
            "toggle case: \"miXeD cAsE|LINE\" 1 action(s), undone \"mIxEd CaSe|line\", redone \"miXeD cAsE|LINE\"\n"
            "bold kept: mIXED CASE|LINE bold 3-13 ; undone mIxEd CaSe|line bold 3-13 ; redone mIXED CASE|LINE bold 3-13 \n");
  EXPECT_NE(out.find(" actions, changed 1, original back 1, final back 1\n"), std::string::npos) << out;
}

// Ctrl+C, Ctrl+V at a caret and Shift+Insert over a selection, Ctrl+X;
// the undo actions named "Paste" and "Cut" (typing without pending changes
// hands none over); an empty selection leaves the selection clipboard as
// it was; contents nobody waits for change nothing; a destroyed view is no
// longer the requester.
TEST(TextviewClipboard, CopyCutPasteAndTheSelectionClipboard) {
  EXPECT_EQ(probe("-laf win95 clipboard"),
            "copied: \"beta\"\n"
            "pasted at the caret: \"alpha beta|gammabeta\" 20-20\n"
            "pasted over a selection: \"beta beta|gammabeta\" 4-4\n"
            "cut: \"betagammabeta\" 4-4\n"
            "undo names: Paste;Paste;Cut;\n"
            "selection clipboard: \"beta\"\n"
            "paste without a view changes the text: 0\n"
            "requester after destroy: none\n");
}

// The goal x across a short line, the ends of the text, a selection moving
// down from its end, hidden characters stepped over both ways, "End of
// Line" at the line's end paging right, "Bottom of View" on the last line.
TEST(TextviewMotion, CaretByCharactersAndLines) {
  EXPECT_EQ(probe("-laf win95 motion"),
            "down from column 6 to a short line: 11-11\n"
            "down again: column 6: 18-18\n"
            "up twice: 6-6\n"
            "left at 0: 0-0\n"
            "right at the end: 226-226\n"
            "down on the last line: 226-226\n"
            "down from a selection 2-5: from its end: 11-11\n"
            "right over hidden 2-5: 5-5\n"
            "left back over them: 2-2\n"
            "end of line: 221-221\n"
            "end of line again pages right by the text area's width: 1\n"
            "start of line: 21-21\n"
            "bottom of view on the last line: 226-226\n");
}

// A press places the caret at the hit, a drag selects and the release
// copies the selection to the selection clipboard; the "Drag" button
// clicked in place pastes it at the hit, moved more than 3 pixels selects;
// the client hears 7 at each press and 6 at each release; a press past a
// line's end lands before its line end; dragged below the text area the
// view scrolls a line at the motion and every 10 ms of the virtual clock.
TEST(TextviewMouse, PressDragAndTheDragButton) {
  EXPECT_EQ(probe("-laf win95 mouse"),
            "press: \"first line|second line|third\" 14-14\n"
            "drag to line 3: \"first line|second line|third\" 14-26\n"
            "selection clipboard: \"ond line\nthi\"\n"
            "drag button click: \"firstond line|thiline|second line|third\" 17-17\n"
            "drag button moved: \"firstond line|thiline|second line|third\" 0-3\n"
            "reasons: 767676\n"
            "past the end of line 1: \"firstond line|thiline|second line|third\" 13-13\n"
            "after 100 ms below: first line 12, selection from 0 reaches line 21\n"
            "a view destroyed while dragging leaves the timer without one\n");
}

std::string editProbe(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(TEXTEDIT_PROBE) + " -laf win95 " + args + " 2>&1").c_str(), "r");
  if (!p) return "cannot run the probe";
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  if (int status = pclose(p); status != 0) out += "status " + std::to_string(status) + "\n";
  return out;
}

// Clicks injected at the platform: a click places the caret, a double click
// selects a word and dragging on extends by words, a triple click or a
// press in the left margin selects lines, Ctrl (the "Adjust" binding)
// extends from the caret; dragged below the text the view scrolls once at
// the motion and once per 10 ms; with drag-and-drop editing a drop outside
// the selection copies it ("Paste") and with Ctrl moves it ("Cut", then
// "Paste", the drop moved back by the cut), a drop inside does nothing and
// a double and a triple click on the selection still select a word and a
// line;
// a drag over lines toggles only the rows whose highlight changed and ends
// as a whole redraw; "Auto Insert" pads a short line with blanks up to the press and adds
// lines for a press below the text; grab scrolling follows the pointer.
TEST(TextviewMouse, WordsLinesAdjustAutoScrollDragAndDropPaddingAndGrab) {
  EXPECT_EQ(editProbe("track"),
            "click in beta: \"alpha beta gamma|second line here|third|fourth line\" 8-8\n"
            "double click selects beta: \"alpha beta gamma|second line here|third|fourth line\" 6-10\n"
            "double click dragged into gamma extends by words: \"alpha beta gamma|second line here|third|fourth line\" 6-16\n"
            "triple click selects line 2: \"alpha beta gamma|second line here|third|fourth line\" 17-34\n"
            "left margin dragged to line 3 selects lines: \"alpha beta gamma|second line here|third|fourth line\" 17-40\n"
            "ctrl+click extends from the caret: \"alpha beta gamma|second line here|third|fourth line\" 2-20\n"
            "dragged from 2 over lines 2, 3, 4, 2, 1, 1: rows toggled 2,2,2,3,2,1, as redrawn whole 1\n"
            "dragged below: scrolled 1 then 5 lines in 50 ms, selection reaches the last shown line 1\n"
            "dragged \"two\" before \"five\": \"one two three|fourtwo five\" 21-21\n"
            "undo names: Paste;\n"
            "ctrl+dragged \"one\" to the end of line 1: \" two threeone|fourtwo five\" 13-13\n"
            "undo names: Paste;Cut;Paste;\n"
            "both undone: \"one two three|four five\" 13-13\n"
            "dropped inside the selection: \"one two three|four five\" 4-7\n"
            "double click with drag-and-drop on: \"one two three|four five\" 14-18\n"
            "triple click with drag-and-drop on: \"one two three|four five\" 14-23\n"
            "pressed 40 pixels right of \"ab\": 8 blanks added, caret at the end of them 1, undo names Typing;\n"
            "pressed below the text: 2 lines added, caret on the last line 1\n"
            "grabbed up by three lines: first line 4, left 30: scroll x 30, selection kept 1\n");
}

// A scripted input method: composed characters replace the selection
// ("Delete") and come in underlined, the converted part inverted; commands
// are swallowed while composing; the commit leaves the characters without
// styles, the caret after them and one "IM Insert" per update, undone and
// redone exactly. Typing elsewhere or giving the view a new text cancels a
// composition and leaves no styles; 200 bytes compose as a short string
// does; an update past the text's end is dropped and the context stays
// ready for the next; a removal never reaches past the composition.
TEST(TextviewInput, ScriptedCompositions) {
  EXPECT_EQ(editProbe("compose"),
            "typed over a selection: \"hello ka\" 8-8 underline 6-8 invert none composing 1 busy 0\n"
            "converted: \"hello KAN\" 9-9 underline 6-9 invert 6-9 composing 1 busy 0\n"
            "a selector while composing: answer 1, text \"hello KAN\"\n"
            "committed: \"hello KANji\" 11-11 underline none invert none composing 0 busy 0\n"
            "undo names: Delete;IM Insert;IM Insert;IM Insert;\n"
            "undone: \"hello world\" 6-6\n"
            "redone: \"hello KANji\" 6-6\n"
            "typed elsewhere: \"xyhello KANji!\" 14-14 underline none invert none composing 0 busy 0\n"
            "old text after its view took a new one: \"zzxyhello KANji!\" 2-2 underline none invert none composing 0 busy 0\n"
            "the new text: \"fresh\" 5-5 underline none invert none composing 0 busy 0\n"
            "200 bytes composed: length 205, underline 5-205\n"
            "all taken back and committed: \"fresh\" 5-5 underline none invert none composing 0 busy 0\n"
            "an update past the end: \"fresh\" 2-2 underline none invert none composing 0 busy 0\n"
            "the next update: \"frokesh\" 4-4 underline 2-4 invert none composing 1 busy 0\n"
            "a removal past the composition: \"frOKesh\" 4-4 underline 2-4 invert none composing 1 busy 0\n"
            "its commit: \"frOKesh\" 4-4 underline none invert none composing 0 busy 0\n");
}

// The platform's input method reaches the focused view: a dead key's
// accent shows underlined where the caret was, the letter that follows
// replaces it in one undoable change and the underline goes; a composition
// the method drops leaves the text as it was.
TEST(TextviewInput, ThePlatformsCompositionsReachTheFocusedView) {
  EXPECT_EQ(editProbe("platform"),
            "accent composed: \"a\xB4" "b\" 2-2 underline 1-2 invert none composing 1 busy 0\n"
            "letter committed: \"a\xE9" "b\" 2-2 underline none invert none composing 0 busy 0\n"
            "undo names: IM Insert;\n"
            "undone: \"ab\" 1-1\n"
            "redone: \"a\xE9" "b\" 1-1\n"
            "two composed: \"a~n\xE9" "b\" 3-3 underline 1-3 invert none composing 1 busy 0\n"
            "dropped: \"a\xE9" "b\" 1-1 underline none invert none composing 0 busy 0\n"
            "the next one: \"a\xEA\xE9" "b\" 2-2 underline none invert none composing 0 busy 0\n"
            "undo names: IM Insert;IM Insert;IM Insert;IM Insert;\n");
}

// Editing by mouse and commands: a word double-clicked and dragged with
// Ctrl to the text's start, the lines selected from the margin, shifted
// right by 2 and sorted; undoing everything gives the original text back
// and redoing it the final one; the window after the move and the sort
// as stored.
TEST(TextviewScenario, SelectDragShiftSortUndoAndRedo) {
  std::string prefix = (std::filesystem::temp_directory_path() / ("textedit_scenario_" + std::to_string(getpid()))).string();
  EXPECT_EQ(editProbe("scenario " + prefix),
            "double clicked: \"pear apple|cherry|banana split|fig|\" 5-10\n"
            "moved: \"applepear |cherry|banana split|fig|\" 5-5\n"
            "lines selected: \"applepear |cherry|banana split|fig|\" 0-35\n"
            "shifted: \"  applepear |  cherry|  banana split|  fig|\" 0-43\n"
            "sorted: \"  applepear |  banana split|  cherry|  fig|\" 0-43\n"
            "undo names: Cut;Paste;Shift;Sort Lines;\n"
            "undone all: original back 1\n"
            "redone all: final back 1\n");
  for (const char* step : {"moved", "sorted"}) {
    win::test::Image image;
    std::string png = prefix + "_" + step + ".png";
    ASSERT_TRUE(win::test::ReadPng(png, image)) << step;
    std::filesystem::remove(png);
    EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/textview/edit_" + step + ".png"))
        << step;
  }
}

// The ruler view driven by injected clicks and drags: without a text a
// justification button changes the own ruler only; the full-justify place
// is dead; the spacing button follows "Descent" as d / 12 + 7 (1-11 give
// the never-drawn 7, 48 no button); the right indent dragged off the item
// goes to 0 and the handle at button 11 brings it back; a tab placed from
// its button, moved along the scale and dragged off it; the first-line
// indent dragged; the stored form and a copy keep the own ruler, a copy
// into nothing is refused. With a text the changes go to the selection's paragraphs,
// a second one replacing the ruler that covers them; a deletion refreshes
// the view only when it leaves the caret alone on its line; a destroyed
// text detaches the view. The picture as stored.
TEST(TextRuler, ButtonsMarkersDragsAndAppliedRulers) {
  std::string png = (std::filesystem::temp_directory_path() / ("textruler_" + std::to_string(getpid()) + ".png")).string();
  EXPECT_EQ(editProbe("ruler " + png),
            "natural size 20x36\n"
            "new: right 400 first 50 left - justify -1 tabs 80/0; buttons tab 0 justify 4 spacing 8\n"
            "no text, centre clicked: right 400 first 50 left - justify 2 tabs 80/0; buttons tab 0 justify 6 spacing 8\n"
            "full justify's place clicked: right 400 first 50 left - justify 2 tabs 80/0; buttons tab 0 justify 6 spacing 8\n"
            "descent 18: spacing button 8\n"
            "descent 24: spacing button 9\n"
            "descent 40: spacing button 10\n"
            "descent 6: spacing button 7\n"
            "descent 48: spacing button 11\n"
            "right indent dragged off: right 0 first 50 left - justify 2 tabs 80/0; buttons tab 0 justify 6 spacing 8\n"
            "the handle dragged onto the scale at 300: right 300 first 50 left - justify 2 tabs 80/0; buttons tab 0 justify 6 spacing 8\n"
            "a decimal tab placed at 150: right 300 first 50 left - justify 2 tabs 80/0 150/3; buttons tab 3 justify 6 spacing 8\n"
            "the tab at 80 moved to 120: right 300 first 50 left - justify 2 tabs 120/0 150/3; buttons tab 3 justify 6 spacing 8\n"
            "the tab at 120 dragged off: right 300 first 50 left - justify 2 tabs 150/3; buttons tab 3 justify 6 spacing 8\n"
            "the first-line indent dragged to 30: right 300 first 30 left - justify 2 tabs 150/3; buttons tab 3 justify 6 spacing 8\n"
            "owner told 7 times\n"
            "loaded: right 300 first 30 left - justify 2 tabs 150/3; use own 1\n"
            "copy: own ruler its own 1, right 300 first 30 left - justify 2 tabs 150/3\n"
            "copy into nothing refused 1\n"
            "attached on line 2: right - first - left - justify -1 tabs; buttons tab 3 justify 4 spacing 8\n"
            "centre then right on line 2: lines 1-3 justify -1 1 -1, ruler tags at line 2: 1\n"
            "shown: right - first - left - justify 1 tabs; buttons tab 3 justify 5 spacing 8\n"
            "caret on line 1: right - first - left - justify -1 tabs; buttons tab 3 justify 4 spacing 8\n"
            "deleted \"ne\": \"o|two|three\", caret 0, justify button 4\n"
            "deleted \"o\": \"|two|three\", caret 0, justify button 6\n"
            "text destroyed: attached 0\n");
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(png, image));
  std::filesystem::remove(png);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/textview/ruler_win95.png"));
}

// Drawn through the offscreen image the text area has the pixels it has
// drawn straight, whole and after edits redrawn by updates.
TEST(TextviewOffscreen, SamePixelsAsDrawnStraight) {
  EXPECT_EQ(probe("-laf win95 offscreen"), "drawn whole: same pixels 1, image 326x172\nedits through updates: same pixels 1\n");
  EXPECT_EQ(probe("-laf motif offscreen"), "drawn whole: same pixels 1, image 324x171\nedits through updates: same pixels 1\n");
}

// Text items: numbers with trailing blanks and the messages for anything
// else; an empty field; the one-line minimum height (a line more when empty,
// in Win95 at least 12/8 of a line); the caret after replaced text only when
// modifiable; Return notifies 3 in a one-line field and types in a
// multi-line one; Tab is never taken; a read-only text refuses changes but
// the item's own setters; selectors refused by mode; an unselectable item
// leaves presses alone and offers an input method no room; the derived
// right indent and font follow the item and are not stored; a resource
// round trip and a copy with its own text.
TEST(TextItem, NumbersModesKeysGatingResourcesAndCopy) {
  std::string expected =
      "\"12 \" 12, \"12x\" raised \"Extra text after integer.\", \"3.5\\t\" 3.5, \"3.5 z\" raised \"Extra text after float.\"\n"
            "empty: \"\", one-line minimum height empty - with text: none, both 12/8 of a line\n"
            "modifiable set text: caret 3-3\n"
            "one-line Return: 1, notified 3, text \"abc\"; Tab: 0\n"
            "multi-line Return types: \"a|\"\n"
            "read-only typing and deleting: \"a|\"\n"
            "read-only set text: \"fixed\" selection 0-0\n"
            "selectable only: Copy 1 Paste 0 Begin 1; neither: Copy 0 Begin 0 Select All 0\n"
            "unselectable press: 0, input room 0x0, a field's is its text area 1\n"
            "right indent follows the width: 1; font the item's: 1\n"
            "stored: DefaultRuler 1 RightIndent 0; loaded: \"abc\" one-line 1 modifiable 1 wrap 1\n"
            "copy: own text 1 \"fixed\" selectable 0 modifiable 0\n";
  EXPECT_EQ(probe("-laf win95 textitem"), expected);
  std::string motif = expected;
  motif.replace(motif.find("none, both 12/8 of a line"), std::strlen("none, both 12/8 of a line"), "a line");
  EXPECT_EQ(probe("-laf motif textitem"), motif);
}

// Combo-box values: empty and unowned at first (16 x 16 without an owner);
// text and data changes announced to the owner as "ChangeValues" with the
// value as it was (none without an owner); measured in the owner's font;
// "Title" stored, loaded as an owned text and removed for an empty text;
// a copy with its own buffer.
TEST(ComboboxValue, TextDataSizesAnnouncementsAndResources) {
  EXPECT_EQ(probe("value"),
            "new: \"\" owned 0, without owner 16x16\n"
            "heard:\n"
            "ChangeValues (\"quiet\" 0 -> \"alpha\" 0)\n"
            "ChangeValues (\"alpha\" 0 -> \"alpha\" 7)\n"
            "in the owner's font: width 1, height 1\n"
            "loaded: \"alpha\" owned 1\n"
            "copy: \"alpha\" own buffer 1 data 7\n"
            "an empty text removes \"Title\": 1\n");
}

}  // namespace

namespace {

// A selected text of nothing but its line end (an empty read-only entry
// keeps one for its height) draws no block; a word's line end still shows.
TEST(TextviewHighlight, ALineEndAloneIsNeverDrawn) {
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook"})
    EXPECT_EQ(probe(std::string("-laf ") + laf + " lineend"),
              "a line end alone: nothing drawn\na word and its line end: drawn\n")
        << laf;
}

}  // namespace
