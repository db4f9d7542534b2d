#pragma once
// The four currency pairs: names, point sizes and the quote files' column layouts.
#include <array>
#include <optional>
#include <string_view>

namespace kavro {

enum class Pair { EUR, GBP, CHF, JPY };

// The pairs in the order of the window's option buttons.
inline constexpr std::array<Pair, 4> kPairs = {Pair::EUR, Pair::GBP, Pair::CHF, Pair::JPY};

// Everything that differs between the pairs, in one table.
struct PairInfo {
    const char* name;    // "EUR": the option button's caption and the batch runner's --pair
    const char* symbol;  // "EURUSD": the chart's caption and the file names
    double pointSize;    // 0.0001, or 0.01 for the yen
    int priceWidth;      // characters of a price field in the quote files
};

const PairInfo& InfoOf(Pair pair);
inline const char* PairName(Pair pair) {
    return InfoOf(pair).name;
}
// The point size as a pass holds it (64-bit), and as the captured settings hold it (32-bit).
inline double PointSize(Pair pair) {
    return InfoOf(pair).pointSize;
}
inline float PointSizeSingle(Pair pair) {
    return static_cast<float>(InfoOf(pair).pointSize);
}
// "EUR", "GBP", "CHF", "JPY"; nothing for any other text.
std::optional<Pair> PairFromName(std::string_view name);

// The column layout of a quote file: EUR, GBP and CHF share the narrow one, the yen has its own.
enum class QuoteLayout { Unknown, Narrow, Yen };
enum class QuoteKind { Hourly, Daily };

inline QuoteLayout LayoutOf(Pair pair) {
    return pair == Pair::JPY ? QuoteLayout::Yen : QuoteLayout::Narrow;
}
// The layout a quote line is written in, told by the comma after each price
// field; Unknown when neither layout's commas stand where they should.
QuoteLayout DetectLayout(std::string_view line, QuoteKind kind);
// The pairs a layout serves, for messages: "EUR, GBP, CHF" or "JPY".
const char* LayoutPairs(QuoteLayout layout);

// The 1-based columns of the price fields and the length of the price block.
struct QuoteColumns {
    int open, high, low, close, block;
};
QuoteColumns ColumnsOf(QuoteLayout layout, QuoteKind kind);

}  // namespace kavro
