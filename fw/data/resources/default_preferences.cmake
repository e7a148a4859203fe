# Writes OUT, a C++ source holding the "Preferences" and "vlaf" sections of
# the framework's resource text IN: the defaults a program falls back to
# when it finds no framework resource file (its key bindings, and the look's
# images that size the controls).
#   cmake -DIN=vwexlin7.txt -DOUT=inst_defaults.cpp -P default_preferences.cmake
file(READ "${IN}" text)
set(sections "")
foreach(name Preferences vlaf)
  string(FIND "${text}" "\n${name} = dictionary {" begin)
  if(begin EQUAL -1)
    message(FATAL_ERROR "${IN}: no ${name} section")
  endif()
  math(EXPR begin "${begin} + 1")
  string(SUBSTRING "${text}" ${begin} -1 rest)
  string(FIND "${rest}" "\n}\n" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "${IN}: the ${name} section does not end")
  endif()
  math(EXPR end "${end} + 3")
  string(SUBSTRING "${rest}" 0 ${end} section)
  string(APPEND sections "${section}")
endforeach()
string(FIND "${sections}" ")prefs\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN}: a built-in section holds the literal's delimiter")
endif()
get_filename_component(source "${IN}" NAME)
file(WRITE "${OUT}.tmp" "// Generated from ${source}: the framework's default preferences and look.
#include \"fw/data/inst.h\"

const char* _vinstDefaultPreferencesText() {
  return R\"prefs(${sections})prefs\";
}
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
