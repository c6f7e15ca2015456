// TRNW.conf is replaced whole or not at all: a file the host may not or
// cannot replace keeps its old bytes, and the new file each start writes
// beside it ("TRNW.conf.<process id>.new") never outlives the start; one
// left by a start that no longer runs goes with the next start.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <memory>
#include <thread>

#include "host_runs.h"
#include "test_support.h"

namespace {

// A rewrite of these bytes drops the volume line, so any rewrite shows.
const char kOldSettings[] = "width=900\r\nheight=700\r\nvolume=80\r\n";

std::string SettingsPath(const std::string &folder) { return folder + "TRNW.conf"; }
std::string NewFileName(DWORD processId) {
    return "TRNW.conf." + std::to_string(processId) + ".new";
}

SIZE OuterSize(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// The host reads a file it leaves alone as usual: its window is 900 x 700.
void ExpectOldSizeThenClose(HostRun *run) {
    SIZE seen = OuterSize(run->window);
    EXPECT_EQ(900, seen.cx);
    EXPECT_EQ(700, seen.cy);
    EXPECT_EQ(0, CloseHostAndWait(&run->hostCase, run->window));
}

struct LeftAloneCase {
    const char *label;
    DWORD attributes;      // set on TRNW.conf before the start, 0 for none
    bool held;             // the test holds TRNW.conf open while the host starts
    DWORD holdersSharing;  // what the holder lets others do meanwhile
};

// Attributes alone, without a holder: root under Wine may write to a
// read-only file, and a replace would not ask about any of the three, so
// only the host's own look at them keeps these files.  A holder without
// write sharing refused the old in-place rewrite, and the file must still
// stay; a holder that shares writing but not deleting let the old rewrite
// through and now refuses the replace.  Platform limit: Wine refuses to
// replace a file that is open at all (MoveFileEx fails with
// ERROR_ACCESS_DENIED whatever the holder shares), so under Wine the first
// holder keeps the file even without the host's own check for writers.
const LeftAloneCase kLeftAloneCases[] = {
    {"ReadOnly", FILE_ATTRIBUTE_READONLY, false, 0},
    {"Hidden", FILE_ATTRIBUTE_HIDDEN, false, 0},
    {"System", FILE_ATTRIBUTE_SYSTEM, false, 0},
    {"HeldWithoutWriteSharing", 0, true, FILE_SHARE_READ | FILE_SHARE_DELETE},
    {"HeldWithoutDeleteSharing", 0, true, FILE_SHARE_READ | FILE_SHARE_WRITE},
};

struct LeftAloneRun {
    const LeftAloneCase *settingsCase;
    HostRun run;
    HANDLE holder = INVALID_HANDLE_VALUE;
};

// All hosts start at once, each in its own folder, and are checked one by
// one after their close.
TEST(SettingsRewrite, FileTheHostMayNotReplaceKeepsItsBytes) {
    std::vector<std::unique_ptr<LeftAloneRun>> runs;
    for (const LeftAloneCase &settingsCase : kLeftAloneCases) {
        runs.push_back(std::make_unique<LeftAloneRun>());
        LeftAloneRun &entry = *runs.back();
        entry.settingsCase = &settingsCase;
        ASSERT_TRUE(PrepareHostRun(settingsCase.label, &entry.run)) << settingsCase.label;
        const std::string path = SettingsPath(entry.run.hostCase.folder);
        ASSERT_TRUE(WriteFileBytes(path, kOldSettings)) << settingsCase.label;
        if (settingsCase.attributes != 0) {
            ASSERT_TRUE(SetFileAttributesA(path.c_str(), settingsCase.attributes));
            // Wine keeps the hidden and system attributes in an extended
            // attribute of the Unix file; a file system without them would
            // make this case meaningless.
            ASSERT_EQ(settingsCase.attributes,
                      GetFileAttributesA(path.c_str()) & settingsCase.attributes)
                << settingsCase.label << ": platform limit, the attribute does not stick";
        }
        if (settingsCase.held) {
            entry.holder = CreateFileA(path.c_str(), GENERIC_READ, settingsCase.holdersSharing,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, entry.holder) << settingsCase.label;
        }
    }
    for (auto &entry : runs) ASSERT_TRUE(StartHostRun(&entry->run)) << entry->run.label;

    const DWORD started = GetTickCount();
    for (auto &entry : runs) {
        HostRun &run = entry->run;
        SCOPED_TRACE(run.label);
        run.window = WaitForHostWindowWithin(run, started, kEventWaitMs);
        EXPECT_NE(nullptr, run.window);
        if (run.window != nullptr) ExpectOldSizeThenClose(&run);
        EndHostRun(&run);
        if (entry->holder != INVALID_HANDLE_VALUE) CloseHandle(entry->holder);
        entry->holder = INVALID_HANDLE_VALUE;
        const std::string path = SettingsPath(run.hostCase.folder);
        if (entry->settingsCase->attributes != 0) {
            EXPECT_EQ(entry->settingsCase->attributes,
                      GetFileAttributesA(path.c_str()) & entry->settingsCase->attributes);
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        std::string after;
        EXPECT_TRUE(ReadFileBytes(path, &after));
        EXPECT_EQ(kOldSettings, after);
        EXPECT_TRUE(FilesNamedAfterSettings(run.hostCase.folder).empty());
    }
    for (auto &entry : runs)
        if (entry->holder != INVALID_HANDLE_VALUE) CloseHandle(entry->holder);
}

// The id of a start that died: a process made and killed before it ran.
DWORD IdOfKilledProcess() {
    std::string exe = BinDirectory() + "GameHost.exe";
    std::string line = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &info))
        return 0;
    TerminateProcess(info.hProcess, 99);
    WaitForSingleObject(info.hProcess, kEventWaitMs);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return info.dwProcessId;
}

struct StaleCase {
    const char *label;
    const char *before;     // TRNW.conf before the start; nullptr for none
    std::string leftName;   // a file named after the settings, left beside them
    std::string leftBytes;
    bool swept;             // gone after the start, or there byte for byte
    int usedWidth;
    int usedHeight;
    std::string after;
};

// Files left beside the settings, longer than the new content, so that a
// write over one that kept its tail would show: a start that died between
// its write and its replace, a start of an earlier version (which used one
// name for all), a process that still runs (the test itself: the host
// cannot tell it from a host at work), and a name the host never makes.
std::vector<StaleCase> StaleCases(DWORD deadId) {
    const std::string longStale = "game_version=0.0.0.1\r\nwidth=1500\r\nheight=1000\r\n" +
                                  std::string(5000, '#') + "\r\n";
    const std::string rewritten = RewrittenSettings("900", "700");
    const char *old = "width=900\r\nheight=700\r\nvolume=80\r\n";
    return {
        {"DeadStartOverExistingFile", old, NewFileName(deadId), longStale, true, 900, 700,
         rewritten},
        {"DeadStartWithoutSettingsFile", nullptr, NewFileName(deadId), longStale, true, 1080, 820,
         RewrittenSettings("1080", "820")},
        {"EmptyFileOfDeadStart", "width=640\r\n", NewFileName(deadId), "", true, 1080, 820,
         RewrittenSettings("640", "820")},
        {"EarlierVersionsName", old, "TRNW.conf.new", longStale, true, 900, 700, rewritten},
        {"FileOfRunningProcess", old, NewFileName(GetCurrentProcessId()), longStale, false, 900,
         700, rewritten},
        {"NameTheHostNeverMakes", old, "TRNW.conf.0" + std::to_string(deadId) + ".new", longStale,
         false, 900, 700, rewritten},
    };
}

TEST(SettingsRewrite, NewFileLeftBehindGoesOnlyWithItsStart) {
    const DWORD deadId = IdOfKilledProcess();
    ASSERT_NE(0u, deadId);
    ASSERT_FALSE(IsProcessRunning(deadId));
    const std::vector<StaleCase> cases = StaleCases(deadId);
    std::vector<std::unique_ptr<HostRun>> runs;
    for (const StaleCase &staleCase : cases) {
        runs.push_back(std::make_unique<HostRun>());
        HostRun &run = *runs.back();
        ASSERT_TRUE(PrepareHostRun(staleCase.label, &run)) << staleCase.label;
        const std::string &folder = run.hostCase.folder;
        if (staleCase.before != nullptr) {
            ASSERT_TRUE(WriteFileBytes(SettingsPath(folder), staleCase.before));
        }
        ASSERT_TRUE(WriteFileBytes(folder + staleCase.leftName, staleCase.leftBytes))
            << staleCase.label;
    }
    for (auto &run : runs) ASSERT_TRUE(StartHostRun(run.get())) << run->label;

    const DWORD started = GetTickCount();
    for (size_t i = 0; i < cases.size(); i++) {
        const StaleCase &staleCase = cases[i];
        HostRun &run = *runs[i];
        SCOPED_TRACE(staleCase.label);
        run.window = WaitForHostWindowWithin(run, started, kEventWaitMs);
        EXPECT_NE(nullptr, run.window);
        if (run.window == nullptr) continue;
        SIZE seen = OuterSize(run.window);
        EXPECT_EQ(staleCase.usedWidth, seen.cx);
        EXPECT_EQ(staleCase.usedHeight, seen.cy);
        EXPECT_EQ(0, CloseHostAndWait(&run.hostCase, run.window));
        const std::string &folder = run.hostCase.folder;
        std::string after;
        EXPECT_TRUE(ReadFileBytes(SettingsPath(folder), &after));
        EXPECT_EQ(staleCase.after, after);
        std::vector<std::string> left = FilesNamedAfterSettings(folder);
        if (staleCase.swept) {
            EXPECT_TRUE(left.empty()) << left.front();
        } else {
            EXPECT_EQ(std::vector<std::string>{staleCase.leftName}, left);
            std::string leftBytes;
            EXPECT_TRUE(ReadFileBytes(folder + staleCase.leftName, &leftBytes));
            EXPECT_TRUE(staleCase.leftBytes == leftBytes) << "the file left alone was changed";
        }
    }
    for (auto &run : runs) EndHostRun(run.get());
}

// What became of each start's new file, as the folder's change notices
// tell it: replaced the settings (renamed away) or deleted (the replace
// was refused).
struct NewFileFates {
    std::map<std::string, int> written, replaced, deleted;
    bool overflowed = false;  // the notices did not fit and some were lost
    volatile LONG markerSeen = 0;
};

// Made and deleted by the test once the hosts have ended: notices come in
// order, so when its deletion is in, so is everything before it.
const char kWatchMarker[] = "watch-marker";

// Watches folder's file names on a thread of its own until stopped.
struct FolderWatch {
    HANDLE folder = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr;
    std::thread thread;
    NewFileFates fates;

    // A round that ends early on a failed assertion still stops the thread.
    ~FolderWatch() {
        if (thread.joinable()) {
            SetEvent(stop);
            thread.join();
        }
        if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
        if (stop != nullptr) CloseHandle(stop);
    }
};

void TakeNotices(const char *buffer, DWORD size, NewFileFates *fates) {
    if (size == 0) {
        fates->overflowed = true;
        return;
    }
    for (DWORD at = 0; at < size;) {
        const FILE_NOTIFY_INFORMATION *notice = (const FILE_NOTIFY_INFORMATION *)(buffer + at);
        std::string name;
        for (DWORD k = 0; k < notice->FileNameLength / sizeof(WCHAR); k++)
            name += (char)notice->FileName[k];
        if (name == kWatchMarker && notice->Action == FILE_ACTION_REMOVED)
            InterlockedExchange(&fates->markerSeen, 1);
        if (name.rfind("TRNW.conf.", 0) == 0) {
            if (notice->Action == FILE_ACTION_ADDED) fates->written[name]++;
            if (notice->Action == FILE_ACTION_RENAMED_OLD_NAME) fates->replaced[name]++;
            if (notice->Action == FILE_ACTION_REMOVED) fates->deleted[name]++;
        }
        if (notice->NextEntryOffset == 0) break;
        at += notice->NextEntryOffset;
    }
}

bool StartFolderWatch(const std::string &folder, FolderWatch *watch) {
    watch->folder = CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                nullptr);
    watch->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (watch->folder == INVALID_HANDLE_VALUE || watch->stop == nullptr) return false;
    watch->thread = std::thread([watch] {
        std::vector<char> buffer(1 << 16);
        OVERLAPPED overlapped = {};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        for (;;) {
            ResetEvent(overlapped.hEvent);
            if (!ReadDirectoryChangesW(watch->folder, buffer.data(), (DWORD)buffer.size(), FALSE,
                                       FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &overlapped,
                                       nullptr))
                break;
            HANDLE both[] = {overlapped.hEvent, watch->stop};
            DWORD woken = WaitForMultipleObjects(2, both, FALSE, INFINITE);
            DWORD size = 0;
            if (woken != WAIT_OBJECT_0) CancelIo(watch->folder);
            if (!GetOverlappedResult(watch->folder, &overlapped, &size, TRUE)) break;
            TakeNotices(buffer.data(), size, &watch->fates);
            if (woken != WAIT_OBJECT_0 || watch->fates.markerSeen) break;
        }
        CloseHandle(overlapped.hEvent);
    });
    return true;
}

// Stops the watch once the notices of what has happened are in; false
// when they did not all come.
bool StopFolderWatch(const std::string &folder, FolderWatch *watch) {
    bool complete = false;
    if (watch->thread.joinable()) {
        std::string marker = folder + kWatchMarker;
        WriteFileBytes(marker, "");
        DeleteFileA(marker.c_str());
        complete = WaitUntil([&] { return watch->fates.markerSeen != 0; }, kEventWaitMs);
        SetEvent(watch->stop);
        watch->thread.join();
    }
    if (watch->folder != INVALID_HANDLE_VALUE) CloseHandle(watch->folder);
    if (watch->stop != nullptr) CloseHandle(watch->stop);
    watch->folder = INVALID_HANDLE_VALUE;
    watch->stop = nullptr;
    return complete;
}

const int kHostsAtOnce = 20;
const int kRounds = 5;

// Many hosts started at the same moment from one folder read the same
// settings and each rewrite them through a new file of its own: however
// their writes and replaces interleave, TRNW.conf is three whole lines
// afterwards and no new file is left.  Platform limit: Wine refuses to
// replace a file that is open at all, so a start whose replace meets
// another start's read keeps that start's result instead of its own; the
// figures printed say how often.
TEST(SettingsRewrite, HostsStartedTogetherFromOneFolderLeaveThreeWholeLines) {
    HostCase shared;
    ASSERT_TRUE(PrepareHostFolderWithIdleGame(CurrentTestName(), &shared));
    const std::string &folder = shared.folder;
    const char *old = "width=900\r\nheight=700\r\nvolume=80\r\n";
    for (int round = 1; round <= kRounds; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        // The first round starts without a file: every start creates it.
        bool fromNothing = round == 1;
        DeleteFileA(SettingsPath(folder).c_str());
        if (!fromNothing) {
            ASSERT_TRUE(WriteFileBytes(SettingsPath(folder), old));
        }
        FolderWatch watch;
        ASSERT_TRUE(StartFolderWatch(folder, &watch));
        std::vector<std::unique_ptr<HostRun>> runs;
        for (int i = 0; i < kHostsAtOnce; i++) {
            runs.push_back(std::make_unique<HostRun>());
            runs.back()->label = "round" + std::to_string(round) + ".host" + std::to_string(i);
            runs.back()->hostCase.folder = folder;
        }
        for (auto &run : runs)
            ASSERT_TRUE(StartHostRun(run.get())) << run->label << " (error " << GetLastError() << ")";

        const DWORD started = GetTickCount();
        int windows = 0;
        for (auto &run : runs) {
            SCOPED_TRACE(run->label);
            run->window = WaitForHostWindowWithin(*run, started, 2 * kEventWaitMs);
            EXPECT_NE(nullptr, run->window) << "the host opened no window";
            if (run->window == nullptr) continue;
            windows++;
            SIZE seen = OuterSize(run->window);
            EXPECT_EQ(fromNothing ? 1080 : 900, seen.cx);
            EXPECT_EQ(fromNothing ? 820 : 700, seen.cy);
        }
        for (auto &run : runs) {
            if (run->window != nullptr) {
                EXPECT_EQ(0, CloseHostAndWait(&run->hostCase, run->window));
            }
            EndHostRun(run.get());
        }
        bool noticesComplete = StopFolderWatch(folder, &watch);

        std::string after;
        EXPECT_TRUE(ReadFileBytes(SettingsPath(folder), &after));
        EXPECT_EQ(fromNothing ? RewrittenSettings("1080", "820") : RewrittenSettings("900", "700"),
                  after);
        std::vector<std::string> left = FilesNamedAfterSettings(folder);
        EXPECT_TRUE(left.empty()) << left.size() << " left, the first " << left.front();

        // Each start writes a file of its own, which then either takes the
        // settings' place or goes; a name shared by two starts would let
        // one write into the other's file while it is being moved.
        if (noticesComplete && !watch.fates.overflowed) {
            EXPECT_EQ((size_t)kHostsAtOnce, watch.fates.written.size());
            for (auto &entry : watch.fates.written) {
                SCOPED_TRACE(entry.first);
                EXPECT_EQ(1, entry.second);
                EXPECT_EQ(1, watch.fates.replaced[entry.first] + watch.fates.deleted[entry.first]);
            }
        }
        int replaced = 0, refused = 0;
        for (auto &entry : watch.fates.replaced) replaced += entry.second;
        for (auto &entry : watch.fates.deleted) refused += entry.second;
        printf("[ figures  ] round %d: %d windows; %d new files written, %d replaced the "
               "settings, %d refused%s\n",
               round, windows, (int)watch.fates.written.size(), replaced, refused,
               watch.fates.overflowed || !noticesComplete ? " (some notices lost)" : "");
    }
}

// One start of the host in a folder that settings_rewrite_failed_write.sh
// has made, with GameHost.exe and TRNW.conf in it, on a full disk or under
// a limit on the size of the files the host writes; the script compares
// the bytes afterwards.  Without that folder there is nothing to run.
TEST(SettingsRewrite, HostInPreparedFolder) {
    const char *folder = getenv("GAMEHOST_PREPARED_FOLDER");
    if (folder == nullptr || *folder == '\0') {
        GTEST_SKIP() << "run by settings_rewrite_failed_write.sh, which prepares the folder";
    }
    HostRun run;
    run.label = "prepared";
    run.hostCase.folder = folder;
    ASSERT_TRUE(StartHostRun(&run));
    run.window = WaitForHostWindow(run.hostCase);
    ASSERT_NE(nullptr, run.window);
    ExpectOldSizeThenClose(&run);
    EndHostRun(&run);
}

}  // namespace
