// The game side of the end-to-end tests: a host folder whose game image is
// the fixture game, the host started there against a Launcher that accepts,
// and what can be seen of that game from outside: its report, its processes,
// its window and where that window lies against the host's client area.
#ifndef GAMEHOST_GAME_CASE_H
#define GAMEHOST_GAME_CASE_H

#include "test_support.h"

#include <string>
#include <vector>

// One host with its own Launcher.  It must stay where it was made while the
// Launcher runs (the Launcher's thread holds its address); the destructor
// ends the host, everything it started, and the Launcher.
struct GameCase {
    HostCase hostCase;
    ScriptedLauncher launcher;
    HWND hostWindow = nullptr;

    GameCase() = default;
    GameCase(const GameCase &) = delete;
    GameCase &operator=(const GameCase &) = delete;
    ~GameCase();
};

// A fresh host folder with the fixture game as its game image and the given
// text as the game's settings file.
bool PrepareGameCase(const std::string &name, const std::string &gameSettings, GameCase *gameCase);

// A fresh host folder with no game image.
bool PrepareEmptyCase(const std::string &name, GameCase *gameCase);

// Starts the Launcher and the host (showCommand < 0: no show command).
bool StartGameHost(GameCase *gameCase, int showCommand = -1);

// Waits for the host window and stores it in the case.
HWND WaitForGameHostWindow(GameCase *gameCase);

// Ends the host (if it still runs), whatever it started, and the Launcher.
void EndGameCase(GameCase *gameCase);

// Closes the host as the user does; its exit code, or -1 on time-out.
long CloseGameHost(GameCase *gameCase);

// ---- the game's report --------------------------------------------------

std::string GameLogPath(const std::string &folder);
std::string ReadGameLog(const std::string &folder);

// The lines of the report that begin with the word (followed by a blank).
std::vector<std::string> LogLines(const std::string &log, const std::string &word);

// The first line of the game's report in folder that begins with the word,
// once there is one; empty when none came in time.
std::string WaitForLogLine(const std::string &folder, const std::string &word, DWORD milliseconds);

// The value of key= in a report line; the last value runs to the line's end.
std::string LogValue(const std::string &line, const std::string &key);

// The game window the report says was made ("window hwnd=..."), or null.
HWND LoggedGameWindow(const std::string &log);

// The process identifier of the report's first "started" line, or 0.
DWORD LoggedGameProcessId(const std::string &log);

// A report value as a number ("0x" hex or decimal).
unsigned long long LogNumber(const std::string &value);

// ---- the game's processes and window ---------------------------------------

// The full path of the case's game image.
std::string GameImagePath(const std::string &folder);

// Running processes whose image is the case's own game image.
std::vector<DWORD> GameProcessIds(const std::string &folder);

// A top-level window of another process than the host whose owner is the
// host window: the adopted game window; null when none appears in time.
HWND WaitForAdoptedGame(const GameCase &gameCase, DWORD milliseconds);

// The host's client area in screen coordinates.
RECT ClientRectOnScreen(HWND host);
RECT WindowRectOf(HWND window);
bool SameRect(const RECT &a, const RECT &b);
std::string RectText(const RECT &rect);

// Waits until the game window lies exactly over the host's client area.
bool WaitForGameFit(HWND host, HWND game, DWORD milliseconds);

// True when the window's thread answers a message within the time.
bool WindowAnswers(HWND window, DWORD milliseconds);

DWORD WindowStyle(HWND window);
DWORD WindowExStyle(HWND window);

// The test runs under Wine rather than Windows: some window behaviour of the
// system differs there, and a test says so where it checks around it.
bool RunningUnderWine();

#endif
