#pragma once
// The chart without a window: staircase, pan and zoom, user lines, inspection, oscillator.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_state.h"
#include "engine/run_fields.h"
#include "engine/run_state.h"
#include "platform/locale.h"
#include "platform/ports.h"
#include "quotes/quote_store.h"

namespace kavro {

// Colours as the window system stores them: red in the low byte; values with
// the top bit set name a system colour.
inline constexpr uint32_t kColourBlack = 0x000000;
inline constexpr uint32_t kColourRed = 0x0000FF;
inline constexpr uint32_t kColourGreen = 0x00FF00;
inline constexpr uint32_t kColourBlue = 0xFF0000;
inline constexpr uint32_t kColourWindow = 0x80000005;       // window background
inline constexpr uint32_t kColourWindowFrame = 0x80000006;  // bar outline

// Fixed geometry of the window (twips).
inline constexpr double kTwipsPerPixel = 15;
inline constexpr double kClientWidth = 7725, kClientHeight = 5625;       // as created
inline constexpr double kGrafWidth = 7824, kGrafHeight = 6000;           // set by the Graf command
inline constexpr float kInfoWidth = 2055, kInfoHeight = 1695;            // Text1
inline constexpr float kOcLeft = 7220, kOcWidth = 495, kOcHeight = 375;  // Command1 as created
// Guide lines Line2 .. Line6 (levels 0, 20, 50, 80, 100): distance above the outer height.
inline constexpr std::array<float, 5> kGuideOffsets = {800, 960, 1200, 1440, 1600};

// Texts of the window.
inline constexpr const char* kOscPrompt = "Введите период осцилятора";
inline constexpr const char* kOscTitle = "Oc";
inline constexpr const char* kOscDefault = "12";

// Arrow key codes and the shift state that counts as Shift.
enum ArrowKey { kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40 };
inline constexpr int kShiftOnly = 1;
// Mouse buttons as a set: the value of a held combination.
inline constexpr int kButtonLeft = 1, kButtonRight = 2;

// One bar of the staircase (twips). A copy of the hidden template.
struct ChartBar {
    float left = 360, top = 120, width = 80, height = 252;
    bool visible = false;
    int lossStyle = 0;  // 1 for a losing trade
};

// A straight line on the chart: a user line or an oscillator guide.
struct ChartLine {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint32_t colour = kColourBlack;
    bool visible = false;
    friend bool operator==(const ChartLine&, const ChartLine&) = default;
};

// A line drawn on the window's own surface (the oscillator curves and their erasure).
struct SurfaceLine {
    float x1, y1, x2, y2;
    uint32_t colour;
    friend bool operator==(const SurfaceLine&, const SurfaceLine&) = default;
};

// Where the bar layout puts one trade.
struct BarPlacement {
    float left = 0, top = 0, height = 0;
    float level = 0;  // the staircase level after the trade
};

// The bar layout of trade i with divisor d, spacing s and offset o, from the
// level the previous trade left. False where the arithmetic fails: a divisor
// of 0, or a position beyond a 32-bit float.
bool LayOutBar(float result, double d, double s, double o, int64_t i, float level, BarPlacement& out);

// Bar width and spacing of the build: n trades in a window `outerWidth` twips wide.
struct BarSpacing {
    float width = 0, left = 0;
};
BarSpacing BuildSpacing(float outerWidth, float n);

// The info box's top left while it is dragged with the pointer at (x, y).
struct BoxPosition {
    float left = 0, top = 0;
};
BoxPosition PlaceInfoBox(float x, float y, double outerHeight);

// The eight-line record of journal row k shown by the info box.
std::string TradeRecordText(const RunState& run, int64_t k, const Locale& locale);

// The oscillator's series for the first n trades at period p (p > 0): equity,
// window extremes, raw stochastic, %K and %D. Grows the series as needed.
void ComputeOscillator(ChartState& st, const TradeJournal& journal, int64_t n, double p);

// What the chart reads and keeps: the journal and its counts, the pair for the
// caption, its own variables that outlive the window, and the ports for the
// fit pass's yields and the period's input box.
struct ChartEnv {
    const QuoteStore& store;
    const RunState& run;
    const Pair& pair;  // the selected pair, for the caption
    ChartState& chart;
    EventPump& pump;
    Dialogs& dialogs;
    const Locale& locale;
};

// The chart window without a window: one opening's bars, lines and info box,
// over the variables that outlive it. Coordinates are twips.
class ChartModel {
  public:
    explicit ChartModel(const ChartEnv& env);

    // The load: caption, then the build measured at the given outer width.
    void build(double outerWidth);
    // The resize handler, given the window's outer size.
    void resize(double outerWidth, double outerHeight);

    void keyDown(int keyCode, int shift);
    void mouseDown(int button, float x, float y);
    void mouseMove(int buttons, float x, float y);
    void mouseUp(int button);
    void doubleClick();
    void oscillatorClick();

    // The four re-layouts the arrow keys run.
    void v1Change();
    void v2Change();
    void h1Change();
    void h2Change();

    // The trade whose record the pointer at x shows, or nothing when it shows none.
    std::optional<int64_t> tradeUnder(float x) const;

    const std::string& caption() const { return caption_; }
    const std::vector<ChartBar>& bars() const { return bars_; }  // bar i at [i - 1]
    const std::vector<float>& barLevel() const { return barLevel_; }
    float templateWidth() const { return templateWidth_; }
    float barLeft(int64_t i) const;

    // User line `index`, or null where this opening has none.
    const ChartLine* userLine(int64_t index) const;
    const std::map<int64_t, ChartLine>& userLines() const { return lines_; }
    // Line2 .. Line6: the levels 0, 20, 50, 80, 100.
    const std::array<ChartLine, 5>& guides() const { return guides_; }

    const std::string& infoText() const { return infoText_; }
    BoxPosition infoPosition() const { return infoPos_; }
    float commandLeft() const { return commandLeft_; }
    bool crossHair() const { return crossHair_; }
    float penX() const { return penX_; }
    float penY() const { return penY_; }

    // Surface lines drawn since the last call, oldest first.
    std::vector<SurfaceLine> takeSurfaceLines();
    const std::vector<SurfaceLine>& pendingSurfaceLines() const { return surface_; }

    double outerWidth() const { return width_; }
    double outerHeight() const { return height_; }

  private:
    enum class Relayout { V1, V2, H1, H2 };
    void relayout(Relayout kind);
    bool moveUserLines(Relayout kind);
    void inspect(int buttons, float x, float y);
    ChartLine* line(int64_t index);
    void drawTo(float x, float y, uint32_t colour);
    void drawCurve(const std::vector<float>& series, int64_t n, double p, uint32_t colour);
    float curveX(int64_t j) const;
    float curveY(float value) const;

    ChartEnv s_;
    ChartState& st_;
    std::string caption_;
    std::vector<float> barLevel_;
    std::vector<ChartBar> bars_;
    float templateWidth_ = 80;
    std::map<int64_t, ChartLine> lines_;  // this opening's user lines by index
    std::array<ChartLine, 5> guides_{};
    std::string infoText_;
    BoxPosition infoPos_{0, 0};
    float commandLeft_ = kOcLeft;
    bool crossHair_ = false;
    float penX_ = 0, penY_ = 0;
    std::vector<SurfaceLine> surface_;
    double width_ = kClientWidth, height_ = kClientHeight;
};

}  // namespace kavro
