#pragma once
// What a test run is handed: quotes, run state, its record, settings, observer and ports.
#include <string>

#include "engine/run_observer.h"
#include "engine/run_record.h"
#include "engine/run_settings.h"
#include "engine/run_state.h"
#include "platform/locale.h"
#include "platform/ports.h"
#include "platform/text_file.h"
#include "quotes/quote_store.h"

namespace kavro {

// What a test run works with, and nothing more: the quotes it reads, the
// engine's state, the record it fills, where it reads its settings, whom it
// tells how it goes, the ports it yields, reads the clock and beeps through,
// and the folder of its reports.
struct RunEnv {
    const QuoteStore& store;
    RunState& run;
    RunRecord& record;
    SettingsSource& settings;
    RunObserver& observer;
    EventPump& pump;
    Clock& clock;
    Dialogs& dialogs;
    const Locale& locale;
    const std::string& workDir;  // where RIPOT and RIPOT1 go; "" = the working directory

    std::string ripotPath() const { return JoinPath(workDir, "RIPOT"); }
    std::string ripot1Path() const { return JoinPath(workDir, "RIPOT1"); }
    // Beeps unless the settings say not to, read as they stand now.
    void beep() const {
        if (!settings.read().noBeep) dialogs.beep();
    }
};

}  // namespace kavro
