// The measurements of the bench, each filling rows of the results table,
// and the statistics and formatting they share.
#ifndef GAMEHOST_BENCH_MEASURES_H
#define GAMEHOST_BENCH_MEASURES_H

#include <string>
#include <vector>

struct BenchOptions {
    int startupRuns = 40;     // per program
    int adoptionTrials = 60;
    int adoptionAtOnce = 1;   // hosts under measurement at the same time
    int followMoves = 1000;
    int idleSeconds = 10;
    std::string workFolder;   // with its trailing backslash
};

struct ResultRow {
    std::string number;  // of the measurement, 1 to 6
    std::string figure;
    std::string host;
    std::string reference;
    std::string ratio;
    std::string target;
    std::string verdict;
};

struct BenchResults {
    std::vector<ResultRow> rows;
    std::vector<std::string> notes;  // printed under the table
};

// Each returns false when the measurement could not be made; it has then
// said why in a row or a note.
bool MeasureStartup(const BenchOptions &options, int launcherPort, BenchResults *results);
bool MeasureAdoption(const BenchOptions &options, int launcherPort, BenchResults *results);
bool MeasureSearch(const BenchOptions &options, BenchResults *results);
bool MeasureFollowingAndIdle(const BenchOptions &options, int launcherPort, BenchResults *results);
bool MeasureSize(BenchResults *results);

// Nearest-rank percentile (0-100) of the values; 0 for none.
double Percentile(std::vector<double> values, double percent);
double Median(const std::vector<double> &values);

std::string Format(const char *format, ...)
#if defined(__MINGW32__)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#endif
    ;

// "meets" or "misses", for a figure and its target.
std::string Verdict(bool met);

// A progress line on the console, at once.
void Progress(const std::string &line);

#endif
