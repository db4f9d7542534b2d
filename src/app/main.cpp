#include <QApplication>
#include <QTimer>
#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_placement.h"
#include "platform/qt/qt_clock.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_event_pump.h"
#include "program/command_line.h"

namespace {

// Help and version to stdout (status 0), bad usage to stderr (status 2); nothing for Open.
std::optional<int> Answer(const kavro::WindowArguments& a) {
    using Action = kavro::WindowArguments::Action;
    switch (a.action) {
        case Action::Help:
            std::cout << kavro::WindowHelpText();
            return 0;
        case Action::Version:
            std::cout << kavro::WindowVersionText();
            return 0;
        case Action::BadUsage:
            std::cerr << "kavro: " << a.error << "\n" << kavro::WindowHelpText();
            return 2;
        case Action::Open:
            break;
    }
    return std::nullopt;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit makes a write fail with an error the reports handle, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // Help and version need no display, so they are answered before Qt starts. Bad usage waits:
    // the argument may be one of Qt's own (-style, -platform, ...).
    const kavro::WindowArguments early = kavro::ParseWindowArguments(Arguments(argc, argv));
    if (early.action != kavro::WindowArguments::Action::BadUsage)
        if (const auto status = Answer(early)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kavro"));
    // Qt has taken its own options out of argv by now.
    const kavro::WindowArguments args = kavro::ParseWindowArguments(Arguments(argc, argv));
    if (const auto status = Answer(args)) return *status;

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
    kavro::PlaceOnScreen(&window, window.size());
    window.show();
    kavro::KeepOnScreen(&window);
    // The files load from the event loop, so the window is up behind their progress and messages.
    QTimer::singleShot(0, &window,
                       [&] { window.runCommand([&] { kavro::OpenStartupFiles(*session, args); }); });
    return app.exec();
}
