#include <cfloat>
#include <cmath>

#include "platform/numbers.h"
#include "walkforward/pass_bar.h"
#include "walkforward/walkforward_passes.h"

namespace kavro {

namespace {

// A money result about to be stored in the 32-bit profit column.
double StorableResult(double r) {
    if (!std::isfinite(r) || std::fabs(r) > FLT_MAX) throw PassFault{kFaultOverflow};
    return r;
}

class ForwardPass {
  public:
    ForwardPass(const RunEnv& e, float& stop, float& target, float& entryHour)
        : s_(e), r_(e.run), pos_(e.run.pos), stop_(stop), target_(target), entryHour_(entryHour) {}

    // Throws PassFault or PassStopped; the pass row is written only when it returns.
    void run(float& stopPoints, float& targetPoints) {
        const RunSettings s = s_.settings.read();
        const double pointSize = PointSize(s.pair);
        r_.journaled = true;
        ++r_.passesStarted;
        ++r_.runPassesStarted;
        r_.pointsPerUnit = static_cast<float>(1.0 / pointSize);
        r_.currentBar = r_.searchWindowEnd;
        pos_.buyOpen = pos_.sellOpen = 0;
        r_.passProfit = 0;
        pointValue_ = s.pointValue;
        tradeCost_ = s.tradeCost;
        const float windowEnd =
            static_cast<float>(s.forwardMonths * kBarsPerMonth + static_cast<double>(r_.searchWindowEnd));

        // No stop at LastBar: bars beyond the loaded data read as empty and trade nothing.
        long lastDay = 0;
        while (r_.currentBar <= windowEnd) {
            const PassBar b = ReadPassBar(s_, r_.currentBar);
            lastDay = b.day.day;
            lastBar_ = b.index;
            bar(b);
            r_.currentBar += 1.0f;
        }
        closeAtWindowEnd(lastDay);

        ++r_.passesDone;
        ++r_.runPassesDone;
        r_.passRow = PassRow{entryHour_, targetPoints, stopPoints, r_.passProfit};
    }

  private:
    void bar(const PassBar& b) {
        const bool hourMatches = b.hour == entryHour_;
        const float ppu = r_.pointsPerUnit;
        ApplyBarRules(
            pos_, b.day.buy && hourMatches, b.day.sell && hourMatches, b.open, b.high, b.low, target_, stop_,
            [&](TradeSide side) { open(b, side); },
            [&](TradeSide side, bool win, float exitPrice) {
                const size_t m = nextExitRow();
                double& result = side == TradeSide::Buy ? buyResult_ : sellResult_;
                result = win ? WinnerResult(target_, tradeCost_, pointValue_, ppu)
                             : LoserResult(stop_, pointValue_, ppu);
                ++(win ? r_.winCount : r_.lossCount);
                writeExit(m, b, result, exitPrice);
                book();
            });
    }

    // Writes the entry columns of a new row.
    void open(const PassBar& b, TradeSide side) {
        ++r_.forwardOpenedCount;
        JournalRow& row = r_.journal.at(static_cast<size_t>(r_.forwardOpenedCount));
        row.entryPrice = b.open;
        row.entryDate = s_.store.hourDateAt(static_cast<size_t>(b.index));
        row.side = side;
        row.entryBar = static_cast<int32_t>(b.index);
        row.takeProfit = target_;
        row.stopLoss = stop_;
    }

    size_t nextExitRow() { return static_cast<size_t>(++r_.closedTradeCount); }

    void writeExit(size_t m, const PassBar& b, double result, float exitPrice) {
        JournalRow& row = r_.journal.at(m);
        row.profit = static_cast<float>(result);
        row.exitDate = s_.store.hourDateAt(static_cast<size_t>(b.index));
        row.exitPrice = exitPrice;
        row.exitBar = static_cast<int32_t>(b.index);
    }

    // After every close: the pass result, the run's equity and its journal cell.
    void book() {
        closeSum_ = Int(closeSum_ + buyResult_ + sellResult_);
        r_.passProfit =
            static_cast<float>(Int(static_cast<double>(r_.passProfit) + buyResult_ + sellResult_));
        r_.forwardEquity = static_cast<float>(static_cast<double>(r_.forwardEquity) + closeSum_);
        r_.journal.at(static_cast<size_t>(r_.forwardOpenedCount)).equity = r_.forwardEquity;
        buyResult_ = sellResult_ = closeSum_ = 0;
    }

    // Positions still open are closed at the close of day `day`, without cost and without
    // exit date, exit price or win/loss count; a zero price drops them.
    void closeAtWindowEnd(long day) {
        const QuoteStore& q = s_.store;
        const float price = day >= 0 ? q.day(static_cast<size_t>(day))[QuoteStore::Close] : 0.0f;
        const double ppu = r_.pointsPerUnit;
        if (pos_.buyOpen == 1 && price > 0) {
            const size_t m = nextExitRow();
            const float move = price - pos_.buyEntryPrice;
            buyResult_ = StorableResult(Int(move * pointValue_ * ppu));
            r_.journal.at(m).profit = static_cast<float>(buyResult_);
            r_.journal.at(m).exitBar = static_cast<int32_t>(lastBar_);
            book();
            pos_.buyEntryPrice = 0;
            pos_.buyOpen = 0;
        }
        if (pos_.sellOpen == 1 && price > 0) {
            const size_t m = nextExitRow();
            const float move = pos_.sellEntryPrice - price;
            sellResult_ = StorableResult(Int(move * pointValue_ * ppu));
            r_.journal.at(m).profit = static_cast<float>(sellResult_);
            r_.journal.at(m).exitBar = static_cast<int32_t>(lastBar_);
            book();
            pos_.sellEntryPrice = 0;
            pos_.sellOpen = 0;
        }
    }

    RunEnv s_;
    RunState& r_;
    Position& pos_;
    float& stop_;
    float& target_;
    float& entryHour_;
    double pointValue_ = 0, tradeCost_ = 0;
    double buyResult_ = 0, sellResult_ = 0, closeSum_ = 0;
    long lastBar_ = 0;  // the last bar walked: where a close at the window's end is placed
};

}  // namespace

void StartForwardPass(const RunEnv& e, float& stop, float& target, float& st, float& stopPoints,
                      float& targetPoints, double& windowOffset, float& entryHour) {
    st = 0;
    RunForwardPass(e, stop, target, st, stopPoints, targetPoints, windowOffset, entryHour);
}

void RunForwardPass(const RunEnv& e, float& stop, float& target, float& st, float& stopPoints,
                    float& targetPoints, double& windowOffset, float& entryHour) {
    (void)st;
    (void)windowOffset;
    try {
        ForwardPass(e, stop, target, entryHour).run(stopPoints, targetPoints);
    } catch (const PassFault&) {
        // The pass ends quietly; the driver reports the PassProfit reached so far.
    }
}

}  // namespace kavro
