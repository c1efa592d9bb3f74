#include "ui/look/BitmapResource.h"

#include "base/VerloException.h"

#include <QFile>

#include <string>

namespace {

QString resourcePath(int id) {
    return QStringLiteral(":/bitmaps/%1.png").arg(id);
}

} // namespace

bool BitmapResource::contains(int id) {
    return QFile::exists(resourcePath(id));
}

QPixmap BitmapResource::load(int id) {
    QPixmap bitmap;
    if (!bitmap.load(resourcePath(id))) {
        throw VerloException("Unable to load the bitmap with id: " + std::to_string(id));
    }
    return bitmap;
}
