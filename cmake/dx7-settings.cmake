# cmake -DFILE=<game folder>/z1.ini -P dx7-settings.cmake
# The Windows game's settings leave the renderer to its default, the DirectX 7
# driver (the demo's z1.ini asks for OpenGL, the Linux build's only renderer).
# The comment that takes the setting's place names no key: the reader takes
# every starred word of the file for one, comments included.
file(READ ${FILE} text)
string(REGEX REPLACE "Graphics: [^\n]*\n\\*renderer [0-9]+\n"
       "Graphics: the DirectX 7 renderer (a renderer line with 1 picks the OpenGL one)\n" text "${text}")
file(WRITE ${FILE} "${text}")
