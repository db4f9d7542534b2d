#include "app/window_placement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace kavro {

namespace {

QScreen* ScreenOf(const QWidget* w) {
    QScreen* s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

// The frame around a window: its own once known, else its neighbour's (the same
// window manager draws both), else none.
QMargins FrameOf(const QWidget* w, const QWidget* near) {
    for (const QWidget* x : {w, near}) {
        if (!x || !x->isVisible()) continue;
        const QRect f = x->frameGeometry(), g = x->geometry();
        const QMargins m(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                         f.bottom() - g.bottom());
        if (m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0 && !m.isNull()) return m;
    }
    return {};
}

// The position of a frame of `outer` size that keeps it inside `area`, moving `at` as little as needed.
QPoint Inside(QPoint at, QSize outer, const QRect& area) {
    const int x = std::max(area.left(), std::min(at.x(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(at.y(), area.bottom() + 1 - outer.height()));
    return {x, y};
}

void Fit(QWidget* w, QSize wanted, const QWidget* near, bool centre) {
    QScreen* screen = ScreenOf(near ? near : w);
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = FrameOf(w, near);
    const QSize room(area.width() - frame.left() - frame.right(),
                     area.height() - frame.top() - frame.bottom());
    const QSize size = wanted.boundedTo(room).expandedTo(w->minimumSize());
    if (size != w->size()) w->resize(size);
    const QSize outer(size.width() + frame.left() + frame.right(),
                      size.height() + frame.top() + frame.bottom());
    QPoint at = w->frameGeometry().topLeft();
    if (centre) {
        const QRect over = near ? near->frameGeometry() : area;
        at = over.center() - QPoint(outer.width() / 2, outer.height() / 2);
    }
    // move() of a top-level window places its frame.
    w->move(Inside(at, outer, area));
}

}  // namespace

void PlaceOnScreen(QWidget* window, QSize wanted, const QWidget* near) {
    Fit(window, wanted, near, true);
}

void KeepOnScreen(QWidget* window) {
    Fit(window, window->size(), nullptr, false);
    // The frame is known only after the window manager has drawn it: look again then.
    QPointer<QWidget> w(window);
    for (int ms : {0, 300})
        QTimer::singleShot(ms, window, [w] {
            if (w && w->isVisible()) Fit(w, w->size(), nullptr, false);
        });
}

}  // namespace kavro
