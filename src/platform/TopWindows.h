#pragma once

// The desktop's top-level windows of other programs, found by their exact title. Where the
// desktop cannot list its windows (no X11 display reachable), no window is ever found.

#include <QString>

bool TopLevelWindowExists(const QString& title);
// Takes the window out of the always-on-top layer without moving or sizing it; false when no
// such window was found.
bool LowerTopLevelWindow(const QString& title);
