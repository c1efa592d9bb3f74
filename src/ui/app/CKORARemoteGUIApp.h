#pragma once

#include <memory>

class QSettings;

// The application: asks for the connection, then runs the main window until
// the operator closes it. Everything happens inside initInstance().
class CKORARemoteGUIApp {
public:
    // The profile lives under these names in the per-user configuration folder.
    static constexpr const char* kOrganisation = "Verlo";
    static constexpr const char* kApplication = "TRX4 Remote";

    // Runs the whole program; always false, which ends it.
    bool initInstance();

    // The application's profile store, an INI file.
    static std::unique_ptr<QSettings> profile();
};
