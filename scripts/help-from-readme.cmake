# Makes the program's help page from the README: the parts that lie between "<!-- help -->" and
# "<!-- /help -->" lines, in their order, without the screenshots (the help has no pictures beside it).
#
#   cmake -DREADME=README.md -DOUT=help.md -P scripts/help-from-readme.cmake
#
# Run at build time, so the help always says what the README of the same version says.
cmake_minimum_required(VERSION 3.25)
set(begin_marker "<!-- help -->")
set(end_marker "<!-- /help -->")
string(LENGTH "${begin_marker}" begin_length)
string(LENGTH "${end_marker}" end_length)

file(READ "${README}" text)
set(help "")
while(TRUE)
  string(FIND "${text}" "${begin_marker}" begin)
  if(begin EQUAL -1)
    break()
  endif()
  math(EXPR begin "${begin} + ${begin_length}")
  string(SUBSTRING "${text}" ${begin} -1 text)
  string(FIND "${text}" "${end_marker}" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "${README}: a \"${begin_marker}\" part has no \"${end_marker}\"")
  endif()
  string(SUBSTRING "${text}" 0 ${end} part)
  string(APPEND help "${part}")
  math(EXPR end "${end} + ${end_length}")
  string(SUBSTRING "${text}" ${end} -1 text)
endwhile()
if(help STREQUAL "")
  message(FATAL_ERROR "${README} has no \"${begin_marker}\" part")
endif()
# A picture stands alone on its line.
string(REGEX REPLACE "\n!\\[[^\n]*" "" help "${help}")
file(WRITE "${OUT}" "${help}")
