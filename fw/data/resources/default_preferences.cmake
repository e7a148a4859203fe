# Writes OUT, a C++ source holding the "Preferences" section of the
# framework's resource text IN: the defaults a program falls back to when
# it finds no framework resource file.
#   cmake -DIN=vwexlin7.txt -DOUT=inst_defaults.cpp -P default_preferences.cmake
file(READ "${IN}" text)
string(FIND "${text}" "\nPreferences = dictionary {" begin)
if(begin EQUAL -1)
  message(FATAL_ERROR "${IN}: no Preferences section")
endif()
math(EXPR begin "${begin} + 1")
string(SUBSTRING "${text}" ${begin} -1 rest)
string(FIND "${rest}" "\n}\n" end)
if(end EQUAL -1)
  message(FATAL_ERROR "${IN}: the Preferences section does not end")
endif()
math(EXPR end "${end} + 3")
string(SUBSTRING "${rest}" 0 ${end} section)
string(FIND "${section}" ")prefs\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN}: the Preferences section holds the literal's delimiter")
endif()
get_filename_component(source "${IN}" NAME)
file(WRITE "${OUT}.tmp" "// Generated from ${source}: the framework's default preferences.
#include \"fw/data/inst.h\"

const char* _vinstDefaultPreferencesText() {
  return R\"prefs(${section})prefs\";
}
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
