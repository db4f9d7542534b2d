#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dates.h"

namespace kavro {

enum class Pair { EUR, GBP, CHF, JPY };

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
// and every slot above the count hold zeros and empty text, so a reader that
// stays within the capacity sees an empty bar beyond the loaded data.
struct QuoteStore {
    static constexpr int kHourCapacity = 80000;
    static constexpr int kDayCapacity = 20000;
    enum { Open = 0, High = 1, Low = 2, Close = 3 };

    int hourBarCount = 0;
    int dayBarCount = 0;
    // Bumped by every change, so caches of derived data know when to rebuild.
    uint64_t generation = 0;

    std::vector<std::array<float, 4>> hourOhlc = std::vector<std::array<float, 4>>(kHourCapacity + 1);
    std::vector<float> hourOfBar = std::vector<float>(kHourCapacity + 1);
    std::vector<DateText> hourDate = std::vector<DateText>(kHourCapacity + 1);

    std::vector<std::array<float, 4>> dayOhlc = std::vector<std::array<float, 4>>(kDayCapacity + 1);
    std::vector<DateText> dayDate = std::vector<DateText>(kDayCapacity + 1);
    std::vector<float> dayAverage200 = std::vector<float>(kDayCapacity + 1);
    std::vector<float> dayHigh24 = std::vector<float>(kDayCapacity + 1);
    std::vector<float> dayLow24 = std::vector<float>(kDayCapacity + 1);
    std::vector<float> dayStochastic = std::vector<float>(kDayCapacity + 1);
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
