#pragma once

#include <QIcon>

// The icon of every window, the About box and the notification area: a
// resonance excitation curve (black) over measured points (red).
QIcon programIcon();
