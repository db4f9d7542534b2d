#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless.h"
#include "program/commands.h"
#include "program/session.h"
#include "support/test_support.h"

namespace kavro::testing {

// A session on hand-built quotes: days with chosen averages and stochastics,
// hourly bars with chosen prices, and a temporary working directory for RIPOT.
class EngineFixture : public ::testing::Test {
  protected:
    EngineFixture() : session(Ports{pump, dialogs, clock, shell}, Locale{}, workDir.path()) {}

    // Date text of day number n counted from 2020-01-01 (n = 0).
    static std::string DayText(int n) {
        Date d;
        DateFromParts(2020, 1, 1 + n, d);
        return DateKey(d);
    }

    // Appends `count` days, all without signal (flat average, flat stochastic).
    void AddQuietDays(int count) {
        for (int i = 0; i < count; ++i) AddDay(0.0f, 50.0f);
    }

    // Appends one day with the given average and stochastic; returns its number.
    int AddDay(float average, float stochastic, float close = 1.1f) {
        QuoteStore& q = session.store;
        const int d = q.appendDay();
        q.dayDate[d] = DateText::from(DayText(d));
        q.dayOhlc[d] = {close, close, close, close};
        q.dayAverage200[d] = average;
        q.dayStochastic[d] = stochastic;
        ++q.generation;
        return d;
    }

    // Makes day d a buy day (average up by 0.0001, stochastic down) or a sell
    // day; the later days move with it, so only day d carries a signal.
    void MakeBuyDay(int d) { ShiftDays(d, 0.0001f, -10.0f); }
    void MakeSellDay(int d) { ShiftDays(d, -0.0001f, 10.0f); }
    void ShiftDays(int from, float average, float stochastic) {
        QuoteStore& q = session.store;
        for (int d = from; d <= q.dayBarCount; ++d) {
            q.dayAverage200[d] += average;
            q.dayStochastic[d] += stochastic;
        }
        ++q.generation;
    }

    // Appends an hourly bar on day d; returns its number.
    int AddBar(int d, float hour, float open, float high, float low, float close) {
        QuoteStore& q = session.store;
        const int b = q.appendHour();
        q.hourDate[b] = DateText::from(DayText(d));
        q.hourOfBar[b] = hour;
        q.hourOhlc[b] = {open, high, low, close};
        ++q.generation;
        return b;
    }

    // 24 flat bars (hours 0..23) on day d at `price`; returns the first.
    int AddFlatDay(int d, float price = 1.1f) {
        int first = 0;
        for (int h = 0; h < 24; ++h) {
            const int b = AddBar(d, static_cast<float>(h), price, price, price, price);
            if (h == 0) first = b;
        }
        return first;
    }

    // 300 quiet days, the days from kFirstHourDay to `lastDay` with 24 flat bars each.
    static constexpr int kFirstHourDay = 281;
    void AddQuietDaysWithHours(int lastDay) {
        AddQuietDays(300);
        for (int d = kFirstHourDay; d <= lastDay; ++d) AddFlatDay(d);
    }
    // Bar of `hour` on day d of those quotes.
    static int BarOf(int d, int hour) { return (d - kFirstHourDay) * 24 + hour + 1; }

    // Gives bar `bar` these prices; it closes where it opened.
    void SetBar(int bar, float open, float high, float low) {
        session.store.hourOhlc[bar] = {open, high, low, open};
        ++session.store.generation;
    }

    // A single setting: entry hour `hour` only.
    void SingleSetting(const char* hour) {
        session.form.text6 = "0";
        session.form.text4 = session.form.text5 = hour;
    }

    void SetInterval(int first, int last) {
        session.run.firstBar = static_cast<float>(first);
        session.run.lastBar = static_cast<float>(last);
    }

    // Start, then ticks until Timer1 is off (at most `maxTicks`).
    void RunSimpleTest(int maxTicks = 100) {
        ToolbarButton(session, "Start");
        for (int i = 0; i < maxTicks && session.form.timer1; ++i) Timer1Tick(session);
    }

    std::vector<std::string> ReportLines() const { return CrLfLines(ReadFile(session.ripotPath())); }

    // Declared first so that it is made before the session and removed after it.
    TempDir workDir{"kavro-engine"};
    HeadlessPump pump;
    RecordingDialogs dialogs;
    FixedClock clock;
    RecordingShell shell;
    Session session;
};

}  // namespace kavro::testing
