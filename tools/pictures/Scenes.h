// The panel's seven pictures and the program's icon, drawn with QPainter. Drawing text needs a
// QGuiApplication.
#pragma once

#include <QImage>
#include <QSize>

namespace borne::pictures {

// Pictures are numbered as the panel names them: 1 for "Image1" ... 7 for "Image7".
QSize pictureSize(int number);
QImage drawPicture(int number); // opaque RGB32

// 32 x 32, 16 colours (a colour table of 16; index 0 is transparent).
QImage drawIcon();

} // namespace borne::pictures
