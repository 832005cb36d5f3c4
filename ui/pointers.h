#pragma once

#include <QCursor>

class QString;

// A mouse pointer from a picture file, usually one of the program's resources.
// The largest image of the file is used. An icon file (.ico) has its hot spot
// at the centre of that image; a cursor file (.cur) carries the hot spot in
// the image's directory entry. An unreadable file gives the standard arrow.
QCursor loadPointer(const QString& path);
