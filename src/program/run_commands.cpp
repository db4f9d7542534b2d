// Start, Kach, a heatmap cell, Stop and the two drivers' timer ticks: every run
// gets its record here and leaves it in the history.
#include <array>
#include <cstdio>

#include "engine/simple_test.h"
#include "engine/trade_extent.h"
#include "platform/numbers.h"
#include "program/commands.h"
#include "program/evaluation_sources.h"
#include "program/settings_reader.h"
#include "walkforward/thorough_test.h"

namespace kavro {

namespace {

// The local date and time now, as the record keeps it.
std::string StartTime(Clock& clock) {
    const Date d = clock.today();
    const long seconds = static_cast<long>(clock.secondsSinceMidnight());
    char text[32];
    std::snprintf(text, sizeof text, "%s %02ld:%02ld:%02ld", IsoDate(d).c_str(), seconds / 3600 % 24,
                  seconds / 60 % 60, seconds % 60);
    return text;
}

// A record for a run about to start: what it is given, before the engine counts it.
std::shared_ptr<RunRecord> NewRecord(Session& s, RunKind kind, const SettingFields& fields,
                                     const RunSettings& settings) {
    auto record = std::make_shared<RunRecord>();
    record->kind = kind;
    record->startTime = StartTime(s.clock);
    record->hourly = s.store.hourSet;
    record->daily = s.store.daySet;
    record->fields = fields;
    record->settings = settings;
    record->firstBar = s.run.firstBar;
    record->lastBar = s.run.lastBar;
    long first = 0, last = 0;
    if (ToIndex(s.run.firstBar, 0, s.store.hourCapacity, first))
        record->firstDate = s.store.hourDateAt(static_cast<size_t>(first));
    if (ToIndex(static_cast<double>(s.run.lastBar) - 1, 0, s.store.hourCapacity, last))
        record->lastDate = s.store.hourDateAt(static_cast<size_t>(last));
    return record;
}

std::shared_ptr<RunRecord>& DriverRun(Session& s, bool thorough) {
    return thorough ? s.thoroughRun : s.simpleRun;
}

// After a tick: a run that ended is taken into the history and the evaluation follows it.
void AfterTick(Session& s, const std::shared_ptr<RunRecord>& record) {
    if (!record->finished()) return;
    // Measured now, while the store still holds the quotes the run traded on.
    MeasureRecordTrades(s.store, *record);
    s.history.finished(*record);
    // A cell ran over its sweep's interval: the window's own comes back.
    if (record->kind == RunKind::Cell && s.intervalAfterCell) {
        s.run.firstBar = (*s.intervalAfterCell)[0];
        s.run.lastBar = (*s.intervalAfterCell)[1];
        s.intervalAfterCell.reset();
    }
    s.formSettings.forget(record.get());
    NoteFinishedRun(s);
}

// A driver's run that has not ended is given up when its timer stops or a new run takes it.
void GiveUp(Session& s, const std::shared_ptr<RunRecord>& record) {
    if (!record || record->finished()) return;
    FinishRecord(*record, s.run, RunEnd::Stopped);
    AfterTick(s, record);
}

// Starts a run of `kind` reading `fixed` (or the form's fields when null): the
// checks, the engine's own start, then the record, the display and the timer.
RunStart StartRun(Session& s, RunKind kind, const SettingFields& fields,
                  std::unique_ptr<SettingsSource> fixed) {
    const bool thorough = kind == RunKind::Thorough;
    bool& timer = thorough ? s.form.timer3 : s.form.timer1;
    const bool ticking = thorough ? s.timer3Running : s.timer1Running;
    // Start again inside its own running tick recaptures what the running job reads next.
    const std::shared_ptr<RunRecord> running = DriverRun(s, thorough);
    const bool again = !fixed && ticking && running && running->end == RunEnd::Running;
    // A new run reads the fields as they stand; a run started again reads them
    // through its watch, which notes what changed since it last read them.
    if (!fixed && !again) fixed = std::make_unique<FixedSettings>(ReadSettings(s.form, s.locale));
    SettingsSource& source = fixed ? *fixed : s.formSettings;
    const RunSettings settings = source.read();
    auto refuse = [&](RunStart r) {
        if (r.outcome == RunStart::Outcome::Beeped) {
            // A zero distance switches the timer off, as the command always did.
            s.dialogs.beep();
            timer = false;
            if (!ticking) GiveUp(s, running);
        }
        if (r.outcome == RunStart::Outcome::Refused) s.dialogs.message(r.kind, r.message);
        return r;
    };
    // A cell runs over its sweep's interval, which every run reads: none starts beside it.
    if (kind != RunKind::Cell && s.intervalAfterCell)
        return refuse(RunStart::refused(MessageKind::Information, kCellRunning));
    const bool loaded = QuotesLoaded(s.store);
    if (std::string m = UnreadableFieldRefusal(settings, kind, loaded); !m.empty())
        return refuse(RunStart::refused(MessageKind::Error, std::move(m)));
    if (std::string m = QuotePairRefusal(s.store, settings.pair); !m.empty())
        return refuse(RunStart::refused(MessageKind::Error, std::move(m)));

    std::shared_ptr<RunRecord> record = again ? running : NewRecord(s, kind, fields, settings);
    const SettingsChange restart{"Запуск", "", "заново", s.run.runPassesDone,
                                 static_cast<int64_t>(record->windows.size())};
    const RunStart start = [&] {
        RunEnv e{s.store, s.run,   *record,   source,   s.observer,
                 s.pump,  s.clock, s.dialogs, s.locale, s.workDir};
        return thorough ? StartThoroughTest(e) : StartSimpleTest(e);
    }();
    if (!start.started()) return refuse(start);

    if (again) {
        record->changes.push_back(restart);
    } else {
        GiveUp(s, running);
        s.history.add(record);
        DriverRun(s, thorough) = record;
        s.current = record;
        // A cell reads its own settings; any other run the window's fields from now on.
        if (kind == RunKind::Cell)
            s.cellSettings = std::move(fixed);
        else
            s.formSettings.watch(record.get(), s.form);
    }
    FormState& f = s.form;
    if (thorough) {
        f.label15 = kStatusEstimate;
    } else {
        f.label15 =
            (settings.step.single == 0 || settings.lastHour.single == 0) ? kStatusTesting : kStatusEstimate;
        for (int i = 0; i <= 3; ++i) f.label1[static_cast<size_t>(i)].clear();
    }
    timer = true;
    return start;
}

// Marks a tick as running for as long as it runs, however it ends.
class TickGuard {
  public:
    explicit TickGuard(bool& running) : running_(running) { running_ = true; }
    ~TickGuard() { running_ = false; }

  private:
    bool& running_;
};

template <typename Tick>
void DriverTick(Session& s, bool thorough, Tick tick) {
    bool& timer = thorough ? s.form.timer3 : s.form.timer1;
    bool& running = thorough ? s.timer3Running : s.timer1Running;
    if (!timer || running) return;
    const std::shared_ptr<RunRecord> record = DriverRun(s, thorough);
    if (!record || record->finished()) {
        timer = false;
        return;
    }
    TickGuard guard(running);
    Guarded(s, [&] { tick(s.env(*record)); });
    AfterTick(s, record);
}

}  // namespace

RunStart StartCommand(Session& s) {
    const RunSettings settings = ReadSettings(s.form, s.locale);
    const RunKind kind =
        settings.step.readable && settings.step.points == 0 ? RunKind::Single : RunKind::Sweep;
    return StartRun(s, kind, s.form, nullptr);
}

RunStart KachCommand(Session& s) {
    return StartRun(s, RunKind::Thorough, s.form, nullptr);
}

RunStart CellCommand(Session& s, const RunRecord& sweep, const PassRow& setting) {
    // The cell's figure came from the sweep's quotes and interval: the run needs both.
    if (!HoldsQuotesOf(s.store, sweep)) {
        s.dialogs.message(MessageKind::Information, kCellQuotesChanged);
        return RunStart::refused(MessageKind::Information, kCellQuotesChanged);
    }
    // The sweep's fields with the cell's setting as a single setting of one hour.
    SettingFields fields = sweep.fields;
    fields.text2 = FormatGeneral(setting.target, s.locale);
    fields.text3 = FormatGeneral(setting.stop, s.locale);
    fields.text4 = fields.text5 = FormatGeneral(setting.entryHour, s.locale);
    fields.text6 = std::string(1, '0');
    fields.check1 = false;
    fields.check2 = s.form.check2;
    fields.dtPicker1 = s.form.dtPicker1;
    fields.dtPicker2 = s.form.dtPicker2;
    fields.dtPicker3Hour = s.form.dtPicker3Hour;
    auto fixed = std::make_unique<FixedSettings>(ReadSettings(fields, s.locale));
    const std::array<float, 2> interval{s.run.firstBar, s.run.lastBar};
    s.run.firstBar = sweep.firstBar;
    s.run.lastBar = sweep.lastBar;
    const RunStart start = StartRun(s, RunKind::Cell, fields, std::move(fixed));
    if (!start.started()) {
        s.run.firstBar = interval[0];
        s.run.lastBar = interval[1];
        return start;
    }
    s.current->parent = sweep.number;
    s.intervalAfterCell = interval;
    return start;
}

void RepeatCommand(Session& s, const RunRecord& record) {
    FormState& f = s.form;
    const SettingFields& r = record.fields;
    // The pickers keep their ranges and take a date only through their lookups below.
    const DatePicker start = f.dtPicker1, end = f.dtPicker2;
    const int endHour = f.dtPicker3Hour;
    static_cast<SettingFields&>(f) = r;
    f.dtPicker1 = start;
    f.dtPicker2 = end;
    f.dtPicker3Hour = endHour;
    auto within = [](const DatePicker& p, const Date& d) { return d.valid() && p.min <= d && d <= p.max; };
    if (within(f.dtPicker1, r.dtPicker1.value) && r.dtPicker1.value != f.dtPicker1.value) {
        f.dtPicker1.value = r.dtPicker1.value;
        StartDateChanged(s);
    }
    if (within(f.dtPicker2, r.dtPicker2.value) &&
        (r.dtPicker2.value != f.dtPicker2.value || r.dtPicker3Hour != f.dtPicker3Hour)) {
        f.dtPicker2.value = r.dtPicker2.value;
        f.dtPicker3Hour = r.dtPicker3Hour;
        EndDateChanged(s);
    }
}

void StopCommand(Session& s) {
    FormState& f = s.form;
    if (s.timer1Running || s.timer3Running || s.importing) {
        s.run.stopRequested = true;
        return;
    }
    // A run whose timer ticks without work (nothing is inside a pass) stops at once.
    if (f.timer1 || f.timer3) {
        f.timer1 = f.timer3 = f.timer2 = false;
        f.label15 = kStatusStopped;
        GiveUp(s, s.simpleRun);
        GiveUp(s, s.thoroughRun);
    }
}

void Timer1Tick(Session& s) {
    DriverTick(s, false, RunSimpleTestTick);
}

void Timer3Tick(Session& s) {
    DriverTick(s, true, RunThoroughTestTick);
}

}  // namespace kavro
