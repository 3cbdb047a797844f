# The bundled game's 3D models: the brass key shown turning on the journal's
# special features page. A model's sources lie in its folder below content/:
#   <name>.obj, <name>.mtl  the mesh and its materials (Wavefront OBJ and MTL)
#   Recipes/<texture>.txt   each texture the MTL names, drawn by imgmake
#   Recipes/shader.txt      the shading ramp, drawn by imgmake
# and the build makes, below the program folder in the same folder:
#   <name>.ms3d             the model, by modelconv --pick
#   <name>_pick<n>.tga      a flat pick texture per group name, by modelconv
#   <name>.mat              each pick colour named after its group, by modelconv
#   <texture>.tga, shader.tga

# qmr_model(<folder below content/> <name> TEXTURES <texture names...>)
# Makes one model with its pick textures and mat, its textures and its ramp.
# The groups of the OBJ are read when CMake configures (the OBJ is a
# configure dependency), one pick texture each.
function(qmr_model folder name)
  cmake_parse_arguments(ARG "" "" "TEXTURES" ${ARGN})
  set(sources ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
  set(obj ${sources}/${name}.obj)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${obj})
  file(STRINGS ${obj} groupLines REGEX "^[go][ \t]")
  set(groups "")
  foreach(line ${groupLines})
    string(REGEX REPLACE "^[go][ \t]+" "" group "${line}")
    string(STRIP "${group}" group)
    list(APPEND groups "${group}")
  endforeach()
  list(REMOVE_DUPLICATES groups)
  list(LENGTH groups count)
  if(count EQUAL 0)
    message(FATAL_ERROR "qmr_model(${folder} ${name}): ${obj} names no group to pick")
  endif()
  set(byproducts ${folder}/${name}.mat)
  foreach(n RANGE 1 ${count})
    list(APPEND byproducts ${folder}/${name}_pick${n}.tga)
  endforeach()
  qmr_content(${folder}/${name}.ms3d TOOL modelconv
    ARGS --pick ${obj} <OUTPUT>
    DEPENDS ${obj} ${sources}/${name}.mtl
    BYPRODUCTS ${byproducts})
  foreach(texture ${ARG_TEXTURES} shader)
    qmr_image(${folder}/${texture}.tga RECIPE ${folder}/Recipes/${texture}.txt)
  endforeach()
endfunction()

qmr_model(Bin/Interface/Journal/Models key TEXTURES brass)
