#pragma once
// Writes an hourly or a daily quote file in the program's fixed-column layout, under a temporary name
// beside its target, and puts it in place only when it is complete.
#include <cstdint>
#include <string>

#include "import/bar_series.h"
#include "platform/atomic_file.h"
#include "quotes/quote_store.h"

namespace kavro {

enum class QuoteFileKind { Hourly, Daily };

// One line of a quote file without its line end: "20190102 08:00  1.1445,1.1447,1.1443,1.1445," (hourly)
// or "20020101   0.8918,0.8919,0.8863,0.8896," (daily), each price in PriceFieldWidth(pair) characters.
// False when a price does not fit its field.
bool FormatQuoteLine(QuoteFileKind kind, Pair pair, BarMinute start, const PriceBar& bar, std::string& line);

class QuoteFileWriter {
  public:
    QuoteFileWriter(QuoteFileKind kind, Pair pair) : kind_(kind), pair_(pair) {}
    QuoteFileWriter(const QuoteFileWriter&) = delete;
    QuoteFileWriter& operator=(const QuoteFileWriter&) = delete;

    // Creates the temporary file in the target's folder. False when it cannot be created.
    bool open(const std::string& target);
    // Appends a bar's line, ended by CR LF. False when a price does not fit (nothing is written then).
    bool add(BarMinute start, const PriceBar& bar);
    // Writes out and closes the temporary file; false on a write error.
    bool close();
    // Replaces the target by the closed temporary file; false when it cannot.
    bool commit();
    void discard();

    // Why the last open, write, close or commit failed, cause included; empty when none did.
    const std::string& error() const { return error_; }

  private:
    bool flush();

    QuoteFileKind kind_;
    Pair pair_;
    PendingFile file_;  // removed on destruction unless committed
    std::string error_;
    std::string buffer_, line_;
    bool open_ = false, failed_ = false;
};

}  // namespace kavro
