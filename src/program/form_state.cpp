#include "program/form_state.h"

namespace kavro {

void FormState::reinitialise(const Date& today) {
    *this = FormState{};
    timer2 = false;
    dtPicker1 = DatePicker{today, Date{1601, 1, 1}, Date{9999, 12, 31}};
    dtPicker2 = dtPicker1;
}

}  // namespace kavro
