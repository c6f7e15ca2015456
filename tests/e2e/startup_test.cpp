// The start-up gate: which command lines reach the Launcher with which token
// and port, which are refused, and what the user and the Launcher see in each
// case.  The hosts of a table start side by side, each in its own folder
// against its own Launcher, and are then looked at one by one.
#include <gtest/gtest.h>

#include <memory>

#include "launch_cases.h"
#include "test_support.h"

namespace {

const char kRefusalText[] = "Game phai duoc khoi dong tu Launcher!\nVui long mo Launcher de choi.";
const char kConnectFailedText[] =
    "Khong the ket noi den Launcher!\nVui long mo Launcher truoc khi choi game.";

// A settings file the host would rewrite at once if it got as far as
// reading it: a refused start must leave these bytes alone.
const char kOddSettings[] = "width=640\r\n# kept by hand\r\nheight=9999\nWidth=1\r\n";

std::string Replace(std::string text, const std::string &mark, const std::string &with) {
    for (size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + with.size()))
        text.replace(at, mark.size(), with);
    return text;
}

// "{port}" is the case's own Launcher's port, "{port+65536}" the same with
// bit 16 set, "{-wrap}" the negative number that a 32-bit wrap-around would
// turn into the port; "{exe}" is left for StartHostWithCommandLine.
std::string ExpandPorts(const std::string &text, int port) {
    std::string out = Replace(text, "{port}", std::to_string(port));
    out = Replace(out, "{port+65536}", std::to_string(port + 65536));
    out = Replace(out, "{-wrap}", "-" + std::to_string(4294967296LL - port));
    return out;
}

std::string SettingsPath(const HostCase &hostCase) {
    return hostCase.folder + "TRNW.conf";
}

struct RefusedLine {
    const char *label;
    const char *commandLine;
};

// Every line here lacks a token or a positive port, although each case's
// Launcher listens and would accept: a wrong split or conversion shows as a
// connection to it.
const RefusedLine kRefusedLines[] = {
    {"NameOnly", "\"{exe}\""},
    {"NameAndOneSpace", "\"{exe}\" "},
    {"SpacesOnly", "\"{exe}\"       "},
    {"BlanksOnly", "\"{exe}\" \t  \t "},
    {"OneWord", "\"{exe}\" token"},
    {"OneWordBetweenSpaces", "\"{exe}\"    token    "},
    {"PortAsOnlyWord", "\"{exe}\" {port}"},
    {"TabBetweenTokenAndPort", "\"{exe}\" token\t{port}"},
    {"TabsAroundPortNoSpace", "\"{exe}\" token\t\t{port}\t"},
    {"PortZero", "\"{exe}\" token 0"},
    {"PortZeros", "\"{exe}\" token 0000"},
    {"PortNegative", "\"{exe}\" token -{port}"},
    {"PortMinusZero", "\"{exe}\" token -0"},
    {"PortNegativeBeyondRange", "\"{exe}\" token {-wrap}"},
    {"PortLettersOnly", "\"{exe}\" token abc"},
    {"PortLettersBeforeDigits", "\"{exe}\" token x{port}"},
    {"PortSignOnly", "\"{exe}\" token +"},
    {"PortWordOnlyTab", "\"{exe}\" token \t"},
    {"PortIsSecondWordNotThird", "\"{exe}\" token abc {port}"},
    {"QuotesDoNotGroupWords", "\"{exe}\" \"tok en\" {port}"},
};

TEST(Startup, RefusedCommandLinesShowRefusalBoxExitOneAndNeverCallLauncher) {
    const size_t count = sizeof kRefusedLines / sizeof kRefusedLines[0];
    std::vector<std::unique_ptr<LaunchCase>> cases;
    for (size_t i = 0; i < count; i++) {
        const RefusedLine &row = kRefusedLines[i];
        SCOPED_TRACE(row.label);
        cases.push_back(std::make_unique<LaunchCase>());
        LaunchCase &c = *cases.back();
        ASSERT_TRUE(PrepareLaunchCase(row.label, &c));
        // Every other case has a settings file of its own, to be left as it is.
        if (i % 2 == 0) {
            ASSERT_TRUE(WriteFileBytes(SettingsPath(c.hostCase), kOddSettings));
        }
        ASSERT_TRUE(StartCaseLauncher(LauncherScript{}, &c));
        ASSERT_TRUE(
            StartHostWithCommandLine(&c.hostCase, ExpandPorts(row.commandLine, c.launcher.port)));
    }
    for (size_t i = 0; i < count; i++) {
        LaunchCase &c = *cases[i];
        SCOPED_TRACE(c.label);
        MessageBoxSeen box;
        ASSERT_TRUE(WaitForMessageBox(c.hostCase.host.id, kEventWaitMs, &box))
            << DescribeHost(c.hostCase);
        EXPECT_EQ("Loi", box.caption);
        EXPECT_EQ(kRefusalText, box.text);
        EXPECT_EQ(nullptr, box.owner);
        EXPECT_TRUE(TopLevelWindows(c.hostCase.host.id, "TRNWGameClass").empty());
        DWORD code = 0;
        EXPECT_EQ("", DismissAndWatchExit(box.box, c.hostCase.host, &code));
        EXPECT_EQ(1u, code);
        StopLauncherNow(&c.launcher);
        c.launcherStarted = false;
        EXPECT_EQ(0, c.launcher.connections);
        EXPECT_EQ("", c.launcher.received);
        std::string settings;
        if (i % 2 == 0) {
            ASSERT_TRUE(ReadFileBytes(SettingsPath(c.hostCase), &settings));
            EXPECT_EQ(kOddSettings, settings);
        } else {
            EXPECT_FALSE(FileExists(SettingsPath(c.hostCase)));
        }
    }
}

std::string LongToken(size_t length = 3000) {
    std::string token;
    for (int i = 0; token.size() < length; i++) token += "k" + std::to_string(i);
    return token.substr(0, length);
}

struct AcceptedLine {
    const char *label;
    std::string commandLine;
    std::string token;  // what the Launcher must receive, byte for byte
};

const AcceptedLine kAcceptedLines[] = {
    {"Plain", "\"{exe}\" token123 {port}", "token123"},
    {"UnquotedName", "{exe} token {port}", "token"},
    {"TabAfterName", "\"{exe}\"\ttoken {port}", "token"},
    {"TabAfterUnquotedName", "{exe}\ttoken {port}", "token"},
    {"BlanksAfterName", "\"{exe}\" \t \t  token {port}", "token"},
    {"SeveralSpacesAround", "\"{exe}\"    token     {port}     ", "token"},
    {"ThirdWordIgnored", "\"{exe}\" token {port} 1", "token"},
    {"ManyWordsIgnored", "\"{exe}\" token {port} 0 -1 x \"y z\"", "token"},
    {"PortDigitsThenLetters", "\"{exe}\" token {port}abc", "token"},
    {"PortPlusSign", "\"{exe}\" token +{port}", "token"},
    {"PortLeadingZeros", "\"{exe}\" token 0000{port}", "token"},
    {"PortWordStartsWithTab", "\"{exe}\" token \t{port}", "token"},
    {"PortBit16Set", "\"{exe}\" token {port+65536}", "token"},
    {"TabInsideToken", "\"{exe}\" tok\ten {port}", "tok\ten"},
    {"TokenThenTabThenPortAsToken", "\"{exe}\" token\t{port} {port}", "token\t{port}"},
    {"QuoteStartsToken", "\"{exe}\" \"token {port}", "\"token"},
    {"QuotedPairSplitsAtSpace", "\"{exe}\" \"token {port}\"", "\"token"},
    {"BackslashesAndQuotesKept", "\"{exe}\" a\\\"b\\\\c\" {port}", "a\\\"b\\\\c\""},
    // Bytes above 0x7F are token bytes like any other, not blanks, also
    // right after the program's name.
    {"HighBytesInToken", "\"{exe}\" t\xe9k\xf6n\xa0 {port}", "t\xe9k\xf6n\xa0"},
    {"HighByteStartsToken", "\"{exe}\" \xe9t {port}", "\xe9t"},
    {"ControlBytesInToken", "\"{exe}\" to\x01k\x7f {port}", "to\x01k\x7f"},
    {"LongToken", "\"{exe}\" " + LongToken() + " {port}", LongToken()},
    // Near the system's limit of 32,767 characters for the whole command
    // line (the case folder's path takes the rest).
    {"TokenNearTheCommandLineLimit", "\"{exe}\" " + LongToken(32000) + " {port}", LongToken(32000)},
};

TEST(Startup, CommandLinesPassingTheGateHandTokenToLauncherOnItsPort) {
    const size_t count = sizeof kAcceptedLines / sizeof kAcceptedLines[0];
    std::vector<std::unique_ptr<LaunchCase>> cases;
    for (size_t i = 0; i < count; i++) {
        const AcceptedLine &row = kAcceptedLines[i];
        SCOPED_TRACE(row.label);
        cases.push_back(std::make_unique<LaunchCase>());
        LaunchCase &c = *cases.back();
        ASSERT_TRUE(PrepareLaunchCase(row.label, &c));
        ASSERT_TRUE(StartCaseLauncher(LauncherScript{}, &c));
        ASSERT_TRUE(
            StartHostWithCommandLine(&c.hostCase, ExpandPorts(row.commandLine, c.launcher.port)));
    }
    for (size_t i = 0; i < count; i++) {
        LaunchCase &c = *cases[i];
        SCOPED_TRACE(c.label);
        HWND window = WaitForHostWindow(c.hostCase);
        ASSERT_NE(nullptr, window) << DescribeHost(c.hostCase);
        EXPECT_TRUE(VisibleMessageBoxes(c.hostCase.host.id).empty()) << DescribeHost(c.hostCase);
        EXPECT_EQ(0, CloseHostAndWait(&c.hostCase, window));
        StopLauncher(&c.launcher);
        c.launcherStarted = false;
        EXPECT_EQ(1, c.launcher.connections);
        EXPECT_EQ(ExpandPorts(kAcceptedLines[i].token, c.launcher.port), c.launcher.received);
    }
}

// 99999999999 is beyond the 32-bit range, taken as 2147483647, whose low 16
// bits are 65535: the only port on which such a host can meet its Launcher.
TEST(Startup, ElevenNinesReachLauncherOnPort65535) {
    LaunchCase c;
    ASSERT_TRUE(PrepareLaunchCase("ElevenNines", &c));
    c.launcherStarted = StartLauncherOnPort(LauncherScript{}, 65535, &c.launcher);
    if (!c.launcherStarted) GTEST_SKIP() << "127.0.0.1:65535 is in use by another program";
    ASSERT_TRUE(StartHostWithCommandLine(&c.hostCase, "\"{exe}\" nines 99999999999"));
    HWND window = WaitForHostWindow(c.hostCase);
    ASSERT_NE(nullptr, window) << DescribeHost(c.hostCase);
    EXPECT_EQ(0, CloseHostAndWait(&c.hostCase, window));
    StopLauncher(&c.launcher);
    c.launcherStarted = false;
    EXPECT_EQ(1, c.launcher.connections);
    EXPECT_EQ("nines", c.launcher.received);
}

// Ports whose low 16 bits are 0 are positive, so they pass the gate; the
// handshake then fails on port 0 and only its own box is shown, never the
// refusal box after it, and the settings file stays as it was.
TEST(Startup, PortsWithLowBitsZeroPassGateThenShowOnlyConnectionBox) {
    const char *ports[] = {"65536", "131072", "2147418112"};
    std::vector<std::unique_ptr<LaunchCase>> cases;
    for (const char *port : ports) {
        SCOPED_TRACE(port);
        cases.push_back(std::make_unique<LaunchCase>());
        LaunchCase &c = *cases.back();
        ASSERT_TRUE(PrepareLaunchCase(std::string("Port") + port, &c));
        ASSERT_TRUE(WriteFileBytes(SettingsPath(c.hostCase), kOddSettings));
        ASSERT_TRUE(StartHostWithCommandLine(&c.hostCase, std::string("\"{exe}\" token ") + port));
    }
    for (auto &entry : cases) {
        LaunchCase &c = *entry;
        SCOPED_TRACE(c.label);
        MessageBoxSeen box;
        ASSERT_TRUE(WaitForMessageBox(c.hostCase.host.id, kEventWaitMs, &box))
            << DescribeHost(c.hostCase);
        EXPECT_EQ("Loi Auth", box.caption);
        EXPECT_EQ(kConnectFailedText, box.text);
        EXPECT_EQ(nullptr, box.owner);
        DWORD code = 0;
        EXPECT_EQ("", DismissAndWatchExit(box.box, c.hostCase.host, &code));
        EXPECT_EQ(1u, code);
        std::string settings;
        ASSERT_TRUE(ReadFileBytes(SettingsPath(c.hostCase), &settings));
        EXPECT_EQ(kOddSettings, settings);
    }
}

}  // namespace
