#pragma once
// What a test run is handed: quotes, run state, live fields, display and ports.
#include <string>

#include "engine/run_fields.h"
#include "engine/run_state.h"
#include "platform/locale.h"
#include "platform/ports.h"
#include "platform/text_file.h"
#include "quotes/quote_store.h"

namespace kavro {

// What a test run works with, and nothing more: the quotes it reads, its own
// state, the live settings fields, where it shows its progress, the ports it
// yields, reads the clock and speaks through, and the folder of its reports.
struct RunEnv {
    const QuoteStore& store;
    RunState& run;
    const SettingFields& fields;
    RunDisplay& display;
    EventPump& pump;
    Clock& clock;
    Dialogs& dialogs;
    const Locale& locale;
    const std::string& workDir;  // where RIPOT and RIPOT1 go; "" = the working directory

    std::string ripotPath() const { return JoinPath(workDir, "RIPOT"); }
    std::string ripot1Path() const { return JoinPath(workDir, "RIPOT1"); }
};

}  // namespace kavro
