#pragma once
// Every window opens inside the screen's available area, its title bar included.
#include <QSize>

class QWidget;

namespace kavro {

// Sizes a top-level window to `wanted`, no larger than the available area of
// the screen of `near` (or its own), and moves it there: centred over `near`
// when given, else on the screen, then pushed inside the area frame and all.
void PlaceOnScreen(QWidget* window, QSize wanted, const QWidget* near = nullptr);

// Moves a shown window whose frame reaches past its screen's available area
// back inside (shrinking it only when it is larger than the area); now, and
// again once the window manager has put its frame around it.
void KeepOnScreen(QWidget* window);

}  // namespace kavro
