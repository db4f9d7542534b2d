#pragma once
// Numbers as the evaluation writes them: machine text for files, display text for people.
#include <cstdint>
#include <string>

namespace kavro {

// Machine form, '.' decimals whatever the locale: the shortest text that reads
// back to the same value ("12", "-3.5", "0.1"), "inf" / "-inf" for infinities,
// nothing for NaN (an empty CSV cell), "0" for minus zero.
void AppendNumber(std::string& out, double value);
// The same for a 32-bit value: the shortest text that reads back to the same float.
void AppendNumber(std::string& out, float value);
std::string NumberText(double value);

// Display form with a fixed number of decimals and '.' decimals: "∞" / "-∞" for
// infinities, "—" for an undefined value (NaN), never "-0.00".
std::string DisplayNumber(double value, int decimals);

// A digest as 16 lowercase hex digits, as the runs list and the study files write it.
std::string DigestText(uint64_t digest);

}  // namespace kavro
