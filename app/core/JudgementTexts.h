// Our own texts of judging readings against limits: the Limits window and its messages, the
// verdicts in the list, the statistics line and the trend, and the report. Windows-1252 bytes
// like the language tables, kept apart from them; %1, %2, ... are filled in by the caller.
// Each function gives English for a language number outside 0 to 2.
#pragma once

namespace zt40 {

struct LimitsTexts {
    const char* title;  // the window, and the tooltip of the button that opens it
    const char* off;    // no limits
    const char* bounds; // a lower and an upper limit
    const char* nominal;
    const char* lower;
    const char* upper;
    const char* nominalValue;
    const char* tolerance;
    const char* readingsPerSample;
    const char* samplesOff; // the first choice of readings per sample
    const char* cancel;
    // Refused entries.
    const char* notANumber; // %1 the field, %2 what was typed, %3 an example number
    const char* boundsMissing;
    const char* nominalMissing;
    const char* reversed;
    const char* equal;
    const char* toleranceNotPositive;
    const char* tooLarge;
};
const LimitsTexts& limitsTexts(int language);

// Told once at start when the settings file holds a limit that cannot be read.
struct SettingsFileTexts {
    const char* unreadableLimit; // %1 the file, %2 the key and its value as the file holds them
};
const SettingsFileTexts& settingsFileTexts(int language);

struct VerdictTexts {
    const char* inside;
    const char* above;
    const char* below;
    const char* aboveTip; // %1 the upper limit
    const char* belowTip; // %1 the lower limit
    // The statistics line.
    const char* insideCount; // %1 of %2 numeric readings within the limits
    const char* cp;
    const char* cpk;
    const char* sample; // %1 its number, %2 readings so far, %3 readings per sample, %4 mean
    // The trend.
    const char* lowerLine;
    const char* upperLine;
    const char* outside;
    const char* sampleMeans;
    const char* axisReading; // choice of the horizontal axis: the reading number
    const char* axisTime;    // or the time of day
    const char* timeOfDay;   // the axis title
};
const VerdictTexts& verdictTexts(int language);

struct ReportTexts {
    const char* button; // the main window's button
    const char* title;
    const char* program;
    const char* instrument;
    const char* created;
    const char* user;
    const char* limits;
    const char* noLimits;
    const char* lower;
    const char* upper;
    const char* nominal; // %1 the nominal value, %2 the tolerance
    const char* readingsPerSample;
    const char* noSamples;
    const char* allReadings;
    const char* samples;
    const char* sample;
    const char* readings; // the column of a sample's reading numbers
    const char* mean;
    const char* deviation;
    const char* minimum;
    const char* maximum;
    const char* verdict;
    const char* trend;
    const char* rows;
    const char* page; // %1 this page, %2 of how many
    const char* saveTitle;
    const char* saveError; // %1 the file, %2 why
};
const ReportTexts& reportTexts(int language);

} // namespace zt40
