#pragma once
// One running program: its data and ports, and what it hands a run or the chart.
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "chart/chart_model.h"
#include "chart/chart_state.h"
#include "engine/run_env.h"
#include "engine/run_state.h"
#include "evaluation/monte_carlo.h"
#include "evaluation/sweep_figures.h"
#include "platform/locale.h"
#include "platform/ports.h"
#include "platform/shell.h"
#include "program/form_observer.h"
#include "program/form_state.h"
#include "program/run_history.h"
#include "quotes/quote_store.h"

namespace kavro {

struct Ports {
    EventPump& pump;
    Dialogs& dialogs;
    Clock& clock;
    Shell& shell;
};

struct Session;

// The blocks of the overfitting check as last chosen, kept the same way.
struct OverfitChoice {
    int blocks = kDefaultBlocks;
};

// The settings a run reads from the window's fields as they stand. While a run
// is watched, every field found changed since its last read is noted in its
// record with the pass and window where the run first read it; its pair stays
// the one its quotes were loaded for.
class FormSettings : public SettingsSource {
  public:
    explicit FormSettings(Session& s) : s_(s) {}
    RunSettings read() override;
    // From now on changes are noted in `record`, counted from `fields`.
    void watch(RunRecord* record, const SettingFields& fields);
    // Stops noting changes in `record` (it ended).
    void forget(const RunRecord* record) {
        if (record_ == record) record_ = nullptr;
    }

  private:
    Session& s_;
    RunRecord* record_ = nullptr;
    SettingFields seen_;
    // The last reading and what it was read from: a run reads far more often than anyone types.
    std::optional<RunSettings> cached_;
    SettingFields cachedFields_;
    Locale cachedLocale_;
};

// One running program: its data and the ports it talks to the world through.
// Two sessions never share anything.
struct Session {
    Session(Ports ports, Locale locale, std::string workDir);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

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

    // Every run's record; the one each driver's timer drives (Timer1: the simple
    // test and cells, Timer3: the thorough test); the one started last.
    RunHistory history;
    std::shared_ptr<RunRecord> simpleRun, thoroughRun, current;
    FormSettings formSettings{*this};
    std::unique_ptr<SettingsSource> cellSettings;           // a heatmap cell's run reads these instead
    std::optional<std::array<float, 2>> intervalAfterCell;  // the interval a cell run borrowed from
    FormObserver observer{form, locale, dialogs};
    // The Monte Carlo's runs, seed, balance and ruin level as last chosen: kept
    // while the program runs, whichever window or command uses them next.
    MonteCarloOptions monteCarlo;
    OverfitChoice overfit;

    // Guards against re-entry while a long job yields to the event loop.
    bool loading = false;
    bool importing = false;  // a CSV import runs: Stop cancels it
    bool timer1Running = false, timer3Running = false;

    // What a run filling `record` works with, taken from this session: a cell
    // reads its own settings, any other run the window's fields.
    RunEnv env(RunRecord& record);
    // What the chart works with.
    ChartEnv chartEnv() { return ChartEnv{store, run, form.pair, chart, pump, dialogs, locale}; }
    operator ChartEnv() { return chartEnv(); }

    std::string ripotPath() const;
    std::string ripot1Path() const;
};

}  // namespace kavro
