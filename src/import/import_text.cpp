#include "import/import_text.h"

#include "import/bar_time.h"

namespace kavro {

namespace {

const char* const kPriceNames[4] = {"открытия", "максимума", "минимума", "закрытия"};

std::string At(const std::string& name, int64_t line) {
    return "Файл " + name + ", строка " + std::to_string(line) + ": ";
}

const char* Quotes(bool daily) {
    return daily ? "дневных котировках" : "часовых котировках";
}

std::string Iso(int64_t day) {
    return IsoDate(DateFromDays(day));
}

std::string ClockText(int64_t time) {
    const int64_t minute = time - FloorDiv(time, kMinutesPerDay) * kMinutesPerDay;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(minute / 60), static_cast<int>(minute % 60));
    return buf;
}

// Bytes in a UTF-8 sequence starting at s[i], or 0 when none starts there.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    }
    return n;
}

}  // namespace

std::string PrintableStart(std::string_view line, size_t limit) {
    std::string out;
    size_t shown = 0, i = 0;
    while (i < line.size() && shown < limit) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t n = c >= 0x80 ? Utf8Length(line, i) : 0; n > 0) {
            out.append(line.substr(i, n));
            i += n;
        } else {
            out += c == '\t' ? ' ' : '?';
            ++i;
        }
        ++shown;
    }
    if (i < line.size()) out += "…";
    return out;
}

std::string FaultMessage(const std::string& name, const ImportFault& f, int priceWidth) {
    const std::string at = f.line > 0 ? At(name, f.line) : "Файл " + name + ": ";
    const std::string price = f.price >= 0 && f.price < 4 ? kPriceNames[f.price] : "";
    switch (f.kind) {
        case ImportFaultKind::None:
            return "";
        case ImportFaultKind::Columns:
            return at + "не хватает столбцов";
        case ImportFaultKind::Date:
            return at + "не удаётся прочитать дату";
        case ImportFaultKind::Time:
            return at + "не удаётся прочитать время";
        case ImportFaultKind::NotWholeMinute:
            return at + "время не в целых минутах (есть секунды)";
        case ImportFaultKind::Year:
            return at + "год вне диапазона 1000–9999";
        case ImportFaultKind::Price:
            return at + "не удаётся прочитать цену " + price;
        case ImportFaultKind::PriceNotPositive:
            return at + "цена " + price + " не больше нуля";
        case ImportFaultKind::PriceTooLarge:
            return at + "цена " + price + " не помещается в поле файла котировок (" +
                   std::to_string(priceWidth) + " знаков)";
        case ImportFaultKind::HighBelowLow:
            return at + "максимум ниже минимума";
        case ImportFaultKind::OpenOutside:
            return at + "цена открытия вне диапазона от минимума до максимума";
        case ImportFaultKind::CloseOutside:
            return at + "цена закрытия вне диапазона от минимума до максимума";
        case ImportFaultKind::SameTime:
            return at + "время совпадает со временем предыдущей строки";
        case ImportFaultKind::EarlierTime:
            return at + "время раньше, чем в предыдущей строке";
        case ImportFaultKind::CoarserThanHour:
            return at + "бары реже часа (шаг " + std::to_string(f.value) +
                   " мин): нужны минутные или часовые котировки";
        case ImportFaultKind::SpacingNotInHour:
            return at + "шаг баров " + std::to_string(f.value) + " мин не делит час";
        case ImportFaultKind::OffGrid:
            return at + "время " + ClockText(f.time) + " не ложится на сетку баров по " +
                   std::to_string(f.value) + " мин";
        case ImportFaultKind::SpacingChanged:
            return at + "шаг баров меняется с " + std::to_string(f.value) + " на " + std::to_string(f.other) +
                   " мин";
        case ImportFaultKind::SameDate:
            return at + "второй бар за ту же дату: файл не дневной";
        case ImportFaultKind::CoarserThanDay:
            return at + "бары реже дня (шаг " + std::to_string(f.value) + " дн.): нужны дневные котировки";
        case ImportFaultKind::FlatDays:
            return at + "цена не меняется 24 дня подряд (по " + Iso(FloorDiv(f.time, kMinutesPerDay)) +
                   "): по такому дневному файлу нельзя рассчитать стохастик";
    }
    return at + "ошибка";
}

std::string CannotOpenMessage(const std::string& name) {
    return "Не удаётся открыть файл " + name;
}

std::string ReadErrorMessage(const std::string& name) {
    return "Ошибка чтения файла " + name;
}

std::string EmptyFileMessage(const std::string& name) {
    return "Файл " + name + " пуст";
}

std::string HeaderOnlyMessage(const std::string& name) {
    return "Файл " + name + ": после заголовка нет ни одной строки с котировками";
}

std::string Utf16Message(const std::string& name) {
    return "Файл " + name + " записан в кодировке UTF-16: сохраните его в UTF-8 и повторите импорт";
}

std::string LineTooLongMessage(const std::string& name, int64_t line) {
    return At(name, line) + "строка длиннее 65536 символов";
}

std::string NotRecognisedMessage(const std::string& name, std::string_view firstLine) {
    return "Файл " + name + " не похож на котировки CSV. Первая строка: «" + PrintableStart(firstLine, 60) +
           "». Ожидались дата, время, цены открытия, максимума, минимума и закрытия через запятую, точку с "
           "запятой или табуляцию: с заголовком (например «Date,Time,Open,High,Low,Close») или без него "
           "(например «2021.01.04,00:00,1.22396,1.22408,1.22358,1.22377,123» или "
           "«20210103 170000;1.223960;1.224060;1.223960;1.224060;0»)";
}

std::string MissingColumnsMessage(const std::string& name, std::string_view header,
                                  const std::string& missing) {
    return "Файл " + name + ": в заголовке «" + PrintableStart(header, 60) + "» нет столбцов " + missing +
           ". Ожидались столбцы даты и времени (Date и Time, или один столбец DateTime, Timestamp, Gmt time) "
           "и цен Open, High, Low, Close";
}

std::string TooFewHoursMessage(const std::string& name) {
    return "Файл " + name + ": меньше двух часовых баров, такой файл котировок программа не загрузит";
}

std::string CannotWriteMessage(const std::string& path) {
    return "Не удаётся записать файл " + path;
}

std::string SameFileMessage(const std::string& a, const std::string& b) {
    return "Файлы " + a + " и " + b + " совпадают: выберите для котировок другое имя";
}

std::string NoPathMessage(const char* what) {
    return std::string("Не указан ") + what;
}

std::string ShiftRangeMessage(int limit) {
    return "Сдвиг времени должен быть от -" + std::to_string(limit) + " до " + std::to_string(limit) +
           " часов";
}

std::string UndecidedDateOrderMessage(const std::string& name) {
    return "Файл " + name +
           ": по датам нельзя понять, что записано первым, день или месяц (во всех датах оба первых числа не "
           "больше 12). Укажите порядок дат: --date-order dmy или mdy в kavro-batch, «" +
           kDateOrderChoice + "» при импорте в окне";
}

std::string CancelledMessage() {
    return "Импорт прерван";
}

std::string NoMemoryMessage() {
    return "Недостаточно памяти для импорта";
}

std::string FailedMessage(const char* what) {
    return std::string("Импорт не удался: ") + what;
}

std::string WarningText(const ImportWarning& w, const std::function<std::string(const Date&)>& date) {
    switch (w.kind) {
        case ImportWarning::Kind::Gap:
            return std::string("Пропуск в ") + Quotes(w.daily) + " больше трёх дней: с " + date(w.from) +
                   " по " + date(w.to);
        case ImportWarning::Kind::MoreGaps:
            return std::string("Ещё пропусков в ") + Quotes(w.daily) +
                   " больше трёх дней: " + std::to_string(w.count);
        case ImportWarning::Kind::WeekendBars:
            return std::string("Баров в субботу или воскресенье в ") + Quotes(w.daily) + ": " +
                   std::to_string(w.count);
        case ImportWarning::Kind::AdjustedClose:
            return "Файл " + w.file + ": цена закрытия взята из столбца «" + w.column +
                   "», столбца Close в файле нет";
    }
    return "";
}

}  // namespace kavro
