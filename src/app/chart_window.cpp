#include "app/chart_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "app/window_placement.h"
#include "platform/numbers.h"

namespace kavro {

namespace {

// Pixels a widget position may take; anything beyond is off screen anyway.
constexpr double kPixelLimit = 1.0e6;

int ToPixels(double twips) {
    const double px = twips / kTwipsPerPixel;
    if (std::isnan(px)) return 0;
    return static_cast<int>(RoundHalfEven(std::clamp(px, -kPixelLimit, kPixelLimit)));
}

QColor ToColour(uint32_t c, const QPalette& palette) {
    if (c == kColourWindow) return palette.color(QPalette::Base);
    if (c == kColourWindowFrame) return palette.color(QPalette::WindowText);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Clips a segment (pixels) to `r`; false when nothing of it is inside. Keeps
// painters away from coordinates far beyond the device.
bool ClipSegment(QLineF& l, const QRectF& r) {
    double x0 = l.x1(), y0 = l.y1(), x1 = l.x2(), y1 = l.y2();
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
    const double dx = x1 - x0, dy = y1 - y0;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - r.left(), r.right() - x0, y0 - r.top(), r.bottom() - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    l = QLineF(x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy);
    return true;
}

void DrawTwipsLine(QPainter& p, const QRectF& clip, float x1, float y1, float x2, float y2, const QColor& c,
                   Qt::PenCapStyle cap = Qt::SquareCap) {
    QLineF l(x1 / kTwipsPerPixel, y1 / kTwipsPerPixel, x2 / kTwipsPerPixel, y2 / kTwipsPerPixel);
    if (!ClipSegment(l, clip)) return;
    p.setPen(QPen(c, 0, Qt::SolidLine, cap));
    p.drawLine(l);
}

int MouseButtonValue(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? kButtonLeft : 0) | (b & Qt::RightButton ? kButtonRight : 0) |
           (b & Qt::MiddleButton ? 4 : 0);
}

}  // namespace

class ChartWindow::Busy {
  public:
    explicit Busy(ChartWindow* w) : w_(w) { ++w_->busy_; }
    ~Busy() {
        if (--w_->busy_ == 0 && w_->closePending_) {
            w_->closePending_ = false;
            w_->close();
        }
    }

  private:
    ChartWindow* w_;
};

ChartWindow::ChartWindow(Session& s, QWidget* owner)
    : QWidget(owner, Qt::Window),
      s_(s),
      model_(s),
      text1_(new QPlainTextEdit(this)),
      command1_(new QPushButton(QStringLiteral("Oc"), this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    resize(ToPixels(kClientWidth), ToPixels(kClientHeight));

    text1_->setReadOnly(true);
    text1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text1_->setGeometry(0, 0, ToPixels(kInfoWidth), ToPixels(kInfoHeight));
    QPalette info = text1_->palette();
    info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
    info.setColor(QPalette::Text, info.color(QPalette::ToolTipText));
    text1_->setPalette(info);
    // The box keeps the platform's font and grows to its text instead (fitInfoBox),
    // so it never needs to scroll.
    text1_->document()->setDocumentMargin(2);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->installEventFilter(this);

    command1_->setGeometry(ToPixels(kOcLeft), 0, ToPixels(kOcWidth), ToPixels(kOcHeight));
    command1_->installEventFilter(this);
    connect(command1_, &QPushButton::clicked, this, &ChartWindow::oscClicked);
    growSurface();
}

double ChartWindow::outerWidth() const {
    return frameGeometry().width() * kTwipsPerPixel;
}
double ChartWindow::outerHeight() const {
    return frameGeometry().height() * kTwipsPerPixel;
}

void ChartWindow::load() {
    Busy busy(this);
    // The build measures the window as created, before the Graf command sizes it.
    model_.build(outerWidth());
    setWindowTitle(QString::fromStdString(model_.caption()));
    update();
}

void ChartWindow::placeForGraf() {
    const QSize outer(ToPixels(kGrafWidth), ToPixels(kGrafHeight));
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(outer - frame);
    if (QScreen* sc = screen()) move(sc->availableGeometry().topLeft());
    // Its frame is known only once shown: the title bar must not end up above the screen.
    KeepOnScreen(this);
}

// Room for every line of the info box in full: the widest line's advance and
// the lines' height in the box's own font, plus the document margin, the frame
// and the pixel the plain-text view keeps free for its caret and below its last
// line. The box only grows, so that it does not jump in size while the pointer
// runs over trades with shorter numbers, and never falls below its designed size.
void ChartWindow::fitInfoBox() {
    const QFontMetricsF fm(text1_->font());
    const QStringList lines = text1_->toPlainText().split(QLatin1Char('\n'));
    qreal textWidth = 0;
    for (const QString& line : lines) textWidth = std::max(textWidth, fm.horizontalAdvance(line));
    const qreal margin = text1_->document()->documentMargin();
    const int frame = 2 * text1_->frameWidth();
    const QSize text(int(std::ceil(textWidth + 2 * margin)) + 1 + frame,
                     int(std::ceil(lines.size() * fm.lineSpacing() + 2 * margin)) + 1 + frame);
    const QSize designed(ToPixels(kInfoWidth), ToPixels(kInfoHeight));
    const QSize size = text1_->size().expandedTo(text).expandedTo(designed);
    if (size != text1_->size()) text1_->resize(size);
}

void ChartWindow::syncControls() {
    if (shownText_ != model_.infoText()) {
        shownText_ = model_.infoText();
        text1_->setPlainText(QString::fromStdString(shownText_).replace(QStringLiteral("\r\n"), "\n"));
        fitInfoBox();
    }
    const BoxPosition box = model_.infoPosition();
    text1_->move(ToPixels(box.left), ToPixels(box.top));
    command1_->move(ToPixels(model_.commandLeft()), 0);
    const Qt::CursorShape shape = model_.crossHair() ? Qt::CrossCursor : Qt::ArrowCursor;
    if (cursor().shape() != shape) setCursor(shape);
}

// Arrow keys go to the chart whichever control has the focus.
bool ChartWindow::handleKey(QKeyEvent* e) {
    int code = 0;
    switch (e->key()) {
        case Qt::Key_Left:
            code = kKeyLeft;
            break;
        case Qt::Key_Up:
            code = kKeyUp;
            break;
        case Qt::Key_Right:
            code = kKeyRight;
            break;
        case Qt::Key_Down:
            code = kKeyDown;
            break;
        default:
            return false;
    }
    const Qt::KeyboardModifiers m = e->modifiers();
    const int shift =
        (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
    model_.keyDown(code, shift);
    update();
    return true;
}

bool ChartWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == text1_ || watched == command1_) {
        if (e->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(e);
            const bool arrow = handleKey(key);
            // The info box takes no key (Tab still moves the focus on), so it
            // cannot be edited and its caret stays put.
            const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
            return arrow || (watched == text1_ && !tab);
        }
        if (watched == text1_ && (e->type() == QEvent::KeyRelease || e->type() == QEvent::ShortcutOverride ||
                                  e->type() == QEvent::InputMethod))
            return true;
    }
    return QWidget::eventFilter(watched, e);
}

void ChartWindow::keyPressEvent(QKeyEvent* e) {
    if (!handleKey(e)) QWidget::keyPressEvent(e);
}

void ChartWindow::mousePressEvent(QMouseEvent* e) {
    const QPointF pos = e->position() * kTwipsPerPixel;
    model_.mouseDown(MouseButtonValue(e->button()), float(pos.x()), float(pos.y()));
    syncControls();
    update();
}

void ChartWindow::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = e->position() * kTwipsPerPixel;
    model_.mouseMove(MouseButtonValue(e->buttons()), float(pos.x()), float(pos.y()));
    syncControls();
    if (e->buttons() != Qt::NoButton) update();
}

void ChartWindow::mouseReleaseEvent(QMouseEvent* e) {
    model_.mouseUp(MouseButtonValue(e->button()));
    syncControls();
}

void ChartWindow::mouseDoubleClickEvent(QMouseEvent*) {
    // Not a second press: a double-click only hides the lines.
    model_.doubleClick();
    update();
}

void ChartWindow::closeEvent(QCloseEvent* e) {
    if (busy_ > 0) {
        closePending_ = true;
        e->ignore();
        return;
    }
    closing_ = true;
    e->accept();
}

void ChartWindow::oscClicked() {
    Busy busy(this);
    model_.oscillatorClick();
    paintSurfaceLines();
    syncControls();
    update();
}

void ChartWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    model_.resize(outerWidth(), outerHeight());
    growSurface();
    syncControls();
}

// The surface only grows, so curves hidden by a smaller window come back with a larger one.
void ChartWindow::growSurface() {
    const QSize need = surface_.size().expandedTo(size()).expandedTo(QSize(1, 1));
    if (need == surface_.size()) return;
    QImage grown(need, QImage::Format_RGB32);
    grown.fill(ToColour(kColourWindow, palette()));
    if (!surface_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, surface_);
    }
    surface_ = std::move(grown);
}

void ChartWindow::paintSurfaceLines() {
    const std::vector<SurfaceLine> lines = model_.takeSurfaceLines();
    if (lines.empty()) return;
    QPainter p(&surface_);
    const QRectF clip = QRectF(surface_.rect()).adjusted(-2, -2, 2, 2);
    // Pen-to-point lines leave out their end point, which the next line starts
    // from; so a line to where the pen stands draws nothing, and an erase over
    // the same points takes away exactly what was drawn.
    for (const SurfaceLine& l : lines) {
        if (l.x1 == l.x2 && l.y1 == l.y2) continue;
        DrawTwipsLine(p, clip, l.x1, l.y1, l.x2, l.y2, ToColour(l.colour, palette()), Qt::FlatCap);
    }
}

void ChartWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ToColour(kColourWindow, palette()));
    p.drawImage(0, 0, surface_);

    const QRectF clip = QRectF(rect()).adjusted(-2, -2, 2, 2);
    const QColor frame = ToColour(kColourWindowFrame, palette());
    for (const ChartBar& b : model_.bars()) {
        if (!b.visible) continue;
        const double x0 = b.left / kTwipsPerPixel, y0 = b.top / kTwipsPerPixel;
        const double x1 = (double(b.left) + b.width) / kTwipsPerPixel;
        const double y1 = (double(b.top) + b.height) / kTwipsPerPixel;
        if (x1 < clip.left() || x0 > clip.right() || y1 < clip.top() || y0 > clip.bottom()) continue;
        // Every bar is at least one pixel each way, so a flat trade still shows.
        const int l = int(std::floor(std::max(x0, clip.left())));
        const int t = int(std::floor(std::max(y0, clip.top())));
        const int w = std::max(1, int(std::floor(std::min(x1, clip.right()))) - l);
        const int h = std::max(1, int(std::floor(std::min(y1, clip.bottom()))) - t);
        if (b.lossStyle == 1 && w > 2 && h > 2) {
            // A losing trade's bar is hollow.
            p.setPen(QPen(frame, 0));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(l, t, w - 1, h - 1));
        } else {
            p.fillRect(QRect(l, t, w, h), frame);
        }
    }
    for (const ChartLine& g : model_.guides())
        if (g.visible) DrawTwipsLine(p, clip, g.x1, g.y1, g.x2, g.y2, ToColour(g.colour, palette()));
    for (const auto& [index, u] : model_.userLines())
        if (u.visible) DrawTwipsLine(p, clip, u.x1, u.y1, u.x2, u.y2, ToColour(u.colour, palette()));
}

QWidget* OpenChartWindow(Session& s, QWidget* owner) {
    QPointer<ChartWindow> w;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* cw = qobject_cast<ChartWindow*>(top);
        if (cw && &cw->session() == &s && !cw->isClosing()) w = cw;
    }
    const bool reshown = w;
    if (!w) {
        w = new ChartWindow(s, owner);
        w->load();
        // Closed while the build let events run: it goes without being shown.
        if (!w || w->isClosing()) return w;
    }
    w->show();
    w->placeForGraf();
    if (reshown) w->raise();
    w->activateWindow();
    return w;
}

}  // namespace kavro
