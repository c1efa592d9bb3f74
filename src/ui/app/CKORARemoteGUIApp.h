#pragma once

// The application: asks for the connection, then runs the main window until
// the operator closes it. Everything happens inside initInstance().
class CKORARemoteGUIApp {
public:
    // Runs the whole program; always false, which ends it.
    bool initInstance();
};
