// What the bench programs and the follow test share: a high-resolution
// clock, case folders, a Launcher that answers at once, programs started
// inside a job, the host with a stand-in game, and the geometry checks.
#ifndef GAMEHOST_BENCH_SUPPORT_H
#define GAMEHOST_BENCH_SUPPORT_H

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

// ---- clock ------------------------------------------------------------------

long long CounterNow();
long long CounterFrequency();
double TicksToMs(long long ticks);

// ---- files and folders ------------------------------------------------------

// The folder of the running program, with its trailing backslash; the host,
// the fixtures and the bench programs are built there.
std::string BinDirectory();

// A fresh, empty folder, its parents made as needed (files inside an
// existing one are deleted); the name ends with a backslash.
bool MakeFreshFolder(const std::string &folder);
bool CopyFromBin(const std::string &binFile, const std::string &folder, const std::string &asName);
bool WriteText(const std::string &path, const std::string &text);
bool ReadText(const std::string &path, std::string *text);

// ---- the Launcher -----------------------------------------------------------

// Listens on 127.0.0.1 and answers "LINK_UP" to every connection as soon as
// the first bytes of a token arrive, for as many hosts as connect.
struct BenchLauncher {
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    HANDLE thread = nullptr;
    volatile LONG stopping = 0;
    volatile LONG answered = 0;
};

bool StartBenchLauncher(BenchLauncher *launcher);
void StopBenchLauncher(BenchLauncher *launcher);

// ---- processes --------------------------------------------------------------

struct StartedProgram {
    HANDLE process = nullptr;
    HANDLE thread = nullptr;
    DWORD id = 0;
    HANDLE job = nullptr;  // ends whatever is left in it when closed
};

// Starts exePath with "exePath" arguments as its command line, in folder.
bool StartProgram(const std::string &exePath, const std::string &arguments, const std::string &folder,
                  StartedProgram *started);
bool WaitForProgramExit(const StartedProgram &started, DWORD milliseconds);
void EndProgram(StartedProgram *started);

// ---- windows ----------------------------------------------------------------

// The top-level window of the class in the process, or null.
HWND FindProcessWindow(DWORD processId, const char *className);

// The host's client area in screen coordinates.
bool ClientRectOnScreen(HWND host, RECT *client);

// True when the game window covers exactly the host's client area.
bool GameCoversClient(HWND host, HWND game);

// ---- the host with a stand-in game -----------------------------------------

const char kHostClass[] = "TRNWGameClass";

// What the stand-in game reports about its main window.
struct FixtureWindow {
    HWND window = nullptr;
    long long createdTick = 0;
    DWORD processId = 0;
    long long frequency = 0;
};

// Reads the game's report; true once the "window ... created" line is there.
bool ReadFixtureWindow(const std::string &folder, FixtureWindow *seen);

struct HostedGame {
    std::string folder;
    StartedProgram host;
    HWND hostWindow = nullptr;
    FixtureWindow game;
};

// A folder holding GameHost.exe and, unless gameSettings is null, the
// stand-in game as its game image with those settings.
bool PrepareHostFolder(const std::string &folder, const char *gameSettings);

// Starts the host of the folder against the Launcher on port.
bool StartHost(const std::string &folder, int port, HostedGame *hosted);

// Waits for the host window to be shown; false on time-out.
bool WaitForHostWindow(HostedGame *hosted, DWORD milliseconds);

// Waits for the game window to be created and laid over the client area.
bool WaitForAdoption(HostedGame *hosted, DWORD milliseconds);

// Closes the host as the user does (which ends the game), then ends
// whatever is left.
void EndHost(HostedGame *hosted);

// ---- following --------------------------------------------------------------

struct HostMove {
    int x, y, width, height;
};

// Moves and sizes within the 1920x1080 screen, none smaller than the host's
// minimum size, from a fixed seed so that runs can be compared.
std::vector<HostMove> RandomHostMoves(int count, unsigned seed);

struct FollowResult {
    int moves = 0;
    int mismatches = 0;           // game rect differs from the client rect
    int hostMisplaced = 0;        // host rect differs from what was asked
    std::vector<double> moveMs;   // time inside each SetWindowPos
    std::string firstMismatch;
};

// Moves the host through the moves; after each, compares the game window
// (when there is one) with the host's client area.
FollowResult FollowMoves(HWND host, HWND game, const std::vector<HostMove> &moves);

#endif
