#include "quotes/quote_store.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "platform/numbers.h"
#include "platform/text_file.h"

namespace kavro {

namespace {

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

bool ReadPrices(std::string_view line, const QuoteColumns& c, std::array<float, 4>& ohlc) {
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

void QuoteStore::swapHours(QuoteStore& other) {
    std::swap(hourOhlc, other.hourOhlc);
    std::swap(hourOfBar, other.hourOfBar);
    std::swap(hourDate, other.hourDate);
    std::swap(hourBarCount, other.hourBarCount);
    std::swap(hourSet, other.hourSet);
    ++generation;
    ++other.generation;
}

void QuoteStore::swapDays(QuoteStore& other) {
    std::swap(dayOhlc, other.dayOhlc);
    std::swap(dayDate, other.dayDate);
    std::swap(dayAverage200, other.dayAverage200);
    std::swap(dayHigh24, other.dayHigh24);
    std::swap(dayLow24, other.dayLow24);
    std::swap(dayStochastic, other.dayStochastic);
    std::swap(dayBarCount, other.dayBarCount);
    std::swap(daySet, other.daySet);
    ++generation;
    ++other.generation;
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

namespace {

// FNV-1a over 64-bit words: cheap enough to run after every load, and two sets
// of different bars practically never share it.
class Digest {
  public:
    void add(uint64_t word) {
        h_ ^= word;
        h_ *= 0x100000001b3ull;
    }
    void add(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        add(uint64_t{bits});
    }
    void add(const DateText& t) {
        uint64_t word;
        std::memcpy(&word, t.chars.data(), 8);
        add(word);
        add(uint64_t{t.length});
    }
    void add(const QuoteStore::Ohlc& o) {
        for (float f : o) add(f);
    }
    uint64_t value() const { return h_; }

  private:
    uint64_t h_ = 0xcbf29ce484222325ull;
};

uint64_t HourDigest(const QuoteStore& q) {
    Digest d;
    for (int b = 1; b <= q.hourBarCount; ++b) {
        d.add(q.hourDate[b]);
        d.add(q.hourOfBar[b]);
        d.add(q.hourOhlc[b]);
    }
    return d.value();
}

uint64_t DayDigest(const QuoteStore& q) {
    Digest d;
    for (int k = 1; k <= q.dayBarCount; ++k) {
        d.add(q.dayDate[k]);
        d.add(q.dayOhlc[k]);
    }
    return d.value();
}

// The first line of a file, and its first line that is not blank.
struct FileHead {
    std::string first, firstContent;
};

FileHead ReadHead(const std::string& path) {
    FileHead head;
    LineReader reader(kKeptColumns);
    if (!reader.open(path)) return head;
    std::string_view line;
    bool any = false;
    while (reader.next(line)) {
        if (!any) head.first = line;
        any = true;
        if (line.find_first_not_of(" \t") != std::string_view::npos) {
            head.firstContent = line;
            break;
        }
    }
    return head;
}

bool EightDigits(std::string_view text) {
    return text.size() >= 8 &&
           std::all_of(text.begin(), text.begin() + 8, [](char c) { return c >= '0' && c <= '9'; });
}

// True when a file whose first line is `first` continues `set`: the same pair, and its
// first bar (date, and hour for hourly bars) after the last stored one.
bool Continues(const QuoteSet& set, Pair pair, std::string_view first, QuoteKind kind, float lastHour) {
    if (set.empty() || set.pair != pair || !EightDigits(first) || !EightDigits(set.last.view())) return false;
    const std::string_view date = first.substr(0, 8), last = set.last.view();
    if (date != last) return date > last;
    return kind == QuoteKind::Hourly && Val(Mid(first, 10, 2)) > lastHour;
}

// Refuses a file whose first line is in another pair's layout; true when it may load.
bool LayoutFits(const FileHead& head, Pair pair, QuoteKind kind, LoadResult& result) {
    result.layout = DetectLayout(head.firstContent, kind);
    if (result.layout == QuoteLayout::Unknown || result.layout == LayoutOf(pair)) return true;
    result.status = LoadResult::Status::WrongLayout;
    return false;
}

// The set of a kind after a load: a continued one grows, anything else starts afresh.
void NoteLoad(QuoteSet& set, bool appended, Pair pair, const std::string& path, long bars,
              const DateText& first, const DateText& last, uint64_t digest) {
    if (!appended) {
        set = QuoteSet{};
        set.pair = pair;
        set.first = first;
    }
    set.files.push_back(path);
    set.last = last;
    set.bars = bars;
    set.digest = digest;
}

// Loads into the store itself when the file continues it (or nothing is stored),
// else into a fresh store whose bars then take the place of the stored ones, so
// that a failed load leaves the store as it was.
template <typename Append, typename Swap>
LoadResult LoadInPlaceOrFresh(QuoteStore& store, bool inPlace, Append append, Swap swap) {
    if (inPlace) return append(store);
    QuoteStore fresh(store.hourCapacity, store.dayCapacity);
    LoadResult r = append(fresh);
    if (r.status == LoadResult::Status::Ok) swap(fresh);
    return r;
}

LoadResult AppendHourlyFile(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress) {
    const QuoteColumns cols = ColumnsOf(LayoutOf(pair), QuoteKind::Hourly);
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

LoadResult AppendDailyFile(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress) {
    const QuoteColumns cols = ColumnsOf(LayoutOf(pair), QuoteKind::Daily);
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

}  // namespace

namespace {

// What differs between the hourly and the daily side of the store.
struct Side {
    QuoteKind kind;
    QuoteSet QuoteStore::*set;
    int QuoteStore::*count;
    LoadResult (*append)(QuoteStore&, const std::string&, Pair, LoadProgress&);
    void (QuoteStore::*swap)(QuoteStore&);
    const DateText& (QuoteStore::*dateAt)(size_t) const;
    uint64_t (*digest)(const QuoteStore&);
};

const Side kHourSide{QuoteKind::Hourly, &QuoteStore::hourSet,   &QuoteStore::hourBarCount,
                     AppendHourlyFile,  &QuoteStore::swapHours, &QuoteStore::hourDateAt,
                     HourDigest};
const Side kDaySide{QuoteKind::Daily, &QuoteStore::daySet,   &QuoteStore::dayBarCount,
                    AppendDailyFile,  &QuoteStore::swapDays, &QuoteStore::dayDateAt,
                    DayDigest};

LoadResult LoadSide(const Side& side, QuoteStore& store, const std::string& path, Pair pair,
                    LoadProgress& progress, LoadMode mode) {
    const FileHead head = ReadHead(path);
    LoadResult refused;
    if (!LayoutFits(head, pair, side.kind, refused)) return refused;
    int& count = store.*side.count;
    const float lastHour = side.kind == QuoteKind::Hourly ? store.hourOf(static_cast<size_t>(count)) : 0;
    const bool continues =
        mode == LoadMode::Continue && Continues(store.*side.set, pair, head.first, side.kind, lastHour);
    const bool hadBars = count > 0;
    const int before = continues ? count : 0;
    LoadResult r = LoadInPlaceOrFresh(
        store, continues || !hadBars,
        [&](QuoteStore& into) { return side.append(into, path, pair, progress); },
        [&](QuoteStore& fresh) { (store.*side.swap)(fresh); });
    r.layout = refused.layout;
    if (r.status != LoadResult::Status::Ok) return r;
    r.appended = continues;
    r.replaced = hadBars && !continues;
    NoteLoad(store.*side.set, continues, pair, path, count,
             (store.*side.dateAt)(static_cast<size_t>(before + 1)),
             (store.*side.dateAt)(static_cast<size_t>(count)), side.digest(store));
    return r;
}

}  // namespace

LoadResult LoadHourlyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress,
                            LoadMode mode) {
    return LoadSide(kHourSide, store, path, pair, progress, mode);
}

LoadResult LoadDailyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress,
                           LoadMode mode) {
    return LoadSide(kDaySide, store, path, pair, progress, mode);
}

namespace {

// The layout of the quote file at `path`, from its first line that is not blank;
// Unknown when it cannot be read or fits neither layout.
QuoteLayout FileLayout(const std::string& path, QuoteKind kind) {
    return DetectLayout(ReadHead(path).firstContent, kind);
}

}  // namespace

std::optional<Pair> PairOfQuoteFile(const std::string& path, QuoteKind kind) {
    switch (FileLayout(path, kind)) {
        case QuoteLayout::Yen:
            return Pair::JPY;
        case QuoteLayout::Narrow: {
            // The narrow layout serves three pairs; the file's own name may tell which.
            std::string name = path.substr(path.find_last_of('/') + 1);
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            for (Pair p : {Pair::GBP, Pair::CHF})
                if (name.find(InfoOf(p).symbol) != std::string::npos) return p;
            return Pair::EUR;
        }
        case QuoteLayout::Unknown:
            break;
    }
    return std::nullopt;
}

std::string WrongLayoutMessage(const std::string& path, QuoteLayout has, Pair selected) {
    // The layout's pairs offered as a choice ("EUR, GBP или CHF"), and their price width.
    std::string choice = LayoutPairs(has);
    if (const size_t comma = choice.rfind(", "); comma != std::string::npos)
        choice.replace(comma, 2, " или ");
    int width = 0;
    for (Pair p : kPairs)
        if (LayoutOf(p) == has) width = InfoOf(p).priceWidth;
    return "Котировки в файле " + path + " записаны для " + LayoutPairs(has) + " (цена из " +
           std::to_string(width) + " знаков), а в рамке «Валюта» выбрана " + PairName(selected) +
           ": выберите " + choice + " и откройте файл снова";
}

}  // namespace kavro
