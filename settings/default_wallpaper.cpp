#include "app/application.h"

// Choosing and storing a default wallpaper comes with the menu work (it needs the file
// dialog); until then there is nothing to choose from and the default stays as it is.
void Application::chooseDefaultWallpaper() noexcept {}
