#pragma once

#include <string>

#include <QByteArray>
#include <QImage>

// The program's resources, named by number as the window and dialogs refer to them. Pictures,
// icons and sounds are compiled into the program (Qt's resource system) from res/.

// Bitmap <id> (res/bitmaps/<id>.png); a null image when there is none.
QImage LoadBitmapResource(int id);

// Icon <id> (res/icons/<id>.png); a null image when there is none.
QImage LoadIconResource(int id);

// Sound <id> (res/sounds/<id>.wav) as the bytes of a WAV file; empty when there is none.
QByteArray LoadSoundResource(int id);

// String-table entry <id>; empty when there is none.
std::string LoadStringResource(int id);
