// Texture lists: a texture name whose last three characters are "ifl" names
// a text file of frame bitmaps shown one after the other. The file is read
// with the data-file token reader, as passed and then under the base path:
// every word is a frame bitmap (a bare file name lies in the list's folder,
// a name with a folder is a texture name like any other, relative to the
// base path) except a word made of digits, which gives the time between
// frames in milliseconds (100 when the list gives none).
//
//   textures\village\embers.ifl:   120
//                                  embers01.bmp embers02.bmp embers03.bmp
//
// Both drivers show a list the same way: each SetTexture of the list moves
// on one frame once the interval has passed since the last change, wrapping
// to the first frame.
#ifndef ZENDAR_GFXDRIVER_TEXTURELIST_H
#define ZENDAR_GFXDRIVER_TEXTURELIST_H

#include <cstdint>
#include <string>
#include <vector>

struct TextureList {
    std::vector<std::string> frames;  // texture names of the frame bitmaps
    uint32_t interval = 100;          // milliseconds between frames
};

// Whether the last three characters of name are "ifl".
bool IsTextureListName(const char* name);

// Reads the list; false when the file cannot be opened (as passed or under
// the base path). A list without frames reads as true with none.
bool ReadTextureList(const std::string& name, TextureList* list);

// The frame to show at now: the next one (wrapping) once interval has passed
// since *lastChange, which then becomes now; else current.
int NextTextureListFrame(int current, int count, uint32_t interval, uint32_t now, uint32_t* lastChange);

#endif
