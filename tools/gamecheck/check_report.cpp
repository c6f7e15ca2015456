/* The checker's findings and the two ways they are printed: aligned lines
 * for a person, one JSON object for a build pipeline. */
#include "check_report.h"

#include <stdarg.h>
#include <string.h>

#include "host/game_contract.h"

static const char *const kPointNames[kPointCount] = {
    "started", "input-idle", "window", "answers", "frame", "hide-show", "ends",
};

const char *PointName(PointId point) {
    return kPointNames[point];
}

const char *VerdictName(Verdict verdict) {
    switch (verdict) {
    case VerdictPass:
        return "pass";
    case VerdictFail:
        return "FAIL";
    case VerdictPlatform:
        return "platform";
    case VerdictSkipped:
        break;
    }
    return "skipped";
}

const char *NearMissName(NearMissKind kind) {
    switch (kind) {
    case MissLetterCase:
        return "letter-case";
    case MissBeyond255:
        return "beyond-255";
    case MissTooLate:
        return "too-late";
    case MissOtherProcess:
        return "other-process";
    case MissOtherTitle:
        break;
    }
    return "other-title";
}

static void AppendV(char *text, size_t size, const char *format, va_list arguments) {
    size_t used = strlen(text);
    if (used + 1 >= size) return;
    vsnprintf(text + used, size - used, format, arguments);
}

void Judge(CheckReport *report, PointId point, Verdict verdict, const char *format, ...) {
    report->points[point].verdict = verdict;
    va_list arguments;
    va_start(arguments, format);
    AppendV(report->points[point].detail, sizeof report->points[point].detail, format, arguments);
    va_end(arguments);
}

void AddDetail(CheckReport *report, PointId point, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    AppendV(report->points[point].detail, sizeof report->points[point].detail, format, arguments);
    va_end(arguments);
}

void AddMeasure(CheckReport *report, PointId point, const char *key, long long value) {
    Point &target = report->points[point];
    if (target.measureCount >= kMaxMeasures) return;
    target.measures[target.measureCount].key = key;
    target.measures[target.measureCount].value = value;
    target.measureCount++;
}

void SkipRemaining(CheckReport *report, PointId upTo, const char *reason) {
    for (int point = 0; point < upTo; point++) {
        Point &target = report->points[point];
        if (target.verdict != VerdictSkipped || target.detail[0] != '\0') continue;
        snprintf(target.detail, sizeof target.detail, "%s", reason);
    }
}

void QuoteTitle(const char *title, char *quoted, size_t size) {
    size_t at = 0;
    if (size < 3) return;
    quoted[at++] = '"';
    for (const unsigned char *c = (const unsigned char *)title; *c != '\0'; c++) {
        char escape[8] = "";
        if (*c == '"' || *c == '\\') snprintf(escape, sizeof escape, "\\%c", *c);
        else if (*c == '\t') snprintf(escape, sizeof escape, "\\t");
        else if (*c < 0x20 || *c == 0x7F) snprintf(escape, sizeof escape, "\\x%02X", *c);
        else escape[0] = (char)*c, escape[1] = '\0';
        size_t length = strlen(escape);
        if (at + length + 2 > size) break;
        memcpy(quoted + at, escape, length);
        at += length;
    }
    quoted[at++] = '"';
    quoted[at] = '\0';
}

int ConcludeReport(CheckReport *report) {
    bool failed = false;
    char failedPoints[256] = "";
    for (int point = 0; point < kPointCount; point++) {
        if (report->points[point].verdict != VerdictFail) continue;
        failed = true;
        size_t used = strlen(failedPoints);
        snprintf(failedPoints + used, sizeof failedPoints - used, "%s%s", used == 0 ? "" : ", ",
                 kPointNames[point]);
    }
    if (!report->takenIn)
        snprintf(report->summary, sizeof report->summary, "the host would not take the game in (failed: %s)",
                 failedPoints);
    else if (failed)
        snprintf(report->summary, sizeof report->summary,
                 "the host would take the game in, but not every point holds (failed: %s)", failedPoints);
    else
        snprintf(report->summary, sizeof report->summary, "the host would take the game in");
    return failed || !report->takenIn ? 1 : 0;
}

/* ---- lines --------------------------------------------------------------- */

/* Long titles keep their start and end, so that a line stays readable. */
static void ShortTitle(const char *title, char *quoted, size_t size) {
    size_t length = strlen(title);
    if (length <= 80) {
        QuoteTitle(title, quoted, size);
        return;
    }
    char cut[80];
    snprintf(cut, sizeof cut, "%.40s...%s", title, title + length - 30);
    QuoteTitle(cut, quoted, size);
}

static void PrintNearMissLine(FILE *out, const NearMiss &miss) {
    char title[kTitleSize + 64];
    ShortTitle(miss.title, title, sizeof title);
    unsigned long long handle = (unsigned long long)(ULONG_PTR)miss.window;
    fprintf(out, "%-10s %-13s window 0x%llX ", "near-miss", NearMissName(miss.kind), handle);
    switch (miss.kind) {
    case MissOtherTitle:
        fprintf(out, "of the game process, titled %s: no \"%s\" in its title\n", title, kGameWindowTitle);
        break;
    case MissLetterCase:
        fprintf(out, "of the game process, titled %s: \"%s\" in another letter case at character %d; the host "
                     "compares letter case\n",
                title, kGameWindowTitle, miss.matchAt);
        break;
    case MissBeyond255:
        fprintf(out, "of the game process, titled %s (%d characters): \"%s\" at character %d, past the 255 "
                     "characters the host reads\n",
                title, (int)strlen(miss.title), kGameWindowTitle, miss.matchAt);
        break;
    case MissTooLate:
        fprintf(out, "of the game process, titled %s: made about %lld ms after the start, after the search time\n",
                title, miss.afterStartMs);
        break;
    case MissOtherProcess:
        fprintf(out, "of process %lu, titled %s: the host takes only a window of the game process\n",
                miss.processId, title);
        break;
    }
}

void PrintReportLines(FILE *out, const CheckReport &report) {
    fprintf(out, "gamecheck %s\n", report.gamePath);
    for (int point = 0; point < kPointCount; point++) {
        const Point &target = report.points[point];
        fprintf(out, "%-10s %-8s %s\n", kPointNames[point], VerdictName(target.verdict), target.detail);
        if (point != PointWindow) continue;
        for (int i = 0; i < report.nearMissCount; i++) PrintNearMissLine(out, report.nearMisses[i]);
    }
    fprintf(out, "%-10s %-8s %s\n", "host", report.takenIn ? "yes" : "no", report.summary);
}

/* ---- JSON ---------------------------------------------------------------- */

/* Titles and paths are in the system's ANSI code page; JSON text is UTF-8. */
static void PrintJsonString(FILE *out, const char *ansi) {
    static WCHAR wide[kTitleSize * 2];
    static char utf8[kTitleSize * 8];
    int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, (int)(sizeof wide / sizeof wide[0]));
    int length = wideLength > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, (int)sizeof utf8, nullptr, nullptr)
                                : 0;
    if (length <= 0) utf8[0] = '\0';
    fputc('"', out);
    for (const unsigned char *c = (const unsigned char *)utf8; *c != '\0'; c++) {
        if (*c == '"' || *c == '\\') fprintf(out, "\\%c", *c);
        else if (*c == '\n') fputs("\\n", out);
        else if (*c == '\r') fputs("\\r", out);
        else if (*c == '\t') fputs("\\t", out);
        else if (*c < 0x20) fprintf(out, "\\u%04x", *c);
        else fputc(*c, out);
    }
    fputc('"', out);
}

static void PrintJsonPoint(FILE *out, int point, const Point &target) {
    fprintf(out, "    \"%s\": {\"verdict\": \"%s\", \"detail\": ", kPointNames[point], VerdictName(target.verdict));
    PrintJsonString(out, target.detail);
    for (int i = 0; i < target.measureCount; i++)
        fprintf(out, ", \"%s\": %lld", target.measures[i].key, target.measures[i].value);
    fputs("}", out);
}

static void PrintJsonNearMiss(FILE *out, const NearMiss &miss) {
    fprintf(out, "    {\"kind\": \"%s\", \"window\": \"0x%llX\", \"process_id\": %lu, \"after_start_ms\": %lld, "
                 "\"match_at\": %d, \"title\": ",
            NearMissName(miss.kind), (unsigned long long)(ULONG_PTR)miss.window, miss.processId, miss.afterStartMs,
            miss.matchAt);
    PrintJsonString(out, miss.title);
    fputs("}", out);
}

void PrintReportJson(FILE *out, const CheckReport &report, int exitCode) {
    fputs("{\n  \"game\": ", out);
    PrintJsonString(out, report.gamePath);
    fputs(",\n  \"points\": {\n", out);
    for (int point = 0; point < kPointCount; point++) {
        PrintJsonPoint(out, point, report.points[point]);
        fputs(point + 1 < kPointCount ? ",\n" : "\n", out);
    }
    fputs("  },\n  \"near_misses\": [", out);
    for (int i = 0; i < report.nearMissCount; i++) {
        fputs(i == 0 ? "\n" : ",\n", out);
        PrintJsonNearMiss(out, report.nearMisses[i]);
    }
    fputs(report.nearMissCount > 0 ? "\n  ],\n" : "],\n", out);
    fprintf(out, "  \"near_misses_left_out\": %s,\n", report.nearMissesLeftOut ? "true" : "false");
    fprintf(out, "  \"taken_in\": %s,\n  \"summary\": ", report.takenIn ? "true" : "false");
    PrintJsonString(out, report.summary);
    fprintf(out, ",\n  \"exit_code\": %d\n}\n", exitCode);
}
