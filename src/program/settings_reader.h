#pragma once
// The one place that reads the main window's fields into a run's typed settings.
#include <string>
#include <vector>

#include "engine/run_record.h"
#include "engine/run_settings.h"
#include "platform/locale.h"

namespace kavro {

// The window's fields and the settings they give, one row each: the field's
// name on the form, its caption in messages and the runs list, the batch
// runner's option for it, and where its text sits in the form.
struct FieldInfo {
    const char* formName;  // "Text2"
    const char* caption;   // "TP"
    const char* meaning;   // "takeProfit": the RunSettings member it feeds
    const char* option;    // "tp": kavro-batch --tp, a study plan's column
    std::string SettingFields::*text;
};
const std::vector<FieldInfo>& SettingFieldTable();

// Reads every field the runs read, every way they read it. Never fails: a text
// that does not read is marked unreadable, for the checks to refuse.
RunSettings ReadSettings(const SettingFields& fields, const Locale& locale);

// Why a run of `kind` cannot start with these settings because a field does not
// read (the first such field in the order the command reads them); "" when
// every field it needs reads. Without quotes loaded the general message to open
// the data file is given instead, as for every field message.
std::string UnreadableFieldRefusal(const RunSettings& s, RunKind kind, bool quotesLoaded);

// The fields whose text differs between two states of the form, as changes.
std::vector<SettingsChange> ChangedFields(const SettingFields& before, const SettingFields& after,
                                          const Locale& locale);

}  // namespace kavro
