// Frame read-back and PNG files for screenshots and golden-image tests.
// Pixels are tightly packed RGB, 3 bytes each, rows top-down.
#ifndef ZENDAR_GFXDRIVER_OPENGLDRIVER_SCREENSHOT_H
#define ZENDAR_GFXDRIVER_OPENGLDRIVER_SCREENSHOT_H

#include <cstdint>
#include <vector>

// Reads width x height pixels from the lower-left corner of the current
// context's back buffer (front when asked). False on a bad size.
bool ReadFrameRGB(int width, int height, bool front, std::vector<uint8_t>* rgb);

bool WritePNG(const char* path, int width, int height, const uint8_t* rgb);
// Any PNG, converted to RGB. False when the file is missing or unreadable.
bool ReadPNG(const char* path, int* width, int* height, std::vector<uint8_t>* rgb);

// ReadFrameRGB then WritePNG.
bool SaveScreenshot(const char* path, int width, int height, bool front);

#endif  // ZENDAR_GFXDRIVER_OPENGLDRIVER_SCREENSHOT_H
