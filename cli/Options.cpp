#include "Options.h"

#include "Cp1252.h"
#include "Languages.h"
#include "SimulatedInstrument.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace zt40::cli {

namespace {

// About 30 years: longer times are taken for typing errors.
constexpr double LongestSeconds = 1e9;

bool parseWhole(const std::string& text, long long& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// "90", "90s", "1.5m", "2h": the number of seconds.
std::optional<double> parseSeconds(std::string text) {
    double unit = 1.0;
    if (!text.empty() && (text.back() == 's' || text.back() == 'm' || text.back() == 'h')) {
        unit = text.back() == 'h' ? 3600.0 : text.back() == 'm' ? 60.0 : 1.0;
        text.pop_back();
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(),
                                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) {
        return std::nullopt;
    }
    double number = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, number);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(number * unit)) {
        return std::nullopt;
    }
    return number * unit;
}

template <class Value>
std::optional<Value> pick(const std::string& text,
                          std::initializer_list<std::pair<const char*, Value>> choices) {
    for (const auto& [name, value] : choices) {
        if (text == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// The short options and the long ones they stand for.
const std::map<char, std::string> ShortOptions{
    {'h', "--help"},  {'V', "--version"},  {'o', "--output"}, {'f', "--format"},
    {'n', "--count"}, {'d', "--duration"}, {'q', "--quiet"},
};

// What the options say together, once all are read; an error text, or empty.
std::string inconsistency(const Options& o) {
    if (o.timeFormat && o.format != RecordFormat::Csv) {
        return "--time-format: only csv has a choice (tsv and dat write the regional date and "
               "time, jsonl RFC 3339)";
    }
    if (o.sampleSize && (o.format == RecordFormat::Tsv || o.format == RecordFormat::Dat)) {
        return "--sample-size: tsv and dat have no sample columns; use csv or jsonl";
    }
    const QString comment = QString::fromStdString(o.comment);
    if (o.format == RecordFormat::Dat &&
        platform::fromCp1252(platform::toCp1252(comment)) != comment) {
        return "--comment: " + quoted(o.comment) +
               " has characters that a dat file cannot hold (it is Windows-1252)";
    }
    return {};
}

} // namespace

ParsedArguments parseArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    Options& o = parsed.options;
    std::vector<std::string> seen;

    // Each option: does it take a value, and what it does with it (an error text, or empty).
    struct Handler {
        bool takesValue;
        std::function<std::string(const std::string&)> apply;
    };
    const auto duration = [](std::optional<std::chrono::milliseconds>& target, bool zeroAllowed) {
        return [&target, zeroAllowed](const std::string& value) -> std::string {
            const std::optional<double> seconds = parseSeconds(value);
            if (seconds && *seconds > LongestSeconds) {
                return quoted(value) + " is too long (at most 1000000000 s)";
            }
            if (seconds) {
                target = std::chrono::milliseconds(std::llround(*seconds * 1000.0));
            }
            if (!seconds || (!zeroAllowed && target->count() == 0)) {
                return quoted(value) + " is not a " + (zeroAllowed ? "" : "positive ") +
                       "time (a number of seconds, or with s, m or h, e.g. 10m)";
            }
            return {};
        };
    };
    const auto whole = [](std::optional<long long>& target) {
        return [&target](const std::string& value) -> std::string {
            long long n = 0;
            if (!parseWhole(value, n) || n <= 0) {
                return quoted(value) + " is not a positive whole number";
            }
            target = n;
            return {};
        };
    };
    const auto flag = [](bool& target) {
        return [&target](const std::string&) -> std::string {
            target = true;
            return {};
        };
    };
    const std::map<std::string, Handler> handlers{
        {"--format",
         {true,
          [&o](const std::string& value) -> std::string {
              const auto format = pick<RecordFormat>(value, {{"tsv", RecordFormat::Tsv},
                                                             {"dat", RecordFormat::Dat},
                                                             {"csv", RecordFormat::Csv},
                                                             {"jsonl", RecordFormat::Jsonl}});
              if (!format) {
                  return quoted(value) + " is not one of tsv, dat, csv, jsonl";
              }
              o.format = *format;
              return {};
          }}},
        {"--time-format",
         {true,
          [&o](const std::string& value) -> std::string {
              o.timeFormat =
                  pick<TimeFormat>(value, {{"iso", TimeFormat::Iso}, {"local", TimeFormat::Local}});
              return o.timeFormat ? std::string() : quoted(value) + " is not one of iso, local";
          }}},
        {"--output",
         {true,
          [&o](const std::string& value) -> std::string {
              if (value.empty()) {
                  return "the file name is empty";
              }
              o.output = value == "-" ? std::string() : value;
              return {};
          }}},
        {"--comment",
         {true,
          [&o](const std::string& value) -> std::string {
              // A tab or a line break would split the record.
              o.comment = value;
              std::replace_if(
                  o.comment.begin(), o.comment.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
              return {};
          }}},
        {"--count", {true, whole(o.count)}},
        {"--sample-size", {true, whole(o.sampleSize)}},
        {"--duration", {true, duration(o.duration, false)}},
        {"--measure-every", {true, duration(o.measureEvery, false)}},
        {"--wait", {true, duration(o.wait, true)}},
        {"--light", {false, flag(o.light)}},
        {"--quiet", {false, flag(o.quiet)}},
        {"--help", {false, flag(o.help)}},
        {"--version", {false, flag(o.version)}},
        {"--language",
         {true,
          [&o](const std::string& value) -> std::string {
              const auto language = pick<int>(
                  value, {{"en", LanguageEnglish}, {"de", LanguageGerman}, {"fr", LanguageFrench}});
              if (!language) {
                  return quoted(value) + " is not one of en, de, fr";
              }
              o.language = language;
              return {};
          }}},
        {"--status-format",
         {true,
          [&o](const std::string& value) -> std::string {
              const auto format = pick<StatusFormat>(
                  value, {{"text", StatusFormat::Text}, {"jsonl", StatusFormat::Jsonl}});
              if (!format) {
                  return quoted(value) + " is not one of text, jsonl";
              }
              o.statusFormat = *format;
              return {};
          }}},
    };

    std::vector<std::string> args = arguments;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name.rfind("-", 0) != 0 || name == "-" || name == "--") {
            parsed.error = "unexpected argument " + quoted(args[i]);
            return parsed;
        }
        if (name[1] != '-') {
            const auto known = ShortOptions.find(name[1]);
            if (known == ShortOptions.end()) {
                parsed.error = "unknown option " + quoted(name.substr(0, 2));
                return parsed;
            }
            // "-n3" is "-n 3", "-qn3" is "-q -n3".
            if (name.size() > 2) {
                const bool takesValue = handlers.at(known->second).takesValue;
                args.insert(args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            (takesValue ? "" : "-") + name.substr(2));
            }
            name = known->second;
        }
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            parsed.error = "option " + quoted(name) + " is given twice";
            return parsed;
        }
        seen.push_back(name);

        // --simulator takes a scenario only when one follows it.
        if (name == "--simulator") {
            if (!value && i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0) {
                value = args[++i];
            }
            const std::string scenario = value.value_or("1");
            const auto& names = simulator::SimulatedInstrument::scenarioNames;
            if (std::find(names.begin(), names.end(), scenario) == names.end()) {
                parsed.error = "--simulator: " + quoted(scenario) + " is not a scenario (";
                for (std::size_t k = 0; k < names.size(); ++k) {
                    parsed.error += (k == 0 ? "" : ", ") + std::string(names[k]);
                }
                parsed.error += ")";
                return parsed;
            }
            o.simulator = scenario;
            continue;
        }

        const auto handler = handlers.find(name);
        if (handler == handlers.end()) {
            parsed.error = "unknown option " + quoted(name);
            return parsed;
        }
        if (!handler->second.takesValue) {
            if (value) {
                parsed.error = "option " + quoted(name) + " takes no value";
                return parsed;
            }
        } else if (!value) {
            if (i + 1 >= args.size()) {
                parsed.error = "option " + quoted(name) + " needs a value";
                return parsed;
            }
            value = args[++i];
        }
        if (std::string error = handler->second.apply(value.value_or("")); !error.empty()) {
            parsed.error = name + ": " + error;
            return parsed;
        }
    }
    parsed.error = inconsistency(o);
    return parsed;
}

std::string usageText() {
    return R"(Usage: zt40-log [OPTION]...
Log the readings of a MIRELANTA ZT 40 gloss meter on USB, one record per reading,
without a display. Status lines go to standard error.

Output:
  -f, --format FORMAT      tsv (default), dat, csv or jsonl
  -o, --output FILE        append the records to FILE, locked for the run;
                           - (default): standard output
      --time-format TIME   csv dates and times: iso (default; 2026-12-10 and
                           03:54:42.120+01:00) or local (the regional texts)
      --comment TEXT       the comment of every record
      --sample-size N      csv and jsonl: the sample number and the reading's
                           position in it, N readings a sample
      --language LANG      the dat column titles in en, de or fr; by default in the
                           language chosen in the window of zt40, else in the system's
                           language when that is German or French, else in English
Control:
  -n, --count N            end after N readings
  -d, --duration TIME      end after TIME (e.g. 90s, 10m, 2h; a number alone is seconds)
      --measure-every TIME start a measurement every TIME, as the Measure button does
      --light              measure with the light command
      --simulator [SCENARIO]  use the simulated instrument: 1 (default), manual, flaky
      --wait TIME          end with status 2 if no instrument appears within TIME
                           (default: wait for ever)
Reporting:
  -q, --quiet              no progress lines; warnings and errors are still shown
      --status-format FORMAT  text (default) or jsonl
  -h, --help               show this help and end
  -V, --version            show the version and end

Signals INT, TERM and HUP end the run after writing every reading received;
USR1 reopens the output file (after it was renamed, e.g. by logrotate).
Exit status: 0 normal end, 1 bad arguments, 2 no instrument within --wait,
3 the output cannot be written or another run holds it, 4 the reader went away.
)";
}

} // namespace zt40::cli
