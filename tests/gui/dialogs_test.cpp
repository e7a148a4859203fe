// The command dialogs' mechanics and lines over a form kept in maps: the
// fields set as a user would set them, the lines the road ran read back
// from the command history, refusals from the notices shown.
#include <functional>

#include "dialog_test_support.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/breakpoints.h"

namespace {

using K = std::pair<const char*, const char*>;  // item, container

TEST_F(DialogsTest, EachDialogBuildsItsLineFromItsFields) {
  run("break #2 w x:$10 h");
  struct dialog_case {
    const char* command;
    std::function<void(map_form&, gui::dialog_state&)> set;
    const char* line;
  };
  const auto text = [](map_form& f, K k, const char* t) { f.texts[map_form::key(k.first, k.second)] = t; };
  const auto value = [](map_form& f, K k, int v) { f.values[map_form::key(k.first, k.second)] = v; };
  const dialog_case cases[] = {
      {"M_Exec_Break_Set",
       [&](map_form& f, gui::dialog_state&) {
         value(f, {"Number", ""}, 3);
         text(f, {"Space", "Mem"}, "x");
         text(f, {"Start_Addr", "Mem"}, "$10");
         f.choose("Access", "", 1);
         f.choose("Action", "", 0);
       },
       "break #3 w x:$10 h "},
      {"M_Exec_Break_Set",
       [&](map_form& f, gui::dialog_state& d) {
         gui::dialog_item_command(d, "Expression", true);
         value(f, {"Number", ""}, 4);
         text(f, {"Expression", "Expr"}, "x:$10==1");
         f.choose("Access", "", 2);  // not read for the expression kind
         f.choose("Action", "", 0);
       },
       "break #4  x:$10==1 h "},
      {"M_Exec_Break_Set",
       [&](map_form& f, gui::dialog_state& d) {
         gui::dialog_item_command(d, "Register", true);
         value(f, {"Number", ""}, 5);
         text(f, {"Reg_Combo", "Reg"}, "sr");
         f.choose("Access", "", 2);
         f.choose("Action", "", 3);
         text(f, {"Command_Text", "Cmd"}, "display");
       },
       "break #5 rw sr x display"},
      {"M_Exec_Break_Set",
       [&](map_form& f, gui::dialog_state&) {
         value(f, {"Number", ""}, 6);
         text(f, {"Space", "Mem"}, "p");
         text(f, {"Start_Addr", "Mem"}, "$20");
         text(f, {"End_Addr", "Mem"}, "$30");
         f.choose("Access", "", 0);
         f.choose("Action", "", 5);
         text(f, {"Command_Text", "Cmd"}, "ignored");
       },
       "break #6 r p:$20..$30 i2 "},
      {"M_Exec_Go",
       [&](map_form& f, gui::dialog_state&) {
         value(f, {"Reset", "From/Go_From"}, 1);
         text(f, {"Address", "From"}, "$40");
         value(f, {"Go_Break", ""}, 1);
         value(f, {"Count", "To"}, 3);
       },
       "go r #2 :3"},
      {"M_Exec_Go", [&](map_form& f, gui::dialog_state&) { text(f, {"Address", "From"}, "$40"); }, "go $40"},
      {"M_Exec_Until", [&](map_form& f, gui::dialog_state&) { text(f, {"Address", ""}, "p:$12"); }, "until p:$12 "},
      {"M_Exec_Until",
       [&](map_form& f, gui::dialog_state&) {
         text(f, {"Address", ""}, "p:$12");
         value(f, {"Halt", ""}, 1);
       },
       "until p:$12 h"},
      {"M_Exec_Step",
       [&](map_form& f, gui::dialog_state&) {
         value(f, {"Count", ""}, 10);
         value(f, {"Instructions", "Increment"}, 1);
         value(f, {"Halt", ""}, 1);
       },
       "step 10 in h"},
      {"M_Exec_Next",
       [&](map_form& f, gui::dialog_state&) {
         value(f, {"Count", ""}, 2);
         value(f, {"Cycles", "Increment"}, 1);  // Next has no cycles
         value(f, {"Halt", ""}, 1);
       },
       "next 2  h"},
      {"M_Exec_Trace",
       [&](map_form& f, gui::dialog_state&) {
         value(f, {"Count", ""}, 4);
         value(f, {"Cycles", "Increment"}, 1);
       },
       "trace 4 cy "},
      {"M_Exec_Wait", [&](map_form& f, gui::dialog_state&) { value(f, {"Count", ""}, 1); }, "wait `1"},
      {"M_Exec_Reset_Dev", [&](map_form& f, gui::dialog_state&) { value(f, {"Mode", ""}, 2); }, "reset d m2"},
      {"M_Mod_Down", [&](map_form& f, gui::dialog_state&) { value(f, {"Count", ""}, 10); }, "down `10"},
      {"M_Mod_Up", [&](map_form& f, gui::dialog_state&) { value(f, {"Count", ""}, 1); }, "up `1"},
      {"M_Disp_Where",
       [&](map_form& f, gui::dialog_state&) {
         f.choose("Frames", "", 1);
         value(f, {"Count", ""}, 1);
       },
       "where -1"},
      {"M_Disp_List", [&](map_form& f, gui::dialog_state&) { f.choose("List", "", 1); }, "list +"},
      {"M_Disp_List",
       [&](map_form& f, gui::dialog_state&) {
         f.choose("List", "", 3);
         text(f, {"Address", "Address"}, "p:$100");
       },
       "list p:$100"},
  };
  for (const dialog_case& c : cases) {
    SCOPED_TRACE(c.line);
    form = map_form{};
    gui::dialog_state& d = open(c.command);
    c.set(form, d);
    clear_command_history();
    EXPECT_EQ(gui::dialog_apply(d), 1) << gui::last_error_text();
    EXPECT_EQ(history(), std::vector<std::string>{c.line});
    stop_request = 1;  // a go would run on
    pump();
    EXPECT_EQ(gui::dialog_close(d), 0);
  }
}

TEST_F(DialogsTest, BreakNumberDialogsWalkTheSelectionAndFollowTheList) {
  run("break #1 w x:$10 h");
  run("break #2 w x:$11 h");
  run("break #3 w x:$12 h");
  gui::dialog_state& disable = open("M_Exec_Break_Disable");
  EXPECT_EQ(form.lists["|Number"], (std::vector<std::string>{"#1", "#2", "#3"}));
  // Nothing selected: nothing run, nothing said.
  EXPECT_EQ(gui::dialog_apply(disable), 0);
  EXPECT_TRUE(history().empty());
  EXPECT_EQ(notices(), 0);
  // "Apply" with #2 selected: #2 leaves this list.
  form.selections["|Number"] = {1};
  EXPECT_EQ(gui::dialog_apply(disable), 1);
  EXPECT_EQ(history(), std::vector<std::string>{"break #2 d"});
  EXPECT_EQ(form.lists["|Number"], (std::vector<std::string>{"#1", "#3"}));
  gui::dialog_close(disable);

  map_form other;
  gui::dialog_state* enable = gui::dialog_by_command("M_Exec_Break_Enable");
  gui::dialog_open_with(*enable, &other);
  EXPECT_EQ(other.lists["|Number"], std::vector<std::string>{"#2"});
  gui::dialog_close(*enable);

  // Three rows, the second refused (a breakpoint removed meanwhile): the
  // first ran, the second is reported, the third never built.
  form = map_form{};
  gui::dialog_state& clear = open("M_Exec_Break_Clear");
  clear.rows = {"#1", "#100", "#3"};
  form.selections["|Number"] = {0, 1, 2};
  clear_command_history();
  EXPECT_EQ(gui::dialog_apply(clear), 0);
  EXPECT_EQ(history(), std::vector<std::string>{"break #1 off"});
  ASSERT_EQ(notices(), 1);
  EXPECT_EQ(gui::scripted_shown().back().text, "Range of Break Number is 1-99");
  EXPECT_EQ(gui::break_numbers(-1), (std::vector<std::string>{"#2", "#3"}));
}

TEST_F(DialogsTest, OpenFillsOnceAndARefusedLineKeepsTheDialog) {
  gui::dialog_state& d = open("M_Exec_Break_Set");
  EXPECT_EQ(form.values["|Number"], 1);
  EXPECT_EQ(form.lists["Mem|Space"], gui::region_names());
  EXPECT_FALSE(form.lists["Reg|Reg_Combo"].empty());
  // A second open neither fills again nor takes the new form.
  form.values["|Number"] = 100;
  map_form second;
  gui::dialog_open_with(d, &second);
  EXPECT_EQ(d.form, &form);
  EXPECT_TRUE(second.values.empty());
  // Refused: reported, not run, the fields and the dialog kept.
  form.texts["Mem|Space"] = "x";
  form.texts["Mem|Start_Addr"] = "$10";
  form.choose("Access", "", 0);
  form.choose("Action", "", 0);
  EXPECT_EQ(gui::dialog_apply(d), 0);
  EXPECT_EQ(gui::scripted_shown().back().text, "Range of Break Number is 1-99");
  EXPECT_EQ(form.values["|Number"], 100);
  EXPECT_EQ(d.open, 1);
  EXPECT_EQ(d.busy, 0);
  EXPECT_TRUE(history().empty());
  // Accepted: the next free number is proposed at once.
  form.values["|Number"] = 1;
  EXPECT_EQ(gui::dialog_apply(d), 1);
  EXPECT_EQ(form.values["|Number"], 2);
  // A line over the parser's limit is refused whole, never cut.
  form.texts["Mem|Start_Addr"] = "$10";
  form.texts["Mem|Space"] = std::string(300, 'x');
  form.values["|Number"] = 7;
  EXPECT_EQ(gui::dialog_apply(d), 0);
}

TEST_F(DialogsTest, CloseIsRefusedWhileALineRuns) {
  gui::dialog_state& d = open("M_Exec_Break_Set");
  form.values["|Number"] = 0;  // refused: its notice runs under the apply
  form.texts["Mem|Space"] = "x";
  form.texts["Mem|Start_Addr"] = "$10";
  form.choose("Access", "", 0);
  form.choose("Action", "", 0);
  // The close request arrives while the notice is up.
  static gui::dialog_state* running = nullptr;
  static int answer = -1;
  running = &d;
  gui::script_answer(gui::ANSWER_OK, {}, [] { answer = gui::dialog_close(*running); });
  EXPECT_EQ(gui::dialog_apply(d), 0);
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(d.open, 1);
  EXPECT_EQ(d.form, &form);
  EXPECT_EQ(gui::dialog_close(d), 0);
  EXPECT_EQ(d.open, 0);
  EXPECT_EQ(d.form, nullptr);
  EXPECT_EQ(gui::dialog_apply(d), 0);  // closed: nothing built
}

TEST_F(DialogsTest, FormsAnswerClicks) {
  // Set_Break: the kind word follows the kind handlers, not the group.
  gui::dialog_state& b = open("M_Exec_Break_Set");
  EXPECT_FALSE(form.enabled("DMA_Read", "Access"));  // family 711
  gui::dialog_item_command(b, "Register", true);
  EXPECT_EQ(b.break_kind, 1);
  EXPECT_FALSE(form.enabled("Mem", ""));
  EXPECT_TRUE(form.enabled("Reg", ""));
  gui::dialog_item_command(b, "Expression", false);  // off: nothing
  EXPECT_EQ(b.break_kind, 1);
  gui::dialog_item_command(b, "Command", true);
  EXPECT_TRUE(form.enabled("Cmd", ""));
  gui::dialog_item_command(b, "Inc3", false);  // any other action, either state
  EXPECT_FALSE(form.enabled("Cmd", ""));
  gui::dialog_close(b);

  // The floating-point family offers the DMA accesses to memory kinds only.
  gui::dialog_family_code_set(710);
  form = map_form{};
  gui::dialog_open_with(b, &form);
  EXPECT_TRUE(form.enabled("DMA_Write", "Access"));
  gui::dialog_item_command(b, "Register", true);
  EXPECT_FALSE(form.enabled("DMA_Write", "Access"));
  gui::dialog_item_command(b, "Memory", true);
  EXPECT_TRUE(form.enabled("DMA_Write", "Access"));
  gui::dialog_close(b);
  gui::dialog_family_code_set(0);

  // Go without enabled breakpoints: no "Go_Break", its handler inert.
  form = map_form{};
  gui::dialog_state& g = open("M_Exec_Go");
  EXPECT_FALSE(form.enabled("Go_Break", ""));
  gui::dialog_item_command(g, "Go_Break", true);
  EXPECT_TRUE(form.states.find("|To") == form.states.end());
  gui::dialog_item_command(g, "Reset", true);
  EXPECT_FALSE(form.enabled("Address", "From"));
  EXPECT_FALSE(form.enabled("Address_Lab", "From"));
  gui::dialog_item_command(g, "Location", true);
  EXPECT_TRUE(form.enabled("Address", "From"));
  gui::dialog_close(g);

  form = map_form{};
  gui::dialog_state& w = open("M_Exec_Wait");
  gui::dialog_item_command(w, "Forever", true);
  EXPECT_FALSE(form.enabled("Count", ""));
  form.values["|Forever"] = 1;
  form.values["|Count"] = 5;
  EXPECT_EQ(gui::dialog_apply(w), 1);
  EXPECT_EQ(history(), std::vector<std::string>{"wait"});
  gui::dialog_close(w);

  form = map_form{};
  gui::dialog_state& l = open("M_Disp_List");
  gui::dialog_item_command(l, "Addr", true);
  EXPECT_TRUE(form.enabled("Address", ""));
  gui::dialog_item_command(l, "Previous", true);
  EXPECT_FALSE(form.enabled("Address", ""));
  gui::dialog_close(l);
}

TEST_F(DialogsTest, FillsPresetFromTheDevice) {
  // Reset remembers the mode last chosen across openings.
  gui::dialog_state& r = open("M_Exec_Reset_Dev");
  EXPECT_EQ(form.values["|Mode"], 0);
  form.values["|Mode"] = 4;
  EXPECT_EQ(gui::dialog_apply(r), 1);
  gui::dialog_close(r);
  form = map_form{};
  open("M_Exec_Reset_Dev");
  EXPECT_EQ(form.values["|Mode"], 4);
  gui::dialog_close(r);

  // Stepping by lines in the source view, else by instructions.
  form = map_form{};
  gui::dialog_state& s = open("M_Exec_Trace");
  EXPECT_EQ(form.chosen("Increment", ""), 0);
  gui::dialog_close(s);
  cur_state->view_mode = 2;
  open("M_Exec_Trace");
  EXPECT_EQ(form.chosen("Increment", ""), 1);
  gui::dialog_close(s);
  cur_state->view_mode = 0;

  // Where counts the call frames there are.
  form = map_form{};
  cur_state->frames = std::make_shared<frame_list>();
  cur_state->frames->frames.resize(3);
  gui::dialog_state& w = open("M_Disp_Where");
  EXPECT_EQ(form.values["|Count"], 3);
  gui::dialog_close(w);

  // Register names: per peripheral in name order with the suffix, none
  // hidden by the 0x10 bit; the stream filter keeps a subset.
  const std::vector<std::string> names = gui::register_names(0);
  const std::vector<std::string> streams = gui::register_names(REG_STREAM_IN);
  ASSERT_FALSE(names.empty());
  EXPECT_LT(streams.size(), names.size());
  for (const std::string& n : streams) EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
  for (int row = 0; row < cur_type->periph_count; ++row) {
    const periph_row& p = cur_type->periphs[row];
    std::string previous;
    for (int i = 0; i < p.cls->reg_count; ++i) {
      const std::string n = std::string(p.cls->regs[i].name) + p.suffix;
      const bool listed = std::find(names.begin(), names.end(), n) != names.end();
      EXPECT_EQ(listed, (p.cls->regs[i].access & 0x10u) == 0) << n;
    }
  }
}

}  // namespace
