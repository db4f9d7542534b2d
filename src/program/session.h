#pragma once
// One running program: its data and ports, and what it hands a run or the chart.
#include <string>

#include "chart/chart_model.h"
#include "chart/chart_state.h"
#include "engine/run_env.h"
#include "engine/run_state.h"
#include "platform/locale.h"
#include "platform/ports.h"
#include "platform/shell.h"
#include "program/evaluation_sources.h"
#include "program/form_state.h"
#include "quotes/quote_store.h"

namespace kavro {

struct Ports {
    EventPump& pump;
    Dialogs& dialogs;
    Clock& clock;
    Shell& shell;
};

// One running program: its data and the ports it talks to the world through.
// Two sessions never share anything.
struct Session {
    Session(Ports ports, Locale locale, std::string workDir);

    QuoteStore store;
    FormState form;
    RunState run;
    ChartState chart;

    EventPump& pump;
    Dialogs& dialogs;
    Clock& clock;
    Shell& shell;
    Locale locale;
    std::string workDir;  // where RIPOT and RIPOT1 are written; "" = working directory

    // The finished runs the evaluation reads.
    EvaluationSources evaluation;

    // Guards against re-entry while a long job yields to the event loop.
    bool loading = false;
    bool importing = false;  // a CSV import runs: Stop cancels it
    bool timer1Running = false, timer3Running = false;

    // What a test run works with, taken from this session; a session passes as one.
    RunEnv env() { return RunEnv{store, run, form, form, pump, clock, dialogs, locale, workDir}; }
    operator RunEnv() { return env(); }
    // What the chart works with.
    ChartEnv chartEnv() { return ChartEnv{store, run, form, chart, pump, dialogs, locale}; }
    operator ChartEnv() { return chartEnv(); }

    std::string ripotPath() const;
    std::string ripot1Path() const;
};

}  // namespace kavro
