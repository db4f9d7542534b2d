#include "engine/run_state.h"

#include "platform/numbers.h"

namespace kavro {

void Settings::capture(Pair pair, const std::string& pointValueText, const std::string& costText) {
    U = pair == Pair::JPY ? 0.01f : 0.0001f;
    Q = static_cast<float>(Val(pointValueText));
    J = static_cast<float>(Val(costText));
    E = static_cast<float>(1.0 / static_cast<double>(U));
}

void Settings::setDistances(double tp, double sl, double st) {
    const double u = U;
    TP = static_cast<float>(tp * u);
    SL = static_cast<float>(sl * u);
    ST = static_cast<float>(st * u);
    TP1 = static_cast<float>(tp);
    SL1 = static_cast<float>(sl);
    ST1 = static_cast<float>(st);
}

}  // namespace kavro
