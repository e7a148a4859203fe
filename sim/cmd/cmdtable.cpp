// The command table: every command in lookup order with its syntax lines,
// its help lines and its parser. The order decides abbreviations: a word
// that is a prefix of several names takes the first row whose minimum
// abbreviation it covers.
//
// A command not built yet has cmd_not_built as its parser; its own
// parser takes that place when the command arrives. Rows without help
// lines (break, go, input, output and most window commands) are shown by
// help through their syntax lines.
//
// - Help texts are data: each command row's syntax and help lines (`cmdtable.cpp`, the later ones in
//   `help_lines.h`), the family topics (`family_desc::help_topics`) and the peripherals' I/O file
//   format topics (`periph_row::help`, shared by ssi0/ssi1 and by the two codecs) in
//   `sim/engine/device/help_topics.cpp` and `help_io_topics.cpp`, and the four fixed topics in
//   `cmd_help.cpp`. `help WORD` tries, in order: the listings sym, reg, periph, mem; a register (bit
//   diagram); a command word (its help lines by help name, its syntax lines when it has none); the
//   listings stack, pin, io, map; then a topic by name. Listings (`help_listings.cpp`) print through
//   `help_line`, which stops them when the user cancels the paging. "help stack" reads the stack
//   entries where they lie (`core_stack_entry`): moving sp level by level would raise the
//   stack-error trap. "help sym" lists what `list_program_symbols` hands back (installed with the
//   expressions' symbol look-ups, `sim/cmd/symbol_lookups.cpp`: every symbol of the loaded program).
#include <array>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/help_lines.h"

namespace {

// --- Syntax lines --------------------------------------------------------------
constexpr const char* asm_syntax[] = {
    "{A}SM [{B}(byte wide)] [(beginning at) addr] [assembler_mnemonic]"};
constexpr const char* break_syntax[] = {
    "{B}REAK [{#}bn] [expression/{${}c_expression{$}}] [break_action]",
    "{B}REAK [{#}bn] {R}(read)/{W}(write)/{RW}(access) reg/addr[_block] [break_action]]",
    "{B}REAK [{#}bn] {DR}(dma read)/{DW}(dma write)/{DRW}(dma access) addr[_block] [break_action]",
    "{B}REAK [{#}bn[,bn,...]] {OFF}/{E}(enable)/{D}(disable)"};
constexpr const char* change_syntax[] = {"{C}HANGE [reg[_block]/addr[_block] [expression]]..."};
constexpr const char* copy_syntax[] = {"{CO}PY (from) addr[_block] (to) addr"};
constexpr const char* device_syntax[] = {"{DE}VICE {DVn} [device_type/{ON}/{OFF}/{X}]"};
constexpr const char* disassemble_syntax[] = {"{DI}SASSEMBLE [{B}(byte wide)] [addr[_block]]"};
constexpr const char* display_syntax[] = {
    "{D}ISPLAY [{ON}/{OFF}/{R}/{W}/{RW}] [reg[_block/_group]/addr[_block]]...",
    "{D}ISPLAY {V}(version)"};
constexpr const char* down_syntax[] = {"{DO}WN [n]"};
constexpr const char* evaluate_syntax[] = {
    "{E}VALUATE [{B}(bin)/{D}(dec)/{F}(frc or flt)/{H}(hex)/{U}(unsigned)] "
    "expression/{${}c_expression{$}}"};
constexpr const char* finish_syntax[] = {"{F}INISH "};
constexpr const char* frame_syntax[] = {"{FR}AME [{#}fn]"};
constexpr const char* go_syntax[] = {
    "{G}O [(from)location/{R}(reset)] [(to break number){#}bn] [(occurrence){:}count]"};
constexpr const char* help_syntax[] = {"{H}ELP [command/reg/topic]"};
constexpr const char* history_syntax[] = {"{HI}STORY"};
constexpr const char* input_syntax[] = {
    "{I}NPUT [#n] [{T}(timed)] addr/port/pin[_group] {OFF}/{TERM}/file [{-RD}/{-RF}/{-RH}/{-RU}]",
    "{I}NPUT [#n] pin [{DVn:}]pin", "{I}NPUT [#n] addr [{DVn:}]addr"};
constexpr const char* list_syntax[] = {"{LI}ST [{+}/{-}/{.}/addr]"};
constexpr const char* load_syntax[] = {
    "{L}OAD [{S}(state)|{M}(memory-only)|{D}(debug symbols-only)] (from) filename"};
constexpr const char* log_syntax[] = {
    "{LO}G [{OFF}] [{C}(commands)/{S}(session)/{P}(profile) [filename [{-A}/{-O}/{-C}]]]",
    "{LO}G [{OFF}] {V}(source display status line)"};
constexpr const char* more_syntax[] = {"{M}ORE [{OFF}]"};
constexpr const char* next_syntax[] = {
    "{N}EXT [count][{LI}(lines)/{IN}(inst)] [{H}(halt at breakpoints)]"};
constexpr const char* output_syntax[] = {
    ("{O}UTPUT [#n] [{T}] addr/port/pin[_group] {OFF}/{TERM}/file "
     "[{-RD}/{-RF}/{-RH}/{-RU}/{-RS}] [{-A}/{-O}/{-C}]"),
    "{O}UTPUT [#n] [{T}] history {OFF}/{TERM}/file [{-A}/{-O}/{-C}]",
    "{O}UTPUT [#n] [{T}] ehistory {OFF}/{TERM}/file [{-A}/{-O}/{-C}]"};
constexpr const char* path_syntax[] = {"{P}ATH [pathname]", "{P}ATH + [pathname][,pathname,...]",
                                       "{P}ATH -"};
constexpr const char* quit_syntax[] = {"{Q}UIT [{E}(enable)/{D}(disable)]"};
constexpr const char* radix_syntax[] = {
    "{R}ADIX [{B}(bin)/{D}(dec)/{F}(frc or flt)/{H}(hex)/{U}(uns)] [reg[_block]/addr[_block]]..."};
constexpr const char* redirect_syntax[] = {
    "{RED}IRECT {STDIN} {OFF}/file", "{RED}IRECT {STDOUT}/{STDERR} {OFF}/file [{-A}/{-O}/{-C}]",
    "{RED}IRECT [{OFF}]"};
constexpr const char* reset_syntax[] = {"{RE}SET {S}(state)/{D}(device) [{M}n]"};
constexpr const char* save_syntax[] = {
    "{S}AVE {S}(state)/addr_block... filename [{-A}/{-O}/{-C}]"};
constexpr const char* step_syntax[] = {
    "{ST}EP [count] [{CY}(cycles)/{LI}(lines)/{IN}(inst)] [{H}(halt at breakpoints)]"};
constexpr const char* streams_syntax[] = {"{STR}EAMS [{E}(enable)/{D}(disable)]"};
constexpr const char* trace_syntax[] = {
    "{T}RACE [count] [{CY}(cycles)/{LI}(lines)/{IN}(inst)] [{H}(halt at breakpoints)]"};
constexpr const char* type_syntax[] = {"{TY}PE {${}c_expression{$}}"};
constexpr const char* until_syntax[] = {"{U}NTIL line/addr [{H}(halt at breakpoints)]"};
constexpr const char* up_syntax[] = {"{UP} [n]"};
constexpr const char* view_syntax[] = {"{V}IEW [{A}(assembly)/{S}(source)/{R}(register)]"};
constexpr const char* wait_syntax[] = {"{W}AIT [count(seconds)]"};
constexpr const char* watch_syntax[] = {
    "{WAT}CH [{#}wn] [radix] reg/addr/expression/{${}c_expression{$}}", "{WAT}CH [{#}wn] {OFF}"};
constexpr const char* where_syntax[] = {"{WH}ERE [[+/-]n]"};
constexpr const char* wasm_syntax[] = {"{WA}SM [{OFF}]"};
constexpr const char* wbreakpoint_syntax[] = {"{WB}REAKPOINT [{OFF}]"};
constexpr const char* wcalls_syntax[] = {"{WC}ALLS [{OFF}]"};
constexpr const char* wcommand_syntax[] = {"{WCO}MMAND [{OFF}]"};
constexpr const char* winput_syntax[] = {"{WI}NPUT [OFF]"};
constexpr const char* wlist_syntax[] = {"{WL}IST [win_num] [{OFF}/file]"};
constexpr const char* wmemory_syntax[] = {"{WM}EMORY [win_num] space [addr]",
                                          "{WM}EMORY [win_num] {OFF}"};
constexpr const char* woutput_syntax[] = {"{WO}UTPUT [{OFF}]"};
constexpr const char* wregister_syntax[] = {"{WR}EGISTER [win_num] [periph/{OFF}]"};
constexpr const char* wsession_syntax[] = {"{WSE}SSION [{OFF}]"};
constexpr const char* wsource_syntax[] = {"{WS}OURCE [{OFF}]"};
constexpr const char* wstack_syntax[] = {"{WST}ACK [{OFF}]"};
constexpr const char* wwatch_syntax[] = {
    "{WW}ATCH [win_num] [{#}wn] [radix] reg/addr/expression",
    "{WW}ATCH [win_num] [{#}wn] [{OFF}]"};

// --- Help lines ----------------------------------------------------------------
constexpr const char* help_help[] = {
    "  {----------- HELP: Simulator Help Text -----------",
    "",
    "  {H}ELP [command/reg/topic]",
    "",
    "  {help}",
    "  Display a summary of all available commands and their parameters.",
    "",
    "  {help asm}",
    "  Display a summary of the assemble command and its parameters.",
    "",
    "  {help sym}",
    "  Display a list of debug symbols from the currently loaded .cld file.",
};
constexpr const char* history_help[] = {
    "  {----------- HISTORY: Execution History -----------",
    "",
    "  {HI}story [dev_list]",
    "",
    "  {history}",
    "  Disassemble and display the previous 20 instructions that executed.",
};
constexpr const char* asm_help[] = {
    "{----------- ASM: Single Line Assembler ----------}",
    "",
    "  {A}SM [(beginning at) addr] [assembler_mnemonic]",
    "",
    "  {asm p:$50}",
    "  Start interactive assembler at program memory address 50 hex.",
    "",
    "  {asm lab_d}",
    "",
    "  {asm sec2@lab_c}",
    "",
    "  {asm 50}",
    "  Start interactive assembler at address corresponding to line 50 in the",
    "  current source file.",
    "",
    "  {asm test.asm@9}",
    "",
    "  {asm x:0 move r0,x0}",
    "  Assemble single instruction at x memory address 0.",
    "",
    "  {asm}",
    "  Start assembler at current program counter value.",
    "",
    "  {asm b p:$c000}",
    "  Assemble byte-wide beginning at program memory address c000 hex.",
};
constexpr const char* path_help[] = {
    "  {----------- PATH: Specify Default Pathname -----------}",
    "",
    "  {P}ATH [pathname]",
    "  {P}ATH + [pathname][,pathname,...]",
    "  {P}ATH -",
    "",
    "  {path \\sim}",
    "  Define the default directory for simulator files as '\\sim'.",
    "",
    "  {path + \\sim}",
    "  Add '\\sim' to the list of multiple search paths for source files",
    "",
    "  {path}",
    "  Show the current default pathname and multiple source path list.",
    "",
    "  {path -}",
    "  Clear the multiple source path list.",
};
constexpr const char* quit_help[] = {
    "  {----------- QUIT: Quit Simulator Session -----------}",
    "",
    "  {Q}UIT [{E}/{D}]",
    "  {----------- Examples -----------}",
    "",
    "  {quit}",
    "  Exit simulator with status 0.",
    "",
    "  {quit e}",
    "  Enables immediate quit and return of a non-zero exit status",
    "  if an error occurs during macro execution.",
    "",
    "  {quit d}",
    "  Disables quit on error feature.",
};
constexpr const char* radix_help[] = {
    "  {----------- RADIX: Change Input or Display Radix --------}",
    "",
    "  {R}ADIX [{B}(bin)/{D}(dec)/{F}(frc or flt)/{H}(hex)/{U}(uns)] [reg[_block]/addr[_block]]...",
    "",
    "  {radix}",
    "  Display the default radix currently enabled.",
    "",
    "  {radix h}",
    "  Change input radix to hexadecimal.  Hexadecimal constant entries",
    "  no longer require a preceding dollar sign, but any decimal constants will",
    "  require a preceding grave accent.",
    "",
    "  {radix f x0  x1}",
    "  Change display radix for registers x0 and x1 to floating point.",
    "",
    "  {radix d x:0..10 p:0..10}",
    "  Change display radix for specified memory locations to decimal.",
    "",
    "  {radix u x0 x1}",
    "  Change display radix for x0 and x1 to unsigned decimal.",
};
constexpr const char* redirect_help[] = {
    "  {----------- REDIRECT: Redirect stdin/stdout/stderr for C Programs -----------}",
    "",
    "  {RED}IRECT {STDIN} {OFF}/file",
    "  {RED}IRECT {STDOUT}/{STDERR} {OFF}/file [{-A}/{-O}/{-C}]",
    "  {RED}IRECT [{OFF}]",
    "",
    "  {redirect stdin input}",
    "  Redirect the C stdin (standard input) stream from the file",
    "  input.cio (.cio is the default extension).",
    "",
    "  {redirect stdout output.txt}",
    "  Redirect the C stdout (standard output) stream to the file",
    "  output.txt.",
    "",
    "  {redirect stderr errors}",
    "  Redirect the C stderr (standard error) stream to the file",
    "  errors.cio.",
    "",
    "  {redirect stdout output -o}",
    "  Redirect the C stdout stream to the file output.cio,",
    "  overwriting the file if it already exists.",
    "",
    "  {redirect stdout output -a}",
    "  Redirect the C stdout stream to the file output.cio,",
    "  appending to the end of the file if it already exists.",
    "",
    "  {redirect stdout output -c}",
    "  Redirect the C stdout stream to the file output.cio,",
    "  but don't redirect if the file already exists.",
    "",
    "  {NOTE:}  No I/O processing or handling of redirection occurs if",
    "  the {streams} option has been disabled.  Do {help streams}",
    "  for more information.",
};
constexpr const char* wsession_help[] = {
    "  {----------- WSESSION: Session Window -----------}",
    "",
    "  {WSE}SSION [{OFF}]",
    "",
    "  {wsession}",
    "  Open a session window.",
    "",
    "  {wsession off}",
    "  Close the session window.",
    "",
};
constexpr const char* wcommand_help[] = {
    "  {----------- WCOMMAND: Command Window -----------}",
    "",
    "  {WCO}MMAND [{OFF}]",
    "",
    "  {wcommand}",
    "  Open an command window.",
    "",
    "  {wcommand off}",
    "  Close the command window.",
    "",
};

constexpr const char* wbreakpoint_help[] = {
    "  {----------- WBREAKPOINT: Breakpoint Window -----------}",
    "",
    "  {WB}REAKPOINT [{OFF}]",
    "",
    "  {wbreakpoint}",
    "  Open a breakpoint window for the current device.",
    "",
    "  {wbreakpoint off}",
    "  Close the breakpoint window for the current device.",
    "",
};
constexpr const char* wcalls_help[] = {
    "  {----------- WCALLS: Calls Window -----------}",
    "",
    "  {WC}ALLS [{OFF}]",
    "",
    "  {wcalls}",
    "  Open a C call stack window for the current device.",
    "",
    "  {wcalls off}",
    "  Close the C call stack  window for the current device.",
    "",
};
constexpr const char* winput_help[] = {
    "  {----------- WINPUT: Input Window -----------}",
    "",
    "  {WI}NPUT [OFF]",
    "",
    "  {winput}",
    "  Open an input window for the current device.",
    "",
    "  {winput off}",
    "  Close the input window for the current device.",
    "",
};
constexpr const char* wlist_help[] = {
    "  {----------- WLIST: List Window -----------}",
    "",
    "  {WL}IST [win_num] [{OFF}/file]",
    "",
    "  {wlist lfile.lst}",
    "  Open a list window showing the file lfile.lst.",
    "",
    "  {wlist win2 lfile.lst}",
    "  Show lfile.lst in list window 2; replaces the contents",
    "  of window 2 when it exists.",
    "",
    "  {wlist win2 off}",
    "  Close list window 2.",
    "",
    "  {wlist off}",
    "  Close all list windows.",
    "",
    "  {wlist win3}",
    "  Open list window 3 without a file.",
    "",
};
constexpr const char* woutput_help[] = {
    "  {----------- WOUTPUT: Output Window -----------}",
    "",
    "  {WO}UTPUT [{OFF}]",
    "",
    "  {woutput}",
    "  Open an output window for the current device.",
    "",
    "  {woutput off}",
    "  Close the output window for the current device.",
    "",
};
constexpr const char* wstack_help[] = {
    "  {----------- WSTACK: Stack Window -----------}",
    "",
    "  {WST}ACK [{OFF}]",
    "",
    "  {wstack}",
    "  Open a stack window for the current device.",
    "",
    "  {wstack off}",
    "  Close the stack window for the current device.",
    "",
};

constexpr const char* wwatch_help[] = {
    "  {----------- WWATCH: Open Watch Window -----------}",
    "",
    "  {WW}ATCH [win_num] [{#}wn] [radix] reg/addr/expression",
    "  {WW}ATCH [win_num] [{#}wn] [{OFF}]",
    "",
    "  {wwatch r0}",
    "  Open a watch window for the current device and add register r0 to it.",
    "",
    "  {wwatch x:$100}",
    "  Add the memory location x:$100 to the watch window.",
    "",
    "  {wwatch r2+3}",
    "  Add the expression r2+3 to the watch window.",
    "",
    "  {wwatch win2 r0}",
    "  Add register r0 to watch window 2; opens window 2 when it does not exist.",
    "",
    "  {wwatch off}",
    "  Close all watch windows for the current device.",
    "",
    "  {wwatch win3 off}",
    "  Close watch window 3.",
    "",
    "  {wwatch #2 off}",
    "  Remove item number two from the watch window.",
    "",
    "  {wwatch win4 #2 off}",
    "  Remove item number two from watch window 4.",
    "",
};
constexpr const char* wsource_help[] = {
    "  {----------- WSOURCE: Source Window -----------}",
    "",
    "  {WS}OURCE [{OFF}]",
    "",
    "  {wsource}",
    "  Open a source window for the current device.",
    "",
    "  {wsource off}",
    "  Close the source window for the current device.",
    "",
};
constexpr const char* wregister_help[] = {
    "  {----------- WREGISTER: Register Window -----------}",
    "",
    "  {WR}EGISTER [win_num] [periph/{OFF}]",
    "",
    "  {wregister}",
    "  Open a register window showing the core registers of the current device.",
    "",
    "  {wregister ssi}",
    "  Open a register window showing the ssi registers.",
    "",
    "  {wregister win3}",
    "  Open register window 3 showing the core registers.",
    "",
    "  {wregister off}",
    "  Close all register windows for the current device.",
    "",
    "  {wregister win3 off}",
    "  Close register window 3.",
    "",
};
constexpr const char* wmemory_help[] = {
    "  {----------- WMEMORY: Memory Window -----------}",
    "",
    "  {WM}EMORY [win_num] space [addr]",
    "  {WM}EMORY [win_num] {OFF}",
    "",
    "  {wmemory pi}",
    "  Open a memory window showing internal program memory.",
    "",
    "  {wmemory xi 0}",
    "  Open a memory window showing internal x memory from address 0.",
    "",
    "  {wmemory win3 x}",
    "  Show x memory in memory window 3; opens window 3 when it does not exist.",
    "",
    "  {wmemory off}",
    "  Close all memory windows for the current device.",
    "",
    "  {wmemory win3 off}",
    "  Close memory window 3.",
    "",
};
constexpr const char* wasm_help[] = {
    "  {----------- WASM: Assembly Window -----------}",
    "",
    "  {WA}SM [{OFF}]",
    "",
    "  {wasm}",
    "  Open an assembly window for the current device.",
    "",
    "  {wasm off}",
    "  Close the assembly window for the current device.",
    "",
};

constexpr const char* step_help[] = {
    "  {----------- STEP: Step Through DSP Program -----------}",
    "",
    "  {ST}EP [count] [{CY}(cycles)/{LI}(lines)/{IN}(inst)] [{H}(halt at breakpoints)]",
    "",
    "  {step }",
    "  Step one instruction or source line, depending on display mode.",
    "  Display the enabled registers and memory blocks after last instruction.",
    "",
    "  {step $50}",
    "  Execute hex 50 instructions or source lines, depending on display mode.",
    "  Ignores breakpoints during execution (use h option to halt at breakpoints).",
    "  Display the enabled registers and memory blocks after the last instruction.",
    "",
    "  {step 20 cy}",
    "  Execute 20 clock cycles. Display the enabled registers and memory",
    "  blocks at the end of the 20th clock cycle.",
    "",
    "  {step 20 li h}",
    "  Execute instructions corresponding to 20 source lines. Halt at enabled",
    "  breakpoints. Display the enabled registers and memory blocks after the",
    "  last instruction.",
    "",
    "  {step 20 in h}",
    "  Execute 20 instructions. Halt at enabled breakpoints. Display the enabled",
    "  registers and memory blocks after the last instruction.",
    "",
};
constexpr const char* trace_help[] = {
    "  {----------- TRACE: Trace Through DSP Program -----------}",
    "",
    "  {T}RACE [count] [{CY}(cycles)/{LI}(lines)/{IN}(inst)] [{H}(halt at breakpoints)]",
    "",
    "  {trace }",
    "  Execute one instruction or source line, depending on display mode.",
    "  Display the enabled registers and memory blocks.",
    "",
    "  {trace 20}",
    "  Execute 20 instructions or source lines, depending on display mode.",
    "  Ignores breakpoints during execution (use h option to halt at breakpoints).",
    "  Display the enabled registers and memory blocks after each instruction.",
    "",
    "  {trace 20 h}",
    "  Execute up to 20 instructions or source lines, depending on display",
    "  mode.  Display the enabled registers and memory blocks after each",
    "  instruction.  Halt at enabled breakpoints.",
    "",
    "  {trace 10 cy}",
    "  Execute 10 clock cycles and display the enabled registers and memory",
    "  blocks after each clock cycle.",
    "",
    "  {trace 10 li}",
    "  Execute instructions corresponding to 10 source lines. Ignore breakpoints",
    "  during execution (use h option to halt at breakpoints).  Display the",
    "  enabled registers and memory blocks after each instruction.",
    "",
    "  {trace 10 in}",
    "  Execute 10 instructions. Ignore breakpoints during execution (use h",
    "  option to halt at breakpoints).  Display the enabled registers and memory",
    "  blocks after each instruction.",
};
constexpr const char* streams_help[] = {
    "  {----------- STREAMS: Enable/Disable Handling of I/O for C Programs -----------}",
    "",
    "  {STR}EAMS [{E}(enable)/{D}(disable)]",
    "",
    "  {streams e}",
    "  Enable handling of C input/output.  All input/output calls done",
    "  in a C program running on the DSP will be handled by the",
    "  host software (e.g. fopen(), fwrite(), printf(), etc.).",
    "",
    "  {streams d}",
    "  Disable handling of C input/output.",
    "",
    "  {NOTE:} By default, handling of input/output is enabled.",
    "  Do {help redirect} for more information on redirecting",
    "  stdin, stdout, and stderr.",
};

constexpr std::span<const char* const> none{};

constexpr std::array<command_descriptor, COMMAND_COUNT> rows{{
    {"asm", "a", "assemble", asm_syntax, asm_help, cmd_asm},
    {"break", "b", "break", break_syntax, none, cmd_break},
    {"change", "c", "change", change_syntax, change_help, cmd_change},
    {"copy", "co", "copy", copy_syntax, copy_help, cmd_copy},
    {"device", "de", "device", device_syntax, device_help, cmd_device},
    {"disassemble", "di", "disassemble", disassemble_syntax, disassemble_help, cmd_disassemble},
    {"display", "d", "display", display_syntax, display_help, cmd_display},
    {"down", "do", "down", down_syntax, down_help, cmd_down},
    {"evaluate", "e", "evaluate", evaluate_syntax, evaluate_help, cmd_evaluate},
    {"finish", "f", "finish", finish_syntax, finish_help, cmd_finish},
    {"frame", "fr", "frame", frame_syntax, frame_help, cmd_frame},
    {"go", "g", "go", go_syntax, none, cmd_go},
    {"help", "h", "help", help_syntax, help_help, cmd_help},
    {"history", "hi", "history", history_syntax, history_help, cmd_history},
    {"input", "i", "input", input_syntax, none, cmd_input},
    {"list", "li", "list", list_syntax, list_help, cmd_list},
    {"load", "l", "load", load_syntax, load_help, cmd_load},
    {"log", "lo", "log", log_syntax, log_help, cmd_log},
    {"more", "m", "more", more_syntax, more_help, cmd_more},
    {"next", "n", "next", next_syntax, next_help, cmd_next},
    {"output", "o", "output", output_syntax, none, cmd_output},
    {"path", "p", "path", path_syntax, path_help, cmd_path},
    {"quit", "q", "quit", quit_syntax, quit_help, cmd_quit},
    {"radix", "r", "radix", radix_syntax, radix_help, cmd_radix},
    {"redirect", "red", "redirect", redirect_syntax, redirect_help, cmd_redirect},
    {"reset", "re", "reset", reset_syntax, reset_help, cmd_reset},
    {"save", "s", "save", save_syntax, save_help, cmd_save},
    {"step", "st", "step", step_syntax, step_help, cmd_step},
    {"streams", "str", "streams", streams_syntax, streams_help, cmd_streams},
    {"trace", "t", "trace", trace_syntax, trace_help, cmd_trace},
    {"type", "ty", "type", type_syntax, type_help, cmd_type},
    {"until", "u", "until", until_syntax, until_help, cmd_until},
    {"up", "up", "up", up_syntax, up_help, cmd_up},
    {"view", "v", "view", view_syntax, view_help, cmd_view},
    {"wait", "w", "wait", wait_syntax, wait_help, cmd_wait},
    {"watch", "wat", "watch", watch_syntax, watch_help, cmd_watch},
    {"where", "wh", "where", where_syntax, where_help, cmd_where},
    {"wasm", "wa", "wasm", wasm_syntax, wasm_help, cmd_wasm},
    {"wbreakpoint", "wb", "wbreakpoint", wbreakpoint_syntax, wbreakpoint_help, cmd_wbreakpoint},
    {"wcalls", "wc", "wcalls", wcalls_syntax, wcalls_help, cmd_wcalls},
    {"wcommand", "wco", "wcommand", wcommand_syntax, wcommand_help, cmd_wcommand},
    {"winput", "wi", "winput", winput_syntax, winput_help, cmd_winput},
    {"wlist", "wl", "wlist", wlist_syntax, wlist_help, cmd_wlist},
    {"wmemory", "wm", "wmemory", wmemory_syntax, wmemory_help, cmd_wmemory},
    {"woutput", "wo", "woutput", woutput_syntax, woutput_help, cmd_woutput},
    {"wregister", "wr", "wregister", wregister_syntax, wregister_help, cmd_wregister},
    {"wsession", "wse", "wsession", wsession_syntax, wsession_help, cmd_wsession},
    {"wsource", "ws", "wsource", wsource_syntax, wsource_help, cmd_wsource},
    {"wstack", "wst", "wstack", wstack_syntax, wstack_help, cmd_wstack},
    {"wwatch", "ww", "wwatch", wwatch_syntax, wwatch_help, cmd_wwatch},
}};

}  // namespace

const std::span<const command_descriptor, COMMAND_COUNT> command_table{rows};
