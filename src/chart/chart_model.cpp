#include "chart/chart_model.h"

#include <cmath>
#include <limits>

#include "platform/numbers.h"

namespace kavro {

namespace {

// A position or size is kept as a 32-bit float; one that does not fit is a
// failure of the step that computed it.
bool StoreSingle(double v, float& out) {
    if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max()) return false;
    out = static_cast<float>(v);
    return true;
}

void SetBarLeft(ChartState& st, int64_t i, float left) {
    const auto idx = static_cast<size_t>(i);
    if (idx >= st.barLeft.size()) st.barLeft.resize(idx + 1, 0.0f);
    st.barLeft[idx] = left;
}

void Apply(ChartBar& bar, const BarPlacement& p, float result) {
    bar.left = p.left;
    bar.top = p.top;
    bar.height = p.height;
    if (result < 0) bar.lossStyle = 1;
}

}  // namespace

bool LayOutBar(float result, double d, double s, double o, int64_t i, float level, BarPlacement& out) {
    if (d == 0) return false;
    const double r = result;
    const double h = std::fabs(r / d);
    BarPlacement p;
    double top = level, next = level;
    if (r > 0) {
        top = next = level - h;
    } else if (r < 0) {
        next = level + h;
    }
    if (!StoreSingle((static_cast<double>(i) - o) * s, p.left) || !StoreSingle(h, p.height) ||
        !StoreSingle(top, p.top) || !StoreSingle(next, p.level))
        return false;
    out = p;
    return true;
}

BarSpacing BuildSpacing(float outerWidth, float n) {
    const float room = outerWidth - 300.0f;
    const float each = room / n;
    BarSpacing b{std::floor(each - each / 5.0f), std::floor(each)};
    if (room / 100.0f > n) b = {80.0f, 100.0f};
    return b;
}

BoxPosition PlaceInfoBox(float x, float y, double outerHeight) {
    const float upper = static_cast<float>(outerHeight - 3400);
    const float lower = static_cast<float>(outerHeight - 1800);
    if (y < upper) return {x, y};
    if (y <= lower) return {x, y - kInfoHeight};  // the box ends at the pointer
    return {x, upper};
}

std::string TradeRecordText(const RunState& run, int64_t k, const Locale& locale) {
    const JournalRow& r = run.journal.row(static_cast<size_t>(k));
    auto number = [&](const std::optional<float>& v) {
        return v ? FormatGeneral(*v, locale) : std::string();
    };
    auto date = [](const std::optional<DateText>& d) { return d ? std::string(d->view()) : std::string(); };
    const std::string nl = "\r\n";
    return std::string(SideText(r.side)) + " $" + FormatGeneral(r.profit, locale) + nl +  //
           "Дата открытия-" + date(r.entryDate) + nl +                                    //
           "Цена открытия-" + number(r.entryPrice) + nl +                                 //
           "Дата закрытия-" + date(r.exitDate) + nl +                                     //
           "Цена закрытия-" + number(r.exitPrice) + nl +                                  //
           "Результат-$" + number(r.equity) + nl +                                        //
           "Прибыльные сделки" + FormatGeneral(static_cast<float>(run.winCount), locale) + nl +
           "Убыточные сделки" + FormatGeneral(static_cast<float>(run.lossCount), locale);
}

ChartModel::ChartModel(const ChartEnv& env) : s_(env), st_(env.chart) {}

void ChartModel::build(double outerWidth) {
    caption_ = InfoOf(s_.pair).symbol;
    const int64_t n = std::max<int64_t>(0, s_.run.closedTradeCount);
    barLevel_.assign(static_cast<size_t>(n) + 1, 0.0f);
    st_.sngTop = 5;
    st_.vScrol2 = 5;
    st_.vScrol = 4000;
    barLevel_[0] = 4000;
    // No trade: nothing to space out, the window shows only its controls.
    if (n == 0) return;

    const BarSpacing sp = BuildSpacing(static_cast<float>(outerWidth), static_cast<float>(n));
    st_.sngWidth = sp.width;
    st_.sngLeft = sp.left;
    if (!(sp.width >= 0)) return;  // a bar cannot have a negative width
    templateWidth_ = sp.width;

    // Fit pass: flatten the staircase a little for every bar whose top would lie
    // in the top 300 twips. Reads the journal afresh each step, as events run.
    for (int64_t i = 1; i <= n; ++i) {
        s_.pump.yield();
        BarPlacement p;
        if (!LayOutBar(s_.run.journal.row(i).profit, st_.sngTop, st_.sngLeft, 0, i, barLevel_[i - 1], p))
            return;
        barLevel_[i] = p.level;
        if (p.top < 300) st_.sngTop += 0.1;
    }

    float base = 0;
    if (!StoreSingle(st_.vScrol, base)) return;
    barLevel_[0] = base;
    bars_.reserve(static_cast<size_t>(n));
    for (int64_t i = 1; i <= n; ++i) {
        ChartBar bar;
        bar.width = templateWidth_;
        bar.visible = true;
        bars_.push_back(bar);
        const float r = s_.run.journal.row(i).profit;
        BarPlacement p;
        if (!LayOutBar(r, st_.sngTop, st_.sngLeft, 0, i, barLevel_[i - 1], p)) return;
        Apply(bars_.back(), p, r);
        barLevel_[i] = p.level;
        SetBarLeft(st_, i, p.left);
    }
}

void ChartModel::resize(double outerWidth, double outerHeight) {
    width_ = outerWidth;
    height_ = outerHeight;
    commandLeft_ = static_cast<float>(outerWidth) - 585.0f;
    for (size_t k = 0; k < guides_.size(); ++k) {
        ChartLine& g = guides_[k];
        g.x1 = 1;
        g.x2 = static_cast<float>(outerWidth);
        g.y1 = g.y2 = static_cast<float>(outerHeight) - kGuideOffsets[k];
    }
}

float ChartModel::barLeft(int64_t i) const {
    if (i < 0 || static_cast<uint64_t>(i) >= st_.barLeft.size()) return 0;
    return st_.barLeft[static_cast<size_t>(i)];
}

void ChartModel::keyDown(int keyCode, int shift) {
    if (keyCode < kKeyLeft || keyCode > kKeyDown) return;
    if (shift == kShiftOnly) {
        st_.lastShiftArrowKey = keyCode;
        switch (keyCode) {
            case kKeyLeft:
                st_.hScrol2 -= 1;
                return h2Change();
            case kKeyRight:
                st_.hScrol2 += 1;
                return h2Change();
            case kKeyUp:
                st_.vScrol2 -= 1;
                return v2Change();
            default:
                st_.vScrol2 += 1;
                return v2Change();
        }
    }
    st_.lastArrowKey = keyCode;
    switch (keyCode) {
        case kKeyLeft:
            st_.hScrol += 10;
            return h1Change();
        case kKeyRight:
            st_.hScrol -= 10;
            return h1Change();
        case kKeyUp:
            st_.vScrol -= 50;
            return v1Change();
        default:
            st_.vScrol += 50;
            return v1Change();
    }
}

void ChartModel::v1Change() {
    relayout(Relayout::V1);
}
void ChartModel::v2Change() {
    relayout(Relayout::V2);
}
void ChartModel::h1Change() {
    relayout(Relayout::H1);
}
void ChartModel::h2Change() {
    relayout(Relayout::H2);
}

// Lines follow the chart only roughly: a zoom shifts their ends by fixed amounts.
bool ChartModel::moveUserLines(Relayout kind) {
    double dx1 = 0, dx2 = 0, dy = 0;
    const double spacing = st_.hScrol2 + st_.sngLeft;
    switch (kind) {
        case Relayout::V1:
            if (st_.lastArrowKey == kKeyUp) dy = -50;
            if (st_.lastArrowKey == kKeyDown) dy = 50;
            break;
        case Relayout::H1:
            if (st_.lastArrowKey == kKeyLeft) dx1 = dx2 = -10 * spacing;
            if (st_.lastArrowKey == kKeyRight) dx1 = dx2 = 10 * spacing;
            break;
        case Relayout::H2:
            if (st_.lastShiftArrowKey == kKeyLeft) {
                dx1 = -(st_.sngLeft - 60);
                dx2 = -60 + st_.hScrol2;
            }
            if (st_.lastShiftArrowKey == kKeyRight) {
                dx1 = st_.sngLeft - 60;
                dx2 = 60 - st_.hScrol2;
            }
            break;
        case Relayout::V2:
            return true;
    }
    for (auto& [index, l] : lines_) {
        ChartLine m = l;
        if (!StoreSingle(l.x1 + dx1, m.x1) || !StoreSingle(l.x2 + dx2, m.x2) ||
            !StoreSingle(l.y1 + dy, m.y1) || !StoreSingle(l.y2 + dy, m.y2))
            return false;
        l = m;
    }
    return true;
}

// Lays out every bar again. Stops at the first failure (a divisor of 0, a
// negative width, a trade without a bar) and leaves the rest where they were.
void ChartModel::relayout(Relayout kind) {
    if (!moveUserLines(kind) || barLevel_.empty()) return;
    const int64_t n = s_.run.closedTradeCount;
    if (!StoreSingle(st_.vScrol, barLevel_[0])) return;
    const double spacing = st_.hScrol2 + st_.sngLeft;
    const bool sideways = kind == Relayout::H1 || kind == Relayout::H2;
    for (int64_t i = 1; i <= n; ++i) {
        const auto idx = static_cast<size_t>(i);
        if (idx > bars_.size() || idx >= barLevel_.size()) return;
        ChartBar& bar = bars_[idx - 1];
        bar.visible = true;
        if (kind == Relayout::H2) {
            float width = 0;
            if (!StoreSingle(st_.hScrol2 + st_.sngWidth, width) || width < 0) return;
            bar.width = width;
        }
        const float r = s_.run.journal.row(idx).profit;
        BarPlacement p;
        if (!LayOutBar(r, st_.vScrol2, spacing, st_.hScrol, i, barLevel_[idx - 1], p)) return;
        Apply(bar, p, r);
        barLevel_[idx] = p.level;
        if (sideways) SetBarLeft(st_, i, p.left);
    }
}

ChartLine* ChartModel::line(int64_t index) {
    auto it = lines_.find(index);
    return it == lines_.end() ? nullptr : &it->second;
}

const ChartLine* ChartModel::userLine(int64_t index) const {
    auto it = lines_.find(index);
    return it == lines_.end() ? nullptr : &it->second;
}

void ChartModel::mouseDown(int button, float x, float y) {
    if (button != kButtonLeft) return;
    const int64_t index = ++st_.drawnLineCount;
    ChartLine& l = lines_[index];
    l = ChartLine{x, y, x, y, kColourRed, true};
    crossHair_ = true;
}

void ChartModel::mouseMove(int buttons, float x, float y) {
    inspect(buttons, x, y);
    if (buttons != kButtonLeft) return;
    crossHair_ = true;
    if (ChartLine* l = line(st_.drawnLineCount)) {
        l->x2 = x;
        l->y2 = y;
    }
}

void ChartModel::mouseUp(int button) {
    if (button == kButtonLeft) crossHair_ = false;
}

void ChartModel::doubleClick() {
    for (auto& [index, l] : lines_) l.visible = false;
}

std::optional<int64_t> ChartModel::tradeUnder(float x) const {
    const double w = st_.hScrol2 + st_.sngLeft;
    const double k = w < 1 ? 0.0 : Int(st_.hScrol + x / w);
    // A negative k has neither a table entry nor a journal row; the box keeps its text.
    if (!(k >= 0 && k < 9.0e15)) return std::nullopt;
    const auto row = static_cast<int64_t>(k);
    const double left = barLeft(row);
    if (!(left - w < x && x < left + w)) return std::nullopt;
    // The journal has a row for every hourly bar loaded.
    const bool exists = static_cast<uint64_t>(row) < s_.run.journal.size() || row <= s_.store.hourBarCount;
    if (!exists) return std::nullopt;
    return row;
}

void ChartModel::inspect(int buttons, float x, float y) {
    if (auto k = tradeUnder(x)) infoText_ = TradeRecordText(s_.run, *k, s_.locale);
    if (buttons == kButtonRight) infoPos_ = PlaceInfoBox(x, y, height_);
}

std::vector<SurfaceLine> ChartModel::takeSurfaceLines() {
    std::vector<SurfaceLine> out;
    out.swap(surface_);
    return out;
}

}  // namespace kavro
