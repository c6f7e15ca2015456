// The launcher handshake as the Launcher and the user see it: the token's
// bytes on the wire, the verdict on each kind of reply, the box for each
// failure, the connection closed before any box, and the bounds on a
// Launcher that never accepts or never answers.
#include <gtest/gtest.h>

#include <memory>

#include "launch_cases.h"
#include "test_support.h"

namespace {

const char kConnectFailedText[] =
    "Khong the ket noi den Launcher!\nVui long mo Launcher truoc khi choi game.";
const char kNoReplyText[] = "Khong nhan duoc phan hoi tu Launcher!";
const char kRejectedText[] = "Xac thuc that bai! Token khong hop le.";

// Not a file the host writes: after a failed handshake it must still hold
// exactly these bytes.
const char kOddSettings[] = "width=640\r\nheight=9999\r\n; by hand\r\n";

// A string literal with its embedded NUL bytes.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

DWORD TimeLeft(DWORD deadline) {
    LONG left = (LONG)(deadline - GetTickCount());
    return left > 0 ? (DWORD)left : 0;
}

enum Peer { NoListener, Listener };

struct ReplyCase {
    const char *label;
    Peer peer;
    LauncherAction action;
    std::vector<std::string> pieces;
    DWORD pauseMs;
    const char *boxText;  // nullptr: accepted, the host window opens
};

const std::string kLongWithWord = Bytes("LINK_UP\0") + std::string(292, 'x');

const ReplyCase kReplyCases[] = {
    {"NoListener", NoListener, LauncherReplies, {}, 0, kConnectFailedText},
    {"ClosesSilently", Listener, LauncherClosesSilently, {}, 0, kNoReplyText},
    {"LinkUp", Listener, LauncherReplies, {"LINK_UP"}, 0, nullptr},
    {"LinkUpCrLf", Listener, LauncherReplies, {"LINK_UP\r\n"}, 0, kRejectedText},
    {"LinkUpLf", Listener, LauncherReplies, {"LINK_UP\n"}, 0, kRejectedText},
    {"LinkUpBlank", Listener, LauncherReplies, {"LINK_UP "}, 0, kRejectedText},
    {"LowerCase", Listener, LauncherReplies, {"link_up"}, 0, kRejectedText},
    {"Denied", Listener, LauncherReplies, {"DENIED"}, 0, kRejectedText},
    {"LeadingBlank", Listener, LauncherReplies, {" LINK_UP"}, 0, kRejectedText},
    {"Prefix", Listener, LauncherReplies, {"LINK_U"}, 0, kRejectedText},
    {"NulFirst", Listener, LauncherReplies, {Bytes("\0LINK_UP")}, 0, kRejectedText},
    {"NulThenGarbage", Listener, LauncherReplies, {Bytes("LINK_UP\0garbage")}, 0, nullptr},
    // One receive only: what follows the pause is never read.
    {"SplitAfterPrefix", Listener, LauncherReplies, {"LINK", "_UP"}, 1000, kRejectedText},
    // Longer than one receive takes: only the first 255 bytes count.
    {"Long300NulAfterWord", Listener, LauncherReplies, {kLongWithWord}, 0, nullptr},
    {"Long300Letters", Listener, LauncherReplies, {std::string(300, 'A')}, 0, kRejectedText},
};

TEST(Handshake, EachLauncherAnswerGetsItsVerdictAndTokenGoesOutExactly) {
    const size_t count = sizeof kReplyCases / sizeof kReplyCases[0];
    std::vector<std::unique_ptr<LaunchCase>> cases;
    for (size_t i = 0; i < count; i++) {
        const ReplyCase &row = kReplyCases[i];
        SCOPED_TRACE(row.label);
        cases.push_back(std::make_unique<LaunchCase>());
        LaunchCase &c = *cases.back();
        ASSERT_TRUE(PrepareLaunchCase(row.label, &c));
        if (row.boxText) {
            ASSERT_TRUE(WriteFileBytes(c.hostCase.folder + "TRNW.conf", kOddSettings));
        }
        int port = 0;
        if (row.peer == Listener) {
            LauncherScript script;
            script.action = row.action;
            script.replyPieces = row.pieces;
            script.pauseBetweenPiecesMs = row.pauseMs;
            ASSERT_TRUE(StartCaseLauncher(script, &c));
            port = c.launcher.port;
        } else {
            port = UnusedPort();
            ASSERT_NE(0, port);
        }
        std::string token = std::string("tok-") + row.label;
        ASSERT_TRUE(StartHost(&c.hostCase, LaunchArguments(token, port)));
    }
    // The hosts run side by side, so one deadline serves all their closes: a
    // host that keeps its end open costs the wait once, not once per case.
    const DWORD closeDeadline = GetTickCount() + kEventWaitMs;
    for (size_t i = 0; i < count; i++) {
        const ReplyCase &row = kReplyCases[i];
        LaunchCase &c = *cases[i];
        SCOPED_TRACE(row.label);
        // Only a host that has sent its token and is waiting for an answer
        // can close its end first; a Launcher that closes first sees nothing.
        bool hostClosesFirst = row.peer == Listener && row.action == LauncherReplies;
        if (row.boxText == nullptr) {
            HWND window = WaitForHostWindow(c.hostCase);
            ASSERT_NE(nullptr, window) << DescribeHost(c.hostCase);
            EXPECT_TRUE(VisibleMessageBoxes(c.hostCase.host.id).empty());
            EXPECT_TRUE(WaitUntil([&] { return LauncherSawHostClose(c.launcher); },
                                  TimeLeft(closeDeadline)))
                << "the host window is open and the connection still is too";
            EXPECT_EQ(0, CloseHostAndWait(&c.hostCase, window));
        } else {
            MessageBoxSeen box;
            ASSERT_TRUE(WaitForMessageBox(c.hostCase.host.id, kEventWaitMs, &box))
                << DescribeHost(c.hostCase);
            EXPECT_EQ("Loi Auth", box.caption);
            EXPECT_EQ(row.boxText, box.text);
            EXPECT_EQ(nullptr, box.owner);
            if (hostClosesFirst) {
                EXPECT_TRUE(WaitUntil([&] { return LauncherSawHostClose(c.launcher); },
                                      TimeLeft(closeDeadline)))
                    << "the box is up and the connection is still open";
            }
            DWORD code = 0;
            EXPECT_EQ("", DismissAndWatchExit(box.box, c.hostCase.host, &code));
            EXPECT_EQ(1u, code);
            std::string settings;
            ASSERT_TRUE(ReadFileBytes(c.hostCase.folder + "TRNW.conf", &settings));
            EXPECT_EQ(kOddSettings, settings);
        }
        if (row.peer == Listener) {
            StopLauncher(&c.launcher);
            c.launcherStarted = false;
            EXPECT_EQ(1, c.launcher.connections);
            // Everything the host sent until it closed: the token, with no
            // terminator, line end or second send after it.
            EXPECT_EQ(std::string("tok-") + row.label, c.launcher.received);
        }
    }
}

// Both waits are bounded at 10 s; the two cases run side by side so that the
// test costs one bound, not two.  The scripted Launchers hold out for 30 s
// and more, so a box within this wait can only come from the host's bound.
const DWORD kPastTheBoundMs = 25000;

TEST(Handshake, LauncherThatNeverAnswersOrNeverAcceptsEndsInItsBoxAfterTheBound) {
    LaunchCase hangs;
    ASSERT_TRUE(PrepareLaunchCase("Hangs", &hangs));
    LauncherScript hangScript;
    hangScript.action = LauncherHangs;
    ASSERT_TRUE(StartCaseLauncher(hangScript, &hangs));
    ASSERT_TRUE(StartHost(&hangs.hostCase, LaunchArguments("tok-hangs", hangs.launcher.port)));

    LaunchCase full;
    ASSERT_TRUE(PrepareLaunchCase("BacklogFull", &full));
    LauncherScript fullScript;
    fullScript.action = LauncherNeverAccepts;
    ASSERT_TRUE(StartCaseLauncher(fullScript, &full));
    // A connect of our own beside the host's: while it is still pending when
    // the host gives up, the host's connect was waiting on the full backlog
    // too, not refused.
    SOCKET probe = INVALID_SOCKET;
    ASSERT_TRUE(BeginConnect(full.launcher.port, &probe));
    struct ProbeCloser {
        SOCKET sock;
        ~ProbeCloser() { closesocket(sock); }
    } probeCloser{probe};
    ASSERT_EQ(ConnectPending, CheckConnect(probe)) << "the backlog trick does not hold here";
    ASSERT_TRUE(StartHost(&full.hostCase, LaunchArguments("tok-full", full.launcher.port)));

    MessageBoxSeen noReply;
    ASSERT_TRUE(WaitForMessageBox(hangs.hostCase.host.id, kPastTheBoundMs, &noReply))
        << DescribeHost(hangs.hostCase);
    EXPECT_EQ("Loi Auth", noReply.caption);
    EXPECT_EQ(kNoReplyText, noReply.text);
    EXPECT_EQ(nullptr, noReply.owner);
    EXPECT_TRUE(WaitUntil([&] { return LauncherSawHostClose(hangs.launcher); }, kEventWaitMs))
        << "the box is up and the connection is still open";

    MessageBoxSeen noConnection;
    ASSERT_TRUE(WaitForMessageBox(full.hostCase.host.id, kPastTheBoundMs, &noConnection))
        << DescribeHost(full.hostCase);
    EXPECT_EQ(ConnectPending, CheckConnect(probe))
        << "the backlog let a connection through or refused it: the host's wait was not tested";
    EXPECT_EQ("Loi Auth", noConnection.caption);
    EXPECT_EQ(kConnectFailedText, noConnection.text);
    EXPECT_EQ(nullptr, noConnection.owner);

    DWORD code = 0;
    EXPECT_EQ("", DismissAndWatchExit(noReply.box, hangs.hostCase.host, &code));
    EXPECT_EQ(1u, code);
    EXPECT_EQ("", DismissAndWatchExit(noConnection.box, full.hostCase.host, &code));
    EXPECT_EQ(1u, code);

    StopLauncher(&hangs.launcher);
    hangs.launcherStarted = false;
    EXPECT_EQ(1, hangs.launcher.connections);
    EXPECT_EQ("tok-hangs", hangs.launcher.received);
}

}  // namespace
