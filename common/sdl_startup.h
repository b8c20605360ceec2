#pragma once

// Starts SDL's video and timer subsystems without a display and registers SDL_Quit at exit.
// With SDL_VIDEODRIVER unset (or empty) the "dummy" driver is used, so the tools never open a
// window or take over a terminal; a driver the user names is kept. On failure prints
// "Couldn't initialize SDL: <reason>" on standard error and ends the process with status 1.
void start_sdl_headless();
