#pragma once
// The shell port: what the program asks of the window system beyond dialogs.

namespace kavro {

// What the core asks of the window system beyond dialogs.
class Shell {
  public:
    virtual ~Shell() = default;
    // The main window was reinitialised: controls must show the form state anew.
    virtual void formReset() = 0;
    // End the program (every window closes, a running test stops).
    virtual void quit() = 0;
    // Open the chart window on the current trade journal.
    virtual void showChart() = 0;
    // Open (or raise) the evaluation window on the latest finished runs.
    virtual void showEvaluation() = 0;
};

}  // namespace kavro
