#pragma once
// kavro-batch study and study-merge: a plan's rows run side by side, and the merge of its shards.
#include <iosfwd>

#include "batch/batch_options.h"
#include "program/run_export.h"

namespace kavro {

// Runs the rows of `o.plan` (those of shard `o.shardIndex`/`o.shardCount`), up
// to `o.jobs` at once, each as its single command would run with its reports in
// `o.out`/row-K, then writes `o.out`/summary.csv. Progress goes to `err`.
// Returns 0 when every row was done, 1 when a row failed, 2 when the plan does
// not parse or `o.out` is not a new or empty folder (nothing runs then).
int RunStudy(const BatchOptions& o, std::ostream& err, const PictureWriter& pictures);

// Merges the study folders `o.shardDirs`, every shard of one plan, into `o.out`:
// their row folders and one summary.csv, the bytes the whole plan run at once
// gives. Returns 0, 1 when a row failed or the shards cannot be merged, 2 when
// `o.out` is not a new or empty folder.
int MergeStudy(const BatchOptions& o, std::ostream& err);

// The files a study folder holds besides its row-K folders.
inline constexpr const char* kStudySummaryFile = "summary.csv";
inline constexpr const char* kStudyManifestFile = "study.txt";
// What a row's command printed on stdout, in its folder.
inline constexpr const char* kStudyOutputFile = "output.txt";

}  // namespace kavro
