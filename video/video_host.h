#pragma once
// The shell's window that the video windows become children of, as the desktop-host lookup
// reports it, and the lookup as a function so that tests can hand in their own.
#include <functional>

#include "platform/desktop_host.h"

using VideoHost = DesktopHost;
using VideoHostLookup = std::function<VideoHost()>;
