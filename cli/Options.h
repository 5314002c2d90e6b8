// The command line of zt40-log: what to write where, when to stop, how to report.
#pragma once

#include "MeasurementRecords.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zt40::cli {

enum class StatusFormat { Text, Jsonl };

struct Options {
    RecordFormat format = RecordFormat::Tsv;
    std::optional<TimeFormat> timeFormat; // csv only
    std::string output;                   // empty: standard output
    std::string comment;                  // UTF-8, control characters made blanks
    std::optional<long long> sampleSize;  // csv and jsonl only
    std::optional<long long> count;
    std::optional<std::chrono::milliseconds> duration;
    std::optional<std::chrono::milliseconds> measureEvery;
    bool light = false;
    std::optional<std::string> simulator; // the scenario
    std::optional<std::chrono::milliseconds> wait;
    bool quiet = false;
    StatusFormat statusFormat = StatusFormat::Text;
    // The language number of the .dat column titles; none: the user's.
    std::optional<int> language;
    bool help = false;
    bool version = false;
};

struct ParsedArguments {
    Options options;
    std::string error; // empty when the arguments were understood
};

// The arguments after the program name.
ParsedArguments parseArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string usageText();

} // namespace zt40::cli
