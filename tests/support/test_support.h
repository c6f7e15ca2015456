// Shared pieces of the end-to-end tests: a fresh folder per case, programs
// started inside a job so none outlives the test, a scripted Launcher on
// loopback, and watchers for the host's windows and message boxes.
#ifndef GAMEHOST_TEST_SUPPORT_H
#define GAMEHOST_TEST_SUPPORT_H

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// ---- files and folders ------------------------------------------------------

// The folder of the running test program, with its trailing backslash; the
// host, the Launcher and the fixtures are built there.
std::string BinDirectory();

// A new, empty folder for one case: <bin>cases\<name>\ (cleared first;
// cases-msvc\ for the clang build's run).
std::string MakeCaseFolder(const std::string &name);

// The name of the running GoogleTest test, usable as a folder name.
std::string CurrentTestName();

bool WriteFileBytes(const std::string &path, const std::string &bytes);
bool ReadFileBytes(const std::string &path, std::string *bytes);
bool FileExists(const std::string &path);

// The names of the files in folder that begin with "TRNW.conf." (every new
// settings file the host writes, and anything else named like one).
std::vector<std::string> FilesNamedAfterSettings(const std::string &folder);
bool CopyFromBin(const std::string &binFile, const std::string &folder,
                 const std::string &asName);

// ---- processes --------------------------------------------------------------

struct StartedProcess {
    HANDLE process = nullptr;
    HANDLE thread = nullptr;
    DWORD id = 0;
    HANDLE job = nullptr;  // kills everything in it when closed
};

// Starts exePath with the command line exactly as given (the caller puts the
// program's name first), in folder.  showCommand < 0 leaves the start-up
// information without STARTF_USESHOWWINDOW.
bool StartProcess(const std::string &exePath, const std::string &commandLine,
                  const std::string &folder, int showCommand, StartedProcess *started);

// Waits for the process to end; false on time-out.
bool WaitForExit(const StartedProcess &started, DWORD milliseconds, DWORD *exitCode);

// Ends the process and everything it started, and closes the handles.
void EndProcess(StartedProcess *started);

bool IsProcessRunning(DWORD processId);

// The processes now running whose image is named exeName (case-insensitive).
std::vector<DWORD> ProcessesNamed(const std::string &exeName);

// ---- waiting ----------------------------------------------------------------

// Polls condition until it holds or the time runs out.
bool WaitUntil(const std::function<bool()> &condition, DWORD milliseconds);

const DWORD kEventWaitMs = 30000;

// ---- windows and boxes ------------------------------------------------------

std::string WindowText(HWND window);
std::string WindowClass(HWND window);

// Top-level windows of a process, optionally only those of one class.
std::vector<HWND> TopLevelWindows(DWORD processId, const char *className);

// The first visible top-level window of the class in the process.
HWND WaitForWindow(DWORD processId, const char *className, DWORD milliseconds);

struct MessageBoxSeen {
    HWND box = nullptr;
    std::string caption;
    std::string text;
    HWND owner = nullptr;
};

// The first visible message box of the process, with its caption, text and
// owner read; false when none appears in time.
bool WaitForMessageBox(DWORD processId, DWORD milliseconds, MessageBoxSeen *seen);

// Presses the box's OK button.
void DismissMessageBox(HWND box);

// Top-level windows of the test's own process ("STATIC" class, hidden until
// shown), made and served by a thread of their own, so that whatever the
// system or another program sends them is answered at once whatever the
// test is waiting for; destroyed with the object.
struct ServedWindows {
    ServedWindows(int count, const char *title, DWORD style, DWORD exStyle);
    ~ServedWindows();
    std::vector<HWND> windows;

  private:
    std::thread pump;
    std::atomic<DWORD> threadId{0};
};

// ---- the scripted Launcher --------------------------------------------------

enum LauncherAction {
    LauncherReplies,       // sends the reply pieces, pausing between them
    LauncherClosesSilently,  // reads the token and closes without a word
    LauncherHangs,         // reads the token and never answers
    LauncherNeverAccepts,  // its backlog is full, so connecting hangs
    LauncherResets,        // reads the token and resets the connection (RST)
};

struct LauncherScript {
    LauncherAction action = LauncherReplies;
    std::vector<std::string> replyPieces = {"LINK_UP"};
    DWORD pauseBetweenPiecesMs = 0;
};

struct ScriptedLauncher {
    SOCKET listener = INVALID_SOCKET;
    std::vector<SOCKET> fillers;  // connections that fill the backlog
    int port = 0;
    LauncherScript script;
    HANDLE thread = nullptr;
    // Filled by the launcher thread; read after StopLauncher.
    int connections = 0;
    std::string received;  // every byte the host sent, until it closed
    // Set by the launcher thread the moment the host's end is closed; may be
    // read while the host still runs.
    volatile LONG hostClosed = 0;
    volatile LONG stopRequested = 0;
};

bool StartLauncher(const LauncherScript &script, ScriptedLauncher *launcher);

// Waits for the launcher thread (bounded) and closes every socket.
void StopLauncher(ScriptedLauncher *launcher);

// A loopback port on which nothing listens.
int UnusedPort();

// As StartLauncher, on a port of the caller's choice; false when that port
// cannot be listened on (taken by someone else).
bool StartLauncherOnPort(const LauncherScript &script, int port, ScriptedLauncher *launcher);

// For a Launcher the host may never have called: stops waiting for it at
// once instead of at the end of the accept wait, then counts a connection
// still queued unaccepted among launcher->connections.
void StopLauncherNow(ScriptedLauncher *launcher);

// Whether the launcher thread has seen the host close its end.
bool LauncherSawHostClose(const ScriptedLauncher &launcher);

// A connect of the test's own to a loopback port, started without waiting
// and looked at later: pending, completed, or failed.
enum ConnectProgress { ConnectPending, ConnectCompleted, ConnectFailed };
bool BeginConnect(int port, SOCKET *client);
ConnectProgress CheckConnect(SOCKET client);

// ---- the host ---------------------------------------------------------------

// A case folder holding GameHost.exe, and the host started from it with
// the given arguments after its name.
struct HostCase {
    std::string folder;
    StartedProcess host;
};

bool PrepareHostFolder(const std::string &name, HostCase *hostCase);

// The same with a game that starts and never shows a window: the host then
// stays as it opened, with no game box over it, for the tests of the host
// itself.
bool PrepareHostFolderWithIdleGame(const std::string &name, HostCase *hostCase);
bool StartHost(HostCase *hostCase, const std::string &arguments, int showCommand = -1);

// The host window, once the host shows it.
HWND WaitForHostWindow(const HostCase &hostCase);

// Closes the host window as the user does and returns the exit code, or -1
// when the host did not exit in time.
long CloseHostAndWait(HostCase *hostCase, HWND hostWindow);

// A ctest-friendly host: started against a Launcher that accepts.
std::string LaunchArguments(const std::string &token, int port);

#endif
