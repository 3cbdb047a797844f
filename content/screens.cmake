# Pictures and sounds of the bundled game's interface screens: pictures drawn
# by imgmake from the recipes beside them (a night street for the menus, a
# case journal, a sheet of paper, buttons, check boxes, sliders, the plates of
# the save list and three concept-art plates), music and samples made by
# sndmake, a voice spoken by espeak-ng.

set(recipes Bin/Interface/Common/Recipes)
set(common Bin/Interface/Common/Pictures)
foreach(picture button button_lit button_dim choice choice_lit choice_on pick pick_lit pick_on
                check check_lit check_on track thumb pointer paper
                art_shop art_constable art_harbour slot slot_lit)
  qmr_image(${common}/${picture}.tga RECIPE ${recipes}/${picture}.txt)
endforeach()
qmr_image(Bin/Interface/Main/Pictures/street%.tga
  RECIPE Bin/Interface/Main/Recipes/street.txt FRAMES 4)
qmr_image(Bin/Interface/Journal/Pictures/journal.tga
  RECIPE Bin/Interface/Journal/Recipes/journal.txt)

qmr_sound(Bin/Audio/Music/theme.ogg RECIPE Bin/Audio/Recipes/theme.txt QUALITY 0.2)
qmr_sound(Bin/Audio/Music/credits.ogg RECIPE Bin/Audio/Recipes/credits.txt QUALITY 0.2)
qmr_sound(Bin/Audio/Samples/sound.ogg RECIPE Bin/Audio/Recipes/sound.txt)
qmr_voice(Bin/Audio/Samples/voice.ogg VOICE en-gb
  TEXT "Every clock in the shop stopped at a quarter past three.")
