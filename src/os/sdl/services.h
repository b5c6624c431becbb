// The SDL platform's drivers as the shell creates and drives them: the input
// driver fed from the shell's events and the sound driver. What follows them
// at start-up is the same on every platform (os/shell/session.h).
#ifndef ZENDAR_OS_SDL_SERVICES_H
#define ZENDAR_OS_SDL_SERVICES_H

#include <SDL.h>

// Start-up, in this order, after the graphics driver's Init. Each returns
// false only when the program cannot go on.
// Input driver on the main window, fed by the replay when one runs, with the
// shell's input sink pointed at it; false when it cannot be created.
bool CreateInputDriver(SDL_Window* window);
void CreateSoundDriver();

#endif
