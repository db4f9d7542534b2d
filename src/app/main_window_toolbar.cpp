// Toolbar1: the command buttons and their pictures, drawn at start-up.
#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>
#include <QToolButton>
#include <iterator>
#include <utility>

#include "app/main_window.h"
#include "program/commands.h"
#include "program/import_command.h"

namespace kavro {

namespace {

constexpr int kIconSize = 20;
constexpr double kDrawingSize = 24;  // the pictures are drawn on a 24 x 24 grid

template <class Draw>
QIcon Picture(Draw draw) {
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kIconSize / kDrawingSize, kIconSize / kDrawingSize);
    draw(p);
    return QIcon(pm);
}

QIcon OpenPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(QColor(120, 90, 20), 1.2));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(QRectF(2.5, 6.5, 18, 14));
        p.drawRect(QRectF(2.5, 4.5, 8, 3));
        QPainterPath flap;
        flap.moveTo(5.5, 11.5);
        flap.lineTo(22.5, 11.5);
        flap.lineTo(19.5, 20.5);
        flap.lineTo(2.5, 20.5);
        flap.closeSubpath();
        p.setBrush(QColor(250, 220, 120));
        p.drawPath(flap);
    });
}

QIcon EndPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(QColor(90, 60, 30), 1.2));
        p.setBrush(QColor(170, 120, 70));
        p.drawRect(QRectF(5.5, 2.5, 11, 19));
        p.setBrush(QColor(230, 200, 60));
        p.drawEllipse(QPointF(14, 12), 1.3, 1.3);
        p.setPen(QPen(QColor(200, 30, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(17, 12), QPointF(22, 12));
        p.drawLine(QPointF(19.5, 9.5), QPointF(22, 12));
        p.drawLine(QPointF(19.5, 14.5), QPointF(22, 12));
    });
}

QIcon StartPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(QColor(20, 100, 20), 1.2));
        p.setBrush(QColor(60, 180, 60));
        p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(20, 12), QPointF(6, 21)}));
    });
}

QIcon KachPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(QColor(20, 60, 130), 1.2));
        p.setBrush(QColor(70, 130, 220));
        p.drawPolygon(QPolygonF({QPointF(2, 4), QPointF(12, 12), QPointF(2, 20)}));
        p.drawPolygon(QPolygonF({QPointF(11, 4), QPointF(21, 12), QPointF(11, 20)}));
    });
}

QIcon StopPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(QColor(120, 20, 20), 1.2));
        p.setBrush(QColor(210, 50, 50));
        p.drawRoundedRect(QRectF(4.5, 4.5, 15, 15), 2, 2);
    });
}

QIcon GrafPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(Qt::black, 1.2));
        p.drawLine(QPointF(3, 2), QPointF(3, 21));
        p.drawLine(QPointF(3, 21), QPointF(22, 21));
        p.setPen(QPen(QColor(20, 20, 120), 1));
        p.setBrush(QColor(60, 110, 200));
        const double heights[] = {6, 10, 8, 14, 17};
        for (int i = 0; i < 5; ++i) p.drawRect(QRectF(5.5 + i * 3.5, 20.5 - heights[i], 2.5, heights[i]));
    });
}

QIcon OcenPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1.4));
        p.drawLine(QPointF(12, 3), QPointF(12, 20));
        p.drawLine(QPointF(4, 7), QPointF(20, 7));
        p.drawLine(QPointF(7, 21), QPointF(17, 21));
        p.setBrush(QColor(230, 190, 60));
        p.drawChord(QRectF(1.5, 7, 7, 7), 180 * 16, 180 * 16);
        p.drawChord(QRectF(15.5, 7, 7, 7), 180 * 16, 180 * 16);
    });
}

QIcon OthetPicture() {
    return Picture([](QPainter& p) {
        p.setPen(QPen(QColor(80, 80, 80), 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 2.5, 15, 19));
        p.setPen(QPen(QColor(40, 40, 160), 1.2));
        for (int i = 0; i < 5; ++i)
            p.drawLine(QPointF(7, 6.5 + i * 3.2), QPointF(i == 4 ? 13 : 17, 6.5 + i * 3.2));
    });
}

}  // namespace

QToolBar* MainWindow::buildToolbar() {
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setIconSize(QSize(kIconSize, kIconSize));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);

    const struct {
        const char* key;
        const char* tip;
        QIcon (*picture)();
    } buttons[] = {
        {"Open", "Открыть", &OpenPicture},
        {"End", "Выход", &EndPicture},
        {"Start", "Простое тестирование", &StartPicture},
        {"Kach", "Качественное тестирование", &KachPicture},
        {"Stop", "Стоп", &StopPicture},
        {"Graf", "График", &GrafPicture},
        {"Ocen", "Оценка", &OcenPicture},
        {"Othet", "Отчет", &OthetPicture},
    };
    for (const auto& b : buttons) {
        const QString key = QString::fromLatin1(b.key);
        auto* a = new QAction(b.picture(), QString::fromUtf8(b.tip), toolbar_);
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(QString::fromUtf8(b.tip));
        toolbar_->addAction(a);
        actions_.emplace_back(key, a);
        if (key == QLatin1String("Open")) {
            // The Open button only drops its menu down.
            auto* menu = new QMenu(toolbar_);
            menu->setObjectName(QStringLiteral("OpenMenu"));
            const std::pair<const char*, void (*)(Session&)> entries[] = {
                {"Hour", MenuHour}, {"Day", MenuDay}, {"Import", MenuImport}};
            const QString captions[] = {QStringLiteral("Час"), QStringLiteral("День"),
                                        QStringLiteral("Импорт CSV…")};
            for (size_t i = 0; i < std::size(entries); ++i) {
                const QString key = QString::fromLatin1(entries[i].first);
                QAction* entry = menu->addAction(captions[i]);
                entry->setObjectName(key);
                entry->setData(key);
                actions_.emplace_back(key, entry);
                auto command = entries[i].second;
                connect(entry, &QAction::triggered, this,
                        [this, command] { runCommand([&] { command(s_); }); });
            }
            a->setMenu(menu);
            if (auto* tb = qobject_cast<QToolButton*>(toolbar_->widgetForAction(a)))
                tb->setPopupMode(QToolButton::InstantPopup);
        } else {
            connect(a, &QAction::triggered, this, [this, key] {
                const std::string k = key.toStdString();
                runCommand([&] { ToolbarButton(s_, k); });
            });
        }
    }
    setWindowIcon(GrafPicture());
    return toolbar_;
}

QAction* MainWindow::action(const QString& key) const {
    for (const auto& [k, a] : actions_)
        if (k == key) return a;
    return nullptr;
}

}  // namespace kavro
