#pragma once

// The commands that change the design rather than the records: the structure editor and
// the actions (editing them, running one on the selected record). The editors do the
// work; here the window lets go of the database for them and shows what they left.

struct cActionRow;
class fApplication;
struct cBrowserState;

class cDesignCommands {
public:
    cDesignCommands(fApplication& window, cBrowserState& state);

    void Structure();
    void EditActions();
    // Runs one of the actions whose field is a column on the selected record.
    void RunAction();
    // The columns' captions and the selected row's texts, for the actions.
    cActionRow SelectedActionRow() const;

private:
    fApplication& m_window;
    cBrowserState& m_state;
};
