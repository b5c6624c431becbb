// The game executable of the SDL build.
#include "os/sdl/shell.h"

int main(int argc, char** argv) { return ZendarMain(argc, argv); }
