#include "program/session.h"

#include "platform/text_file.h"
#include "program/settings_reader.h"

namespace kavro {

RunSettings FormSettings::read() {
    RunSettings settings = ReadSettings(s_.form, s_.locale);
    if (record_ == nullptr || record_->end != RunEnd::Running) return settings;
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
