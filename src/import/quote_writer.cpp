#include "import/quote_writer.h"

#include <atomic>
#include <chrono>
#include <filesystem>

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

// A name no other import picks at the same moment: time and a process-wide counter.
std::string TemporaryName(const std::string& target, int attempt) {
    static std::atomic<uint64_t> counter{0};
    const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const uint64_t tag =
        now ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ static_cast<uint64_t>(attempt);
    const std::filesystem::path p(target);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".part-%012llx",
                  static_cast<unsigned long long>(tag & 0xFFFFFFFFFFFFull));
    // A leading dot keeps the unfinished file out of the way of a file dialog.
    std::string name = ".";
    name += p.filename().string();
    name += suffix;
    return (p.parent_path() / name).string();
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

QuoteFileWriter::~QuoteFileWriter() {
    discard();
}

bool QuoteFileWriter::open(const std::string& target) {
    discard();
    target_ = target;
    failed_ = committed_ = false;
    lines_ = 0;
    for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
        temp_ = TemporaryName(target, attempt);
        // "x": never take over a file that is already there.
        file_ = std::fopen(temp_.c_str(), "wbx");
    }
    if (!file_) temp_.clear();
    return file_ != nullptr;
}

bool QuoteFileWriter::add(BarMinute start, const PriceBar& bar) {
    if (!FormatQuoteLine(kind_, pair_, start, bar, line_)) return false;
    buffer_ += line_;
    buffer_ += "\r\n";
    ++lines_;
    if (buffer_.size() >= kFlushAt) flush();
    return true;
}

bool QuoteFileWriter::flush() {
    if (!file_ || failed_) {
        failed_ = true;
    } else if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        failed_ = true;
    }
    buffer_.clear();
    return !failed_;
}

bool QuoteFileWriter::close() {
    flush();
    if (file_) {
        if (std::fclose(file_) != 0) failed_ = true;
        file_ = nullptr;
    }
    return !failed_ && !temp_.empty();
}

bool QuoteFileWriter::commit() {
    if (file_ || failed_ || temp_.empty()) return false;
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec) return false;
    committed_ = true;
    temp_.clear();
    return true;
}

void QuoteFileWriter::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty() && !committed_) std::remove(temp_.c_str());
    temp_.clear();
    buffer_.clear();
}

}  // namespace kavro
