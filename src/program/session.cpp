#include "program/session.h"

#include "platform/text_file.h"
#include "program/settings_reader.h"

namespace kavro {

namespace {

bool SameFields(const SettingFields& a, const SettingFields& b) {
    return a.pair == b.pair && a.text2 == b.text2 && a.text3 == b.text3 && a.text4 == b.text4 &&
           a.text5 == b.text5 && a.text6 == b.text6 && a.text7 == b.text7 && a.text8 == b.text8 &&
           a.text11 == b.text11 && a.text13 == b.text13 && a.check1 == b.check1 && a.check2 == b.check2 &&
           a.check3 == b.check3 && a.dtPicker1.value == b.dtPicker1.value &&
           a.dtPicker2.value == b.dtPicker2.value && a.dtPicker3Hour == b.dtPicker3Hour;
}

}  // namespace

RunSettings FormSettings::read() {
    const SettingFields& form = s_.form;
    if (!cached_ || !SameFields(cachedFields_, form) ||
        cachedLocale_.decimalSeparator != s_.locale.decimalSeparator ||
        cachedLocale_.shortDatePattern != s_.locale.shortDatePattern) {
        cached_ = ReadSettings(form, s_.locale);
        cachedFields_ = form;
        cachedLocale_ = s_.locale;
    }
    RunSettings settings = *cached_;
    if (record_ == nullptr || record_->end != RunEnd::Running) return settings;
    if (SameFields(seen_, form)) {
        settings.pair = record_->settings.pair;
        return settings;
    }
    for (SettingsChange& c : ChangedFields(seen_, s_.form, s_.locale)) {
        c.pass = s_.run.runPassesDone;
        c.window = static_cast<int64_t>(record_->windows.size());
        record_->changes.push_back(std::move(c));
    }
    seen_ = s_.form;
    // Quotes are loaded for one pair: a run keeps the pair it started with.
    settings.pair = record_->settings.pair;
    return settings;
}

void FormSettings::watch(RunRecord* record, const SettingFields& fields) {
    record_ = record;
    seen_ = fields;
}

Session::Session(Ports ports, Locale loc, std::string dir)
    : pump(ports.pump),
      dialogs(ports.dialogs),
      clock(ports.clock),
      shell(ports.shell),
      locale(std::move(loc)),
      workDir(std::move(dir)) {
    form.reinitialise(clock.today());
}

RunEnv Session::env(RunRecord& record) {
    SettingsSource& settings = record.kind == RunKind::Cell && cellSettings
                                   ? *cellSettings
                                   : static_cast<SettingsSource&>(formSettings);
    return RunEnv{store, run, record, settings, observer, pump, clock, dialogs, locale, workDir};
}

std::string Session::ripotPath() const {
    return JoinPath(workDir, "RIPOT");
}
std::string Session::ripot1Path() const {
    return JoinPath(workDir, "RIPOT1");
}

}  // namespace kavro
