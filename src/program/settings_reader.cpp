#include "program/settings_reader.h"

#include "engine/run_checks.h"
#include "platform/numbers.h"

namespace kavro {

namespace {

NumberReading Read(const std::string& text, const Locale& locale) {
    NumberReading r;
    r.leading = Val(text);
    float single = 0;
    r.readable = ToSingle(text, locale, single);
    if (r.readable) {
        r.single = single;
        ValueInPoints(text, locale, r.points);
    }
    return r;
}

std::string Flag(bool on) {
    return on ? "да" : "нет";
}

}  // namespace

const std::vector<FieldInfo>& SettingFieldTable() {
    static const std::vector<FieldInfo> table = {
        {"Text2", "TP", "takeProfit", "tp", &SettingFields::text2},
        {"Text3", "SL", "stopLoss", "sl", &SettingFields::text3},
        {"Text4", "Первый час", "firstHour", "first-hour", &SettingFields::text4},
        {"Text5", "Последний час", "lastHour", "last-hour", &SettingFields::text5},
        {"Text6", "Шаг", "step", "step", &SettingFields::text6},
        {"Text7", "Оптимизация", "optimisationMonths", "opt-len", &SettingFields::text7},
        {"Text8", "Проверка", "forwardMonths", "fwd-len", &SettingFields::text8},
        {"Text11", "Стоимость пункта", "pointValue", "point-value", &SettingFields::text11},
        {"Text13", "Издержки прибыльной сделки", "tradeCost", "cost", &SettingFields::text13},
    };
    return table;
}

RunSettings ReadSettings(const SettingFields& f, const Locale& locale) {
    RunSettings s;
    s.pair = f.pair;
    s.takeProfit = Read(f.text2, locale);
    s.stopLoss = Read(f.text3, locale);
    s.firstHour = Read(f.text4, locale);
    s.lastHour = Read(f.text5, locale);
    s.step = Read(f.text6, locale);
    s.optimisationMonths = Val(f.text7);
    s.forwardMonths = Val(f.text8);
    s.pointValue = Val(f.text11);
    s.tradeCost = Val(f.text13);
    s.pointValueIsNumber = IsPlainNumber(f.text11);
    s.tradeCostIsNumber = IsPlainNumber(f.text13);
    s.journalPasses = f.text6.empty() || f.text6 == "0";
    s.skipPassEstimate = f.text6 == "0";
    s.oneHourEstimate = f.text5.empty() || f.text5 == "0";
    s.fullSweep = f.check1;
    s.noBeep = f.check2;
    s.realWork = f.check3;
    s.endDate = f.dtPicker2.value;
    return s;
}

std::string UnreadableFieldRefusal(const RunSettings& s, RunKind kind, bool loaded) {
    struct Need {
        const NumberReading RunSettings::*field;
        Field which;
    };
    // The order the commands read them in, so that the first field that fails is named.
    static const Need kStart[] = {{&RunSettings::step, Field::Step},
                                  {&RunSettings::lastHour, Field::LastHour},
                                  {&RunSettings::takeProfit, Field::TakeProfit},
                                  {&RunSettings::stopLoss, Field::StopLoss},
                                  {&RunSettings::firstHour, Field::FirstHour}};
    static const Need kKach[] = {{&RunSettings::takeProfit, Field::TakeProfit},
                                 {&RunSettings::stopLoss, Field::StopLoss},
                                 {&RunSettings::step, Field::Step},
                                 {&RunSettings::firstHour, Field::FirstHour},
                                 {&RunSettings::lastHour, Field::LastHour}};
    const bool thorough = kind == RunKind::Thorough;
    const Need* first = thorough ? std::begin(kKach) : std::begin(kStart);
    const Need* last = thorough ? std::end(kKach) : std::end(kStart);
    for (const Need* n = first; n != last; ++n)
        if (!(s.*(n->field)).readable) return FieldMessage(n->which, loaded);
    // The money fields feed every result: a text that is no number must not count as 0.
    if (!s.pointValueIsNumber)
        return FieldMessage(Field::PointValue, loaded, "введите число с точкой, например 10");
    if (!s.tradeCostIsNumber)
        return FieldMessage(Field::TradeCost, loaded, "введите число с точкой, например 0.0005");
    return {};
}

std::vector<SettingsChange> ChangedFields(const SettingFields& before, const SettingFields& after,
                                          const Locale& locale) {
    std::vector<SettingsChange> changes;
    auto note = [&](const char* caption, const std::string& a, const std::string& b) {
        if (a != b) changes.push_back(SettingsChange{caption, a, b, 0, 0});
    };
    for (const FieldInfo& info : SettingFieldTable()) note(info.caption, before.*info.text, after.*info.text);
    note("Валюта", PairName(before.pair), PairName(after.pair));
    note("Полный тест", Flag(before.check1), Flag(after.check1));
    note("Отключить звуковой сигнал", Flag(before.check2), Flag(after.check2));
    note("Реальная работа", Flag(before.check3), Flag(after.check3));
    note("Конечная дата", ShortDate(before.dtPicker2.value, locale),
         ShortDate(after.dtPicker2.value, locale));
    return changes;
}

}  // namespace kavro
