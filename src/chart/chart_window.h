#pragma once
#include <QWidget>

#include "app/session.h"

namespace kavro {

// Opens (not modal) the chart window of the current trade journal; the
// returned window deletes itself when closed.
QWidget* OpenChartWindow(Session& s, QWidget* owner);

}  // namespace kavro
