// TRNW.conf is replaced whole or not at all: a file the host may not or
// cannot replace keeps its old bytes, and the new file the host writes
// beside it ("TRNW.conf.new") never outlives the start.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>

#include "host_runs.h"
#include "test_support.h"

namespace {

// A rewrite of these bytes drops the volume line, so any rewrite shows.
const char kOldSettings[] = "width=900\r\nheight=700\r\nvolume=80\r\n";

std::string SettingsPath(const std::string &folder) { return folder + "TRNW.conf"; }
std::string NewFilePath(const std::string &folder) { return folder + "TRNW.conf.new"; }

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
        EXPECT_FALSE(FileExists(NewFilePath(run.hostCase.folder)));
    }
    for (auto &entry : runs)
        if (entry->holder != INVALID_HANDLE_VALUE) CloseHandle(entry->holder);
}

struct StaleCase {
    const char *label;
    const char *before;  // TRNW.conf before the start; nullptr for none
    std::string stale;   // TRNW.conf.new left behind by an earlier start
    int usedWidth;
    int usedHeight;
    std::string after;
};

// An earlier start that died between its write and its replace left its
// new file behind: longer than the new content, so that a write over it
// that kept its tail would show.
std::vector<StaleCase> StaleCases() {
    const std::string longStale = "game_version=0.0.0.1\r\nwidth=1500\r\nheight=1000\r\n" +
                                  std::string(5000, '#') + "\r\n";
    return {
        {"OverExistingFile", "width=900\r\nheight=700\r\nvolume=80\r\n", longStale, 900, 700,
         RewrittenSettings("900", "700")},
        {"WithoutSettingsFile", nullptr, longStale, 1080, 820, RewrittenSettings("1080", "820")},
        {"EmptyStaleFile", "width=640\r\n", "", 1080, 820, RewrittenSettings("640", "820")},
    };
}

TEST(SettingsRewrite, StaleNewFileIsWrittenOverAndGone) {
    const std::vector<StaleCase> cases = StaleCases();
    std::vector<std::unique_ptr<HostRun>> runs;
    for (const StaleCase &staleCase : cases) {
        runs.push_back(std::make_unique<HostRun>());
        HostRun &run = *runs.back();
        ASSERT_TRUE(PrepareHostRun(staleCase.label, &run)) << staleCase.label;
        const std::string &folder = run.hostCase.folder;
        if (staleCase.before != nullptr) {
            ASSERT_TRUE(WriteFileBytes(SettingsPath(folder), staleCase.before));
        }
        ASSERT_TRUE(WriteFileBytes(NewFilePath(folder), staleCase.stale)) << staleCase.label;
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
        std::string after;
        EXPECT_TRUE(ReadFileBytes(SettingsPath(run.hostCase.folder), &after));
        EXPECT_EQ(staleCase.after, after);
        EXPECT_FALSE(FileExists(NewFilePath(run.hostCase.folder)));
    }
    for (auto &run : runs) EndHostRun(run.get());
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
