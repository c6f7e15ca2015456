// Hostile and broken input the host must survive: Launchers that reset,
// trickle, flood or send binary bytes, settings files of noise, of ten
// mebibytes or locked by another process, and a Launcher listening on every
// address, whose connection must still be made to and from loopback only.
#include <gtest/gtest.h>
#include <ws2tcpip.h>

#include <memory>

#include "host_runs.h"
#include "launch_cases.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

const char kNoReplyText[] = "Khong nhan duoc phan hoi tu Launcher!";
const char kRejectedText[] = "Xac thuc that bai! Token khong hop le.";

// Not a file the host writes: after a failed handshake it must still hold
// exactly these bytes.
const char kOddSettings[] = "width=640\r\nheight=9999\r\n; by hand\r\n";

DWORD TimeLeft(DWORD deadline) {
    LONG left = (LONG)(deadline - GetTickCount());
    return left > 0 ? (DWORD)left : 0;
}

SIZE OuterSize(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

std::string SettingsPath(const HostCase &hostCase) { return hostCase.folder + "TRNW.conf"; }

// The same bytes on every run, so that a failure can be replayed.
struct FixedRandom {
    unsigned long long state;
    unsigned Next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (unsigned)(state >> 33);
    }
};

// ---- Launchers ----------------------------------------------------------------

struct LauncherCase {
    const char *label;
    LauncherAction action;
    std::vector<std::string> pieces;
    DWORD pauseMs;
    const char *boxText;  // nullptr: accepted, the host window opens
};

std::vector<LauncherCase> LauncherCases() {
    const std::string flood(64 * 1024, 'A');
    const std::string floodAfterWord = "LINK_UP\0"s + std::string(64 * 1024 - 8, 'A');
    std::vector<std::string> trickle;
    for (char c : std::string("LINK_UP")) trickle.push_back(std::string(1, c));
    std::vector<std::string> wordThenMore = {"LINK_UP"};
    for (int i = 0; i < 5; i++) wordThenMore.push_back(std::string(4096, 'm'));
    return {
        // Platform limit: Wine 8 resets the connection (the host's next send
        // would fail with WSAECONNRESET) but its recv then returns 0 instead
        // of failing, so here this row sees the orderly-close path; on
        // Windows the recv fails.  Both are "no reply".
        {"ResetAfterToken", LauncherResets, {}, 0, kNoReplyText},
        // One receive only: the first byte alone is judged.
        {"TrickleOneBytePerPause", LauncherReplies, trickle, 300, kRejectedText},
        {"Flood64KiBLetters", LauncherReplies, {flood}, 0, kRejectedText},
        {"Flood64KiBAfterWordAndNul", LauncherReplies, {floodAfterWord}, 0, nullptr},
        {"BinaryBytesBeforeWord", LauncherReplies, {"\x00\xff\x01LINK_UP"s}, 0, kRejectedText},
        // What follows the word after a pause is never read.
        {"WordThenKeepsSending", LauncherReplies, wordThenMore, 300, nullptr},
    };
}

TEST(BadInput, HostileLaunchersGetTheirVerdict) {
    const std::vector<LauncherCase> rows = LauncherCases();
    std::vector<std::unique_ptr<LaunchCase>> cases;
    for (const LauncherCase &row : rows) {
        SCOPED_TRACE(row.label);
        cases.push_back(std::make_unique<LaunchCase>());
        LaunchCase &c = *cases.back();
        ASSERT_TRUE(PrepareLaunchCase(row.label, &c));
        if (row.boxText) {
            ASSERT_TRUE(WriteFileBytes(SettingsPath(c.hostCase), kOddSettings));
        }
        LauncherScript script;
        script.action = row.action;
        script.replyPieces = row.pieces;
        script.pauseBetweenPiecesMs = row.pauseMs;
        ASSERT_TRUE(StartCaseLauncher(script, &c));
        ASSERT_TRUE(StartHost(&c.hostCase,
                              LaunchArguments(std::string("tok-") + row.label, c.launcher.port)));
    }
    // The hosts run side by side, so one deadline serves the whole table.
    const DWORD deadline = GetTickCount() + kEventWaitMs;
    for (size_t i = 0; i < rows.size(); i++) {
        const LauncherCase &row = rows[i];
        LaunchCase &c = *cases[i];
        SCOPED_TRACE(row.label);
        if (row.boxText == nullptr) {
            HWND window = WaitForWindow(c.hostCase.host.id, "TRNWGameClass", TimeLeft(deadline));
            EXPECT_NE(nullptr, window) << DescribeHost(c.hostCase);
            // Each row tells its own story: a missing window or box ends
            // only that row.
            if (window == nullptr) continue;
            EXPECT_TRUE(VisibleMessageBoxes(c.hostCase.host.id).empty());
            SIZE seen = OuterSize(window);
            EXPECT_EQ(1080, seen.cx);
            EXPECT_EQ(820, seen.cy);
            EXPECT_EQ(0, CloseHostAndWait(&c.hostCase, window));
            std::string settings;
            ASSERT_TRUE(ReadFileBytes(SettingsPath(c.hostCase), &settings));
            EXPECT_EQ(RewrittenSettings("1080", "820"), settings);
        } else {
            MessageBoxSeen box;
            bool boxSeen = WaitForMessageBox(c.hostCase.host.id, TimeLeft(deadline), &box);
            EXPECT_TRUE(boxSeen) << DescribeHost(c.hostCase);
            if (!boxSeen) continue;
            EXPECT_EQ("Loi Auth", box.caption);
            EXPECT_EQ(row.boxText, box.text);
            EXPECT_EQ(nullptr, box.owner);
            DWORD code = 0;
            EXPECT_EQ("", DismissAndWatchExit(box.box, c.hostCase.host, &code));
            EXPECT_EQ(1u, code);
            std::string settings;
            ASSERT_TRUE(ReadFileBytes(SettingsPath(c.hostCase), &settings));
            EXPECT_EQ(kOddSettings, settings);
        }
        StopLauncher(&c.launcher);
        c.launcherStarted = false;
        EXPECT_EQ(1, c.launcher.connections);
        EXPECT_EQ(std::string("tok-") + row.label, c.launcher.received);
    }
}

// ---- settings files -------------------------------------------------------------

// Bytes of every value but Ctrl-Z, NULs among them: a Ctrl-Z would end the
// text-mode read within the first few hundred bytes and leave the rest unread.
std::string BinaryNoise() {
    FixedRandom random{20261210};
    std::string bytes(64 * 1024, '\0');
    for (char &b : bytes) {
        b = (char)(random.Next() & 0xFF);
        if (b == '\x1A') b = '\x1B';
    }
    return bytes;
}

// Ten mebibytes of lines of letters, digits and blanks, many longer than one
// 255-byte read, with an early width line that the last one overrides.
std::string HugeTextWithWidthAtEnd() {
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789 .,;#";
    FixedRandom random{42};
    std::string text = "width=900\r\n";
    text.reserve(10 * 1024 * 1024 + 64);
    while (text.size() < 10 * 1024 * 1024) {
        size_t length = random.Next() % 600;
        for (size_t i = 0; i < length; i++)
            text += alphabet[random.Next() % (sizeof alphabet - 1)];
        text += (random.Next() & 1) ? "\r\n" : "\n";
    }
    return text + "width=1234\r\n";
}

struct FileCase {
    const char *label;
    std::string before;
    bool heldExclusively;  // the test holds TRNW.conf open with no sharing
    int usedWidth;
    int usedHeight;
    std::string after;
};

TEST(BadInput, BrokenSettingsFilesStillStartTheHost) {
    const std::string before = "width=900\r\nheight=700\r\nvolume=80\r\n";
    const std::vector<FileCase> rows = {
        {"BinaryNoise", BinaryNoise(), false, 1080, 820, RewrittenSettings("1080", "820")},
        {"TenMiBTextLastWidthWins", HugeTextWithWidthAtEnd(), false, 1234, 820,
         RewrittenSettings("1234", "820")},
        // Neither read nor replaced: the host starts with the defaults.
        {"HeldWithNoSharing", before, true, 1080, 820, before},
    };
    std::vector<std::unique_ptr<HostRun>> runs;
    std::vector<HANDLE> holders(rows.size(), INVALID_HANDLE_VALUE);
    struct HolderCloser {
        std::vector<HANDLE> *holders;
        ~HolderCloser() {
            for (HANDLE &h : *holders)
                if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    } closer{&holders};
    for (size_t i = 0; i < rows.size(); i++) {
        runs.push_back(std::make_unique<HostRun>());
        HostRun &run = *runs.back();
        ASSERT_TRUE(PrepareHostRun(rows[i].label, &run)) << rows[i].label;
        const std::string path = SettingsPath(run.hostCase);
        ASSERT_TRUE(WriteFileBytes(path, rows[i].before)) << rows[i].label;
        if (rows[i].heldExclusively) {
            holders[i] = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, holders[i]) << rows[i].label;
            // The hold must shut out readers too, or the case tests nothing.
            HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_EQ(INVALID_HANDLE_VALUE, reader) << "platform limit: sharing is not enforced";
            if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
        }
    }
    for (auto &run : runs) ASSERT_TRUE(StartHostRun(run.get())) << run->label;

    const DWORD started = GetTickCount();
    for (size_t i = 0; i < rows.size(); i++) {
        const FileCase &row = rows[i];
        HostRun &run = *runs[i];
        SCOPED_TRACE(row.label);
        run.window = WaitForHostWindowWithin(run, started, kEventWaitMs);
        EXPECT_NE(nullptr, run.window) << DescribeHost(run.hostCase);
        if (run.window != nullptr) {
            SIZE seen = OuterSize(run.window);
            EXPECT_EQ(row.usedWidth, seen.cx);
            EXPECT_EQ(row.usedHeight, seen.cy);
            EXPECT_EQ(0, CloseHostAndWait(&run.hostCase, run.window));
        }
        EndHostRun(&run);
        if (holders[i] != INVALID_HANDLE_VALUE) CloseHandle(holders[i]);
        holders[i] = INVALID_HANDLE_VALUE;
        std::string after;
        EXPECT_TRUE(ReadFileBytes(SettingsPath(run.hostCase), &after));
        EXPECT_TRUE(row.after == after) << "TRNW.conf holds " << after.size()
                                        << " bytes, expected " << row.after.size() << ": "
                                        << after.substr(0, 200);
        EXPECT_TRUE(FilesNamedAfterSettings(run.hostCase.folder).empty());
    }
}

// ---- where the token goes ---------------------------------------------------------

struct SocketCloser {
    SOCKET sock = INVALID_SOCKET;
    ~SocketCloser() {
        if (sock != INVALID_SOCKET) closesocket(sock);
    }
};

bool Readable(SOCKET sock, DWORD milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval limit = {(long)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

std::string AddressText(const sockaddr_in &address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, (void *)&address.sin_addr, text, sizeof text);
    return text;
}

// A Launcher listening on every address of the machine: the host's
// connection must still run between loopback addresses at both ends, so
// the token never leaves the machine on another interface.
TEST(BadInput, TokenGoesOnlyToLoopbackEvenWhenLauncherListensEverywhere) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    struct Cleanup {
        ~Cleanup() { WSACleanup(); }
    } cleanup;
    int port = UnusedPort();
    ASSERT_NE(0, port);
    SocketCloser listener;
    listener.sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, listener.sock);
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_port = htons((u_short)port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(0, bind(listener.sock, (sockaddr *)&any, sizeof any));
    ASSERT_EQ(0, listen(listener.sock, 1));

    LaunchCase c;  // ends the host on every way out
    ASSERT_TRUE(PrepareLaunchCase("any", &c));
    ASSERT_TRUE(StartHost(&c.hostCase, LaunchArguments("tok-any", port)));
    ASSERT_TRUE(Readable(listener.sock, kEventWaitMs)) << DescribeHost(c.hostCase);
    SocketCloser peer;
    peer.sock = accept(listener.sock, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, peer.sock);

    sockaddr_in local = {}, remote = {};
    int size = sizeof local;
    ASSERT_EQ(0, getsockname(peer.sock, (sockaddr *)&local, &size));
    size = sizeof remote;
    ASSERT_EQ(0, getpeername(peer.sock, (sockaddr *)&remote, &size));
    EXPECT_EQ("127.0.0.1", AddressText(local));
    EXPECT_EQ(port, ntohs(local.sin_port));
    EXPECT_EQ("127.0.0.1", AddressText(remote));

    std::string received;
    char buffer[256];
    // The token comes in one send; a short quiet spell means it is whole.
    if (Readable(peer.sock, kEventWaitMs)) {
        do {
            int got = recv(peer.sock, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            received.append(buffer, got);
        } while (Readable(peer.sock, 300));
    }
    EXPECT_EQ("tok-any", received);
    ASSERT_EQ(7, send(peer.sock, "LINK_UP", 7, 0));
    HWND window = WaitForHostWindow(c.hostCase);
    ASSERT_NE(nullptr, window) << DescribeHost(c.hostCase);
    EXPECT_EQ(0, CloseHostAndWait(&c.hostCase, window));
}

}  // namespace
