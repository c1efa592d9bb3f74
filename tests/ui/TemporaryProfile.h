#pragma once

#include "support/TemporaryDirectory.h"

#include "ui/look/ApplicationProfile.h"

#include <QSettings>

#include <memory>

// Points the application's profile at a fresh folder for the object's life.
class TemporaryProfile {
public:
    TemporaryProfile() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.path().string()));
    }

    void set(const QString& key, const QVariant& value) {
        ApplicationProfile::open()->setValue(key, value);
    }

private:
    TemporaryDirectory folder_;
};
