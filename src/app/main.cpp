#include <QApplication>
#include <csignal>
#include <memory>

#include "app/main_window.h"
#include "platform/qt/qt_clock.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_event_pump.h"

int main(int argc, char** argv) {
    // A file size limit makes a write fail with an error the reports handle, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavro"));

    kavro::QtEventPump pump;
    kavro::QtDialogs dialogs;
    kavro::QtClock clock;
    kavro::WindowShell shell;
    // Reports go to the working directory the program was started in.
    auto session = std::make_unique<kavro::Session>(kavro::Ports{pump, dialogs, clock, shell},
                                                    kavro::SystemLocale(), std::string());
    kavro::MainWindow window(*session, shell, &pump);
    dialogs.setParentWidget(&window);
    dialogs.setBeforeModal([&window] { window.syncFromState(); });
    window.show();
    return app.exec();
}
