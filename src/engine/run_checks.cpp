#include "engine/run_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/strategy_rules.h"
#include "platform/numbers.h"

namespace kavro {

namespace {

const char* Caption(Field field) {
    switch (field) {
        case Field::TakeProfit:
            return "Поле «TP» в рамке «TP/SL»";
        case Field::StopLoss:
            return "Поле «SL» в рамке «TP/SL»";
        case Field::FirstHour:
            return "Поле «Первый час» в рамке «Время»";
        case Field::LastHour:
            return "Поле «Последний час» в рамке «Время»";
        case Field::Step:
            return "Поле «Шаг»";
        case Field::OptimisationMonths:
            return "Поле «Период» (оптимизация)";
        case Field::ForwardMonths:
            return "Поле «Период» (проверка)";
        case Field::PointValue:
            return "Поле «Стоимость пункта» в рамке «Условия»";
        case Field::TradeCost:
            return "Поле «Издержки прибыльной сделки» в рамке «Условия»";
    }
    return "";
}

// A count for a message: whole digits while they are few, else a power of ten.
std::string Count(double n) {
    char buf[40];
    if (n < 1e15)
        std::snprintf(buf, sizeof buf, "%.0f", n);
    else
        std::snprintf(buf, sizeof buf, "%.2e", n);
    return buf;
}

}  // namespace

std::string FieldMessage(Field field, bool quotesLoaded) {
    return FieldMessage(field, quotesLoaded, "введите число");
}

std::string FieldMessage(Field field, bool quotesLoaded, const std::string& expected) {
    if (!quotesLoaded) return kOpenDataFile;
    return std::string(Caption(field)) + ": " + expected;
}

std::string QuotePairRefusal(const QuoteStore& q, Pair selected) {
    const QuoteSet& h = q.hourSet;
    const QuoteSet& d = q.daySet;
    if (!h.empty() && !d.empty() && h.pair != d.pair)
        return std::string("Часовые котировки загружены для ") + PairName(h.pair) + ", а дневные для " +
               PairName(d.pair) + ": откройте оба файла одной валюты";
    const QuoteSet& loaded = !h.empty() ? h : d;
    if (loaded.empty() || loaded.pair == selected) return {};
    return std::string("Котировки загружены для ") + PairName(loaded.pair) + ", а в рамке «Валюта» выбрана " +
           PairName(selected) + ": выберите " + PairName(loaded.pair) + " или откройте котировки " +
           PairName(selected);
}

double InPoints(const RunEnv& e, const RunSettings& s, NumberReading RunSettings::*field, Field which) {
    const NumberReading& reading = s.*field;
    if (!reading.readable) throw PassFault{FieldMessage(which, QuotesLoaded(e.store))};
    return reading.points;
}

double LoopLength(float start, float end, float step) {
    const double a = start, b = end, d = step;
    if (step >= 0) {
        if (!(a <= b)) return 0;
        if (d == 0) return INFINITY;
        return std::floor((b - a) / d) + 1;
    }
    if (!(a >= b)) return 0;
    return std::floor((a - b) / -d) + 1;
}

double HourCount(float first, float last, bool hour24Rule) {
    const double top = std::min<double>(last, 23);
    double start = first, count = 0;
    if (hour24Rule && first == 24) {
        // Hour 24 runs once, then the hours go on from 1.
        if (top <= 0) return 1;
        start = 1;
        count = 1;
    }
    if (!std::isfinite(start)) return INFINITY;
    return count + (top <= start ? 1 : std::ceil(top - start) + 1);
}

double SimpleTestPasses(const Settings& v, bool fullSweep, float firstHour, float lastHour, float stopEnd,
                        double stopText, double targetText) {
    double passes = 0;
    if (!fullSweep && v.ST1 > 0) {
        if (stopText < targetText)
            passes += LoopLength(v.SL1, v.TP1, v.ST1) * HourCount(firstHour, lastHour, true);
        else if (stopText > targetText)
            passes += LoopLength(v.SL1, v.TP1, -v.ST1) * HourCount(firstHour, lastHour, false);
    }
    if (v.ST1 == 0) {
        // With the full sweep ticked the run's one pass is followed by a full sweep of no pass.
        if (fullSweep) return 1;
        // A single-setting run ends after its hour span: one pass per hour, however far.
        passes += std::max(0.0, std::floor(static_cast<double>(lastHour) - firstHour)) + 1;
    }
    if (fullSweep)
        passes += LoopLength(v.TP1, v.SL1, -v.ST1) * HourCount(firstHour, lastHour, true) *
                  LoopLength(v.SL1, stopEnd, v.ST1);
    return std::isnan(passes) ? 0 : passes;
}

double SearchPassesPerWindow(const Settings& v, float firstHour, float lastHour, float stopEnd) {
    const double passes = LoopLength(v.TP1, v.SL1, -v.ST1) * HourCount(firstHour, lastHour, true) *
                          LoopLength(v.SL1, stopEnd, v.ST1);
    return std::isnan(passes) ? 0 : passes;
}

std::string RunSizeRefusal(double passes, double windows) {
    if (windows > kMaxWindows)
        return "Тест из " + Count(windows) +
               " окон слишком велик (допускается не более 100000): увеличьте поле «Период» (проверка) "
               "или выберите более короткий интервал";
    if (passes > kMaxPasses)
        return "Тест из " + Count(passes) +
               " проходов слишком велик (допускается не более 100000000): сблизьте поля «TP» и «SL» в рамке "
               "«TP/SL», увеличьте поле «Шаг» или сократите часы в рамке «Время»";
    return {};
}

bool MoneyResultsFit(float a, float b, Pair pair, double pointValue, double tradeCost) {
    const float ppu = static_cast<float>(1.0 / PointSize(pair));
    const float u = PointSizeSingle(pair);
    try {
        for (float points : {a, b}) {
            const float d = static_cast<float>(static_cast<double>(points) * u);
            WinnerResult(d, tradeCost, pointValue, ppu);
            LoserResult(d, pointValue, ppu);
        }
    } catch (const PassFault&) {
        return false;
    }
    return true;
}

std::string RunStartRefusal(const Settings& v, const RunSettings& s, float stopEnd, double passes,
                            double windows) {
    if (std::string big = RunSizeRefusal(passes, windows); !big.empty()) return big;
    const double top = std::max<double>(v.TP1, std::max<double>(v.SL1, stopEnd));
    if (!MoneyResultsFit(v.SL1, static_cast<float>(top), s.pair, s.pointValue, s.tradeCost))
        return kFaultOverflow;
    return {};
}

long CountBarsWithoutDay(RunState& r, const QuoteStore& q) {
    r.dayTable.prepare(q, r.lastBar);
    return r.dayTable.barsWithoutDay(static_cast<long>(std::ceil(r.firstBar)),
                                     static_cast<long>(std::floor(r.lastBar)));
}

}  // namespace kavro
