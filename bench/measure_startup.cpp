// Start-up overhead: from the moment the process is created to the moment
// its window is visible, the host (with the handshake and the settings file
// before its window) against a bare program that only shows a window of the
// same size, and against that bare program after one exchange with the
// Launcher.  Runs alternate, in changing order, so that drift in the
// machine's load falls on all alike.
#include "bench_measures.h"
#include "bench_support.h"

static const DWORD kShowWaitMs = 20000;

// Milliseconds from process creation to a visible window of the class, or a
// negative value when none showed in time.  The program is ended at once:
// the host, having no game image beside it, would go on to its box.
static double TimeToWindow(const std::string &exePath, const std::string &arguments, const std::string &folder,
                           const char *className) {
    StartedProgram program;
    long long before = CounterNow();
    if (!StartProgram(exePath, arguments, folder, &program)) return -1;
    double elapsed = -1;
    ULONGLONG deadline = GetTickCount64() + kShowWaitMs;
    while (GetTickCount64() < deadline) {
        HWND window = FindProcessWindow(program.id, className);
        if (window != nullptr && IsWindowVisible(window)) {
            elapsed = TicksToMs(CounterNow() - before);
            break;
        }
        // 1 ms steps: fine enough for starts of tenths of a second, and the
        // bench leaves the CPU to the program it times.
        Sleep(1);
    }
    EndProgram(&program);
    return elapsed;
}

struct StartupSubject {
    std::string exePath;
    std::string arguments;
    const char *className;
    std::vector<double> ms;
};

bool MeasureStartup(const BenchOptions &options, int launcherPort, BenchResults *results) {
    Progress(Format("start-up: %d runs each of GameHost.exe and the bare window programs", options.startupRuns));
    std::string folder = options.workFolder + "startup\\";
    // No game image: the game is kept out of the figure.
    if (!PrepareHostFolder(folder, nullptr) || !CopyFromBin("bench_bare_window.exe", folder, "bench_bare_window.exe") ||
        !CopyFromBin("bench_bare_handshake.exe", folder, "bench_bare_handshake.exe")) {
        results->notes.push_back("start-up: could not prepare " + folder);
        return false;
    }
    StartupSubject subjects[3] = {
        {folder + "GameHost.exe", Format("bench%lu %d", GetCurrentProcessId(), launcherPort), kHostClass, {}},
        {folder + "bench_bare_window.exe", "", "BenchBareWindow", {}},
        {folder + "bench_bare_handshake.exe", Format("%d", launcherPort), "BenchBareWindow", {}},
    };
    StartupSubject &host = subjects[0];
    StartupSubject &bare = subjects[1];
    StartupSubject &handshake = subjects[2];

    int failures = 0;
    // One unmeasured round first: the first start of each image reads it
    // from disk, and the host's writes its settings file.  Each round starts
    // the three in another order.
    for (int run = -1; run < options.startupRuns; run++) {
        double ms[3];
        for (int i = 0; i < 3; i++) {
            StartupSubject &subject = subjects[(i + run + 3) % 3];
            ms[(i + run + 3) % 3] = TimeToWindow(subject.exePath, subject.arguments, folder, subject.className);
        }
        if (run < 0) continue;
        if (ms[0] < 0 || ms[1] < 0 || ms[2] < 0) {
            failures++;
            continue;
        }
        for (int i = 0; i < 3; i++) subjects[i].ms.push_back(ms[i]);
    }
    if (host.ms.empty()) {
        results->rows.push_back({"1", "Start-up: process start to window shown", "no window", "", "", "<= 1.10",
                                 "not measured"});
        return false;
    }
    double hostMedian = Median(host.ms);
    double bareMedian = Median(bare.ms);
    double handshakeMedian = Median(handshake.ms);
    double ratio = hostMedian / bareMedian;
    // The runs of one round are seconds apart and meet the same load; their
    // ratios show how much of the spread is the machine.
    std::vector<double> ratios;
    for (size_t i = 0; i < host.ms.size(); i++) ratios.push_back(host.ms[i] / bare.ms[i]);
    results->rows.push_back(
        {"1", Format("Start-up: process start to window shown (median of %zu interleaved runs each)", host.ms.size()),
         Format("%.1f ms (p10 %.1f, p90 %.1f)", hostMedian, Percentile(host.ms, 10), Percentile(host.ms, 90)),
         Format("bare window: %.1f ms (p10 %.1f, p90 %.1f)", bareMedian, Percentile(bare.ms, 10),
                Percentile(bare.ms, 90)),
         Format("%.2f (of one round's runs: median %.2f, p10 %.2f, p90 %.2f)", ratio, Median(ratios),
                Percentile(ratios, 10), Percentile(ratios, 90)),
         "<= 1.10", Verdict(ratio <= 1.10)});
    results->rows.push_back(
        {"1", "Start-up: the same bare window after one loopback exchange with the Launcher (ws2_32 imported)",
         Format("%.1f ms (p10 %.1f, p90 %.1f)", handshakeMedian, Percentile(handshake.ms, 10),
                Percentile(handshake.ms, 90)),
         Format("bare window: %.1f ms", bareMedian), Format("%.2f", handshakeMedian / bareMedian),
         "none set", "info"});
    if (failures != 0) results->notes.push_back(Format("start-up: %d rounds showed no window in time", failures));
    return failures == 0;
}
