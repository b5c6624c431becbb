# cmake -DFILE=<game folder>/z1.ini -P dx7-settings.cmake
# The Windows game's settings leave the renderer to its default, the DirectX 7
# driver (the demo's z1.ini asks for OpenGL, the Linux build's only renderer).
file(READ ${FILE} text)
string(REGEX REPLACE "Graphics: [^\n]*\n\\*renderer [0-9]+\n"
       "Graphics: without *renderer the DirectX 7 renderer; *renderer 1 is the OpenGL one\n" text "${text}")
file(WRITE ${FILE} "${text}")
