#pragma once

#include <memory>

class QSettings;

// The application's own settings store, an INI file in the per-user
// configuration folder: the connection dialog's last choice lives there.
class ApplicationProfile {
public:
    // The store lives under these names.
    static constexpr const char* kOrganisation = "Verlo";
    static constexpr const char* kApplication = "TRX4 Remote";

    static std::unique_ptr<QSettings> open();
};
