#pragma once

#include <QString>

// The program's name as its message boxes show it ("Tervane 2.1"). It is kept
// here rather than as the application's display name because the window
// system appends a display name to every window's caption.
QString programTitle();
void setProgramTitle(const QString& title);
