#pragma once
// The progress side of the folder maintenance operations (compact,
// reorganise, restore from a backup log, export): the main window shows a
// "Now processing. Please wait..." window and takes the Escape key, the
// terminal front end and tests take the defaults. The rewritten folder is
// told to the store's watchers (FolderReloaded).

namespace corvina {

class MaintenanceHost {
public:
    virtual ~MaintenanceHost() = default;

    // Around a long operation: show and hide the wait indication.
    virtual void BeginWait() {}
    virtual void EndWait() {}
    // Let the interface process pending input and repaint.
    virtual void ProcessPendingInput() {}
    // Polled between messages: true once the user asked to stop (Escape).
    virtual bool StopRequested() { return false; }
};

}  // namespace corvina
