#include "app/application.h"

// Turning the playing video's frame into a still wallpaper comes with video playback. Until
// then no video ever plays, the menu item stays greyed, and the command has nothing to take.
void Application::useCurrentFrame() noexcept {}
