#include "quotes/quote_store.h"

#include <cmath>

#include "platform/numbers.h"
#include "platform/text_file.h"

namespace kavro {

namespace {

struct Columns {
    int open, high, low, close, block;
};

Columns HourlyColumns(Pair pair) {
    return pair == Pair::JPY ? Columns{17, 26, 35, 44, 42} : Columns{17, 24, 31, 38, 27};
}

Columns DailyColumns(Pair pair) {
    return pair == Pair::JPY ? Columns{12, 21, 30, 39, 35} : Columns{12, 19, 26, 33, 27};
}

// Characters from 1-based `start`, at most `length` of them; "" past the end.
std::string_view Mid(std::string_view s, size_t start, size_t length = std::string_view::npos) {
    if (start < 1 || start > s.size()) return {};
    return s.substr(start - 1, length);
}

bool StoreSingle(double value, float& out) {
    const float f = static_cast<float>(value);
    if (!std::isfinite(f)) return false;
    out = f;
    return true;
}

bool ReadPrices(std::string_view line, const Columns& c, std::array<float, 4>& ohlc) {
    const std::string_view block = Mid(line, c.open, c.block);
    const int starts[4] = {c.open, c.high, c.low, c.close};
    for (int k = 0; k < 4; ++k) {
        if (!StoreSingle(Val(Mid(block, starts[k] - c.open + 1)), ohlc[k])) return false;
    }
    return true;
}

bool ReadHour(std::string_view line, float& hour) {
    return StoreSingle(Val(Mid(line, 10, 2)), hour);
}

// Zeros the slots a failed load wrote, so the store is exactly as before.
void ClearHourly(QuoteStore& s, int from, int to) {
    for (int b = from; b <= to; ++b) {
        s.hourOhlc[b] = {};
        s.hourOfBar[b] = 0;
        s.hourDate[b] = {};
    }
}

void ClearDaily(QuoteStore& s, int from, int to) {
    for (int d = from; d <= to; ++d) {
        s.dayOhlc[d] = {};
        s.dayDate[d] = {};
        s.dayAverage200[d] = s.dayHigh24[d] = s.dayLow24[d] = s.dayStochastic[d] = 0;
    }
}

// The daily figures of day d; false on a zero 24-day range.
bool ComputeDay(QuoteStore& s, int d) {
    const auto& o = s.dayOhlc;
    if (d >= 200) {
        float sum = 0.0f;
        for (int k = d - 199; k <= d - 1; ++k) sum += o[k][QuoteStore::Close];
        sum += o[d][QuoteStore::Open];
        s.dayAverage200[d] = static_cast<float>(static_cast<double>(sum) / 200.0);
    }
    float hi = o[d][QuoteStore::High];
    float lo = o[d][QuoteStore::Low];
    if (d >= 24) {
        for (int i = 1; i <= 23; ++i) {
            if (o[d - i][QuoteStore::High] > hi) hi = o[d - i][QuoteStore::High];
            if (o[d - i][QuoteStore::Low] < lo) lo = o[d - i][QuoteStore::Low];
        }
    }
    s.dayHigh24[d] = hi;
    s.dayLow24[d] = lo;
    if (d >= 24) {
        const double range = static_cast<double>(hi) - static_cast<double>(lo);
        if (range == 0.0) return false;
        const double k = (static_cast<double>(o[d][QuoteStore::Open]) - lo) / range * 100.0;
        if (!StoreSingle(k, s.dayStochastic[d])) return false;
    }
    return true;
}

}  // namespace

DateText DateText::from(std::string_view text) {
    DateText t;
    t.length = static_cast<uint8_t>(text.size() < 8 ? text.size() : 8);
    for (size_t i = 0; i < t.length; ++i) t.chars[i] = text[i];
    return t;
}

bool DateOfText(std::string_view text, Date& out) {
    long y = 0, m = 0, d = 0;
    if (!ToIndex(Val(Mid(text, 1, 4)), -32768, 32767, y)) return false;
    if (!ToIndex(Val(Mid(text, 5, 2)), -32768, 32767, m)) return false;
    if (!ToIndex(Val(Mid(text, 7, 2)), -32768, 32767, d)) return false;
    return DateFromParts(y, m, d, out);
}

LoadResult LoadHourlyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress) {
    LoadResult result;
    std::string data;
    if (!ReadWholeFile(path, data)) {
        result.status = LoadResult::Status::CannotRead;
        return result;
    }
    const auto lines = SplitLines(data);
    const Columns cols = HourlyColumns(pair);
    const int before = store.hourBarCount;
    auto fail = [&] {
        ClearHourly(store, before + 1, store.hourBarCount);
        store.hourBarCount = before;
        ++store.generation;
        result.status = LoadResult::Status::Failed;
        result.barsStored = 0;
        return result;
    };
    progress.started(static_cast<int>(lines.size()));
    for (const auto line : lines) {
        if (store.hourBarCount >= QuoteStore::kHourCapacity) return fail();
        const int b = ++store.hourBarCount;
        ++result.barsStored;
        progress.lineStored(b);
        if (!ReadPrices(line, cols, store.hourOhlc[b]) || !ReadHour(line, store.hourOfBar[b])) return fail();
        store.hourDate[b] = DateText::from(line.substr(0, 8));
    }
    ++store.generation;
    // The pickers take line 2 as the earliest date and the last line as the latest.
    if (lines.size() < 2) return fail();
    if (!DateOfText(lines[1], result.earliest) || !DateOfText(lines.back(), result.latest)) return fail();
    long hour = 0;
    if (!ToIndex(Val(Mid(lines.back(), 10, 2)), -32768, 32767, hour)) return fail();
    result.lastHour = static_cast<int>(((hour % 24) + 24) % 24);
    return result;
}

LoadResult LoadDailyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress) {
    LoadResult result;
    std::string data;
    if (!ReadWholeFile(path, data)) {
        result.status = LoadResult::Status::CannotRead;
        return result;
    }
    const auto lines = SplitLines(data);
    const Columns cols = DailyColumns(pair);
    const int before = store.dayBarCount;
    auto fail = [&] {
        ClearDaily(store, before + 1, store.dayBarCount);
        store.dayBarCount = before;
        ++store.generation;
        result.status = LoadResult::Status::Failed;
        result.barsStored = 0;
        return result;
    };
    progress.started(static_cast<int>(lines.size()));
    for (const auto line : lines) {
        if (store.dayBarCount >= QuoteStore::kDayCapacity) return fail();
        const int d = ++store.dayBarCount;
        ++result.barsStored;
        progress.lineStored(d);
        if (!ReadPrices(line, cols, store.dayOhlc[d])) return fail();
        store.dayDate[d] = DateText::from(line.substr(0, 8));
        if (!ComputeDay(store, d)) return fail();
    }
    ++store.generation;
    return result;
}

}  // namespace kavro
