// The reference launcher seen from its host's side: it is started with a
// fake host (fake_host.exe) that follows a script of connections and
// reports the replies, its arguments and its folder; each case runs in a
// folder of its own below the test's working directory.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "image_under_test.h"
#include "test_support.h"

namespace {

// Far beyond a normal run (a few seconds), and beyond the launcher's own
// 30 s handshake window, so that only a hang reaches it.
const DWORD kLauncherMilliseconds = 60000;

std::string BinFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    char *slash = strrchr(path, '\\');
    if (slash != nullptr) slash[1] = '\0';
    return path;
}

// A fresh, empty folder for one case.
std::string CaseFolder(const std::string &name) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, current);
    std::string folder = std::string(current) + "\\launcher-" + CasesFolderName() + "\\" + name;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    return folder;
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Puts the fake host into folder under hostName with its script, and
// returns its path.
std::string PlaceFakeHost(const std::string &folder, const std::string &hostName,
                          const std::string &script) {
    std::string path = folder + "\\" + hostName;
    EXPECT_TRUE(CopyFileA((BinFolder() + "fake_host.exe").c_str(), path.c_str(), FALSE));
    WriteFile(folder + "\\fake_host.cfg", script);
    return path;
}

HANDLE CreateOutputFile(const std::string &path) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One launcher process and whatever it starts, in a job that ends them all
// when this goes, whatever the test's outcome.
struct LauncherProcess {
    HANDLE job = nullptr;
    PROCESS_INFORMATION process = {};
    std::string folder;

    LauncherProcess() = default;
    LauncherProcess(const LauncherProcess &) = delete;
    LauncherProcess &operator=(const LauncherProcess &) = delete;
    ~LauncherProcess() {
        if (job != nullptr) {
            TerminateJobObject(job, 1);
            CloseHandle(job);
        }
        if (process.hThread != nullptr) CloseHandle(process.hThread);
        if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    }
};

// Starts launcherPath in folder, with hostArgument as its one argument
// unless empty, and its stdout and stderr in launcher.out and launcher.err.
std::unique_ptr<LauncherProcess> StartLauncher(const std::string &folder,
                                               const std::string &launcherPath,
                                               const std::string &hostArgument) {
    auto launcher = std::make_unique<LauncherProcess>();
    launcher->folder = folder;
    launcher->job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(launcher->job, JobObjectExtendedLimitInformation, &limits,
                            sizeof limits);

    HANDLE out = CreateOutputFile(folder + "\\launcher.out");
    HANDLE err = CreateOutputFile(folder + "\\launcher.err");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string commandLine = "\"" + launcherPath + "\"";
    if (!hostArgument.empty()) commandLine += " \"" + hostArgument + "\"";
    // A current directory of its own, so that a host left in it would not
    // pass for a host started in its own folder.
    std::string elsewhere = folder + "\\launcher-cwd";
    std::filesystem::create_directories(elsewhere);
    // Suspended until it is in the job, so that no child can escape it.
    BOOL started = CreateProcessA(launcherPath.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                  CREATE_SUSPENDED, nullptr, elsewhere.c_str(), &startup,
                                  &launcher->process);
    CloseHandle(out);
    CloseHandle(err);
    EXPECT_TRUE(started) << "error " << GetLastError() << " starting " << launcherPath;
    if (started) {
        EXPECT_TRUE(AssignProcessToJobObject(launcher->job, launcher->process.hProcess));
        ResumeThread(launcher->process.hThread);
    }
    return launcher;
}

struct LauncherRun {
    bool ended = false;
    DWORD exitCode = 0;
    std::string out;
    std::string err;
    std::vector<std::pair<std::string, std::string>> report;
};

LauncherRun FinishLauncher(LauncherProcess &launcher) {
    LauncherRun run;
    if (launcher.process.hProcess != nullptr &&
        WaitForSingleObject(launcher.process.hProcess, kLauncherMilliseconds) == WAIT_OBJECT_0) {
        run.ended = true;
        GetExitCodeProcess(launcher.process.hProcess, &run.exitCode);
    }
    // Ends a fake host left behind before its report is read.
    TerminateJobObject(launcher.job, 1);
    run.out = ReadFile(launcher.folder + "\\launcher.out");
    run.err = ReadFile(launcher.folder + "\\launcher.err");
    std::istringstream report(ReadFile(launcher.folder + "\\fake_host.report"));
    std::string line;
    while (std::getline(report, line)) {
        size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        run.report.emplace_back(line.substr(0, space), line.substr(space + 1));
    }
    return run;
}

std::string Reported(const LauncherRun &run, const std::string &key) {
    for (const auto &entry : run.report)
        if (entry.first == key) return entry.second;
    return "<not reported>";
}

std::vector<std::string> AllReported(const LauncherRun &run, const std::string &key) {
    std::vector<std::string> values;
    for (const auto &entry : run.report)
        if (entry.first == key) values.push_back(entry.second);
    return values;
}

int CountOf(const std::string &text, const std::string &part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        count++;
    return count;
}

// Whether text has a line that ends with ending (CR LF or LF line ends).
bool HasLineEndingWith(const std::string &text, const std::string &ending) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= ending.size() &&
            line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
            return true;
    }
    return false;
}

bool IsLowerHex(const std::string &text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool SamePathIgnoringCase(std::string a, std::string b) {
    while (!a.empty() && a.back() == '\\') a.pop_back();
    while (!b.empty() && b.back() == '\\') b.pop_back();
    return _stricmp(a.c_str(), b.c_str()) == 0;
}

// The fake host's report on one of its connections, as the host would
// judge it: it reads one receive only.
void ExpectReply(const LauncherRun &run, size_t index, bool accepted) {
    std::string step = std::to_string(index);
    SCOPED_TRACE("connection " + step);
    ASSERT_EQ("ok", Reported(run, "connect" + step));
    std::string first = Reported(run, "first" + step);
    if (accepted) {
        EXPECT_EQ("LINK_UP", first);
        EXPECT_EQ("LINK_UP", Reported(run, "reply" + step)) << "nothing may follow the word";
    } else {
        EXPECT_NE("-", first) << "a refusal is a reply, not silence";
        EXPECT_NE(0u, first.rfind("LINK_UP", 0)) << first;
    }
    EXPECT_EQ("closed", Reported(run, "end" + step)) << "closed by the launcher after its reply";
}

TEST(LauncherHandshake, AcceptsTheTokenOnceAndRefusesEverythingElse) {
    struct Case {
        const char *name;
        std::vector<std::string> requests;  // what each connection sends
        std::vector<bool> accepted;         // what each connection must get
        int hostExitCode;
    } cases[] = {
        {"right", {"right"}, {true}, 7},
        {"wrong_short_long_then_right", {"wrong", "short", "long", "right"},
         {false, false, false, true}, 9},
        {"right_twice", {"right", "right"}, {true, false}, 11},
        {"silent_then_right", {"nothing", "right"}, {false, true}, 0},
        {"never_connects", {}, {}, 5},
    };
    // The cases are independent: all run at once, each in its own folder.
    std::vector<std::unique_ptr<LauncherProcess>> launchers;
    for (const Case &c : cases) {
        std::string folder = CaseFolder(std::string("handshake_") + c.name);
        std::string script;
        for (const std::string &request : c.requests) script += "send " + request + "\n";
        script += "exit " + std::to_string(c.hostExitCode) + "\n";
        std::string host = PlaceFakeHost(folder, "fake_host.exe", script);
        launchers.push_back(StartLauncher(folder, ImageUnderTest("launcher.exe"), host));
    }
    for (size_t i = 0; i < launchers.size(); i++) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.name);
        LauncherRun run = FinishLauncher(*launchers[i]);
        ASSERT_TRUE(run.ended) << "the launcher did not end";
        EXPECT_EQ((DWORD)c.hostExitCode, run.exitCode) << "the launcher ends with the host's code";
        for (size_t k = 0; k < c.requests.size(); k++) ExpectReply(run, k, c.accepted[k]);
        int acceptances = 0;
        for (bool accepted : c.accepted) acceptances += accepted ? 1 : 0;
        EXPECT_EQ(acceptances, CountOf(run.out, "handshake accepted")) << run.out;
        EXPECT_EQ((int)c.requests.size() - acceptances, CountOf(run.out, "handshake refused"))
            << run.out;
    }
}

TEST(LauncherStart, GivesEachHostAFreshTokenAndThePortInTheHostsFolder) {
    // Once with the default host beside the launcher, once with a path.
    std::string besideFolder = CaseFolder("start_default_host");
    std::string launcherCopy = besideFolder + "\\launcher.exe";
    ASSERT_TRUE(CopyFileA((ImageUnderTest("launcher.exe")).c_str(), launcherCopy.c_str(), FALSE));
    std::string defaultHost = PlaceFakeHost(besideFolder, "GameHost.exe", "send right\nexit 0\n");
    std::string namedFolder = CaseFolder("start_named_host");
    std::string namedHost = PlaceFakeHost(namedFolder, "fake_host.exe", "send right\nexit 0\n");

    struct Start {
        std::string folder, host;
        std::unique_ptr<LauncherProcess> launcher;
    } starts[] = {
        {besideFolder, defaultHost, StartLauncher(besideFolder, launcherCopy, "")},
        {namedFolder, namedHost, StartLauncher(namedFolder, ImageUnderTest("launcher.exe"),
                                                namedHost)},
    };
    std::vector<std::string> tokens;
    for (Start &start : starts) {
        SCOPED_TRACE(start.host);
        LauncherRun run = FinishLauncher(*start.launcher);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(0u, run.exitCode);
        ASSERT_EQ("3", Reported(run, "argc")) << "the token and the port, nothing more";
        std::string token = Reported(run, "token");
        std::string port = Reported(run, "port");
        EXPECT_EQ(32u, token.size()) << token;
        EXPECT_TRUE(IsLowerHex(token)) << token;
        EXPECT_EQ("\"" + start.host + "\" " + token + " " + port, Reported(run, "commandline"));
        EXPECT_TRUE(SamePathIgnoringCase(start.folder, Reported(run, "cwd")))
            << Reported(run, "cwd");
        EXPECT_TRUE(HasLineEndingWith(run.out, " 127.0.0.1:" + port)) << run.out;
        EXPECT_EQ(std::string::npos, run.out.find(token)) << "the token is not printed whole";
        ExpectReply(run, 0, true);
        tokens.push_back(token);
    }
    EXPECT_NE(tokens[0], tokens[1]);
}

TEST(LauncherListener, ListensOnTheLoopbackAddressOnly) {
    std::string folder = CaseFolder("listener_loopback_only");
    std::string host = PlaceFakeHost(folder, "fake_host.exe", "probe\nsend right\nexit 0\n");
    auto launcher = StartLauncher(folder, ImageUnderTest("launcher.exe"), host);
    LauncherRun run = FinishLauncher(*launcher);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ("127.0.0.1:" + Reported(run, "port"), Reported(run, "peer0"));
    std::vector<std::string> probes = AllReported(run, "probe");
    ASSERT_FALSE(probes.empty());
    EXPECT_EQ("127.0.0.2 refused", probes[0]);
    for (const std::string &probe : probes) EXPECT_NE(std::string::npos, probe.find(" refused"));
    ExpectReply(run, 0, true);
}

TEST(LauncherStart, EndsWithItsOwnCodeWhenTheHostCannotStart) {
    std::string folder = CaseFolder("start_missing_host");
    auto launcher = StartLauncher(folder, ImageUnderTest("launcher.exe"), folder + "\\missing.exe");
    LauncherRun run = FinishLauncher(*launcher);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("cannot start the host")) << run.err;
    EXPECT_EQ(std::string::npos, run.out.find("started")) << run.out;
}

// ---- a crowd of peers on the port before the host -----------------------

// What the fake host publishes once it runs: the token and the port.
bool AwaitPublished(const std::string &folder, std::string *token, int *port) {
    return WaitUntil(
        [&] {
            std::istringstream ready(ReadFile(folder + "\\fake_host.ready"));
            return (bool)(ready >> *token >> *port) && token->size() == 32u && *port > 0;
        },
        kLauncherMilliseconds);
}

// A local program on the Launcher's port that is not the host: it sends
// nothing, or the right token one byte at a time, far too slowly.
struct CrowdPeer {
    bool trickles = false;
    SOCKET sock = INVALID_SOCKET;
    size_t sent = 0;
    std::string reply;
    std::string end = "open";  // "closed" (in order), "reset", or "open"
    ULONGLONG openedAt = 0;
    ULONGLONG endedAt = 0;
};

const DWORD kTrickleEveryMs = 150;  // 32 bytes take 4.8 s, beyond any read bound
// Generous, and below the Launcher's 30 s window: a Launcher that held its
// peers until the window ends, or served them one after another (40 times
// its read bound), leaves some of them open here.
const DWORD kCrowdWatchMs = 25000;

bool OpenCrowdPeer(int port, bool trickles, CrowdPeer *peer) {
    peer->trickles = trickles;
    peer->sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(peer->sock, (const sockaddr *)&address, sizeof address) != 0) return false;
    // Watched without select, whose set would be too small for them all.
    u_long nonBlocking = 1;
    ioctlsocket(peer->sock, FIONBIO, &nonBlocking);
    peer->openedAt = GetTickCount64();
    return true;
}

void EndCrowdPeer(CrowdPeer *peer, const char *end) {
    peer->end = end;
    peer->endedAt = GetTickCount64();
    closesocket(peer->sock);
    peer->sock = INVALID_SOCKET;
}

// Reads what the Launcher wrote, and trickles the next byte when it is due.
void TendCrowdPeer(CrowdPeer *peer, const std::string &token, ULONGLONG now) {
    char buffer[256];
    int got = recv(peer->sock, buffer, sizeof buffer, 0);
    if (got > 0) peer->reply.append(buffer, got);
    if (got == 0) return EndCrowdPeer(peer, "closed");
    if (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return EndCrowdPeer(peer, "reset");
    if (!peer->trickles || peer->sent >= token.size()) return;
    if (now < peer->openedAt + (peer->sent + 1) * kTrickleEveryMs) return;
    if (send(peer->sock, token.data() + peer->sent, 1, 0) != 1) return EndCrowdPeer(peer, "reset");
    peer->sent++;
}

// True while some peer is still open.
bool TendCrowd(std::vector<CrowdPeer> *crowd, const std::string &token, ULONGLONG now) {
    bool anyOpen = false;
    for (CrowdPeer &peer : *crowd) {
        if (peer.sock == INVALID_SOCKET) continue;
        TendCrowdPeer(&peer, token, now);
        anyOpen = anyOpen || peer.sock != INVALID_SOCKET;
    }
    return anyOpen;
}

// The real host's window, once the fake host has started it and it shows.
HWND ShownHostWindow(const std::string &folder) {
    DWORD hostId = (DWORD)atoi(ReadFile(folder + "\\fake_host.child").c_str());
    if (hostId == 0) return nullptr;
    for (HWND window : TopLevelWindows(hostId, "TRNWGameClass"))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

void ExpectClosedByTheLauncher(const std::vector<CrowdPeer> &crowd, bool trickling,
                               const std::string &caseName) {
    ULONGLONG shortest = ~0ull, longest = 0;
    for (size_t i = 0; i < crowd.size(); i++) {
        const CrowdPeer &peer = crowd[i];
        if (peer.trickles != trickling) continue;
        SCOPED_TRACE((trickling ? "trickling peer " : "silent peer ") + std::to_string(i));
        EXPECT_NE("open", peer.end) << "still open when the watch ended";
        EXPECT_NE(0u, peer.reply.rfind("LINK_UP", 0)) << peer.reply;
        if (trickling) {
            // A reset is what a close with a trickled byte still unread
            // becomes; the refusal may then be lost on the way.
            EXPECT_LT(peer.sent, 32u) << "closed only after the whole token was in";
            if (peer.end == "closed") {
                EXPECT_EQ("DENIED", peer.reply);
            }
        } else {
            EXPECT_EQ("closed", peer.end);
            EXPECT_EQ("DENIED", peer.reply);
        }
        shortest = std::min(shortest, peer.endedAt - peer.openedAt);
        longest = std::max(longest, peer.endedAt - peer.openedAt);
    }
    if (longest > 0)
        printf("[ figures  ] %s: %s peers closed %llu to %llu ms after their connect\n",
               caseName.c_str(), trickling ? "trickling" : "silent", shortest, longest);
}

struct CrowdCase {
    const char *name;
    int silent;
    int trickling;
    bool realHost;  // GameHost.exe itself connects, held back by the fake host
};

// Silent and trickling peers connect before the host does.  The host's
// verdict must not wait on any of them, each of them is closed at its own
// read bound, and the token is still accepted once.  Beyond what one
// select can watch, the oldest peers are pushed out to make room.
TEST(LauncherCrowd, HostIsAnsweredAtOnceAndEveryOtherPeerAtItsOwnBound) {
    const CrowdCase cases[] = {
        {"silent_and_trickling", 20, 20, false},
        {"beyond_one_select", 100, 0, false},
        {"real_host", 20, 20, true},
    };
    WSADATA wsaData;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsaData));
    struct Run {
        std::string folder;
        HANDLE go = nullptr;
        std::unique_ptr<LauncherProcess> launcher;
        std::string token;
        int port = 0;
        std::vector<CrowdPeer> crowd;
        ULONGLONG goAt = 0;
        HWND window = nullptr;
        ULONGLONG windowAt = 0;
    };
    std::vector<Run> runs(sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < runs.size(); i++) {
        Run &run = runs[i];
        const CrowdCase &c = cases[i];
        run.folder = CaseFolder(std::string("crowd_") + c.name);
        std::string eventName = "launcher-test-go-" + std::to_string(GetCurrentProcessId()) + "-" +
                                c.name;
        run.go = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
        ASSERT_NE(nullptr, run.go);
        std::string script = "publish\nawait " + eventName + "\n";
        if (c.realHost) {
            script += "host GameHost.exe\n";
            ASSERT_TRUE(CopyFileA(ImageUnderTest("GameHost.exe").c_str(),
                                  (run.folder + "\\GameHost.exe").c_str(), FALSE));
            ASSERT_TRUE(CopyFromBin("fixture_game.exe", run.folder + "\\", "Mirelune.dll"));
            ASSERT_TRUE(WriteFileBytes(run.folder + "\\fixture-game.txt", "no_window=1\n"));
        } else {
            script += "send right\nsend right\nexit 0\n";
        }
        std::string host = PlaceFakeHost(run.folder, "fake_host.exe", script);
        run.launcher = StartLauncher(run.folder, ImageUnderTest("launcher.exe"), host);
    }
    for (size_t i = 0; i < runs.size(); i++) {
        Run &run = runs[i];
        ASSERT_TRUE(AwaitPublished(run.folder, &run.token, &run.port)) << cases[i].name;
        run.crowd.resize(cases[i].silent + cases[i].trickling);
        for (size_t k = 0; k < run.crowd.size(); k++)
            ASSERT_TRUE(OpenCrowdPeer(run.port, (int)k >= cases[i].silent, &run.crowd[k]))
                << cases[i].name << " peer " << k;
        run.goAt = GetTickCount64();
        SetEvent(run.go);
    }
    // All crowds at once, so that each peer's end is seen as it happens.
    WaitUntil(
        [&] {
            bool done = true;
            ULONGLONG now = GetTickCount64();
            for (size_t i = 0; i < runs.size(); i++) {
                Run &run = runs[i];
                if (TendCrowd(&run.crowd, run.token, now)) done = false;
                if (!cases[i].realHost || run.window != nullptr) continue;
                run.window = ShownHostWindow(run.folder);
                if (run.window != nullptr) run.windowAt = GetTickCount64();
                done = done && run.window != nullptr;
            }
            return done;
        },
        kCrowdWatchMs);
    for (size_t i = 0; i < runs.size(); i++) {
        Run &run = runs[i];
        const CrowdCase &c = cases[i];
        SCOPED_TRACE(c.name);
        for (CrowdPeer &peer : run.crowd)
            if (peer.sock != INVALID_SOCKET) EndCrowdPeer(&peer, "open");
        if (c.realHost) {
            // The window opens only after LINK_UP within the host's own bound.
            EXPECT_NE(nullptr, run.window) << "the host got no LINK_UP in time";
            if (run.window != nullptr) {
                printf("[ figures  ] %s: host window %llu ms after the host was let go\n",
                       c.name, run.windowAt - run.goAt);
                PostMessageA(run.window, WM_CLOSE, 0, 0);
            }
        }
        LauncherRun finished = FinishLauncher(*run.launcher);
        ASSERT_TRUE(finished.ended) << "the launcher did not end";
        EXPECT_EQ(0u, finished.exitCode) << "the host's code, or the fake host's";
        EXPECT_EQ("set", Reported(finished, "await"));
        ExpectClosedByTheLauncher(run.crowd, false, c.name);
        ExpectClosedByTheLauncher(run.crowd, true, c.name);
        EXPECT_EQ(1, CountOf(finished.out, "handshake accepted")) << finished.out;
        int others = (int)run.crowd.size() + (c.realHost ? 0 : 1);
        EXPECT_EQ(others, CountOf(finished.out, "handshake refused")) << finished.out;
        if (!c.realHost) {
            ExpectReply(finished, 0, true);
            ExpectReply(finished, 1, false);
            printf("[ figures  ] %s: LINK_UP %s ms after the host's connect\n", c.name,
                   Reported(finished, "ms0").c_str());
        }
        // One select watches 64 sockets, the listener among them.
        if (c.silent + c.trickling > 63) {
            EXPECT_NE(std::string::npos, finished.out.find("the oldest is answered now"))
                << finished.out;
        }
        CloseHandle(run.go);
    }
    WSACleanup();
}

}  // namespace
