#pragma once
// What is wrong with a line or a bar of a CSV file, as the import's pieces report it.
#include <cstdint>

namespace kavro {

enum class ImportFaultKind {
    None,
    // The line cannot be read.
    Columns,         // fewer fields than the layout needs
    Date,            // a date in no known style or an impossible one
    Time,            // a clock time that cannot be read
    NotWholeMinute,  // seconds other than zero
    Year,            // a year outside 1000..9999 (after the shift, too)
    Price,           // a price that is no number
    // The bar's prices.
    PriceNotPositive,
    PriceTooLarge,  // does not fit the quote file's price field
    HighBelowLow,
    OpenOutside,
    CloseOutside,
    // The bar's time against the bars before it.
    SameTime,
    EarlierTime,
    CoarserThanHour,   // `value`: the spacing in minutes
    SpacingNotInHour,  // `value`: a spacing that does not divide an hour
    OffGrid,           // `value`: the spacing; `time`: the bar's time
    SpacingChanged,    // `value`: the spacing; `other`: the new step
    // Daily files.
    SameDate,
    CoarserThanDay,  // `value`: the spacing in days
    FlatDays,        // 24 days in a row with one price; `time`: the last of them
};

struct ImportFault {
    ImportFaultKind kind = ImportFaultKind::None;
    int64_t line = 0;  // 1-based line of the file; 0 when the fault is not one line's
    int price = -1;    // 0 open, 1 high, 2 low, 3 close; -1 none
    int64_t value = 0, other = 0;
    int64_t time = 0;  // minutes from 1970-01-01
    explicit operator bool() const { return kind != ImportFaultKind::None; }
};

}  // namespace kavro
