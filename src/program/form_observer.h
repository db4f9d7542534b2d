#pragma once
// A running test's events turned into the main window's labels, bar, box and timers.
#include "engine/run_observer.h"
#include "platform/locale.h"
#include "platform/ports.h"
#include "program/form_state.h"

namespace kavro {

// Writes what a run tells into the form exactly as the window shows it: the
// result labels in the locale's general format, the report box, the progress
// bar, the status line and the timers; a failed run's message is shown.
class FormObserver : public RunObserver {
  public:
    FormObserver(FormState& form, const Locale& locale, Dialogs& dialogs)
        : f_(form), locale_(locale), dialogs_(dialogs) {}

    void progress(double value, double maximum) override;
    void passRecorded(const PassRow& row) override;
    void bestChanged(const PassRow& row) override;
    void countdownStarted() override { f_.timer2 = true; }
    void forwardStarted(const std::string& date) override { f_.label1[6] = date; }
    void forwardEnded(const std::string& date, float forwardSum) override;
    void windowReported(const std::string& date, const WindowResult& result, bool last) override;
    void runEnded(const RunRecord& record, bool lastSingle) override;

  private:
    FormState& f_;
    const Locale& locale_;
    Dialogs& dialogs_;
};

}  // namespace kavro
