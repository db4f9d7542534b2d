#pragma once
// The clock port on Qt.
#include <QLocale>

#include "platform/locale.h"
#include "platform/ports.h"

namespace kavro {

// The local clock as Qt reads it.
class QtClock final : public Clock {
  public:
    float secondsSinceMidnight() override;
    Date today() override;
};

// The decimal separator and short date pattern of a Qt locale, in the core's terms.
Locale LocaleFromQt(const QLocale& qt);
// The same for the user's regional settings.
Locale SystemLocale();

// A Qt date format turned into the core's pattern letters (d, dd, M, MM, yy, yyyy):
// day and month names become numbers or are dropped, quoted text is copied.
std::string DatePatternFromQt(const QString& format);

}  // namespace kavro
