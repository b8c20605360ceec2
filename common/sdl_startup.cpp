#include "sdl_startup.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

void start_sdl_headless() {
    const char* driver = getenv("SDL_VIDEODRIVER");
    if (!driver || !*driver) setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) == -1 || SDL_InitSubSystem(SDL_INIT_TIMER) == -1) {
        fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
        exit(1);
    }
    atexit(SDL_Quit);
}
