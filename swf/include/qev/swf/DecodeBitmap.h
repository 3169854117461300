#pragma once

// The pixels of a bitmap as read (qev/swf/model/Bitmap.h), decoded: always
// QImage::Format_ARGB32_Premultiplied of the bitmap's width and height. Data
// that turns out damaged gives a null image and, in *problem, why.

#include <qev/swf/model/Bitmap.h>

#include <QImage>
#include <QString>

namespace qev::swf {

QImage decodeBitmap(const Bitmap& bitmap, QString* problem = nullptr);

} // namespace qev::swf
