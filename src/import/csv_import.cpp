#include "import/csv_import.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <new>

#include "import/bar_series.h"
#include "import/csv_file_reader.h"
#include "import/csv_layout.h"
#include "import/import_text.h"
#include "import/quote_writer.h"

namespace kavro {

namespace {

constexpr int64_t kProgressLines = 4096;

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<uint64_t>(size);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec) && !ec) return true;
    const auto ca = std::filesystem::weakly_canonical(a, ec);
    if (ec) return a == b;
    const auto cb = std::filesystem::weakly_canonical(b, ec);
    if (ec) return a == b;
    return ca == cb;
}

// Blanks only; old tools end a file with a Ctrl-Z.
bool IsBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\x1a'; });
}

// UTF-16 text: a byte-order mark, or a NUL in every few bytes of the start.
bool LooksUtf16(std::string_view head) {
    if (head.size() >= 2) {
        const auto a = static_cast<unsigned char>(head[0]), b = static_cast<unsigned char>(head[1]);
        if ((a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF)) return true;
    }
    const size_t n = std::min<size_t>(head.size(), 4096);
    const auto zeros =
        static_cast<size_t>(std::count(head.begin(), head.begin() + static_cast<ptrdiff_t>(n), '\0'));
    return n > 0 && zeros * 4 >= n;
}

void SkipByteOrderMark(CsvFileReader& reader) {
    if (reader.ahead().substr(0, 3) == "\xEF\xBB\xBF") reader.skip(3);
}

// The first and the last minute a quote file's date field can hold.
const BarMinute kFirstMinute = DaysFromDate(kFirstYear, 1, 1) * kMinutesPerDay;
const BarMinute kEndMinute = DaysFromDate(kLastYear + 1, 1, 1) * kMinutesPerDay;

ImportFault CheckPrices(const CsvBar& b, int width) {
    const PriceUnits prices[4] = {b.open, b.high, b.low, b.close};
    for (int k = 0; k < 4; ++k) {
        if (!PriceFitsField(prices[k], width)) return ImportFault{ImportFaultKind::PriceTooLarge, 0, k};
    }
    if (b.high < b.low) return ImportFault{ImportFaultKind::HighBelowLow};
    if (b.open < b.low || b.open > b.high) return ImportFault{ImportFaultKind::OpenOutside};
    if (b.close < b.low || b.close > b.high) return ImportFault{ImportFaultKind::CloseOutside};
    return {};
}

// What one import shares between its steps: the progress and the message of a refusal.
struct Run {
    ImportProgress* progress = nullptr;
    uint64_t total = 0;
    uint64_t before = 0;  // bytes of the files read before the current one
    int width = 6;
    std::string message;

    bool fail(std::string m) {
        message = std::move(m);
        return false;
    }
    bool tick(uint64_t done) {
        if (progress && !progress->advanced(std::min(before + done, total), total))
            return fail(CancelledMessage());
        return true;
    }
};

// How one CSV is read.
struct CsvSource {
    std::string path;
    BarMinute shift = 0;  // added to every time
    bool toUtc = true;    // times with a zone go to UTC; a daily CSV keeps the dates it writes
    DateOrder order = DateOrder::FromFile;
};

// Settles which of day and month comes first in dates with the year last: as the user says, or from the
// first line of the file whose date reads in one order only. Undecided dates with dots are day first, as
// such dates are everywhere they are written. False, with the message, when the file never decides.
bool SettleDateOrder(Run& run, const CsvSource& src, std::string_view firstData, CsvLayout& layout) {
    if (src.order != DateOrder::FromFile) {
        layout.dateStyle = src.order == DateOrder::DayFirst ? DateStyle::DayFirst : DateStyle::MonthFirst;
        return true;
    }
    layout.dateStyle = DateStyle::DayFirst;
    std::string_view f[kMaxCsvColumns];
    SplitCsvFields(firstData, layout.delimiter, f, layout.dateColumn + 1);
    const std::string_view date = f[layout.dateColumn];
    // A first date that reads in neither order is refused where it stands, by the reading proper.
    FieldTime time;
    if (ReadDateTime(date, DateStyle::YearLast, time) == TimeFault::Date) return true;
    CsvFileReader reader;
    if (!reader.open(src.path)) return run.fail(CannotOpenMessage(FileName(src.path)));
    SkipByteOrderMark(reader);
    int64_t sinceTick = 0;
    std::string_view line;
    // A line the reader refuses ends the look: the reading proper refuses it in its turn.
    while (reader.next(line) == CsvFileReader::Next::Line) {
        if (++sinceTick == kProgressLines) {
            sinceTick = 0;
            if (!run.tick(0)) return false;
        }
        if (const DateStyle shown = DateOrderOfLine(line, layout); shown != DateStyle::YearLast) {
            layout.dateStyle = shown;
            return true;
        }
    }
    const size_t separator = date.find_first_not_of("0123456789");
    if (separator != std::string_view::npos && date[separator] == '.') return true;
    return run.fail(UndecidedDateOrderMessage(FileName(src.path)));
}

// Reads a CSV line by line: its layout from the first lines, then each line's bar, checked and moved to
// its time, handed to `take` (which returns false after setting run.message).
template <class Take>
bool ReadCsvBars(Run& run, const CsvSource& src, CsvLayout& layout, int64_t& barsIn, Take take) {
    const std::string name = FileName(src.path);
    CsvFileReader reader;
    if (!reader.open(src.path)) return run.fail(CannotOpenMessage(name));
    if (LooksUtf16(reader.ahead())) return run.fail(Utf16Message(name));
    SkipByteOrderMark(reader);
    bool haveLayout = false, headerSeen = false;
    int64_t sinceTick = 0;
    std::string_view line;
    for (;;) {
        const CsvFileReader::Next next = reader.next(line);
        if (next == CsvFileReader::Next::End) break;
        if (next == CsvFileReader::Next::TooLong)
            return run.fail(LineTooLongMessage(name, reader.lineNumber()));
        if (next == CsvFileReader::Next::ReadError) return run.fail(ReadErrorMessage(name));
        if (++sinceTick == kProgressLines) {
            sinceTick = 0;
            if (!run.tick(reader.bytesDone())) return false;
        }
        if (IsBlankLine(line)) continue;
        if (!haveLayout) {
            if (!headerSeen && IsHeaderLine(line)) {
                std::string missing;
                if (!ReadHeader(line, layout, missing)) {
                    return run.fail(missing.empty() ? NotRecognisedMessage(name, line)
                                                    : MissingColumnsMessage(name, line, missing));
                }
                headerSeen = true;
                continue;
            }
            if (!headerSeen && !ReadPlainLayout(line, layout))
                return run.fail(NotRecognisedMessage(name, line));
            if (!SettleDateStyle(line, layout)) {
                // Say what is wrong with the line: too few fields, or a date in no known style.
                CsvBar bar;
                ImportFault fault = ReadCsvLine(line, layout, bar);
                if (!fault || fault.kind != ImportFaultKind::Columns)
                    fault = ImportFault{ImportFaultKind::Date};
                fault.line = reader.lineNumber();
                return run.fail(FaultMessage(name, fault, run.width));
            }
            if (layout.dateStyle == DateStyle::YearLast && !SettleDateOrder(run, src, line, layout))
                return false;
            haveLayout = true;
        }
        CsvBar bar;
        ImportFault fault = ReadCsvLine(line, layout, bar);
        if (!fault) fault = CheckPrices(bar, run.width);
        if (!fault) {
            bar.time = (src.toUtc ? bar.time - bar.offset : bar.time) + src.shift;
            if (bar.time < kFirstMinute || bar.time >= kEndMinute) fault.kind = ImportFaultKind::Year;
        }
        if (fault) {
            fault.line = reader.lineNumber();
            return run.fail(FaultMessage(name, fault, run.width));
        }
        ++barsIn;
        if (!take(TimedBar{bar.time, {bar.open, bar.high, bar.low, bar.close}, reader.lineNumber()}))
            return false;
    }
    if (!haveLayout) return run.fail(headerSeen ? HeaderOnlyMessage(name) : EmptyFileMessage(name));
    run.before += reader.bytesDone();
    return true;
}

// Hourly bars on their way out: written, counted, and folded into days when no daily CSV is given.
class HourlyOutput : public BarSink {
  public:
    HourlyOutput(QuoteFileWriter& file, BarSink* days) : file_(file), days_(days) {}
    void take(BarMinute start, const PriceBar& bar) override {
        if (!file_.add(start, bar)) writeFault = true;
        counts.add(start);
        if (days_) days_->take(start, bar);
    }
    BarCounts counts;
    bool writeFault = false;

  private:
    QuoteFileWriter& file_;
    BarSink* days_;
};

class DailyOutput : public BarSink {
  public:
    DailyOutput(QuoteFileWriter& file, int width) : file_(file), width_(width) {}
    void take(BarMinute start, const PriceBar& bar) override {
        if (!file_.add(start, bar)) writeFault = true;
        counts.add(start);
        if (!flat && !flatDays_.add(RoundToField(bar.high, width_), RoundToField(bar.low, width_))) {
            flat = true;
            flatDay = start;
        }
    }
    BarCounts counts;
    bool writeFault = false;
    bool flat = false;  // 24 days with one price were written
    BarMinute flatDay = 0;

  private:
    QuoteFileWriter& file_;
    int width_;
    FlatDays flatDays_;
};

std::vector<ImportGap> Gaps(const BarCounts& counts) {
    std::vector<ImportGap> gaps;
    for (const auto& g : counts.firstGaps) {
        gaps.push_back(
            {DateFromDays(FloorDiv(g.from, kMinutesPerDay)), DateFromDays(FloorDiv(g.to, kMinutesPerDay))});
    }
    return gaps;
}

ImportWarning Warning(ImportWarning::Kind kind, bool daily, int64_t count = 0) {
    ImportWarning w;
    w.kind = kind;
    w.daily = daily;
    w.count = count;
    return w;
}

void Warn(const BarCounts& counts, bool daily, std::vector<ImportWarning>& warnings) {
    for (const auto& g : counts.firstGaps) {
        ImportWarning w = Warning(ImportWarning::Kind::Gap, daily);
        w.from = DateFromDays(FloorDiv(g.from, kMinutesPerDay));
        w.to = DateFromDays(FloorDiv(g.to, kMinutesPerDay));
        warnings.push_back(w);
    }
    const auto listed = static_cast<int64_t>(counts.firstGaps.size());
    if (counts.gaps > listed)
        warnings.push_back(Warning(ImportWarning::Kind::MoreGaps, daily, counts.gaps - listed));
    if (counts.weekendBars > 0)
        warnings.push_back(Warning(ImportWarning::Kind::WeekendBars, daily, counts.weekendBars));
}

void WarnAdjustedClose(const std::string& path, const CsvLayout& layout,
                       std::vector<ImportWarning>& warnings) {
    if (layout.adjustedClose.empty()) return;
    ImportWarning w = Warning(ImportWarning::Kind::AdjustedClose, false);
    w.file = FileName(path);
    w.column = layout.adjustedClose;
    warnings.push_back(w);
}

// The report's name of the order of a date style.
const char* DateOrderName(DateStyle style) {
    switch (style) {
        case DateStyle::DayFirst:
            return "dmy";
        case DateStyle::MonthFirst:
            return "mdy";
        case DateStyle::UnixSeconds:
        case DateStyle::UnixMillis:
        case DateStyle::UnixMicros:
            return "unix";
        default:
            return "ymd";
    }
}

// Why the options cannot import at all; "" when they can.
std::string OptionsRefusal(const ImportOptions& o) {
    if (o.csvPath.empty()) return NoPathMessage("файл CSV");
    if (o.outHourly.empty()) return NoPathMessage("файл для часовых котировок");
    if (o.outDaily.empty()) return NoPathMessage("файл для дневных котировок");
    if (o.shiftHours < -kMaxShiftHours || o.shiftHours > kMaxShiftHours)
        return ShiftRangeMessage(kMaxShiftHours);
    // Replacing an input by an output would lose the user's CSV; two outputs in one file, a quote file.
    for (const std::string* in : {&o.csvPath, &o.dailyCsvPath}) {
        for (const std::string* out : {&o.outHourly, &o.outDaily}) {
            if (!in->empty() && SameFile(*in, *out)) return SameFileMessage(*in, *out);
        }
    }
    if (SameFile(o.outHourly, o.outDaily)) return SameFileMessage(o.outHourly, o.outDaily);
    return {};
}

// The daily CSV of the user's own into the daily file; false with the run's message.
bool ReadDailyCsv(Run& run, const ImportOptions& o, DailyOutput& dayOut, CsvLayout& layout,
                  ImportReport& report) {
    const std::string name = FileName(o.dailyCsvPath);
    DailyCheck check;
    const CsvSource source{o.dailyCsvPath, 0, false, o.dateOrder};
    const bool read = ReadCsvBars(run, source, layout, report.dailyBarsIn, [&](const TimedBar& bar) {
        if (!check.add(bar)) return run.fail(FaultMessage(name, check.fault(), run.width));
        dayOut.take(FloorDiv(bar.time, kMinutesPerDay) * kMinutesPerDay, bar.prices);
        if (!dayOut.flat) return true;
        ImportFault flat{ImportFaultKind::FlatDays, bar.line};
        flat.time = bar.time;
        return run.fail(FaultMessage(name, flat, run.width));
    });
    if (!read) return false;
    if (!check.finish()) return run.fail(FaultMessage(name, check.fault(), run.width));
    report.dailyFormat = layout.format;
    return true;
}

// What the report says of a finished import.
void FillReport(const ImportOptions& o, const CsvLayout& layout, const CsvLayout& dailyLayout,
                const HourBuilder& hours, const HourlyOutput& hourOut, const DailyOutput& dayOut,
                ImportReport& report) {
    report.format = layout.format;
    report.dateOrder = DateOrderName(layout.dateStyle);
    report.spacingMinutes = hours.spacing();
    report.shiftHours = o.shiftHours;
    report.hourlyBarsOut = hourOut.counts.bars;
    report.dailyBarsOut = dayOut.counts.bars;
    report.firstDate = DateFromDays(FloorDiv(hourOut.counts.first, kMinutesPerDay));
    report.lastDate = DateFromDays(FloorDiv(hourOut.counts.last, kMinutesPerDay));
    report.gaps = hourOut.counts.gaps;
    report.firstGaps = Gaps(hourOut.counts);
    report.weekendBars = hourOut.counts.weekendBars;
    report.dailyGaps = dayOut.counts.gaps;
    report.firstDailyGaps = Gaps(dayOut.counts);
    report.dailyWeekendBars = dayOut.counts.weekendBars;
    WarnAdjustedClose(o.csvPath, layout, report.warnings);
    WarnAdjustedClose(o.dailyCsvPath, dailyLayout, report.warnings);
    Warn(hourOut.counts, false, report.warnings);
    Warn(dayOut.counts, true, report.warnings);
}

ImportResult Import(const ImportOptions& o, ImportProgress* progress) {
    ImportResult result;
    auto refuse = [&](std::string message) {
        result.message = std::move(message);
        return result;
    };
    if (std::string refusal = OptionsRefusal(o); !refusal.empty()) return refuse(std::move(refusal));

    Run run;
    run.progress = progress;
    run.width = PriceFieldWidth(o.pair);
    run.total = FileSize(o.csvPath) + (o.dailyCsvPath.empty() ? 0 : FileSize(o.dailyCsvPath));
    QuoteFileWriter hourlyFile(QuoteFileKind::Hourly, o.pair), dailyFile(QuoteFileKind::Daily, o.pair);
    // The writer's own message names the cause (no room, no rights, …).
    auto cannotWrite = [&](const QuoteFileWriter& w, const std::string& path) {
        return refuse(w.error().empty() ? CannotWriteMessage(path) : w.error());
    };
    if (!hourlyFile.open(o.outHourly)) return cannotWrite(hourlyFile, o.outHourly);
    if (!dailyFile.open(o.outDaily)) return cannotWrite(dailyFile, o.outDaily);
    if (!run.tick(0)) return refuse(run.message);

    ImportReport& report = result.report;
    const bool buildDays = o.dailyCsvPath.empty();
    DailyOutput dayOut(dailyFile, run.width);
    DayBuilder dayBuilder(dayOut);
    HourlyOutput hourOut(hourlyFile, buildDays ? &dayBuilder : nullptr);
    HourBuilder hours(hourOut);
    const std::string name = FileName(o.csvPath);
    CsvLayout layout, dailyLayout;
    const CsvSource source{o.csvPath, BarMinute{o.shiftHours} * 60, true, o.dateOrder};
    const bool read = ReadCsvBars(run, source, layout, report.barsIn, [&](const TimedBar& bar) {
        return hours.add(bar) || run.fail(FaultMessage(name, hours.fault(), run.width));
    });
    if (!read) return refuse(run.message);
    if (!hours.finish()) return refuse(FaultMessage(name, hours.fault(), run.width));
    if (hourOut.counts.bars < 2) return refuse(TooFewHoursMessage(name));
    if (buildDays) {
        dayBuilder.finish();
        if (dayOut.flat)
            return refuse(FaultMessage(
                name, ImportFault{ImportFaultKind::FlatDays, 0, -1, 0, 0, dayOut.flatDay}, run.width));
    } else if (!ReadDailyCsv(run, o, dayOut, dailyLayout, report)) {
        return refuse(run.message);
    }
    // Every price was checked against its field, so a line that cannot be formatted is a fault of ours.
    if (hourOut.writeFault || dayOut.writeFault) return refuse(FailedMessage("цена не помещается в поле"));
    if (!hourlyFile.close()) return cannotWrite(hourlyFile, o.outHourly);
    if (!dailyFile.close()) return cannotWrite(dailyFile, o.outDaily);
    if (!run.tick(run.total)) return refuse(run.message);
    if (!hourlyFile.commit()) return cannotWrite(hourlyFile, o.outHourly);
    if (!dailyFile.commit()) return cannotWrite(dailyFile, o.outDaily);
    FillReport(o, layout, dailyLayout, hours, hourOut, dayOut, report);
    result.ok = true;
    return result;
}

std::string GapList(const std::vector<ImportGap>& gaps) {
    std::string list;
    for (const auto& g : gaps) {
        if (!list.empty()) list += ' ';
        list += IsoDate(g.from) + ".." + IsoDate(g.to);
    }
    return list;
}

}  // namespace

ImportResult ImportCsv(const ImportOptions& options, ImportProgress* progress) {
    // The writers remove their temporary files while the exception passes, so a failure leaves nothing.
    try {
        return Import(options, progress);
    } catch (const std::bad_alloc&) {
        return ImportResult{false, NoMemoryMessage(), {}};
    } catch (const std::exception& e) {
        return ImportResult{false, FailedMessage(e.what()), {}};
    } catch (...) {
        return ImportResult{false, FailedMessage("неизвестная ошибка"), {}};
    }
}

std::vector<std::pair<std::string, std::string>> ReportFields(const ImportReport& r) {
    std::vector<std::pair<std::string, std::string>> f = {
        {"Format", r.format},
        {"DailyFormat", r.dailyFormat.empty() ? "from-hourly" : r.dailyFormat},
        {"SpacingMinutes", std::to_string(r.spacingMinutes)},
        {"ShiftHours", std::to_string(r.shiftHours)},
        {"DateOrder", r.dateOrder},
        {"BarsIn", std::to_string(r.barsIn)},
        {"HourlyBarsOut", std::to_string(r.hourlyBarsOut)},
        {"DailyBarsIn", std::to_string(r.dailyBarsIn)},
        {"DailyBarsOut", std::to_string(r.dailyBarsOut)},
        {"FirstDate", IsoDate(r.firstDate)},
        {"LastDate", IsoDate(r.lastDate)},
        {"Gaps", std::to_string(r.gaps)},
        {"GapList", GapList(r.firstGaps)},
        {"WeekendBars", std::to_string(r.weekendBars)},
        {"DailyGaps", std::to_string(r.dailyGaps)},
        {"DailyGapList", GapList(r.firstDailyGaps)},
        {"DailyWeekendBars", std::to_string(r.dailyWeekendBars)},
    };
    for (const auto& w : r.warnings) f.emplace_back("Warning", WarningText(w, IsoDate));
    return f;
}

ImportOutputs DefaultImportOutputs(const std::string& csvPath) {
    const std::filesystem::path p(csvPath);
    const std::string stem = p.stem().string();
    return {(p.parent_path() / (stem + "_H1.PRN")).string(), (p.parent_path() / (stem + "_D1.PRN")).string()};
}

}  // namespace kavro
