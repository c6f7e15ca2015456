// TRNW.conf as the user leaves it beside the host: which bytes give which
// window size, and which bytes the host leaves in the file after its start.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "host_runs.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

struct SettingsCase {
    const char *label;
    bool fileExists;
    std::string before;  // exact bytes on disk before the start
    int usedWidth;       // the size the host asks for
    int usedHeight;
    std::string after;  // exact bytes on disk after the start
};

// One line far longer than the 255 bytes read at a time: each 255-byte piece
// is judged as a line of its own, so only keys that begin a piece count.
std::string LongLineFile() {
    std::string line(100000, 'a');
    auto put = [&line](size_t at, const std::string &text) { line.replace(at, text.size(), text); };
    put(255 * 3, "width=1000");
    put(255 * 5 + 7, "width=1200");
    put(255 * 300, "height=640");
    put(255 * 301 - 3, "height=700");
    return line + "\r\n";
}

std::vector<SettingsCase> Cases() {
    const std::string defaults = RewrittenSettings("1080", "820");
    return {
        {"NoFile", false, "", 1080, 820, defaults},
        {"EmptyFile", true, "", 1080, 820, defaults},
        {"WidthAndHeight", true, "width=900\r\nheight=700\r\n", 900, 700,
         RewrittenSettings("900", "700")},
        {"WidthBelowMinimumKeptInFile", true, "width=640\r\n", 1080, 820,
         RewrittenSettings("640", "820")},
        {"LaterWidthBelowMinimumKeepsAcceptedWidth", true, "width=900\r\nwidth=640\r\n", 900, 820,
         RewrittenSettings("640", "820")},
        {"LastWidthLineWins", true, "width=900\r\nwidth=700\r\n", 900, 820,
         RewrittenSettings("700", "820")},
        {"KeysSpelledOtherwise", true,
         "Width=900\r\n width=950\r\n\twidth=990\r\nwidth =1000\r\nWIDTH=1010\r\nHeight=700\r\n",
         1080, 820, defaults},
        {"BlankAndSignBeforeNumber", true, "width= 900\r\nheight=+700\r\n", 900, 700,
         RewrittenSettings("900", "700")},
        {"TextAfterNumber", true, "width=900px\r\nheight=700.5\r\n", 900, 700,
         RewrittenSettings("900", "700")},
        {"HeightWithoutDigits", true, "width=900\r\nheight=\r\nheight= \r\nheight=+\r\n", 900, 820,
         RewrittenSettings("900", "820")},
        {"OtherGameVersionReplaced", true, "game_version=9.9.9.9\r\nwidth=900\r\nheight=700\r\n",
         900, 700, RewrittenSettings("900", "700")},
        {"CommentsAndOtherKeysDropped", true,
         "# window size\r\n; old\r\nfullscreen=1\r\nwidth=900\r\n\r\n[display]\r\nheight=700\r\n"
         "volume=80\r\n",
         900, 700, RewrittenSettings("900", "700")},
        {"LineFeedOnlyReadLikeCrLf", true, "width=900\nheight=700", 900, 700,
         RewrittenSettings("900", "700")},
        // A CR without LF stays in its line: the whole file is one line, of
        // which only the first 255-byte piece begins with a key.
        {"CarriageReturnOnlyIsOneLine", true,
         "width=900\rheight=700\rcomment=" + std::string(300, 'x') + "\rwidth=1200\r", 900, 820,
         RewrittenSettings("900", "820")},
        {"CtrlZEndsFile", true, "width=900\r\nheight=700\r\n\x1Awidth=1000\r\nheight=800\r\n", 900,
         700, RewrittenSettings("900", "700")},
        {"CtrlZInsideLineEndsFileThere", true,
         "width=1100\r\nheight=6\x1A" "50\r\nheight=700\r\n", 1100, 820,
         RewrittenSettings("1100", "6")},
        {"NulBytesInLines", true, "width=1\0" "900\r\nheight=700\0" "800\r\n\0width=1200\r\n"s, 1080,
         700, RewrittenSettings("1", "700")},
        {"LongLineInPiecesOf255", true, LongLineFile(), 1000, 640,
         RewrittenSettings("1000", "640")},
        // Values past 32 bits saturate; the window then meets the system's
        // clamp on its size.
        {"ValuesBeyond32BitsSaturate", true, "width=99999999999\r\nheight=-99999999999\r\n",
         2147483647, 820, RewrittenSettings("2147483647", "-2147483648")},
        {"MinimumsAreInclusive", true, "width=800\r\nheight=600\r\n", 800, 600,
         RewrittenSettings("800", "600")},
        {"JustBelowMinimums", true, "width=799\r\nheight=599\r\n", 1080, 820,
         RewrittenSettings("799", "599")},
    };
}

// CreateWindowEx clamps the outer size of an overlapped window to its
// maximum tracking size, which the host leaves as the system fills it:
// SM_CXMAXTRACK x SM_CYMAXTRACK, a little more than the screen (Wine 8 on
// its 1920x1080 virtual desktop gives 1932x1092, as Windows gives a few
// pixels more than its screen).  A settings size beyond that is still used
// as asked for the centring, but the window the user sees has the clamped
// size: width=2147483647 makes a window 1932 wide at x=-1073740863.
SIZE ExpectedOuterSize(int width, int height) {
    static const SIZE maximum = MaximumTrackSize();
    return SIZE{std::min<LONG>(width, maximum.cx), std::min<LONG>(height, maximum.cy)};
}

SIZE OuterSize(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

std::string SettingsPath(const HostRun &run) { return run.hostCase.folder + "TRNW.conf"; }

// All hosts start at once, each in its own folder against its own Launcher,
// and are then checked one by one: the cases do not depend on each other.
TEST(Settings, FileContentsGiveWindowSizeAndRewrite) {
    const std::vector<SettingsCase> cases = Cases();
    std::vector<std::unique_ptr<HostRun>> runs;
    for (const SettingsCase &settingsCase : cases) {
        runs.push_back(std::make_unique<HostRun>());
        HostRun &run = *runs.back();
        ASSERT_TRUE(PrepareHostRun(settingsCase.label, &run)) << settingsCase.label;
        if (settingsCase.fileExists) {
            ASSERT_TRUE(WriteFileBytes(SettingsPath(run), settingsCase.before))
                << settingsCase.label;
        }
    }
    for (auto &run : runs) ASSERT_TRUE(StartHostRun(run.get())) << run->label;

    // One bound for the whole table: hosts that never show a window cost
    // the wait once, not once each.
    const DWORD started = GetTickCount();
    for (size_t i = 0; i < cases.size(); i++) {
        const SettingsCase &settingsCase = cases[i];
        HostRun &run = *runs[i];
        SCOPED_TRACE(settingsCase.label);
        run.window = WaitForHostWindowWithin(run, started, kEventWaitMs);
        EXPECT_NE(nullptr, run.window);
        if (run.window == nullptr) continue;
        SIZE expected = ExpectedOuterSize(settingsCase.usedWidth, settingsCase.usedHeight);
        SIZE seen = OuterSize(run.window);
        EXPECT_EQ(expected.cx, seen.cx);
        EXPECT_EQ(expected.cy, seen.cy);
        EXPECT_EQ(0, CloseHostAndWait(&run.hostCase, run.window));
        std::string after;
        EXPECT_TRUE(ReadFileBytes(SettingsPath(run), &after));
        EXPECT_EQ(settingsCase.after, after);
    }
    for (auto &run : runs) EndHostRun(run.get());
}

// Root under Wine may open a read-only file for writing (Unix permissions do
// not stop root), so the attribute alone would not keep the file as it is
// here: the test also holds the file open without write sharing, which any
// writer is refused.  Platform limit: the attribute on its own is only
// checked where the tests do not run as root.
TEST(Settings, ReadOnlyFileIsReadButNotRewritten) {
    const std::string before = "width=900\r\nheight=700\r\nvolume=80\r\n";
    HostRun run;
    ASSERT_TRUE(PrepareHostRun("readonly", &run));
    const std::string path = SettingsPath(run);
    ASSERT_TRUE(WriteFileBytes(path, before));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    EXPECT_TRUE(StartHostRun(&run));
    run.window = WaitForHostWindow(run.hostCase);
    EXPECT_NE(nullptr, run.window);
    if (run.window != nullptr) {
        SIZE seen = OuterSize(run.window);
        EXPECT_EQ(900, seen.cx);
        EXPECT_EQ(700, seen.cy);
        EXPECT_EQ(0, CloseHostAndWait(&run.hostCase, run.window));
    }
    EndHostRun(&run);
    CloseHandle(held);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::string after;
    EXPECT_TRUE(ReadFileBytes(path, &after));
    EXPECT_EQ(before, after);
}

// The file is touched only after the Launcher accepts.
TEST(Settings, RefusedStartLeavesFileUntouched) {
    const std::string before = "# kept\r\nwidth=640\r\nheight=700\r\n";
    HostRun run;
    ASSERT_TRUE(PrepareHostRun("refused", &run));
    const std::string path = SettingsPath(run);
    ASSERT_TRUE(WriteFileBytes(path, before));
    LauncherScript refuses;
    refuses.replyPieces = {"DENIED"};
    ASSERT_TRUE(StartHostRun(&run, -1, refuses));
    MessageBoxSeen box;
    EXPECT_TRUE(WaitForMessageBox(run.hostCase.host.id, kEventWaitMs, &box));
    EXPECT_EQ("Loi Auth", box.caption);
    if (box.box != nullptr) DismissMessageBox(box.box);
    DWORD code = 0;
    EXPECT_TRUE(WaitForExit(run.hostCase.host, kEventWaitMs, &code));
    EXPECT_EQ(1u, code);
    EndHostRun(&run);
    std::string after;
    EXPECT_TRUE(ReadFileBytes(path, &after));
    EXPECT_EQ(before, after);
}

}  // namespace
