#include "evaluation/export.h"

#include <cmath>

#include "evaluation/number_text.h"
#include "platform/atomic_file.h"
#include "platform/text_file.h"

namespace kavro {

namespace {

// passes.csv and blocks.csv go out in blocks of about this size.
constexpr size_t kBlockBytes = size_t{1} << 20;

void AppendDate(std::string& out, const Date& d) {
    if (d.valid()) out += IsoDate(d);
}

void AppendOptional(std::string& out, const std::optional<float>& v) {
    if (v) AppendNumber(out, *v);
}

// JSON with the choices pandas and json.loads need: infinities as the strings
// "inf" / "-inf" (strict JSON has no infinity), an undefined value as null.
class Json {
  public:
    void open(const char* key = nullptr) {
        this->key(key);
        text_ += '{';
        first_ = true;
    }
    void close() {
        text_ += '}';
        first_ = false;
    }
    void number(const char* key, double v) {
        this->key(key);
        value(v);
    }
    void count(const char* key, int64_t v) {
        this->key(key);
        value(v);
    }
    // A list, each item written as a single value would be.
    template <typename T>
    void list(const char* key, const std::vector<T>& values) {
        this->key(key);
        text_ += '[';
        for (size_t i = 0; i < values.size(); ++i) {
            if (i > 0) text_ += ',';
            value(values[i]);
        }
        text_ += ']';
    }
    void boolean(const char* key, bool v) {
        this->key(key);
        text_ += v ? "true" : "false";
    }
    // Only plain ASCII texts (dates, month keys) pass through here.
    void text(const char* key, const std::string& v) {
        this->key(key);
        value(v);
    }

    std::string result() { return text_ + "\n"; }

  private:
    void value(double v) {
        if (std::isnan(v))
            text_ += "null";
        else if (std::isinf(v))
            text_ += v > 0 ? "\"inf\"" : "\"-inf\"";
        else
            AppendNumber(text_, v);
    }
    void value(int64_t v) { text_ += std::to_string(v); }
    void value(const std::string& v) {
        if (v.empty())
            text_ += "null";
        else
            text_ += '"' + v + '"';
    }
    void key(const char* k) {
        if (!first_) text_ += ',';
        first_ = false;
        if (k) {
            text_ += '"';
            text_ += k;
            text_ += "\":";
        }
    }
    std::string text_;
    bool first_ = true;
};

std::string DateOrEmpty(const Date& d) {
    return d.valid() ? IsoDate(d) : std::string();
}

std::string MonthText(const TradeStats& s, int64_t i) {
    if (i < 0 || static_cast<size_t>(i) >= s.months.size()) return {};
    char buf[16];
    const MonthResult& m = s.months[static_cast<size_t>(i)];
    std::snprintf(buf, sizeof buf, "%04d-%02d", m.year, m.month);
    return buf;
}

void DistributionJson(Json& j, const char* key, const Distribution& d) {
    j.open(key);
    j.number("p5", d.p5);
    j.number("p50", d.p50);
    j.number("p95", d.p95);
    j.number("min", d.min);
    j.number("max", d.max);
    j.number("mean", d.mean);
    // The bins the picture draws, so a reader can redraw it.
    j.open("histogram");
    j.list("edges", d.histogram.edges);
    j.list("counts", d.histogram.counts);
    j.close();
    j.close();
}

void MethodJson(Json& j, const char* key, const MonteCarloMethod& m) {
    j.open(key);
    DistributionJson(j, "finalResult", m.finalResult);
    DistributionJson(j, "maxDrawdown", m.maxDrawdown);
    j.number("probabilityBelowZero", m.probabilityBelowZero);
    j.number("riskOfRuin", m.riskOfRuin);
    j.open("fan");
    j.list("trades", m.fan.trades);
    j.list("p5", m.fan.p5);
    j.list("p25", m.fan.p25);
    j.list("p50", m.fan.p50);
    j.list("p75", m.fan.p75);
    j.list("p95", m.fan.p95);
    j.close();
    j.close();
}

}  // namespace

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string TradesCsv(std::span<const TradeRecord> trades) {
    std::string out =
        "trade,side,entry_date,entry_price,exit_date,exit_price,profit,equity,entry_time,exit_time,mae_"
        "points,"
        "mfe_points\n";
    out.reserve(out.size() + trades.size() * 64);
    double equity = 0;
    size_t number = 0;
    for (const TradeRecord& t : trades) {
        out += std::to_string(++number);
        out += ',';
        out += CsvField(SideText(t.side));
        out += ',';
        AppendDate(out, t.entryDate);
        out += ',';
        AppendOptional(out, t.entryPrice);
        out += ',';
        AppendDate(out, t.exitDate);
        out += ',';
        AppendOptional(out, t.exitPrice);
        out += ',';
        // A profit that is not a number counts nowhere: both cells stay empty.
        if (std::isfinite(t.profit)) {
            AppendNumber(out, t.profit);
            equity += t.profit;
            out += ',';
            AppendNumber(out, equity);
        } else {
            out += ',';
        }
        out += ',';
        out += TimeText(t.entryDate, t.entryHour);
        out += ',';
        out += TimeText(t.exitDate, t.exitHour);
        for (float points : {t.maePoints, t.mfePoints}) {
            out += ',';
            if (std::isfinite(points)) AppendNumber(out, points);
        }
        out += '\n';
    }
    return out;
}

std::string MonthlyCsv(const TradeStats& stats) {
    std::string out = "year,month,result,trades\n";
    for (const MonthResult& m : stats.months) {
        out += std::to_string(m.year) + ',' + std::to_string(m.month) + ',';
        AppendNumber(out, m.result);
        out += ',' + std::to_string(m.trades) + '\n';
    }
    return out;
}

std::string WindowsCsv(const WalkForwardView& view) {
    std::string out =
        "window,opt_start,opt_end,fwd_start,fwd_end,opt_bars,fwd_bars,entry_hour,take_profit,stop_loss,"
        "best_found,in_sample_total,forward_result,efficiency,cumulative_forward\n";
    for (const WindowRow& r : view.rows) {
        out += std::to_string(r.number);
        for (const Date* d : {&r.optStart, &r.optEnd, &r.fwdStart, &r.fwdEnd}) {
            out += ',';
            AppendDate(out, *d);
        }
        for (double v : {r.optBars, r.fwdBars}) {
            out += ',';
            AppendNumber(out, v);
        }
        for (float v : {r.entryHour, r.target, r.stop}) {
            out += ',';
            AppendNumber(out, v);
        }
        out += r.bestFound ? ",1" : ",0";
        for (double v : {r.inSampleTotal, r.forwardResult, r.efficiency, r.cumulativeForward}) {
            out += ',';
            AppendNumber(out, v);  // an undefined efficiency leaves the cell empty
        }
        out += '\n';
    }
    return out;
}

namespace {

void AppendPassSetting(std::string& out, const PassRow& r) {
    AppendNumber(out, r.entryHour);
    out += ',';
    AppendNumber(out, r.target);
    out += ',';
    AppendNumber(out, r.stop);
    out += ',';
    AppendNumber(out, r.total);
}

}  // namespace

void AppendPassesCsv(std::string& out, std::span<const PassRow> passes, size_t from, size_t to,
                     std::span<const PassFigures> figures) {
    if (from == 0)
        out +=
            "entry_hour,take_profit,stop_loss,result,trades,wins,losses,gross_profit,gross_loss,profit_"
            "factor,"
            "max_drawdown,recovery_factor,sharpe_monthly\n";
    if (to > passes.size()) to = passes.size();
    const bool known = figures.size() == passes.size();
    for (size_t i = from; i < to; ++i) {
        AppendPassSetting(out, passes[i]);
        if (!known) {
            out += ",,,,,,,,,\n";
            continue;
        }
        const PassFigures& f = figures[i];
        for (int64_t count : {f.trades, f.wins, f.losses}) out += ',' + std::to_string(count);
        for (double v :
             {f.grossProfit, f.grossLoss, f.profitFactor, f.maxDrawdown, f.recoveryFactor, f.sharpeMonthly}) {
            out += ',';
            AppendNumber(out, v);
        }
        out += '\n';
    }
}

void AppendBlocksCsv(std::string& out, std::span<const PassRow> passes, const BlockResults* blocks,
                     size_t from, size_t to) {
    const bool known = blocks && blocks->passes == passes.size();
    const size_t s = known ? blocks->blocks : 0;
    if (from == 0) {
        out += "entry_hour,take_profit,stop_loss,result";
        for (size_t b = 1; b <= s; ++b) out += ",b" + std::to_string(b);
        out += '\n';
    }
    if (!known) return;
    if (to > passes.size()) to = passes.size();
    for (size_t i = from; i < to; ++i) {
        AppendPassSetting(out, passes[i]);
        for (size_t b = 0; b < s; ++b) {
            out += ',';
            AppendNumber(out, blocks->at(i, b));
        }
        out += '\n';
    }
}

namespace {

void OverfitJson(Json& j, const OverfitReport& o) {
    j.open("overfit");
    j.count("blocks", static_cast<int64_t>(o.cscv.blocks));
    std::vector<std::string> starts;
    for (const Date& d : o.blockStarts) starts.push_back(DateOrEmpty(d));
    j.list("blockStarts", starts);
    j.count("combinations", o.cscv.combinations);
    j.text("metric", "net");
    j.number("pbo", o.cscv.combinations > 0 ? o.cscv.pbo : NAN);
    j.number("probabilityOfLoss", o.cscv.combinations > 0 ? o.cscv.probabilityOfLoss : NAN);
    j.number("degradationSlope", o.cscv.degradationSlope);
    j.number("degradationIntercept", o.cscv.degradationIntercept);
    j.list("logits", o.cscv.logits);
    j.open("bestPass");
    j.number("entry_hour", o.bestRow.entryHour);
    j.number("take_profit", o.bestRow.target);
    j.number("stop_loss", o.bestRow.stop);
    j.close();
    const DeflatedSharpe& d = o.deflated;
    j.open("deflatedSharpe");
    j.number("sharpe", d.sharpe);
    j.count("trials", d.trials);
    j.number("sharpeVariance", d.sharpeVariance);
    j.number("skewness", d.skewness);
    j.number("kurtosis", d.kurtosis);
    j.count("months", d.months);
    j.number("expectedMaxSharpe", d.expectedMaxSharpe);
    j.number("dsr", d.dsr.value_or(NAN));
    j.close();
    j.close();
}

}  // namespace

std::string OverfitLines(const OverfitReport& o) {
    std::string out = "PBO=";
    if (o.cscv.combinations > 0) AppendNumber(out, o.cscv.pbo);
    out += "\nDeflatedSharpe=";
    if (o.deflated.dsr) AppendNumber(out, *o.deflated.dsr);
    return out + '\n';
}

std::string StatsJson(const TradeStats& s, const WalkForwardView& view, size_t passCount,
                      const MonteCarloResult* monteCarlo, bool complete, const OverfitReport* overfit) {
    Json j;
    j.open();
    j.boolean("complete", complete);
    j.open("statistics");
    j.count("Trades", s.trades);
    j.count("BuyTrades", s.buyTrades);
    j.count("SellTrades", s.sellTrades);
    j.count("Wins", s.wins);
    j.count("Losses", s.losses);
    j.number("NetResult", s.netResult);
    j.number("GrossProfit", s.grossProfit);
    j.number("GrossLoss", s.grossLoss);
    j.number("ProfitFactor", s.profitFactor);
    j.number("WinRate", s.winRate);
    j.number("BuyWinRate", s.buyWinRate);
    j.number("SellWinRate", s.sellWinRate);
    j.number("AverageWin", s.averageWin);
    j.number("AverageLoss", s.averageLoss);
    j.number("AverageTrade", s.averageTrade);
    j.number("LargestWin", s.largestWin);
    j.number("LargestLoss", s.largestLoss);
    j.count("MaxConsecutiveWins", s.maxConsecutiveWins);
    j.count("MaxConsecutiveLosses", s.maxConsecutiveLosses);
    j.number("MaxDrawdown", s.maxDrawdown.money);
    j.text("MaxDrawdownStart", DateOrEmpty(s.maxDrawdown.start));
    j.text("MaxDrawdownEnd", DateOrEmpty(s.maxDrawdown.end));
    j.count("MaxDrawdownPeakTrade", s.maxDrawdown.peakTrade);
    j.count("MaxDrawdownTroughTrade", s.maxDrawdown.troughTrade);
    j.number("RecoveryFactor", s.recoveryFactor);
    j.number("SharpeMonthly", s.sharpeMonthly);
    j.number("SQN", s.sqn);
    j.number("AverageTradeDays", s.averageTradeDays);
    j.count("TimedTrades", s.timedTrades);
    j.count("UndatedTrades", s.undatedTrades);
    j.count("SkippedTrades", s.skippedTrades);
    j.text("BestMonth", MonthText(s, s.bestMonth));
    j.number("BestMonthResult", s.bestMonth >= 0 ? s.months[static_cast<size_t>(s.bestMonth)].result : 0.0);
    j.text("WorstMonth", MonthText(s, s.worstMonth));
    j.number("WorstMonthResult",
             s.worstMonth >= 0 ? s.months[static_cast<size_t>(s.worstMonth)].result : 0.0);
    j.close();
    j.count("passes", static_cast<int64_t>(passCount));
    j.open("walkForward");
    j.count("windows", static_cast<int64_t>(view.windows));
    j.count("profitableWindows", static_cast<int64_t>(view.profitableWindows));
    j.number("profitableShare", view.profitableShare);
    j.count("searchedNothing", static_cast<int64_t>(view.searchedNothing));
    j.number("totalForward", view.totalForward);
    j.number("overallEfficiency", view.overallEfficiency);
    j.count("efficiencyWindows", static_cast<int64_t>(view.efficiencyWindows));
    j.close();
    if (monteCarlo && !monteCarlo->empty()) {
        j.open("monteCarlo");
        j.count("runs", monteCarlo->runs);
        // As a text: a 64-bit seed does not fit the doubles most JSON readers use.
        j.text("seed", std::to_string(monteCarlo->seed));
        j.count("trades", monteCarlo->trades);
        j.number("balance", monteCarlo->balance);
        j.number("ruinLevel", monteCarlo->ruinLevel);
        MethodJson(j, "shuffled", monteCarlo->shuffled);
        MethodJson(j, "resampled", monteCarlo->resampled);
        j.close();
    }
    if (overfit) OverfitJson(j, *overfit);
    j.close();
    return j.result();
}

bool ExportEvaluation(const std::string& dir, const EvaluationExport& data, std::string& error) {
    if (!EnsureFolder(dir, error)) return false;
    const TradeStats stats = ComputeTradeStats(data.trades);
    const WalkForwardView view = BuildWalkForwardView(data.windows);

    std::vector<PendingFile> files(std::size(kExportFiles));
    auto start = [&](size_t i) { return files[i].open(JoinPath(dir, kExportFiles[i]), error); };
    if (!start(0) || !files[0].write(TradesCsv(data.trades), error)) return false;
    // The pass files go out a block at a time: a 5-million-pass sweep never needs its whole text in memory.
    std::string block;
    block.reserve(kBlockBytes + 4096);
    auto streamed = [&](size_t file, auto append) {
        if (!start(file)) return false;
        size_t from = 0;
        do {
            const size_t to = std::min(data.passes.size(), from + kBlockBytes / 160);
            block.clear();
            append(from, to);
            if (!files[file].write(block, error)) return false;
            from = to;
        } while (from < data.passes.size());
        return true;
    };
    if (!streamed(1,
                  [&](size_t a, size_t b) { AppendPassesCsv(block, data.passes, a, b, data.passFigures); }))
        return false;
    if (!start(2) || !files[2].write(WindowsCsv(view), error)) return false;
    if (!start(3) || !files[3].write(MonthlyCsv(stats), error)) return false;
    if (!start(4) ||
        !files[4].write(
            StatsJson(stats, view, data.passes.size(), data.monteCarlo, data.complete, data.overfit), error))
        return false;
    if (!streamed(5, [&](size_t a, size_t b) { AppendBlocksCsv(block, data.passes, data.blocks, a, b); }))
        return false;
    return CommitAll(files, error);
}

}  // namespace kavro
