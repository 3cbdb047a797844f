# Pictures of the bundled game's interface screens, drawn at build time by
# ImageMagick (qmr_picture): a night street for the menus, a case journal, a
# sheet of paper, buttons, check boxes, sliders and three concept-art plates.

set(common Bin/Interface/Common/Pictures)
set(main Bin/Interface/Main/Pictures)
set(journal Bin/Interface/Journal/Pictures)

# Buttons: a brass-edged plate, lit under the pointer, dimmed when disabled.
function(screens_plate output width height edge face)
  math(EXPR right "${width} - 3")
  math(EXPR bottom "${height} - 3")
  qmr_picture(${output} -size ${width}x${height} "xc:${edge}"
    -fill "${face}" -draw "roundrectangle 3,3 ${right},${bottom} 6,6")
endfunction()
screens_plate(${common}/button.tga 320 52 "#8A6A30" "#2E2418")
screens_plate(${common}/button_lit.tga 320 52 "#E0B050" "#5A4020")
screens_plate(${common}/button_dim.tga 320 52 "#4A4036" "#2A2622")
screens_plate(${common}/choice.tga 200 40 "#6A5A40" "#2A2420")
screens_plate(${common}/choice_lit.tga 200 40 "#C09850" "#46382A")
screens_plate(${common}/choice_on.tga 200 40 "#F0C860" "#7A5A24")
screens_plate(${common}/pick.tga 150 40 "#6A5A40" "#2A2420")
screens_plate(${common}/pick_lit.tga 150 40 "#C09850" "#46382A")
screens_plate(${common}/pick_on.tga 150 40 "#F0C860" "#7A5A24")

# Check boxes: empty, lit, and ticked.
qmr_picture(${common}/check.tga -size 36x36 "xc:#8A6A30"
  -fill "#1E1812" -draw "rectangle 3,3 32,32")
qmr_picture(${common}/check_lit.tga -size 36x36 "xc:#E0B050"
  -fill "#2E2418" -draw "rectangle 3,3 32,32")
qmr_picture(${common}/check_on.tga -size 36x36 "xc:#E0B050"
  -fill "#2E2418" -draw "rectangle 3,3 32,32"
  -stroke "#F0D080" -strokewidth 4 -fill none -draw "polyline 8,18 15,26 28,9")

# Slider: a groove and a brass thumb.
qmr_picture(${common}/track.tga -size 360x32 xc:none
  -fill "#1A140E" -draw "roundrectangle 0,11 359,20 4,4"
  -fill "#6A5A40" -draw "roundrectangle 2,13 357,18 2,2")
qmr_picture(${common}/thumb.tga -size 20x32 "xc:#8A6A30"
  -fill "#E0B050" -draw "rectangle 3,3 16,28")

qmr_picture(${common}/pointer.tga -size 24x24 xc:none
  -fill "#F4E8C8" -stroke "#201810" -draw "polygon 1,1 1,20 6,15 10,23 13,22 9,14 16,14")

# A sheet of aged paper for the first-run screen and the credits.
qmr_picture(${common}/paper.tga -size 1280x720 "gradient:#EADFC4-#CDBB92"
  -seed 7 -attenuate 0.25 +noise Multiplicative -blur 0x0.6
  -fill none -stroke "#9A8458" -strokewidth 3 -draw "rectangle 24,24 1255,695")

# Concept art: three plates of the case's places and people.
qmr_picture(${common}/art_shop.tga -size 800x450 "gradient:#3A2A1C-#8A6A40"
  -fill "#1C140C" -draw "rectangle 60,120 740,450"
  -fill "#D8B060" -draw "rectangle 110,170 330,330 rectangle 470,170 690,330"
  -fill "#2A2016" -draw "rectangle 360,210 440,450"
  -fill "#F0E0B0" -draw "circle 400,80 400,40"
  -stroke "#2A2016" -strokewidth 4 -draw "line 400,80 400,52 line 400,80 420,90")
qmr_picture(${common}/art_inspector.tga -size 800x450 "gradient:#20283A-#5A6A80"
  -fill "#141820" -draw "ellipse 400,470 170,190 0,360"
  -fill "#C8A888" -draw "ellipse 400,200 70,85 0,360"
  -fill "#141820" -draw "rectangle 280,105 520,125 rectangle 320,20 480,110")
qmr_picture(${common}/art_harbour.tga -size 800x450 "gradient:#0A1020-#30405A"
  -fill "#F0E8C0" -draw "circle 620,90 620,50"
  -fill "#101620" -draw "rectangle 0,300 800,450"
  -fill "#1C2430" -draw "polygon 120,300 200,250 420,250 460,300"
  -stroke "#1C2430" -strokewidth 6 -draw "line 300,250 300,110"
  -stroke "#C0A060" -strokewidth 2 -draw "line 0,330 800,330")

# The menus' night street: four frames of the same skyline in the rain, the
# windows lit in turn and the rain falling, shown one after another.
string(CONCAT skyline "rectangle 0,420 180,720 rectangle 170,360 340,720 "
  "rectangle 330,460 520,720 rectangle 760,380 940,720 rectangle 930,300 1080,720 "
  "rectangle 1070,440 1280,720")
set(windows_0 "rectangle 210,400 230,420 rectangle 800,420 820,440 rectangle 1020,520 1040,540")
set(windows_1 "rectangle 210,400 230,420 rectangle 260,470 280,490 rectangle 980,350 1000,370")
set(windows_2 "rectangle 260,470 280,490 rectangle 800,420 820,440 rectangle 1120,480 1140,500")
set(windows_3 "rectangle 210,400 230,420 rectangle 980,350 1000,370 rectangle 1020,520 1040,540")
foreach(n RANGE 0 3)
  math(EXPR seed "${n} + 11")
  math(EXPR frame "${n} + 1")
  qmr_picture(${main}/street${frame}.tga -size 1280x720 "gradient:#0A0F22-#3A3550"
    -fill "#F0E6C8" -draw "circle 1120,110 1120,76"
    -fill "#141422" -draw "${skyline}"
    -fill "#E8C060" -draw "${windows_${n}}"
    -fill "#1E1A20" -draw "rectangle 0,640 1280,720"
    -fill "#3A3030" -draw "rectangle 640,470 648,640"
    -fill "#F8E0A0" -draw "circle 644,462 644,450"
    "(" -size 1280x720 xc:black -seed ${seed} +noise Random -colorspace gray
        -threshold 98.5% -motion-blur 0x24+100 -level 0,12% ")"
    -compose screen -composite)
endforeach()

# The case journal: a leather binding with two cream pages and a spine.
qmr_picture(${journal}/journal.tga -size 1280x720 "xc:#3A2418"
  -seed 5 -attenuate 0.3 +noise Multiplicative
  -fill "#EFE4C8" -draw "roundrectangle 40,30 632,690 8,8 roundrectangle 648,30 1240,690 8,8"
  -fill "#B8A278" -draw "rectangle 628,30 652,690"
  -stroke "#C8B894" -strokewidth 1
  -draw "line 80,140 600,140 line 690,140 1200,140")

# Music and the options screens' samples: sndmake recipes, and a voice
# spoken by espeak-ng.
qmr_sound(Bin/Audio/Music/theme.ogg RECIPE Bin/Audio/Recipes/theme.txt QUALITY 0.2)
qmr_sound(Bin/Audio/Music/credits.ogg RECIPE Bin/Audio/Recipes/credits.txt QUALITY 0.2)
qmr_sound(Bin/Audio/Samples/sound.ogg RECIPE Bin/Audio/Recipes/sound.txt)
qmr_voice(Bin/Audio/Samples/voice.ogg VOICE en-gb
  TEXT "Every clock in the shop stopped at a quarter past three.")
