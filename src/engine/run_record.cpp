#include "engine/run_record.h"

namespace kavro {

const char* KindName(RunKind kind) {
    switch (kind) {
        case RunKind::Single:
            return "single";
        case RunKind::Sweep:
            return "sweep";
        case RunKind::Thorough:
            return "thorough";
        case RunKind::Cell:
            return "cell";
        case RunKind::None:
            break;
    }
    return "none";
}

size_t RunRecord::rowBytes() const {
    return passes.capacity() * sizeof(PassRow) + windows.capacity() * sizeof(WindowRecord) +
           trades.capacity() * sizeof(JournalRow) + extents.capacity() * sizeof(TradeExtent);
}

}  // namespace kavro
