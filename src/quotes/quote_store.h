#pragma once
// The quote store and the two quote-file loaders.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dates.h"
#include "quotes/pair.h"

namespace kavro {

// Up to eight characters of a line, compared as text (a short line gives a
// shorter text; bytes are kept as they stand).
struct DateText {
    std::array<char, 8> chars{};
    uint8_t length = 0;

    static DateText from(std::string_view text);
    std::string_view view() const { return {chars.data(), length}; }
    friend bool operator==(const DateText& a, const DateText& b) {
        return a.length == b.length && a.chars == b.chars;
    }
};

// What one kind of loaded quotes is: its pair (the layout it was read with),
// its files in load order, its first and last date texts, its bar count and a
// digest of the stored bars, so that two sets can be told apart.
struct QuoteSet {
    Pair pair = Pair::EUR;
    std::vector<std::string> files;
    DateText first, last;
    long bars = 0;
    uint64_t digest = 0;

    bool empty() const { return bars == 0; }
};

// Hourly and daily bars of one pair, numbered from 1 in load order. Slot 0
// holds zeros and empty text, and so does every number above the count up to
// the capacity: a reader that stays within the capacity sees an empty bar
// beyond the loaded data. The arrays hold slots 0..count only and grow with
// each load; read past the count through the accessors.
struct QuoteStore {
    static constexpr long kHourCapacity = 10'000'000;
    static constexpr long kDayCapacity = 10'000'000;
    enum { Open = 0, High = 1, Low = 2, Close = 3 };
    using Ohlc = std::array<float, 4>;

    explicit QuoteStore(long hourCapacity = kHourCapacity, long dayCapacity = kDayCapacity)
        : hourCapacity(hourCapacity), dayCapacity(dayCapacity) {}

    long hourCapacity, dayCapacity;  // the highest bar and day numbers a load may fill
    int hourBarCount = 0;
    int dayBarCount = 0;
    // Bumped by every change, so caches of derived data know when to rebuild.
    uint64_t generation = 0;

    std::vector<Ohlc> hourOhlc = std::vector<Ohlc>(1);
    std::vector<float> hourOfBar = std::vector<float>(1);
    std::vector<DateText> hourDate = std::vector<DateText>(1);

    std::vector<Ohlc> dayOhlc = std::vector<Ohlc>(1);
    std::vector<DateText> dayDate = std::vector<DateText>(1);
    std::vector<float> dayAverage200 = std::vector<float>(1);
    std::vector<float> dayHigh24 = std::vector<float>(1);
    std::vector<float> dayLow24 = std::vector<float>(1);
    std::vector<float> dayStochastic = std::vector<float>(1);

    // What the loaded hourly and daily bars are.
    QuoteSet hourSet, daySet;

    // Slot readers for any number 0..capacity; above the count they read as empty.
    const Ohlc& hourBar(size_t b) const { return b < hourOhlc.size() ? hourOhlc[b] : kEmptyOhlc; }
    float hourOf(size_t b) const { return b < hourOfBar.size() ? hourOfBar[b] : 0.0f; }
    const DateText& hourDateAt(size_t b) const { return b < hourDate.size() ? hourDate[b] : kEmptyDate; }
    const Ohlc& day(size_t d) const { return d < dayOhlc.size() ? dayOhlc[d] : kEmptyOhlc; }
    const DateText& dayDateAt(size_t d) const { return d < dayDate.size() ? dayDate[d] : kEmptyDate; }
    float average200(size_t d) const { return d < dayAverage200.size() ? dayAverage200[d] : 0.0f; }
    float stochastic(size_t d) const { return d < dayStochastic.size() ? dayStochastic[d] : 0.0f; }

    // Room for `more` further bars or days without moving the arrays again.
    void reserveHours(size_t more);
    void reserveDays(size_t more);
    // A new empty bar or day after the last one; returns its number.
    int appendHour();
    int appendDay();
    // Drops the bars or days above `count` (a load taken back).
    void truncateHours(int count);
    void truncateDays(int count);
    // Exchanges the hourly (or daily) bars and their set with another store's.
    void swapHours(QuoteStore& other);
    void swapDays(QuoteStore& other);

  private:
    static inline const Ohlc kEmptyOhlc{};
    static inline const DateText kEmptyDate{};
};

// Told about a load as it goes: the file's line count first, then the bar
// count after every stored line.
class LoadProgress {
  public:
    virtual ~LoadProgress() = default;
    virtual void started(int lineCount) = 0;
    virtual void lineStored(int barCount) = 0;
};

// A second file of the same kind continues the stored history or replaces it.
enum class LoadMode {
    Continue,  // append when the file continues the same pair's history, else replace
    Replace,   // always replace
};

struct LoadResult {
    enum class Status {
        Ok,
        CannotRead,   // nothing was stored; the store is unchanged
        Failed,       // a fault after the first stored line; the load was taken back out
        WrongLayout,  // the file is in another pair's layout; the store is unchanged
    };
    Status status = Status::Ok;
    int barsStored = 0;
    bool outOfMemory = false;  // Failed because the bars did not fit in memory
    bool appended = false;     // Ok: the bars continued the stored ones rather than replacing them
    bool replaced = false;     // Ok: earlier bars of this kind were replaced
    QuoteLayout layout = QuoteLayout::Unknown;  // the layout the file's first line has
    // Hourly loads only: the pickers' dates (line 2 and the last line) and the last hour.
    Date earliest, latest;
    int lastHour = 0;
};

// Loads the hourly file at `path` in `pair`'s layout: appended to the stored bars when it
// continues their history (same pair, its first bar after the last stored one), else in
// their place. A failure of any kind leaves the store as it was.
LoadResult LoadHourlyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress,
                            LoadMode mode = LoadMode::Continue);
// The same for the daily file, computing the 200-day average and the 24-day stochastic
// (over the stored days too when the file continues them).
LoadResult LoadDailyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress,
                           LoadMode mode = LoadMode::Continue);

// The pair a quote file is written for, from its layout: the yen layout is JPY;
// the narrow one EUR, or GBP or CHF when the file's name says so. Nothing when
// the layout cannot be told.
std::optional<Pair> PairOfQuoteFile(const std::string& path, QuoteKind kind);
// The message for a file in another pair's layout.
std::string WrongLayoutMessage(const std::string& path, QuoteLayout has, Pair selected);

// The failure texts of the two loaders.
inline constexpr const char* kHourlyLoadFailed =
    "Вы ошиблись в выборе файла.Перезагрузите программу и откройте файл с часовыми котировками";
inline constexpr const char* kDailyLoadFailed =
    "Вы ошиблись в выборе файла.Перезагрузите программу и откройте файл с дневными котировками";

// Calendar date of a date text (year chars 1-4, month 5-6, day 7-8, each read
// as a leading number and rounded to a 16-bit integer, rolling over).
bool DateOfText(std::string_view text, Date& out);

}  // namespace kavro
