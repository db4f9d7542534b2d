#pragma once
// The chart window Form2: paints the chart model and feeds it keys and mouse.
#include <QImage>
#include <QWidget>
#include <string>

#include "chart/chart_model.h"
#include "program/session.h"

class QPlainTextEdit;
class QPushButton;

namespace kavro {

// Opens (not modal) the chart window of the current trade journal; the
// returned window deletes itself when closed. While one is open for the
// session, it is shown again instead of building a second one.
QWidget* OpenChartWindow(Session& s, QWidget* owner);

// Form2: draws a ChartModel at 15 twips per pixel and feeds it keys and mouse.
class ChartWindow : public QWidget {
    Q_OBJECT
  public:
    ChartWindow(Session& s, QWidget* owner);

    // Builds the chart from the journal; before the window is first shown.
    void load();
    // The Graf command's size and place: 7824 x 6000 twips at the screen's top left.
    void placeForGraf();

    Session& session() const { return s_; }
    ChartModel& model() { return model_; }
    QPlainTextEdit* infoBox() const { return text1_; }
    QPushButton* oscButton() const { return command1_; }
    bool isClosing() const { return closing_; }
    // The oscillator layer: what the curves have painted so far.
    const QImage& surface() const { return surface_; }

    // Outer size in twips, frame included.
    double outerWidth() const;
    double outerHeight() const;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void oscClicked();
    bool handleKey(QKeyEvent* e);
    void syncControls();
    void fitInfoBox();
    void paintSurfaceLines();
    void growSurface();

    // Holds a close back while the model runs a nested event loop (the fit
    // pass's yields, the period's input box): the model must outlive the call.
    class Busy;
    int busy_ = 0;
    bool closePending_ = false;
    bool closing_ = false;

    Session& s_;
    ChartModel model_;
    QPlainTextEdit* text1_;
    QPushButton* command1_;
    QImage surface_;
    std::string shownText_;  // the info text the box holds
};

}  // namespace kavro
