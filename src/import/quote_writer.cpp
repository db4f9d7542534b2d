#include "import/quote_writer.h"

namespace kavro {

namespace {

constexpr size_t kFlushAt = size_t{1} << 20;

void PutDigits(std::string& out, int64_t value, int digits) {
    char buf[24];
    for (int i = digits - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(buf, static_cast<size_t>(digits));
}

}  // namespace

bool FormatQuoteLine(QuoteFileKind kind, Pair pair, BarMinute start, const PriceBar& bar, std::string& line) {
    const int width = PriceFieldWidth(pair);
    const int64_t day = FloorDiv(start, kMinutesPerDay);
    const Date date = DateFromDays(day);
    line.clear();
    PutDigits(line, date.year, 4);
    PutDigits(line, date.month, 2);
    PutDigits(line, date.day, 2);
    if (kind == QuoteFileKind::Hourly) {
        line += ' ';
        PutDigits(line, (start - day * kMinutesPerDay) / 60, 2);
        line += ":00  ";
    } else {
        line += "   ";
    }
    for (const PriceUnits p : {bar.open, bar.high, bar.low, bar.close}) {
        char field[16];
        if (!FormatPriceField(p, width, field)) return false;
        line.append(field, static_cast<size_t>(width));
        line += ',';
    }
    return true;
}

bool QuoteFileWriter::open(const std::string& target) {
    discard();
    failed_ = false;
    error_.clear();
    open_ = file_.open(target, error_);
    return open_;
}

bool QuoteFileWriter::add(BarMinute start, const PriceBar& bar) {
    if (!FormatQuoteLine(kind_, pair_, start, bar, line_)) return false;
    buffer_ += line_;
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushAt) flush();
    return true;
}

bool QuoteFileWriter::flush() {
    if (!open_ || failed_ || (!buffer_.empty() && !file_.write(buffer_, error_))) failed_ = true;
    buffer_.clear();
    return !failed_;
}

bool QuoteFileWriter::close() {
    flush();
    if (open_ && !failed_ && !file_.close(error_)) failed_ = true;
    return open_ && !failed_;
}

bool QuoteFileWriter::commit() {
    return open_ && !failed_ && file_.commit(error_);
}

void QuoteFileWriter::discard() {
    file_.discard();
    open_ = false;
    buffer_.clear();
}

}  // namespace kavro
