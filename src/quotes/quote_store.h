#pragma once
// The quote store and the two quote-file loaders.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dates.h"

namespace kavro {

enum class Pair { EUR, GBP, CHF, JPY };

// The pair of a name as the window's option buttons show it: "EUR", "GBP", "CHF" or "JPY".
std::optional<Pair> PairFromName(std::string_view name);

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

struct LoadResult {
    enum class Status {
        Ok,
        CannotRead,  // nothing was stored; the store is unchanged
        Failed,      // a fault after the first stored line; the load was taken back out
    };
    Status status = Status::Ok;
    int barsStored = 0;
    bool outOfMemory = false;  // Failed because the bars did not fit in memory
    // Hourly loads only: the pickers' dates (line 2 and the last line) and the last hour.
    Date earliest, latest;
    int lastHour = 0;
};

// Appends the hourly file at `path` to the store.
LoadResult LoadHourlyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress);
// Appends the daily file at `path`, computing the 200-day average and the 24-day stochastic.
LoadResult LoadDailyQuotes(QuoteStore& store, const std::string& path, Pair pair, LoadProgress& progress);

// The failure texts of the two loaders.
inline constexpr const char* kHourlyLoadFailed =
    "Вы ошиблись в выборе файла.Перезагрузите программу и откройте файл с часовыми котировками";
inline constexpr const char* kDailyLoadFailed =
    "Вы ошиблись в выборе файла.Перезагрузите программу и откройте файл с дневными котировками";

// Calendar date of a date text (year chars 1-4, month 5-6, day 7-8, each read
// as a leading number and rounded to a 16-bit integer, rolling over).
bool DateOfText(std::string_view text, Date& out);

}  // namespace kavro
