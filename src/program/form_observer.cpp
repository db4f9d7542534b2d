#include "program/form_observer.h"

#include "platform/numbers.h"
#include "walkforward/thorough_report.h"

namespace kavro {

namespace {

// The report box keeps what earlier runs wrote: a run's first line starts on a line of its own.
void AppendToBox(std::string& box, const std::string& text) {
    if (!box.empty() && box.back() != '\n') box += "\r\n";
    box += text;
}

}  // namespace

void FormObserver::progress(double value, double maximum) {
    f_.progressMin = 0;
    f_.progressMax = maximum;
    f_.progressValue = value;
}

void FormObserver::passRecorded(const PassRow& row) {
    auto& label = f_.label6;
    label[0] = FormatGeneral(row.entryHour, locale_);
    label[3] = FormatGeneral(row.total, locale_);
    label[1] = FormatGeneral(row.target, locale_);
    label[2] = FormatGeneral(row.stop, locale_);
}

void FormObserver::bestChanged(const PassRow& row) {
    auto& label = f_.label1;
    label[3] = FormatGeneral(row.entryHour, locale_);
    label[2] = FormatGeneral(row.target, locale_);
    label[1] = FormatGeneral(row.stop, locale_);
    label[0] = FormatGeneral(row.total, locale_);
}

void FormObserver::forwardEnded(const std::string& date, float forwardSum) {
    f_.label1[4] = date;
    f_.label1[5] = FormatGeneral(forwardSum, locale_);
}

void FormObserver::windowReported(const std::string& date, const WindowResult& result, bool last) {
    // The last line carries the chosen end date and no line end.
    AppendToBox(f_.text10, WindowBoxLine(date, result, locale_) + (last ? "" : "\r\n"));
    if (last) f_.label1[4] = date;
}

void FormObserver::runEnded(const RunRecord& record, bool lastSingle) {
    const bool thorough = record.kind == RunKind::Thorough;
    switch (record.end) {
        case RunEnd::Done:
            // The countdown runs on after a sweep or a walk-forward, as far as its estimate went.
            (thorough ? f_.timer3 : f_.timer1) = false;
            if (lastSingle) {
                f_.timer2 = false;
                f_.label15 = kStatusDone;
            }
            break;
        case RunEnd::Stopped:
            f_.timer1 = f_.timer2 = false;
            if (thorough) f_.timer3 = false;
            f_.label15 = kStatusStopped;
            break;
        case RunEnd::Failed:
            (thorough ? f_.timer3 : f_.timer1) = false;
            f_.timer2 = false;
            dialogs_.message(MessageKind::Error, record.failure);
            break;
        case RunEnd::Running:
            break;
    }
}

}  // namespace kavro
