#include "chart/chart_window.h"

namespace kavro {

QWidget* OpenChartWindow(Session& s, QWidget* owner) {
    (void)s;
    auto* w = new QWidget(owner, Qt::Window);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return w;
}

}  // namespace kavro
