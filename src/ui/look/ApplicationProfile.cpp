#include "ui/look/ApplicationProfile.h"

#include <QSettings>

std::unique_ptr<QSettings> ApplicationProfile::open() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QString::fromUtf8(kOrganisation),
                                       QString::fromUtf8(kApplication));
}
