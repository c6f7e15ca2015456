// The bench driver: runs every measurement of the host against the bare
// platform in one run, prints the results table and writes it as Markdown.
//
//   gamehost_bench.exe [--quick] [results path]
//
// The results go to <build>\bench\results.md unless a path is given;
// --quick makes every count small, to try the bench itself out.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cmath>

#include "bench_measures.h"
#include "bench_support.h"

double Percentile(std::vector<double> values, double percent) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t rank = (size_t)std::ceil(percent / 100.0 * (double)values.size());
    if (rank < 1) rank = 1;
    return values[rank - 1];
}

double Median(const std::vector<double> &values) {
    if (values.empty()) return 0;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

std::string Format(const char *format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string Verdict(bool met) {
    return met ? "meets" : "misses";
}

void Progress(const std::string &line) {
    static long long started = CounterNow();
    printf("bench: [%5.1f s] %s\n", TicksToMs(CounterNow() - started) / 1000.0, line.c_str());
    fflush(stdout);
}

static std::string Cell(const std::string &text) {
    std::string cell;
    for (char c : text) {
        if (c == '|') cell += "\\|";
        else cell += c;
    }
    return cell.empty() ? "-" : cell;
}

static std::string RenderTable(const BenchResults &results) {
    std::string table =
        "| # | Figure | GameHost | Reference, same run | Ratio | Target | Verdict |\n"
        "|---|---|---|---|---|---|---|\n";
    for (const ResultRow &row : results.rows) {
        table += "| " + Cell(row.number) + " | " + Cell(row.figure) + " | " + Cell(row.host) + " | " +
                 Cell(row.reference) + " | " + Cell(row.ratio) + " | " + Cell(row.target) + " | " +
                 Cell(row.verdict) + " |\n";
    }
    if (!results.notes.empty()) {
        table += "\n";
        for (const std::string &note : results.notes) table += "- " + note + "\n";
    }
    return table;
}

int main(int argc, char **argv) {
    BenchOptions options;
    std::string resultsPath = BinDirectory() + "..\\bench\\results.md";
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--quick") == 0) {
            options.startupRuns = 4;
            options.adoptionTrials = 6;
            options.followMoves = 100;
            options.idleSeconds = 2;
        } else {
            resultsPath = argv[i];
        }
    }
    options.workFolder = BinDirectory() + "..\\bench\\work\\";

    BenchLauncher launcher;
    if (!StartBenchLauncher(&launcher)) {
        fprintf(stderr, "bench: cannot listen on loopback\n");
        return 1;
    }
    BenchResults results;
    bool complete = true;
    long long started = CounterNow();
    complete &= MeasureStartup(options, launcher.port, &results);
    complete &= MeasureAdoption(options, launcher.port, &results);
    complete &= MeasureSearch(options, &results);
    complete &= MeasureFollowingAndIdle(options, launcher.port, &results);
    complete &= MeasureSize(&results);
    StopBenchLauncher(&launcher);
    results.notes.push_back(Format("Bench run took %.0f s; the Launcher answered %ld handshakes.",
                                   TicksToMs(CounterNow() - started) / 1000.0, (long)launcher.answered));

    std::string table = RenderTable(results);
    printf("\n%s\n", table.c_str());
    if (!WriteText(resultsPath, table)) {
        fprintf(stderr, "bench: cannot write %s\n", resultsPath.c_str());
        return 1;
    }
    printf("bench: results written to %s\n", resultsPath.c_str());
    return complete ? 0 : 1;
}
