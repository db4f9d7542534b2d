#pragma once
// The import's messages and warnings for the user, in the program's language.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "import/import_fault.h"
#include "platform/dates.h"

namespace kavro {

// The window's name of its choice of the order of day and month, which a refusal points to.
inline constexpr const char* kDateOrderChoice = "Порядок в датах";

// A warning of the report: about the bars written, or about how a CSV was read. The front-ends write its
// dates each in their own way.
struct ImportWarning {
    enum class Kind {
        Gap,            // of more than three days: `from`, `to`
        MoreGaps,       // `count` gaps besides those listed
        WeekendBars,    // `count` bars on Saturdays or Sundays
        AdjustedClose,  // `file`'s close was read from its column `column` ("Adj Close")
    };
    Kind kind = Kind::Gap;
    bool daily = false;  // about the daily bars rather than the hourly ones
    Date from, to;
    int64_t count = 0;
    std::string file, column;
};

// The warning for the user, each date as `date` writes it.
std::string WarningText(const ImportWarning& warning, const std::function<std::string(const Date&)>& date);

// "Файл NAME, строка N: ..." for a fault of the file called `name`.
std::string FaultMessage(const std::string& name, const ImportFault& fault, int priceWidth);

std::string CannotOpenMessage(const std::string& name);
std::string ReadErrorMessage(const std::string& name);
std::string EmptyFileMessage(const std::string& name);
std::string HeaderOnlyMessage(const std::string& name);
std::string Utf16Message(const std::string& name);
std::string LineTooLongMessage(const std::string& name, int64_t line);
// Shows the first line, shortened and printable, and what a quote CSV looks like.
std::string NotRecognisedMessage(const std::string& name, std::string_view firstLine);
std::string MissingColumnsMessage(const std::string& name, std::string_view header,
                                  const std::string& missing);
std::string TooFewHoursMessage(const std::string& name);
std::string CannotWriteMessage(const std::string& path);
std::string SameFileMessage(const std::string& a, const std::string& b);
std::string NoPathMessage(const char* what);
std::string ShiftRangeMessage(int limit);
std::string UndecidedDateOrderMessage(const std::string& name);
std::string CancelledMessage();
std::string NoMemoryMessage();
std::string FailedMessage(const char* what);

// At most `limit` characters of a line, with every byte that is not printable text shown as '?'.
std::string PrintableStart(std::string_view line, size_t limit);

}  // namespace kavro
