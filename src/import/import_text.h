#pragma once
// The import's messages and warnings for the user, in the program's language.
#include <cstdint>
#include <string>
#include <string_view>

#include "import/import_fault.h"

namespace kavro {

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
std::string CancelledMessage();
std::string NoMemoryMessage();
std::string FailedMessage(const char* what);

// At most `limit` characters of a line, with every byte that is not printable text shown as '?'.
std::string PrintableStart(std::string_view line, size_t limit);

// Warnings of the report about the hourly or the daily bars written.
std::string GapWarning(bool daily, int64_t fromDay, int64_t toDay);
std::string MoreGapsWarning(bool daily, int64_t more);
std::string WeekendWarning(bool daily, int64_t bars);

}  // namespace kavro
