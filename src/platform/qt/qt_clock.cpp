#include "platform/qt/qt_clock.h"

#include <QDate>
#include <QTime>

namespace kavro {

float QtClock::secondsSinceMidnight() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
}

Date QtClock::today() {
    const QDate d = QDate::currentDate();
    return Date{d.year(), d.month(), d.day()};
}

namespace {

bool IsPatternLetter(QChar c) {
    return c == u'd' || c == u'M' || c == u'y';
}

// A letter the core would read as a pattern letter cannot be copied as literal text.
void AppendLiteral(std::string& out, QChar c) {
    if (IsPatternLetter(c)) return;
    out += QString(c).toStdString();
}

}  // namespace

std::string DatePatternFromQt(const QString& format) {
    std::string out;
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted text; '' inside or outside quotes is one apostrophe.
            ++i;
            if (i < n && format[i] == u'\'') {
                out += '\'';
                ++i;
                continue;
            }
            while (i < n) {
                if (format[i] == u'\'') {
                    if (i + 1 < n && format[i + 1] == u'\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                AppendLiteral(out, format[i]);
                ++i;
            }
            continue;
        }
        if (!IsPatternLetter(c)) {
            // Other field letters (times, eras) have no place in a short date.
            if (!c.isLetter()) out += QString(c).toStdString();
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && format[i + run] == c) ++run;
        i += run;
        if (c == u'd') {
            if (run <= 2) {
                out += run == 1 ? "d" : "dd";
            } else {
                // A weekday name: drop it with the separators that follow it.
                while (i < n && !format[i].isLetter() && format[i] != u'\'') ++i;
            }
        } else if (c == u'M') {
            out += run == 1 ? "M" : "MM";
        } else {
            out += run == 2 ? "yy" : "yyyy";
        }
    }
    return out;
}

Locale LocaleFromQt(const QLocale& qt) {
    Locale l;
    const QString point = qt.decimalPoint();
    // The core works on single bytes; a separator outside ASCII falls back to the period.
    if (point.size() == 1 && point[0].unicode() < 0x80)
        l.decimalSeparator = static_cast<char>(point[0].unicode());
    l.shortDatePattern = DatePatternFromQt(qt.dateFormat(QLocale::ShortFormat));
    if (l.shortDatePattern.empty()) l.shortDatePattern = Locale{}.shortDatePattern;
    return l;
}

Locale SystemLocale() {
    return LocaleFromQt(QLocale::system());
}

}  // namespace kavro
