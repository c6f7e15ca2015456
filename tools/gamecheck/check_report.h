/* What the checker found out about a game: one verdict per point of the
 * contract with what was measured, the near misses of the window search, and
 * whether the host would take the game in; printed as lines or as one JSON
 * object. */
#ifndef GAMECHECK_CHECK_REPORT_H
#define GAMECHECK_CHECK_REPORT_H

#include <windows.h>

#include <stdio.h>

enum Verdict {
    VerdictSkipped,   /* not tried: an earlier point failed */
    VerdictPass,
    VerdictFail,
    VerdictPlatform,  /* the platform differs from Windows here: not held against the game */
};

enum PointId {
    PointStarted,
    PointInputIdle,
    PointWindow,
    PointAnswers,
    PointFrame,
    PointHideShow,
    PointEnds,
    kPointCount,
};

/* A measured number, also given by name in the JSON object. */
struct Measure {
    const char *key;
    long long value;
};

const int kMaxMeasures = 8;
const int kDetailSize = 1024;

struct Point {
    Verdict verdict;
    char detail[kDetailSize];
    Measure measures[kMaxMeasures];
    int measureCount;
};

enum NearMissKind {
    MissOtherTitle,    /* a window of the game process without the title text */
    MissLetterCase,    /* the title text in another letter case */
    MissBeyond255,     /* the title text past the 255 characters the host reads */
    MissTooLate,       /* the titled window, made after the search time */
    MissOtherProcess,  /* the title on a window of another process */
};

const int kTitleSize = 1024;
/* Windows of other processes have places of their own, so that however many
 * of them bear the title, the game's own near misses are always listed. */
const int kMaxOwnNearMisses = 16;
const int kMaxOtherProcessNearMisses = 32;
const int kMaxNearMisses = kMaxOwnNearMisses + kMaxOtherProcessNearMisses;

struct NearMiss {
    NearMissKind kind;
    HWND window;
    DWORD processId;
    long long afterStartMs;  /* when it was first seen */
    int matchAt;             /* 1-based character of the title text, or 0 */
    char title[kTitleSize];
};

struct CheckReport {
    char gamePath[MAX_PATH];
    Point points[kPointCount];
    NearMiss nearMisses[kMaxNearMisses];
    int nearMissCount;
    bool nearMissesLeftOut;  /* more were seen than there are places */
    bool takenIn;
    char summary[kDetailSize];
};

const char *PointName(PointId point);
const char *VerdictName(Verdict verdict);
const char *NearMissName(NearMissKind kind);

/* Sets the verdict and appends to the point's detail text (printf style). */
void Judge(CheckReport *report, PointId point, Verdict verdict, const char *format, ...);
void AddDetail(CheckReport *report, PointId point, const char *format, ...);
void AddMeasure(CheckReport *report, PointId point, const char *key, long long value);

/* Every point before upTo still without a verdict is skipped, with the
 * reason. */
void SkipRemaining(CheckReport *report, PointId upTo, const char *reason);

/* A title in double quotes, with quotes, backslashes and control characters
 * escaped, so that it stays on one line of the report. */
void QuoteTitle(const char *title, char *quoted, size_t size);

/* Fills in the summary; the process exit code: 0 when no point failed. */
int ConcludeReport(CheckReport *report);

void PrintReportLines(FILE *out, const CheckReport &report);
void PrintReportJson(FILE *out, const CheckReport &report, int exitCode);

#endif
