#pragma once

#include <QIcon>
#include <QImage>

// The application icon, drawn in code so that the window and the installed files share one
// picture: a thermometer beside a water drop.
QImage appIconImage(int size);
QIcon appIcon();
