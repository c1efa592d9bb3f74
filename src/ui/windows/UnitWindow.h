#pragma once

#include "catalogue/KORAParams.h"
#include "ui/look/PaletteDialog.h"

// The window that holds the connection to the unit, as its dialogs and its
// exception handler see it: they pause and resume its polling, reach the
// unit through its parameter set, reconnect it, and send it off line.
class UnitWindow : public PaletteDialog {
    Q_OBJECT

public:
    UnitWindow(int templateId, int bitmapId, QWidget* parent);

    // Starts the polling timer unless it runs.
    virtual void startPolling() = 0;
    // Stops the polling timer; returns whether it was running.
    virtual bool stopPolling() = 0;
    // The open connection's parameter set; null between a close and an open.
    virtual KORAParams* parameterSet() const = 0;
    // Closes the connection and starts opening the current one again away
    // from the window, returning at once; meanwhile the simulated unit stands
    // in without polling and the recorded connection is kept. reopenFinished
    // tells the outcome; a failure is not reported otherwise. An attempt
    // already running is left to finish.
    virtual void beginReopen() = 0;
    // Goes on with the simulated unit: off line, no address, port 1, polling.
    virtual void goOffLine() = 0;

signals:
    // The parameter set was destroyed or replaced: whoever keeps a pointer to
    // it takes parameterSet() again (which may be null between the two).
    void parameterSetChanged();
    // The attempt beginReopen started has ended: opened, and polling, or not.
    void reopenFinished(bool opened);
};
