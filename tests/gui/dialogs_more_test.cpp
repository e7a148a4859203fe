// The device, memory, register, watch, stream, redirection and log
// dialogs: fields in, the exact lines the road ran out, and what their
// fills show of the devices.
#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "dialog_test_support.h"
#include "frontends/gui/dialogs/stream_log.h"
#include "frontends/gui/memory_window.h"
#include "frontends/gui/register_window.h"
#include "gui_window_support.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/streams.h"

namespace {

struct DialogsMoreTest : DialogsTest {
  // The index of a row of the dialog's list model.
  static int row_of(const gui::dialog_state& d, const std::string& text) {
    const auto it = std::find(d.rows.begin(), d.rows.end(), text);
    EXPECT_NE(it, d.rows.end()) << text;
    return static_cast<int>(it - d.rows.begin());
  }
  void text(const char* item, const char* container, const std::string& t) {
    form.texts[map_form::key(item, container)] = t;
  }
  const std::string& last_notice() {
    static const std::string none;
    const auto& shown = gui::scripted_shown();
    return shown.empty() ? none : shown.back().text;
  }
  std::string temp_path(const std::string& name) { return ::testing::TempDir() + name; }
};

using setter = std::function<void(DialogsMoreTest&, map_form&, gui::dialog_state&)>;
struct line_case {
  const char* command;
  setter set;
  std::vector<std::string> lines;
};

TEST_F(DialogsMoreTest, EachDialogBuildsItsLinesFromItsFields) {
  ASSERT_EQ(create_device(1, "73547"), 1);
  make_device_current(0);
  run("watch h x:$10");
  const std::string a0 = "a0", b0 = "b0";
  const line_case cases[] = {
      {"M_Mod_Dev_Def", [](DialogsMoreTest&, map_form& f, gui::dialog_state&) { f.values["|Dev_List"] = 5; },
       {"device Dv5"}},
      {"Palette_Device", [](DialogsMoreTest&, map_form& f, gui::dialog_state&) { f.values["|Dev_List"] = 1; },
       {"device Dv1"}},
      // One line per selected device, the type text for option 0.
      {"M_Mod_Dev_Conf",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) {
         f.choose("Option", "", 0);
         t.text("Device_Type", "Dev_Type", "73547");
         f.selections["Device|Devices"] = {t.row_of(d, "Dv3"), t.row_of(d, "Dv2")};
       },
       {"device Dv3 73547", "device Dv2 73547"}},
      {"M_Mod_Dev_Conf",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) {
         f.choose("Option", "", 2);
         f.selections["Device|Devices"] = {t.row_of(d, "Dv1")};
       },
       {"device Dv1 off"}},
      // The memory line first, then one per register; index 4 is "u", an
      // index past the group "h".
      {"M_Mod_Radix_Disp",
       [&](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) {
         f.choose("Radix", "", 4);
         t.text("Memory_Map", "Memory", "x");
         t.text("Start_Addr", "Memory", "$0");
         t.text("End_Addr", "Memory", "$ff");
         f.selections["Regs|Registers"] = {t.row_of(d, a0)};
       },
       {"radix u x:$0..$ff", "radix u a0"}},
      {"M_Mod_Radix_Disp",
       [&](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) {
         f.choose("Radix", "", 7);
         t.text("Memory_Map", "Memory", "x");
         f.selections["Regs|Registers"] = {t.row_of(d, a0), t.row_of(d, b0)};
       },
       {"radix h a0", "radix h b0"}},
      {"M_Mod_Radix_Def", [](DialogsMoreTest&, map_form& f, gui::dialog_state&) { f.choose("Radix", "", 3); },
       {"radix b"}},
      {"M_Mod_Copy",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("From_Memory_Space", "From", "x");
         t.text("From_Start_Address", "From", "$0");
         t.text("From_End_Address", "From", "$ff");
         t.text("To_Memory_Space", "To", "p");
         t.text("To_Start_Address", "To", "$100");
       },
       {"copy x:$0..$ff p:$100"}},
      {"M_Mod_Memory",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Memory_Space", "", "x");
         t.text("Start_Address", "", "$10");
         t.text("End_Address", "", "$12");
         t.text("Value", "", "$5");
       },
       {"change x:$10..$12 $5"}},
      {"M_Mod_Register",
       [&](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) {
         t.text("Value_Text", "", "$1");
         f.selections["Regs|Registers"] = {t.row_of(d, b0), t.row_of(d, a0)};
       },
       {"change b0 $1", "change a0 $1"}},
      {"M_Disp_Reg",
       [&](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) {
         f.choose("Display", "", 4);
         f.selections["Regs|Registers"] = {t.row_of(d, a0)};
       },
       {"display rw a0"}},
      {"M_Disp_Mem",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state&) {
         f.choose("Display", "", 0);
         t.text("Memory_Space", "", "x");
         t.text("Start_Address", "", "$0");
         t.text("End_Address", "", "$10");
       },
       {"display on x:$0..$10"}},
      {"M_Disp_Disasm_Mem",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Memory_Space", "", "p");
         t.text("Start_Address", "", "$0");
       },
       {"disassemble p:$0"}},
      {"M_Disp_Type", [](DialogsMoreTest& t, map_form&, gui::dialog_state&) { t.text("Expression", "", "{1}"); },
       {"type {1}"}},
      {"M_Disp_Eval",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state&) {
         f.choose("Radix", "", 4);
         t.text("Expression", "", "1+2");
       },
       {"evaluate h 1+2"}},
      {"M_Disp_Watch_Add",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state&) {
         f.choose("Radix", "", 1);
         t.text("Expression", "", "x:$20");
       },
       {"watch f x:$20"}},
      {"M_Disp_Watch_Off",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) { f.selections["|Number"] = {t.row_of(d, "#1")}; },
       {"watch #1 off"}},
      // A file chooser's path, and the debug-only load.
      {"M_File_Load_COFF",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state& d) {
         gui::script_answer(gui::ANSWER_OK, "/tmp/prog.cld");
         gui::dialog_item_command(d, "Select_File", true);
         EXPECT_EQ(t.notices(), 0);
         f.choose("Load", "", 1);
       },
       {"load d /tmp/prog.cld"}},
      // Streams (each proposed the next free number): the radix follows the
  // item, the history drops it, one pin twice names that pin.
      {"M_File_Output_Open",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state&) {
         f.values["|Timed"] = 1;
         f.choose("From", "", 0);
         t.text("Memory_Map", "Mem", "x");
         t.text("Address", "Mem", "$ffe0");
         f.choose("To", "", 1);
         f.choose("Radix", "", 3);
       },
       {"output #1 t x:$ffe0 term -rh"}},
      {"M_File_Output_Open",
       [](DialogsMoreTest&, map_form& f, gui::dialog_state&) {
         f.choose("From", "", 5);
         f.choose("To", "", 1);
         f.choose("Radix", "", 5);
       },
       {"output #2  history term "}},
      {"M_File_Output_Open",
       [](DialogsMoreTest& t, map_form& f, gui::dialog_state&) {
         f.choose("From", "", 2);
         t.text("Start_Pin", "Pin", "pc0");
         t.text("End_Pin", "Pin", "pc0");
         f.choose("To", "", 1);
         f.choose("Radix", "", 0);
       },
       {"output #3  pc0..pc0 term -rd"}},
      {"M_File_Input_Addr",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Space", "To", "x");
         t.text("Addr", "To", "$ffe4");
         t.text("Dev", "From", "Dv1");
         t.text("Space", "From", "x");
         t.text("Addr", "From", "$10");
       },
       {"input #1 x:$ffe4 Dv1:x:$10"}},
      {"M_File_Input_Pin",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("To_Pin", "To", "pc0");
         t.text("From_Dev", "From", "Dv1");
         t.text("From_Pin", "From", "pc1");
       },
       {"input #2 pc0 Dv1:pc1"}},
  };
  for (const line_case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    form = map_form{};
    gui::script_reset();
    gui::dialog_state& d = open(c.command);
    c.set(*this, form, d);
    clear_command_history();
    EXPECT_EQ(gui::dialog_apply(d), 1) << last_notice();
    EXPECT_EQ(history(), c.lines);
    pump();
    EXPECT_EQ(gui::dialog_close(d), 0);
    make_device_current(0);
    shown_device = 0;
    cur_state->default_radix = 1;  // the fields are typed in decimal
  }
  // The walks did what their lines say.
  ASSERT_NE(device_insts[3], nullptr);
  EXPECT_EQ(device_insts[3]->type, find_type_index("73547"));
  EXPECT_TRUE(gui::dialog_by_command("M_Disp_Watch_Off")->rows.empty());
}

TEST_F(DialogsMoreTest, FillsShowTheDevice) {
  ASSERT_EQ(create_device(4, "73547"), 1);
  make_device_current(0);
  // Set_Device: every slot, existing or not, the shown device chosen.
  shown_device = 4;
  gui::dialog_state& set = open("M_Mod_Dev_Def");
  ASSERT_EQ(set.rows.size(), 32U);
  EXPECT_EQ(set.rows[31], "Dv31");
  EXPECT_EQ(form.values["|Dev_List"], 4);
  gui::dialog_close(set);
  shown_device = 0;

  // Device: the type names in table order and the current one shown.
  form = map_form{};
  gui::dialog_state& dev = open("M_Mod_Dev_Conf");
  EXPECT_EQ(form.lists["Dev_Type|Device_Type"].size(), static_cast<std::size_t>(TYPE_COUNT));
  EXPECT_EQ(form.lists["Dev_Type|Device_Type"].front(), device_types[0]->name);
  EXPECT_EQ(form.texts["Dev_Type|Device_Type"], cur_type->name);
  gui::dialog_item_command(dev, "Remove", true);
  EXPECT_FALSE(form.enabled("Dev_Type", ""));
  gui::dialog_item_command(dev, "Type", false);  // off: nothing
  EXPECT_FALSE(form.enabled("Dev_Type", ""));
  gui::dialog_item_command(dev, "Type", true);
  EXPECT_TRUE(form.enabled("Dev_Type", ""));
  // Nothing selected: nothing built, nothing said.
  EXPECT_EQ(gui::dialog_apply(dev), 0);
  EXPECT_TRUE(history().empty());
  gui::dialog_close(dev);

  // Set_Def_Radix: the member named after the default radix, "Decimal"
  // for fractional, which the group does not offer.
  const std::pair<int, int> radixes[] = {{0, 3}, {1, 0}, {2, 0}, {3, 1}, {4, 2}};
  for (auto [radix, member] : radixes) {
    form = map_form{};
    cur_state->default_radix = radix;
    gui::dialog_state& def = open("M_Mod_Radix_Def");
    EXPECT_EQ(form.chosen("Radix", ""), member) << radix;
    gui::dialog_close(def);
  }

  // Radix groups by family: "Fractional" for this family, "Floating_Point"
  // for the floating-point one.
  for (int family : {0, 710}) {
    gui::dialog_family_code_set(family);
    for (const char* command : {"M_Mod_Radix_Disp", "M_Win_Watch", "M_Disp_Eval", "M_Disp_Watch_Add"}) {
      form = map_form{};
      gui::dialog_state& d = open(command);
      EXPECT_EQ(form.enabled("Fractional", "Radix"), family != 710) << command;
      EXPECT_EQ(form.enabled("Floating_Point", "Radix"), family == 710) << command;
      gui::dialog_close(d);
    }
  }
  gui::dialog_family_code_set(0);

  // Register_Win leaves "csim" out and keeps table order; Memory_Win's
  // entries start with the region and its low address.
  form = map_form{};
  gui::dialog_state& regs = open("M_Win_Reg");
  const std::vector<std::string>& periphs = form.lists["|Peripheral"];
  EXPECT_EQ(std::count(periphs.begin(), periphs.end(), "csim"), 0);
  ASSERT_FALSE(periphs.empty());
  EXPECT_EQ(periphs.front(), cur_type->periphs[0].name);
  gui::dialog_close(regs);
  form = map_form{};
  gui::dialog_state& mem = open("M_Win_Mem");
  const std::vector<std::string>& entries = form.lists["|Memory_Map"];
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(cur_type->region_count));
  EXPECT_EQ(entries.front().rfind(std::string(cur_type->regions[0].name) + " $0; 0..", 0), 0U) << entries.front();
  gui::dialog_close(mem);
}

TEST_F(DialogsMoreTest, RefusalsSilentOrWithTheirMessage) {
  struct refusal {
    const char* command;
    setter set;
    const char* message;  // null: none
  };
  const std::string long_name(300, 'n');
  const refusal cases[] = {
      {"M_Mod_Memory",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Memory_Space", "", "x");
         t.text("Start_Address", "", "$10");
       },
       nullptr},
      {"M_Mod_Register",
       [](DialogsMoreTest&, map_form& f, gui::dialog_state&) { f.selections["Regs|Registers"] = {0}; }, nullptr},
      {"M_File_Save_COFF",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Memory_Map", "", "p");
         t.text("Start_Address", "", "$0");
         t.text("End_Address", "", "$ff");
       },
       nullptr},
      {"M_File_Output_Open",
       [](DialogsMoreTest&, map_form& f, gui::dialog_state&) {
         f.choose("From", "", 5);
         f.choose("To", "", 0);
       },
       nullptr},
      {"M_File_Input_Open",
       [](DialogsMoreTest&, map_form& f, gui::dialog_state&) {
         f.choose("To", "", 1);
         f.choose("From", "", 0);
       },
       nullptr},
      {"M_Mod_Radix_Disp", [](DialogsMoreTest&, map_form&, gui::dialog_state&) {}, nullptr},
      {"M_Win_Watch", [](DialogsMoreTest&, map_form& f, gui::dialog_state&) { f.values["|Win_Num"] = 1; },
       "Empty expression string"},
      {"M_Disp_Watch_Add", [](DialogsMoreTest&, map_form&, gui::dialog_state&) {}, "Empty expression string"},
      {"M_File_Input_Addr",
       [](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Space", "To", "x");
         t.text("Addr", "To", "$ffe4");
         t.text("Space", "From", "x");
       },
       "Address must be specified"},
      // A cut name would name another file.
      {"M_File_Output_Open",
       [&](DialogsMoreTest& t, map_form& f, gui::dialog_state&) {
         f.choose("From", "", 5);
         f.choose("To", "", 0);
         t.text("File_Name", "File_Name", long_name);
       },
       "File name too long"},
      {"M_File_Save_OMF",
       [&](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Memory_Map", "", "p");
         t.text("File_Name", "", long_name);
       },
       "File name too long"},
      // A folder's name names no file.
      {"M_File_Save_OMF",
       [&](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Memory_Map", "", "p");
         t.text("File_Name", "", "adir/");
       },
       "Error opening file."},
      {"M_File_Redir_Stream",
       [&](DialogsMoreTest& t, map_form& f, gui::dialog_state&) {
         f.choose("Stream", "", 1);
         t.text("File_Name", "File_Name", long_name.substr(0, 200));
       },
       "File name too long"},
      // Fields that together pass the line's limit: the parser's refusal.
      {"M_Mod_Memory",
       [&](DialogsMoreTest& t, map_form&, gui::dialog_state&) {
         t.text("Memory_Space", "", "x");
         t.text("Start_Address", "", "$10");
         t.text("Value", "", "$1" + std::string(250, ' ') + "1");
       },
       "Command line too long (at most 255 characters)"},
  };
  for (const refusal& c : cases) {
    SCOPED_TRACE(c.command);
    form = map_form{};
    gui::script_reset();
    gui::dialog_state& d = open(c.command);
    c.set(*this, form, d);
    clear_command_history();
    EXPECT_EQ(gui::dialog_apply(d), 0);
    EXPECT_TRUE(history().empty());
    EXPECT_EQ(d.open, 1);
    if (c.message == nullptr) EXPECT_EQ(notices(), 0) << last_notice();
    else EXPECT_EQ(last_notice(), c.message);
    gui::dialog_close(d);
  }
}

TEST_F(DialogsMoreTest, SaveMemCompletesTheNameByItsKindAndWritesTheFile) {
  run("change p:$0..$3 $1234");
  const std::string dir = temp_path("savemem");
  ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
  struct save_case {
    const char* command;
    std::string name, file;
  } cases[] = {{"M_File_Save_OMF", dir + "/dump", dir + "/dump.lod"},
               {"M_File_Save_OMF", dir + "/dump.bin", dir + "/dump.bin"},
               {"M_File_Save_COFF", dir + "/dump", dir + "/dump.cld"}};
  for (const save_case& c : cases) {
    SCOPED_TRACE(c.file);
    std::remove(c.file.c_str());
    form = map_form{};
    gui::dialog_state& d = open(c.command);
    text("Memory_Map", "", "p");
    text("Start_Address", "", "$0");
    text("End_Address", "", "$3");
    text("File_Name", "", c.name);
    EXPECT_EQ(gui::dialog_apply(d), 1) << last_notice();
    EXPECT_EQ(history(), std::vector<std::string>{"save p:$0..$3 " + c.file});
    clear_command_history();
    pump();
    std::ifstream in(c.file, std::ios::binary);
    ASSERT_TRUE(in.good());
    std::stringstream content;
    content << in.rdbuf();
    // The OMF text carries the four words; the COFF file is binary.
    if (c.file.size() > 4 && c.file.substr(c.file.size() - 4) == ".lod") {
      EXPECT_NE(content.str().find("_DATA p 0\n 1234 1234 1234 1234\n"), std::string::npos) << content.str();
    } else {
      EXPECT_FALSE(content.str().empty());
    }
    gui::dialog_close(d);
  }
  // A second menu command while open does not change the dialog's kind.
  form = map_form{};
  gui::dialog_state& d = open("M_File_Save_COFF");
  EXPECT_EQ(d.chooser_kind, 1);
  gui::dialog_by_command("M_File_Save_OMF");
  gui::dialog_open_with(d, &form);
  EXPECT_EQ(d.chooser_kind, 1);
  // The chooser saves with the dialog's kind and fills the name.
  gui::script_answer(gui::ANSWER_OK, dir + "/chosen.cld");
  gui::dialog_item_command(d, "File", true);
  ASSERT_FALSE(gui::scripted_shown().empty());
  EXPECT_EQ(gui::scripted_shown().back().chooser.kind, 1);
  EXPECT_EQ(gui::scripted_shown().back().chooser.open, 0);
  EXPECT_EQ(form.texts["|File_Name"], dir + "/chosen.cld");
  gui::dialog_close(d);
}

TEST_F(DialogsMoreTest, StreamNumbersFollowTheOpenStreams) {
  run("output #1  x:$ffe0 term ");
  run("output #3 t x:$ffe1 term ");
  EXPECT_EQ(gui::next_output_number(), 2);
  EXPECT_EQ(gui::next_input_number(), 1);
  EXPECT_EQ(gui::stream_number_lookup(0, cur_state->streams[SL_OUT_TIMED]), 3);
  EXPECT_EQ(gui::stream_number_lookup(2, cur_state->streams[SL_OUT_TIMED]), 3);
  EXPECT_EQ(gui::stream_number_lookup(4, cur_state->streams[SL_OUT_TIMED]), 0);
  EXPECT_EQ(gui::stream_number_lookup(1, cur_state->streams[SL_OUT_UNTIMED]), 1);
  EXPECT_EQ(gui::stream_number_lookup(0, nullptr), 0);

  gui::dialog_state& open_out = open("M_File_Output_Open");
  EXPECT_EQ(form.values["|Number"], 2);
  form.choose("From", "", 6);
  form.choose("To", "", 1);
  EXPECT_EQ(gui::dialog_apply(open_out), 1);
  EXPECT_EQ(history(), std::vector<std::string>{"output #2  ehistory term "});
  EXPECT_EQ(form.values["|Number"], 4) << "the next number proposed at once";
  pump();
  gui::dialog_close(open_out);

  map_form close_form;
  gui::dialog_state* close_out = gui::dialog_by_command("M_File_Output_Close");
  gui::dialog_open_with(*close_out, &close_form);
  EXPECT_EQ(close_form.lists["|Number"], (std::vector<std::string>{"#1", "#2", "#3"}));
  close_form.selections["|Number"] = {2, 0};
  clear_command_history();
  EXPECT_EQ(gui::dialog_apply(*close_out), 1);
  EXPECT_EQ(history(), (std::vector<std::string>{"output #3 off", "output #1 off"}));
  pump();
  EXPECT_EQ(close_form.lists["|Number"], std::vector<std::string>{"#2"}) << "refilled";
  gui::dialog_close(*close_out);

  // The item handlers: history disables every item field and the radix.
  form = map_form{};
  gui::dialog_state& o = open("M_File_Output_Open");
  gui::dialog_item_command(o, "From_History", true);
  for (const char* field : {"Mem", "Port", "Pin", "Register", "Peripheral", "Radix"})
    EXPECT_FALSE(form.enabled(field, "")) << field;
  gui::dialog_item_command(o, "From_Port", true);
  EXPECT_TRUE(form.enabled("Port", ""));
  EXPECT_FALSE(form.enabled("Mem", ""));
  EXPECT_TRUE(form.enabled("Radix", ""));
  gui::dialog_item_command(o, "Term", true);
  EXPECT_FALSE(form.enabled("File_Name", ""));
  // No register of this type can be streamed: its item is not offered.
  EXPECT_EQ(form.lists["Register|Register"], gui::register_names(REG_STREAM_IN));
  EXPECT_EQ(form.enabled("From_Register", ""), !gui::register_names(REG_STREAM_IN).empty());
  EXPECT_EQ(form.lists["Start_Pin|Pin"], form.lists["End_Pin|Pin"]);
  gui::dialog_close(o);
  // Input_Open's handlers leave the radix alone.
  form = map_form{};
  gui::dialog_state& i = open("M_File_Input_Open");
  form.set_enabled("Radix", "", true);
  gui::dialog_item_command(i, "To_Pin", true);
  EXPECT_TRUE(form.enabled("Pin", ""));
  EXPECT_FALSE(form.enabled("Mem", ""));
  EXPECT_TRUE(form.enabled("Radix", ""));
  gui::dialog_close(i);
}

TEST_F(DialogsMoreTest, InputFromAnotherDeviceListsItsRegionsAndKeepsTheCurrentDevice) {
  ASSERT_EQ(create_device(2, "73547"), 1);
  make_device_current(0);
  gui::dialog_state& d = open("M_File_Input_Addr");
  EXPECT_EQ(form.lists["From|Dev"], (std::vector<std::string>{"Dv0", "Dv2"}));
  EXPECT_EQ(cur_device, 0);
  // Another device's regions, and the current device is 0 again.
  form.texts["From|Dev"] = "Dv2";
  form.lists["From|Space"].clear();
  gui::dialog_item_command(d, "Dev", true);
  EXPECT_EQ(cur_device, 0);
  std::vector<std::string> regions2;
  make_device_current(2);
  regions2 = gui::region_names();
  make_device_current(0);
  EXPECT_EQ(form.lists["From|Space"], regions2);
  // A form that throws while the other device is current: it comes back.
  struct throwing_form : map_form {
    void set_rows(const char*, const char*, const std::vector<std::string>&) override { throw 1; }
  } bad;
  bad.texts["From|Dev"] = "Dv2";
  EXPECT_THROW(gui::device_regions_fill(bad, "Space", "From", "Dev", "From"), int);
  EXPECT_EQ(cur_device, 0);
  EXPECT_EQ(gui::device_number_of("Dv31"), 31);
  EXPECT_EQ(gui::device_number_of("junk"), 0);
  gui::dialog_close(d);
}

TEST_F(DialogsMoreTest, RedirOffAndLogCloseRunOnlyWhatIsOpen) {
  // Fresh files: an existing one would be asked about.
  const std::string out = temp_path("redir_out.txt");
  std::remove(out.c_str());
  std::remove(temp_path("dlg_session.log").c_str());
  gui::dialog_state& r = open("M_File_Redir_Stream");
  form.choose("Stream", "", 1);
  form.texts["File_Name|File_Name"] = out;
  EXPECT_EQ(gui::dialog_apply(r), 1);
  EXPECT_EQ(history(), std::vector<std::string>{"redirect stdout " + out});
  pump();
  gui::dialog_close(r);

  form = map_form{};
  gui::dialog_state& off = open("M_File_Redir_Off");
  EXPECT_FALSE(form.enabled("Std_In", "Streams"));
  EXPECT_TRUE(form.enabled("Std_Out", "Streams"));
  EXPECT_FALSE(form.enabled("Std_Err", "Streams"));
  for (const char* t : {"Std_In", "Std_Out", "Std_Err"}) form.values[map_form::key(t, "Streams")] = 1;
  clear_command_history();
  EXPECT_EQ(gui::dialog_apply(off), 1);
  EXPECT_EQ(history(), std::vector<std::string>{"redirect stdout off"});
  pump();
  EXPECT_EQ(redirect_file(0, REDIRECT_STDOUT), nullptr);
  gui::dialog_close(off);

  // No log open: every toggle disabled, "Ok" runs nothing and closes.
  form = map_form{};
  gui::dialog_state& logs = open("M_File_Log_Close");
  for (const char* t : {"Commands", "Session", "Profile", "Source"}) {
    EXPECT_FALSE(form.enabled(t, "File_Type")) << t;
    form.values[map_form::key(t, "File_Type")] = 1;
  }
  clear_command_history();
  EXPECT_EQ(gui::dialog_apply(logs), 1);
  EXPECT_TRUE(history().empty());
  gui::dialog_close(logs);

  // A session log: its toggle only, its line, then refilled as closed.
  run(("log s " + temp_path("dlg_session")).c_str());
  form = map_form{};
  open("M_File_Log_Close");
  EXPECT_TRUE(form.enabled("Session", "File_Type"));
  EXPECT_FALSE(form.enabled("Commands", "File_Type"));
  for (const char* t : {"Commands", "Session", "Profile", "Source"}) form.values[map_form::key(t, "File_Type")] = 1;
  EXPECT_EQ(gui::dialog_apply(logs), 1);
  EXPECT_EQ(history(), std::vector<std::string>{"log off s"});
  pump();
  EXPECT_TRUE(session_log_path(0).empty());
  EXPECT_FALSE(form.enabled("Session", "File_Type")) << "refilled";
  gui::dialog_close(logs);
}

// Windows opened through their dialogs.
struct DialogWindowsTest : GuiWindowFixture {
  map_form form;
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::dialogs_reset();
    gui::register_memory_window();
    gui::register_register_window();
  }
  void TearDown() override {
    gui::dialogs_reset();
    GuiWindowFixture::TearDown();
  }
};

TEST_F(DialogWindowsTest, MemoryWinOpensTheChosenRegionAtItsLowAddress) {
  int xi = -1;
  for (int i = cur_type->region_count - 1; i >= 0; --i)
    if (std::string(cur_type->regions[i].name) == "xi") xi = i;  // the first "xi" row
  ASSERT_GE(xi, 0);
  gui::dialog_state* d = gui::dialog_by_command("M_Win_Mem");
  gui::dialog_open_with(*d, &form);
  const std::string entry = form.lists["|Memory_Map"][static_cast<std::size_t>(xi)];
  form.texts["|Memory_Map"] = entry;
  clear_command_history();
  EXPECT_EQ(gui::dialog_apply(*d), 1) << gui::last_error_text();
  ASSERT_EQ(command_history_count(), 1);
  EXPECT_EQ(std::string(command_history_line(0)), "wmemory " + entry);
  pump();
  settle();
  gui::sim_window* w = gui::window_find(gui::SIMWIN_MEMORY, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->mem_index, xi);
  EXPECT_EQ(gui::memory_window_top(w), cur_type->regions[xi].low);
  gui::dialog_close(*d);

  form = map_form{};
  d = gui::dialog_by_command("M_Win_Reg");
  gui::dialog_open_with(*d, &form);
  form.texts["|Peripheral"] = "ssi0";
  EXPECT_EQ(gui::dialog_apply(*d), 1) << gui::last_error_text();
  pump();
  settle();
  gui::sim_window* r = gui::window_find(gui::SIMWIN_REGISTER, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::string(cur_type->periphs[r->periph_index].name), "ssi0");
  gui::dialog_close(*d);
}

}  // namespace
