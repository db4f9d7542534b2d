#include "quotes/quote_store.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>
#include <utility>

#include "platform/numbers.h"
#include "platform/text_file.h"

namespace kavro {

std::optional<Pair> PairFromName(std::string_view name) {
    constexpr std::pair<std::string_view, Pair> kNames[] = {
        {"EUR", Pair::EUR}, {"GBP", Pair::GBP}, {"CHF", Pair::CHF}, {"JPY", Pair::JPY}};
    for (const auto& [n, pair] : kNames)
        if (n == name) return pair;
    return std::nullopt;
}

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

void QuoteStore::reserveHours(size_t more) {
    const size_t n = hourOhlc.size() + more;
    hourOhlc.reserve(n);
    hourOfBar.reserve(n);
    hourDate.reserve(n);
}

void QuoteStore::reserveDays(size_t more) {
    const size_t n = dayOhlc.size() + more;
    dayOhlc.reserve(n);
    dayDate.reserve(n);
    dayAverage200.reserve(n);
    dayHigh24.reserve(n);
    dayLow24.reserve(n);
    dayStochastic.reserve(n);
}

int QuoteStore::appendHour() {
    truncateHours(hourBarCount);
    hourOhlc.emplace_back();
    hourOfBar.emplace_back();
    hourDate.emplace_back();
    ++generation;
    return ++hourBarCount;
}

int QuoteStore::appendDay() {
    truncateDays(dayBarCount);
    dayOhlc.emplace_back();
    dayDate.emplace_back();
    dayAverage200.emplace_back();
    dayHigh24.emplace_back();
    dayLow24.emplace_back();
    dayStochastic.emplace_back();
    ++generation;
    return ++dayBarCount;
}

void QuoteStore::truncateHours(int count) {
    const size_t n = static_cast<size_t>(count) + 1;
    hourOhlc.resize(n);
    hourOfBar.resize(n);
    hourDate.resize(n);
    hourBarCount = count;
    ++generation;
}

void QuoteStore::truncateDays(int count) {
    const size_t n = static_cast<size_t>(count) + 1;
    dayOhlc.resize(n);
    dayDate.resize(n);
    dayAverage200.resize(n);
    dayHigh24.resize(n);
    dayLow24.resize(n);
    dayStochastic.resize(n);
    dayBarCount = count;
    ++generation;
}

namespace {

// What a loader keeps of a line: the date, the hour and the widest price block end by column 59.
constexpr size_t kKeptColumns = 64;

// The line-by-line part both loaders share: count the lines (for the progress
// maximum and to refuse a file the store cannot take), then hand each line to
// `store`, which returns false on a fault. `capacityLeft` bounds the lines.
// A failure after the first stored line leaves it to `takeBack`.
template <typename Store, typename TakeBack>
LoadResult LoadLines(const std::string& path, long capacityLeft, LoadProgress& progress, Store store,
                     TakeBack takeBack) {
    LoadResult result;
    long lines = 0;
    if (!CountLines(path, lines, capacityLeft + 1)) {
        result.status = LoadResult::Status::CannotRead;
        return result;
    }
    auto fail = [&](bool memory = false) {
        takeBack();
        result.status = LoadResult::Status::Failed;
        result.barsStored = 0;
        result.outOfMemory = memory;
        return result;
    };
    progress.started(static_cast<int>(std::min<long>(lines, INT32_MAX)));
    // More lines than the store has room for: the load would fail at the first one beyond.
    if (lines > capacityLeft) return fail();
    LineReader reader(kKeptColumns);
    if (!reader.open(path)) {
        result.status = LoadResult::Status::CannotRead;
        return result;
    }
    try {
        std::string_view line;
        while (reader.next(line)) {
            // The store is full: this line would be a bar above the capacity.
            if (result.barsStored >= capacityLeft) return fail();
            ++result.barsStored;
            if (!store(line, lines)) return fail();
        }
    } catch (const std::bad_alloc&) {
        return fail(true);
    }
    if (reader.failed()) {
        if (result.barsStored == 0) {
            result.status = LoadResult::Status::CannotRead;
            return result;
        }
        return fail();
    }
    return result;
}

}  // namespace

LoadResult LoadHourlyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress) {
    const Columns cols = HourlyColumns(pair);
    const int before = store.hourBarCount;
    std::string second, last;  // lines 2 and the last one, for the pickers
    long lineNumber = 0;
    bool reserved = false;
    auto storeLine = [&](std::string_view line, long lines) {
        if (!reserved) {
            store.reserveHours(static_cast<size_t>(lines));
            reserved = true;
        }
        const int b = store.appendHour();
        progress.lineStored(b);
        if (!ReadPrices(line, cols, store.hourOhlc[b]) || !ReadHour(line, store.hourOfBar[b])) return false;
        store.hourDate[b] = DateText::from(line.substr(0, 8));
        if (++lineNumber == 2) second = line;
        last = line;
        return true;
    };
    LoadResult result = LoadLines(path, store.hourCapacity - before, progress, storeLine,
                                  [&] { store.truncateHours(before); });
    if (result.status != LoadResult::Status::Ok) return result;
    auto fail = [&] {
        store.truncateHours(before);
        result.status = LoadResult::Status::Failed;
        result.barsStored = 0;
        return result;
    };
    // The pickers take line 2 as the earliest date and the last line as the latest.
    if (lineNumber < 2) return fail();
    if (!DateOfText(second, result.earliest) || !DateOfText(last, result.latest)) return fail();
    long hour = 0;
    if (!ToIndex(Val(Mid(last, 10, 2)), -32768, 32767, hour)) return fail();
    result.lastHour = static_cast<int>(((hour % 24) + 24) % 24);
    return result;
}

LoadResult LoadDailyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress) {
    const Columns cols = DailyColumns(pair);
    const int before = store.dayBarCount;
    bool reserved = false;
    auto storeLine = [&](std::string_view line, long lines) {
        if (!reserved) {
            store.reserveDays(static_cast<size_t>(lines));
            reserved = true;
        }
        const int d = store.appendDay();
        progress.lineStored(d);
        if (!ReadPrices(line, cols, store.dayOhlc[d])) return false;
        store.dayDate[d] = DateText::from(line.substr(0, 8));
        return ComputeDay(store, d);
    };
    return LoadLines(path, store.dayCapacity - before, progress, storeLine,
                     [&] { store.truncateDays(before); });
}

}  // namespace kavro
