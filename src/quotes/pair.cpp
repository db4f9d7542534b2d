#include "quotes/pair.h"

namespace kavro {

namespace {

constexpr PairInfo kInfo[] = {
    {"EUR", "EURUSD", 0.0001, 6},
    {"GBP", "GBPUSD", 0.0001, 6},
    {"CHF", "USDCHF", 0.0001, 6},
    {"JPY", "USDJPY", 0.01, 8},
};

bool CommaAt(std::string_view line, int column) {
    return column >= 1 && static_cast<size_t>(column) <= line.size() &&
           line[static_cast<size_t>(column) - 1] == ',';
}

}  // namespace

const PairInfo& InfoOf(Pair pair) {
    return kInfo[static_cast<int>(pair)];
}

std::optional<Pair> PairFromName(std::string_view name) {
    for (Pair p : kPairs)
        if (name == InfoOf(p).name) return p;
    return std::nullopt;
}

QuoteColumns ColumnsOf(QuoteLayout layout, QuoteKind kind) {
    const bool yen = layout == QuoteLayout::Yen;
    if (kind == QuoteKind::Hourly)
        return yen ? QuoteColumns{17, 26, 35, 44, 42} : QuoteColumns{17, 24, 31, 38, 27};
    return yen ? QuoteColumns{12, 21, 30, 39, 35} : QuoteColumns{12, 19, 26, 33, 27};
}

QuoteLayout DetectLayout(std::string_view line, QuoteKind kind) {
    for (QuoteLayout layout : {QuoteLayout::Narrow, QuoteLayout::Yen}) {
        const QuoteColumns c = ColumnsOf(layout, kind);
        // Each price field is followed by its comma: the next field's column less one.
        const int width = c.high - c.open - 1;
        if (CommaAt(line, c.open + width) && CommaAt(line, c.high + width) && CommaAt(line, c.low + width) &&
            CommaAt(line, c.close + width))
            return layout;
    }
    return QuoteLayout::Unknown;
}

const char* LayoutPairs(QuoteLayout layout) {
    switch (layout) {
        case QuoteLayout::Narrow:
            return "EUR, GBP, CHF";
        case QuoteLayout::Yen:
            return "JPY";
        case QuoteLayout::Unknown:
            break;
    }
    return "";
}

}  // namespace kavro
