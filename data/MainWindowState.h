#pragma once

// What the data module's dataset handlers read from the main window: the
// "Старый проект" check box of the project panel and the window's edit mode.
// The main window implements it and hands itself to TDM::SetMainWindowState.

// The main window's edit mode.
enum TEditMode { emBrowse = 0, emChange = 1, emAdd = 2 };

class IMainWindowState {
public:
    virtual ~IMainWindowState() = default;

    // Whether the check box "Старый проект" is ticked.
    virtual bool OldProjectChecked() const = 0;
    // Browsing, changing an existing row, or adding a new one.
    virtual TEditMode EditMode() const = 0;
};
