# The case's spoken lines, from the table Bin/Audio/Voices/lines.txt: each
# line is spoken by espeak-ng in its speaker's voice and encoded as
# Bin/Audio/Voices/<line>.ogg by sndmake (qmr_voice). The table is read when
# CMake configures, and is a configure dependency, so an edited line is
# spoken again. The room scripts carry the same words for the bubbles: a
# line whose words no room script says as say(<speaker>, "<line>", "<words>")
# stops the configuration, so a bubble never shows other words than the
# voice speaks.

set(table ${CMAKE_CURRENT_SOURCE_DIR}/Bin/Audio/Voices/lines.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
file(GLOB roomScripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Bin/Rooms/*/Scripts/*.vms)
set(said "")
foreach(script ${roomScripts})
  file(READ ${script} text)
  string(APPEND said "${text}")
endforeach()

file(STRINGS ${table} entries)
set(number 0)
foreach(entry IN LISTS entries)
  math(EXPR number "${number} + 1")
  if(entry MATCHES "^[ \t]*(#|$)")
    continue()
  endif()
  if(entry MATCHES "^voice[ \t]+([A-Za-z]+)[ \t]+([^ \t]+)[ \t]*$")
    set(voice_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    continue()
  endif()
  if(NOT entry MATCHES "^([a-z0-9_]+)[ \t]+([A-Za-z]+)[ \t]+([^;\"\\\\]+)$")
    message(FATAL_ERROR "${table}:${number}: a line is <line> <speaker> <words> "
                        "(no semicolons, quotes or backslashes in the words)")
  endif()
  set(line ${CMAKE_MATCH_1})
  set(speaker ${CMAKE_MATCH_2})
  string(STRIP "${CMAKE_MATCH_3}" words)
  if(NOT DEFINED voice_${speaker})
    message(FATAL_ERROR "${table}:${number}: ${speaker} has no voice line before it")
  endif()
  string(TOUPPER ${speaker} upper)
  string(FIND "${said}" "say(${upper}, \"${line}\", \"${words}\")" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${table}:${number}: no room script says "
                        "say(${upper}, \"${line}\", \"${words}\")")
  endif()
  qmr_voice(Bin/Audio/Voices/${line}.ogg TEXT "${words}" VOICE ${voice_${speaker}})
endforeach()
