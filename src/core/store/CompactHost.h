#pragma once
// What the folder maintenance operations (compact, reorganise, restore
// from a backup log, export) need from whoever drives them: the main
// window (a "Now processing. Please wait..." window, the Escape key), the
// terminal front end or a recording test.

namespace corvina {

class MailFolder;

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
    // The folder's index was rebuilt and its file rewritten: a list that
    // shows it deselects everything, clears the viewer and refills.
    virtual void FolderRewritten(MailFolder& folder) {}
};

}  // namespace corvina
