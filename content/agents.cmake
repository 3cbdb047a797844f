# The characters of the bundled case, drawn by imgmake and put together by
# sheetmake into the program folder's Bin/Agents/<Name>/:
#   Stand Back.txt, Stand Front.txt, Stand Right.txt, Stand Left.txt
#   Walk Right.txt, Walk Up.txt, Walk Down.txt, Walk Left.txt
#   Head Back.txt, Head Front.txt, Head Right.txt, Head Left.txt
#   Gesture.txt (from the front), Gesture Right.txt, Gesture Left.txt
# and the frame pictures they list. Every character is drawn by the same
# recipes (content/Bin/Agents/Recipes: side.txt from the side, facing.txt
# from the front and the back) in its own colours and hat, given by its
# settings file content/Bin/Agents/Characters/<Name>.txt (NAME=VALUE lines,
# each passed to imgmake as --set). The sheet descriptions
# (content/Bin/Agents/Sheets) are the same for every character. Each sheet
# is checked at build time with `sheetmake --check`, the walks for strides
# that move their way and the heads for their 11 mouths: a fault fails the
# build with sheetmake's lines.

set(QMR_AGENT_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/Bin/Agents)

# qmr_agent_set(<name> <sheet> <picture> <frames> <recipe> <check> [<settings>...])
# One animation set of the character: its pictures <picture> (with a run of
# '%' for the frame's number when there are several) drawn by the recipe
# with the character's settings and the set's own, its sheet made from the
# description Sheets/<sheet>.txt, and the sheet checked (<check>: "walk
# right", "head" or "" for the plain check).
function(qmr_agent_set name sheet picture frames recipe check)
  set(folder Bin/Agents/${name})
  set(style ${QMR_AGENT_SOURCES}/Characters/${name}.txt)
  file(STRINGS ${style} settings REGEX "^[A-Za-z0-9_]+=")
  list(APPEND settings frames=${frames} ${ARGN})
  if(frames GREATER 1)
    qmr_image(${folder}/${picture} RECIPE ${QMR_AGENT_SOURCES}/Recipes/${recipe}
      FRAMES ${frames} SET ${settings} DEPENDS ${style})
    # The numbered pictures, as qmr_image names them.
    string(REGEX MATCH "%+" run ${picture})
    string(LENGTH ${run} digits)
    set(pictures "")
    foreach(frame RANGE 1 ${frames})
      set(number ${frame})
      string(LENGTH ${number} length)
      while(length LESS digits)
        set(number "0${number}")
        math(EXPR length "${length} + 1")
      endwhile()
      string(REPLACE ${run} ${number} file ${picture})
      list(APPEND pictures ${QMR_PROGRAM_DIR}/${folder}/${file})
    endforeach()
  else()
    qmr_image(${folder}/${picture} RECIPE ${QMR_AGENT_SOURCES}/Recipes/${recipe}
      SET ${settings} DEPENDS ${style})
    set(pictures ${QMR_PROGRAM_DIR}/${folder}/${picture})
  endif()
  set(description "${QMR_AGENT_SOURCES}/Sheets/${sheet}.txt")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${style})
  qmr_content("${folder}/${sheet}.txt" TOOL sheetmake
    ARGS ${description} <OUTPUT>
    DEPENDS ${description} ${pictures})
  set(checkArgs "")
  if(check)
    string(REPLACE " " ";" checkArgs "--${check}")
  endif()
  string(MAKE_C_IDENTIFIER "${name}_${sheet}" stamp)
  set(checked ${CMAKE_CURRENT_BINARY_DIR}/agents/${stamp}.checked)
  add_custom_command(OUTPUT ${checked}
    COMMAND sheetmake --check "${QMR_PROGRAM_DIR}/${folder}/${sheet}.txt" ${checkArgs}
    COMMAND ${CMAKE_COMMAND} -E touch ${checked}
    DEPENDS sheetmake "${QMR_PROGRAM_DIR}/${folder}/${sheet}.txt"
    COMMENT "Checking ${name}'s sheet ${sheet}"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY QMR_CONTENT_FILES ${checked})
endfunction()

# qmr_agent(<name>)
# Every set of one character. The body sets leave the head out (the head
# set is drawn at their head point); the walks and the gesture draw it in.
function(qmr_agent name)
  qmr_agent_set(${name} "Stand Back" back.tga 1 facing.txt "" back=1 head=0)
  qmr_agent_set(${name} "Stand Front" front.tga 1 facing.txt "" head=0)
  qmr_agent_set(${name} "Stand Right" right.tga 1 side.txt "" head=0)
  qmr_agent_set(${name} "Stand Left" left.tga 1 side.txt "" head=0 flip=1)
  qmr_agent_set(${name} "Walk Right" walk_right_%.tga 8 side.txt "walk right" walk=1)
  qmr_agent_set(${name} "Walk Up" walk_up_%.tga 8 facing.txt "walk up" walk=1 back=1 toward=-1)
  qmr_agent_set(${name} "Walk Down" walk_down_%.tga 8 facing.txt "walk down" walk=1)
  qmr_agent_set(${name} "Walk Left" walk_left_%.tga 8 side.txt "walk left" walk=1 flip=1)
  qmr_agent_set(${name} "Head Back" head_back_%%.tga 11 facing.txt head back=1 body=0)
  qmr_agent_set(${name} "Head Front" head_front_%%.tga 11 facing.txt head body=0 mouth=f)
  qmr_agent_set(${name} "Head Right" head_right_%%.tga 11 side.txt head body=0 mouth=f)
  qmr_agent_set(${name} "Head Left" head_left_%%.tga 11 side.txt head body=0 mouth=f flip=1)
  set(raise "raise=pick(f,0.4,0.8,1,0.8,0.4,0)")
  qmr_agent_set(${name} Gesture gesture_%.tga 6 facing.txt "" ${raise})
  qmr_agent_set(${name} "Gesture Right" gesture_right_%.tga 6 side.txt "" ${raise})
  qmr_agent_set(${name} "Gesture Left" gesture_left_%.tga 6 side.txt "" ${raise} flip=1)
endfunction()

foreach(agent Detective Clockmaker Apprentice Constable)
  qmr_agent(${agent})
endforeach()
