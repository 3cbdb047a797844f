# The rooms of the bundled case, each made from the sources in its folder
# content/Bin/Rooms/<Name>/:
#   Recipes/<Name>.txt  the room's picture (imgmake) -> Background/<Name>.tga
#   <Name>.room         the room description (roommake) -> the five mats in Background/
#   <Name>.pts          the path source (pthmake) -> Background/Path Tree.pth, checked
#                       against the room's "Walk Area.mat" (pthmake --check)
#   Scripts/<Name>.vms  the room script, compiled with the other scripts
# and the fog of war of the workshop's notepad.

# qmr_room(<name>)
# Makes one room's picture, mats and path tree. The tree is checked against
# the floor mat at build time: a node off the floor, a one-sided link, a
# tree in pieces or floor that no node sees fails the build with pthmake's
# lines.
function(qmr_room name)
  set(folder Bin/Rooms/${name})
  set(sources ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
  set(background ${QMR_PROGRAM_DIR}/${folder}/Background)
  qmr_image(${folder}/Background/${name}.tga RECIPE ${folder}/Recipes/${name}.txt)
  qmr_content("${folder}/Background/Walk Area.mat" TOOL roommake
    ARGS ${sources}/${name}.room ${background}
    DEPENDS ${sources}/${name}.room
    BYPRODUCTS "${folder}/Background/Depth Layers.mat" "${folder}/Background/Depth Agent.mat"
               "${folder}/Background/Light Agent.mat" "${folder}/Background/Sound.mat")
  # The path source reads the description's colour names.
  qmr_content("${folder}/Background/Path Tree.pth" TOOL pthmake
    ARGS ${sources}/${name}.pts <OUTPUT>
    DEPENDS ${sources}/${name}.pts ${sources}/${name}.room)
  set(checked ${CMAKE_CURRENT_BINARY_DIR}/rooms/${name}.checked)
  add_custom_command(OUTPUT ${checked}
    COMMAND pthmake --check "${background}/Path Tree.pth" "${background}/Walk Area.mat"
    COMMAND ${CMAKE_COMMAND} -E touch ${checked}
    DEPENDS pthmake "${background}/Path Tree.pth" "${background}/Walk Area.mat"
    COMMENT "Checking the path tree of ${name}"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY QMR_CONTENT_FILES ${checked})
endfunction()

foreach(room Shop Workshop Yard)
  qmr_room(${room})
endforeach()

# qmr_fog(<folder below the program folder> <name> PICTURE <recipe> MAT <recipe> LABELS <labels>)
# A fog of war layer: its picture <folder>/<name>.tga drawn by imgmake, and
# its mat <folder>/<name>.mat made by matmake from a second recipe painted in
# the labels' flat colours (drawn in the build folder; it is not content).
function(qmr_fog folder name)
  cmake_parse_arguments(ARG "" "PICTURE;MAT;LABELS" "" ${ARGN})
  qmr_image(${folder}/${name}.tga RECIPE ${ARG_PICTURE})
  get_filename_component(recipe ${ARG_MAT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(labels ${ARG_LABELS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(painted ${CMAKE_CURRENT_BINARY_DIR}/fog/${name}.tga)
  add_custom_command(OUTPUT ${painted}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/fog
    COMMAND imgmake ${recipe} ${painted}
    DEPENDS imgmake ${recipe}
    COMMENT "Painting the mat of ${name}"
    VERBATIM)
  qmr_content(${folder}/${name}.mat TOOL matmake
    ARGS ${painted} ${labels} <OUTPUT>
    DEPENDS ${painted} ${labels})
endfunction()

# The notepad in the workshop. The game keeps fog names in upper case and
# opens the files by that name.
set(notepad Bin/Rooms/Workshop/Fog)
qmr_fog(${notepad} NOTEPAD PICTURE ${notepad}/notepad.txt
  MAT ${notepad}/notepad_mat.txt LABELS ${notepad}/notepad_labels.txt)

# The speech bubble every character talks in and the dialog options are drawn
# with: Bin/Common/Bubbles/Speech <piece>.tga, one recipe a piece (the game
# opens the type by its base name and these suffixes).
foreach(piece "Top Left" Top "Top Right" Left Center Right "Bottom Left" Bottom "Bottom Right"
              "Tail Point Left" "Tail Point Left Top" "Tail Point Right" "Tail Point Right Top")
  qmr_image("Bin/Common/Bubbles/Speech ${piece}.tga"
            RECIPE "Bin/Common/Recipes/Bubble/${piece}.txt")
endforeach()

# What the detective can carry, as the inventory bar shows it.
foreach(item Lens Key Charcoal BrassKey Watch Highlight)
  string(TOLOWER ${item} recipe)
  qmr_image(Bin/Rooms/Common/Pictures/${item}.tga RECIPE Bin/Rooms/Common/Recipes/${recipe}.txt)
endforeach()

# The brass key glinting by the yard drain until it is picked up: two
# frames, the glint lit and out.
qmr_image(Bin/Rooms/Yard/Pictures/Glint%.tga RECIPE Bin/Rooms/Yard/Recipes/Glint.txt FRAMES 2)
