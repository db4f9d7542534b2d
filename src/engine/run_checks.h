#pragma once
// The checks before a run: unreadable fields, runs too big, overflowing results.
#include <string>

#include "engine/run_env.h"
#include "engine/run_settings.h"
#include "engine/run_state.h"

namespace kavro {

// What Start and Kach check before a run: fields that cannot be read, runs too
// big to finish, money results that overflow; and the messages that say so.

// True when both an hourly and a daily file are loaded: a test needs both.
inline bool QuotesLoaded(const QuoteStore& q) {
    return q.hourBarCount > 0 && q.dayBarCount > 0;
}

// Why a run with the selected pair cannot use the loaded quotes (loaded for
// another pair, or the hourly and daily files for two pairs); "" when it can.
std::string QuotePairRefusal(const QuoteStore& q, Pair selected);

// The main window's setting fields, for the messages that name them.
enum class Field {
    TakeProfit,
    StopLoss,
    FirstHour,
    LastHour,
    Step,
    OptimisationMonths,
    ForwardMonths,
    PointValue,
    TradeCost,
};

// The message for a field that cannot be read: the field's caption and what it
// expects. Without quotes loaded the general "open the data file" message is
// the more useful one, so it is given instead.
std::string FieldMessage(Field field, bool quotesLoaded);
// The same with what the field expects spelled out ("введите число больше 0").
std::string FieldMessage(Field field, bool quotesLoaded, const std::string& expected);

// How a command's start of a run came out: started, only a beep (a zero
// take-profit or stop-loss), or refused with a message to show as `kind`.
struct RunStart {
    enum class Outcome { Started, Beeped, Refused };
    Outcome outcome = Outcome::Started;
    MessageKind kind = MessageKind::Error;
    std::string message;

    static RunStart refused(MessageKind kind, std::string message) {
        return RunStart{Outcome::Refused, kind, std::move(message)};
    }
    static RunStart beeped() { return RunStart{Outcome::Beeped, MessageKind::Information, {}}; }
    bool started() const { return outcome == Outcome::Started; }
};

// A field's value in points from settings the run has read; an unreadable text
// ends the run (or the pass) with the field's message.
double InPoints(const RunEnv& e, const RunSettings& s, NumberReading RunSettings::*field, Field which);

inline constexpr const char* kOpenDataFile = "Необходимо открыть файл с данными";
inline constexpr const char* kNoPasses =
    "Настройки не дают ни одного прохода: проверьте поля «TP» и «SL» в рамке «TP/SL» и поле «Шаг»";

// The largest runs the program starts: beyond them a run would not end in a
// working day, or its windows could not be counted one by one.
inline constexpr double kMaxPasses = 1e8;
inline constexpr double kMaxWindows = 1e5;

// Iterations of a counted loop from `start` to `end` in steps of `step` (see
// CountedLoop); infinity when a zero step would never end it.
double LoopLength(float start, float end, float step);
// Entry hours a sweep visits from `first` up to `last` (capped at 23); with the
// hour-24 rule a first hour of 24 is followed by hours 1 to the last.
double HourCount(float first, float last, bool hour24Rule);

// Passes the simple test will run with the captured settings, the first entry
// hour (Text4) and the locale-free readings of Text3 and Text2 that pick the
// sweep's direction.
double SimpleTestPasses(const Settings& v, bool fullSweep, float firstHour, float lastHour, float stopEnd,
                        double stopText, double targetText);
// Optimisation passes of one thorough-test window.
double SearchPassesPerWindow(const Settings& v, float firstHour, float lastHour, float stopEnd);

// Why a run of this size is refused; "" when it may start.
std::string RunSizeRefusal(double passes, double windows);

// True when every money result the run can book fits (a winner and a loser at
// both ends of the distances `a` and `b`, in points).
bool MoneyResultsFit(float a, float b, Pair pair, double pointValue, double tradeCost);

// The last checks before a run starts, common to both tests: its size, then its
// money results over the distances from the stop (SL1) to the largest of TP1 and
// `stopEnd` (the stop sweep's end). "" when it may start.
std::string RunStartRefusal(const Settings& v, const RunSettings& s, float stopEnd, double passes,
                            double windows);
// What a run counts before it starts: the bars of its interval without a day.
long CountBarsWithoutDay(RunState& r, const QuoteStore& q);

}  // namespace kavro
