#include "import/csv_line.h"

#include <cstring>

namespace kavro {

namespace {

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    if (e - b >= 2 && s[b] == '"' && s[e - 1] == '"') {
        ++b;
        --e;
        while (b < e && s[b] == ' ') ++b;
        while (e > b && s[e - 1] == ' ') --e;
    }
    return s.substr(b, e - b);
}

// Fields of one line, left to right.
class FieldScanner {
  public:
    FieldScanner(std::string_view line, char delimiter) : line_(line), delimiter_(delimiter) {}
    bool next(std::string_view& field) {
        if (done_) return false;
        const size_t rest = line_.size() - start_;
        const void* hit = rest > 0 ? std::memchr(line_.data() + start_, delimiter_, rest) : nullptr;
        const size_t end =
            hit ? static_cast<size_t>(static_cast<const char*>(hit) - line_.data()) : line_.size();
        field = Trim(line_.substr(start_, end - start_));
        done_ = hit == nullptr;
        start_ = end + 1;
        return true;
    }

  private:
    std::string_view line_;
    char delimiter_;
    size_t start_ = 0;
    bool done_ = false;
};

ImportFault FaultOf(TimeFault f) {
    ImportFault fault;
    switch (f) {
        case TimeFault::None:
            break;
        case TimeFault::Date:
            fault.kind = ImportFaultKind::Date;
            break;
        case TimeFault::Time:
            fault.kind = ImportFaultKind::Time;
            break;
        case TimeFault::NotWholeMinute:
            fault.kind = ImportFaultKind::NotWholeMinute;
            break;
        case TimeFault::Year:
            fault.kind = ImportFaultKind::Year;
            break;
    }
    return fault;
}

}  // namespace

int SplitCsvFields(std::string_view line, char delimiter, std::string_view* fields, int maxFields) {
    FieldScanner scan(line, delimiter);
    int n = 0;
    while (n < maxFields && scan.next(fields[n])) ++n;
    return n;
}

ImportFault ReadCsvLine(std::string_view line, const CsvLayout& layout, CsvBar& bar) {
    // Only the six fields the layout names are kept; the rest are skipped as the scan passes them.
    enum { kDate, kTime, kOpen, kHigh, kLow, kClose, kRoles };
    const int columns[kRoles] = {layout.dateColumn, layout.timeColumn, layout.open,
                                 layout.high,       layout.low,        layout.close};
    std::string_view f[kRoles];
    FieldScanner scan(line, layout.delimiter);
    int index = 0;
    for (std::string_view field; index < layout.columnsNeeded && scan.next(field); ++index) {
        for (int r = 0; r < kRoles; ++r) {
            if (columns[r] == index) f[r] = field;
        }
    }
    if (index < layout.columnsNeeded) return ImportFault{ImportFaultKind::Columns};
    FieldTime time;
    if (const TimeFault tf = ReadDateTime(f[kDate], layout.dateStyle, time); tf != TimeFault::None) {
        return FaultOf(tf);
    }
    if (layout.timeColumn >= 0) {
        // The date column must then hold the date alone.
        if (time.hasClock) return ImportFault{ImportFaultKind::Date};
        int minuteOfDay = 0;
        if (const TimeFault tf = ReadClock(f[kTime], minuteOfDay, time.offset); tf != TimeFault::None) {
            return FaultOf(tf);
        }
        time.local += minuteOfDay;
    }
    bar.time = time.local;
    bar.offset = time.offset;
    PriceUnits* prices[4] = {&bar.open, &bar.high, &bar.low, &bar.close};
    for (int k = 0; k < 4; ++k) {
        ImportFault fault;
        switch (ReadPrice(f[kOpen + k], layout.decimalComma, *prices[k])) {
            case PriceRead::Ok:
                continue;
            case PriceRead::NotNumber:
                fault.kind = ImportFaultKind::Price;
                break;
            case PriceRead::NotPositive:
                fault.kind = ImportFaultKind::PriceNotPositive;
                break;
            case PriceRead::TooLarge:
                fault.kind = ImportFaultKind::PriceTooLarge;
                break;
        }
        fault.price = k;
        return fault;
    }
    return {};
}

}  // namespace kavro
