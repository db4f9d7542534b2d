#pragma once
// A study's plan: a CSV of runs, each row the options of one simple or thorough test.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_options.h"

namespace kavro {

// One record of a CSV text: its fields, and its text as written (without the line end).
struct CsvRecord {
    std::vector<std::string> fields;
    std::string_view raw;
};

// Splits CSV text into records: ',' separators, fields in "…" with "" for a quote
// inside (and line ends kept), CR LF, LF or CR line ends, a UTF-8 byte-order mark
// skipped, blank lines skipped. False with `error` when a quote is not closed or
// text follows a closing quote; `records` then ends with the record that failed.
bool ReadCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error);

// The plan's columns besides `kind`: the run options by their long names.
extern const std::vector<std::string> kPlanOptionColumns;

struct StudyRow {
    int number = 0;                  // from 1, in the plan's order
    std::vector<std::string> cells;  // as the plan writes them
    BatchCommand command;            // the single command the row stands for
};

struct StudyPlan {
    std::vector<std::string> columns;  // as the header names them
    std::vector<StudyRow> rows;
    uint64_t digest = 0;  // of the plan's bytes: the shards of one plan share it
};

// The words of the single command a row stands for: the kind, then `--column=cell`
// for every cell that is not empty, the quote files relative to `planDir`.
std::vector<std::string> PlanRowWords(const std::vector<std::string>& columns,
                                      const std::vector<std::string>& cells, const std::string& planDir);

// Reads a plan and parses every row as the command line would. False with
// `error` naming the header or the first row that does not parse.
bool ParsePlan(std::string_view text, const std::string& planDir, StudyPlan& plan, std::string& error);

// "I/N" with 0 <= I < N.
bool ParseShard(const std::string& text, int& index, int& count);
// Shard I of N runs the rows with (row - 1) mod N = I.
inline bool InShard(int row, int index, int count) {
    return (row - 1) % count == index;
}

// FNV-1a of the bytes: tells two plans apart.
uint64_t TextDigest(std::string_view text);

}  // namespace kavro
