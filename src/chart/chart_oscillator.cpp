#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>

#include "chart/chart_model.h"
#include "platform/numbers.h"

namespace kavro {

namespace {

void Grow(std::vector<float>& v, size_t size) {
    if (v.size() < size) v.resize(size, 0.0f);
}

// Curve points far outside any window are pinned to the float range; the
// window clips them anyway.
float Narrow(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isnan(v)) return 0.0f;
    return static_cast<float>(std::clamp(v, -kMax, kMax));
}

}  // namespace

void ComputeOscillator(ChartState& st, const TradeJournal& journal, int64_t n, double p) {
    if (n < 0) n = 0;
    const auto size = static_cast<size_t>(n) + 1;
    for (auto* v : {&st.oscEquity, &st.oscHigh, &st.oscLow, &st.oscRaw, &st.oscK, &st.oscD}) Grow(*v, size);
    const std::vector<float>& eq = st.oscEquity;

    st.oscEquitySum = 0;
    for (int64_t j = 1; j <= n; ++j) {
        st.oscEquitySum = st.oscEquitySum + journal.row(static_cast<size_t>(j)).profit;
        st.oscEquity[j] = st.oscEquitySum;
    }

    for (int64_t t = 1; t <= n; ++t) st.oscHigh[t] = st.oscLow[t] = eq[t];
    // From the first trade at or above the period on, the window is that trade
    // and the Int(p) before it (index 0 being 0). Monotone queues give the
    // window's extremes without rescanning it for every trade.
    if (p > 0 && p <= static_cast<double>(n)) {
        const auto m = static_cast<int64_t>(std::floor(p));
        const auto first = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(p)));
        std::deque<int64_t> highs, lows;
        for (int64_t t = first - m; t <= n; ++t) {
            while (!highs.empty() && eq[highs.back()] <= eq[t]) highs.pop_back();
            highs.push_back(t);
            while (!lows.empty() && eq[lows.back()] >= eq[t]) lows.pop_back();
            lows.push_back(t);
            if (t < first) continue;
            while (highs.front() < t - m) highs.pop_front();
            while (lows.front() < t - m) lows.pop_front();
            const float hi = eq[highs.front()], lo = eq[lows.front()];
            st.oscHigh[t] = hi;
            st.oscLow[t] = lo;
            // A flat window has no range: its raw value is 0.
            st.oscRaw[t] = hi == lo ? 0.0f : (eq[t] - lo) / (hi - lo) * 100.0f;
        }
    }

    // Both averages cover the three trades before t, not t itself.
    for (int64_t t = 4; t <= n; ++t)
        st.oscK[t] = (st.oscRaw[t - 2] + st.oscRaw[t - 1] + st.oscRaw[t - 3]) / 3.0f;
    for (int64_t t = 4; t <= n; ++t) st.oscD[t] = (st.oscK[t - 2] + st.oscK[t - 1] + st.oscK[t - 3]) / 3.0f;
}

float ChartModel::curveX(int64_t j) const {
    return Narrow((st_.hScrol2 + st_.sngLeft) * (static_cast<double>(j) - st_.hScrol));
}

// 0 lies on the lowest guide line, 100 on the highest, 8 twips per unit.
float ChartModel::curveY(float value) const {
    return (static_cast<float>(height_) - 800.0f) - 8.0f * value;
}

void ChartModel::drawTo(float x, float y, uint32_t colour) {
    surface_.push_back({penX_, penY_, x, y, colour});
    penX_ = x;
    penY_ = y;
}

void ChartModel::drawCurve(const std::vector<float>& series, int64_t n, double p, uint32_t colour) {
    for (int64_t j = 1; j <= n; ++j) {
        if (!(static_cast<double>(j) >= p)) continue;
        const float x = curveX(j), y = curveY(series[j]);
        if (static_cast<double>(j) == p) {
            penX_ = x;
            penY_ = y;
        }
        drawTo(x, y, colour);
    }
}

void ChartModel::oscillatorClick() {
    // Asked first, so that a cancel or a period of 0 or less leaves the chart as it is.
    const std::optional<std::string> answer = s_.dialogs.inputBox(kOscPrompt, kOscTitle, kOscDefault);
    if (!answer) return;
    const double p = Val(*answer);
    if (!(p > 0)) return;

    for (auto& g : guides_) g.visible = false;
    const int64_t n = std::max<int64_t>(0, s_.run.closedTradeCount);
    const auto size = static_cast<size_t>(n) + 1;
    Grow(st_.oscK, size);
    Grow(st_.oscD, size);
    // Paint the previous curves over at today's pan and zoom; they only vanish
    // where neither changed since they were drawn.
    for (int64_t j = 1; j <= n; ++j) drawTo(curveX(j), curveY(st_.oscK[j]), kColourWindow);
    for (int64_t j = 1; j <= n; ++j) drawTo(curveX(j), curveY(st_.oscD[j]), kColourWindow);

    st_.per = *answer;
    ComputeOscillator(st_, s_.run.journal, n, p);

    static constexpr uint32_t kGuideColour[5] = {kColourBlack, kColourGreen, kColourBlack, kColourGreen,
                                                 kColourBlack};
    for (size_t k = 0; k < guides_.size(); ++k) {
        ChartLine& g = guides_[k];
        g.x1 = 1;
        g.x2 = static_cast<float>(width_);
        g.y1 = g.y2 = static_cast<float>(height_) - kGuideOffsets[k];
        g.colour = kGuideColour[k];
        g.visible = true;
    }

    drawCurve(st_.oscK, n, p, kColourRed);
    drawCurve(st_.oscD, n, p, kColourBlue);
}

}  // namespace kavro
