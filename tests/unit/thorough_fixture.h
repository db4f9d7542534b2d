#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "program/commands.h"
#include "program/session.h"
#include "platform/dates.h"
#include "platform/headless.h"
#include "platform/text_file.h"
#include "support/test_support.h"

namespace kavro::testing {

// A clock that moves on by `step` seconds at every reading.
class StepClock : public Clock {
  public:
    float secondsSinceMidnight() override {
        const float t = seconds;
        seconds += step;
        return t;
    }
    Date today() override { return Date{2021, 4, 5}; }
    float seconds = 1000, step = 0;
};

// A session on a hand-built store: `days` daily bars, the last `hourDays` of them
// with 24 hourly bars each (hours 0..23), every price 1.0 and no signal until
// BuyDay/SellDay add one. Reports go to a fresh temporary directory.
class ThoroughFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        session = std::make_unique<Session>(Ports{pump, dialogs, clock, shell}, Locale{}, dir);
        session->form.check2 = true;
        session->form.dtPicker2.value = Date{2020, 5, 17};
    }
    void TearDown() override { session.reset(); }

    Session& s() { return *session; }

    void BuildStore(int dayCount, int hourDayCount) {
        days = dayCount;
        hourDays = hourDayCount;
        QuoteStore& q = s().store;
        q.truncateDays(0);
        q.truncateHours(0);
        for (int d = 1; d <= days; ++d) q.appendDay();
        for (int b = 1; b <= hourDays * 24; ++b) q.appendHour();
        steps.assign(static_cast<size_t>(days) + 1, 0.0f);
        for (int d = 1; d <= days; ++d) {
            Date date;
            DateFromParts(2019, 1, d, date);
            q.dayDate[d] = DateText::from(DateKey(date));
            q.dayOhlc[d] = {1.0f, 1.0f, 1.0f, 1.0f};
            q.dayStochastic[d] = 50.0f;
        }
        for (int k = 0; k < hourDays; ++k) {
            for (int h = 0; h < 24; ++h) {
                const long b = BarOf(k, h);
                q.hourDate[b] = q.dayDate[DayOf(k)];
                q.hourOfBar[b] = static_cast<float>(h);
                q.hourOhlc[b] = {1.0f, 1.0f, 1.0f, 1.0f};
            }
        }
        Finish();
    }
    int DayOf(int hourDay) const { return days - hourDays + 1 + hourDay; }
    static long BarOf(int hourDay, int hour) { return 1 + static_cast<long>(hourDay) * 24 + hour; }
    std::string DateOfHourDay(int hourDay) const {
        return std::string(s_const().store.dayDate[DayOf(hourDay)].view());
    }

    // The average rises (falls) into the day and the stochastic falls (rises): a buy (sell) signal.
    void BuyDay(int hourDay) {
        const int d = DayOf(hourDay);
        steps[d] = 0.001f;
        s().store.dayStochastic[d - 1] = 60.0f;
        Finish();
    }
    void SellDay(int hourDay) {
        const int d = DayOf(hourDay);
        steps[d] = -0.001f;
        s().store.dayStochastic[d - 1] = 40.0f;
        Finish();
    }
    void SetBar(long bar, float open, float high, float low) {
        s().store.hourOhlc[bar] = {open, high, low, open};
        Finish();
    }

    // Kach, then Timer3's ticks until the run ends (bounded, in case it never does).
    void RunKach() {
        ToolbarButton(s(), "Kach");
        for (int i = 0; i < 5 && s().form.timer3; ++i) Timer3Tick(s());
    }

    std::vector<std::string> Lines(const std::string& path) const { return CrLfLines(ReadFile(path)); }

    HeadlessPump pump;
    RecordingDialogs dialogs;
    StepClock clock;
    RecordingShell shell;
    TempDir tmp{"kavro-wf"};
    std::string dir = tmp.path();
    std::unique_ptr<Session> session;
    int days = 0, hourDays = 0;

  private:
    const Session& s_const() const { return *session; }
    void Finish() {
        QuoteStore& q = s().store;
        float level = 1.0f;
        for (int d = 1; d <= days; ++d) {
            level += steps[d];
            q.dayAverage200[d] = level;
        }
        ++q.generation;
    }
    std::vector<float> steps;
};

}  // namespace kavro::testing
