// A Launcher whose answer the test scripts: it listens on 127.0.0.1, takes
// one connection, records every byte the host sends and replies as told.
#include <ws2tcpip.h>

#include "test_support.h"

static bool WinsockReady() {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

static bool Readable(SOCKET sock, DWORD milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval limit = {(long)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

// Appends what arrives until the peer closes or nothing comes for idleMs.
// A reset counts as a close: a host that closes with reply bytes still
// unread resets the connection instead of ending it in order.
static void ReceiveUntilQuiet(ScriptedLauncher *launcher, SOCKET sock, DWORD idleMs) {
    char buffer[4096];
    while (Readable(sock, idleMs)) {
        int got = recv(sock, buffer, sizeof buffer, 0);
        if (got <= 0) {
            InterlockedExchange(&launcher->hostClosed, 1);
            return;
        }
        launcher->received.append(buffer, got);
    }
}

static bool StopRequested(ScriptedLauncher *launcher) {
    return InterlockedCompareExchange(&launcher->stopRequested, 0, 0) != 0;
}

// Waits for a connection to accept in short slices, so that StopLauncherNow
// need not sit out the whole wait.
static bool ListenerReadable(ScriptedLauncher *launcher, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!StopRequested(launcher)) {
        if (Readable(launcher->listener, 100)) return true;
        if (GetTickCount() - start >= milliseconds) return false;
    }
    return false;
}

static void ServeConnection(ScriptedLauncher *launcher, SOCKET peer) {
    // The token comes in one send; wait for its first bytes, then for a short
    // quiet spell so that a token in several segments is read whole.
    if (Readable(peer, 15000)) ReceiveUntilQuiet(launcher, peer, 300);
    const LauncherScript &script = launcher->script;
    switch (script.action) {
    case LauncherReplies:
        for (size_t i = 0; i < script.replyPieces.size(); i++) {
            if (i > 0 && script.pauseBetweenPiecesMs) Sleep(script.pauseBetweenPiecesMs);
            const std::string &piece = script.replyPieces[i];
            send(peer, piece.data(), (int)piece.size(), 0);
        }
        // The host closes after its one receive; anything more it sends shows.
        ReceiveUntilQuiet(launcher, peer, 15000);
        break;
    case LauncherClosesSilently:
        break;
    case LauncherHangs:
        ReceiveUntilQuiet(launcher, peer, 30000);
        break;
    case LauncherNeverAccepts:
        break;
    case LauncherResets: {
        // A zero linger time makes the close abort the connection: the
        // host's pending receive then fails instead of seeing an orderly end.
        linger hardClose = {1, 0};
        setsockopt(peer, SOL_SOCKET, SO_LINGER, (const char *)&hardClose, sizeof hardClose);
        break;
    }
    }
    closesocket(peer);
}

static DWORD WINAPI LauncherThread(LPVOID parameter) {
    ScriptedLauncher *launcher = (ScriptedLauncher *)parameter;
    if (launcher->script.action == LauncherNeverAccepts) {
        // Holds the full backlog until the host has given up on it.
        for (int slept = 0; slept < 15000 && !StopRequested(launcher); slept += 100) Sleep(100);
        return 0;
    }
    if (!ListenerReadable(launcher, 30000)) return 0;
    SOCKET peer = accept(launcher->listener, nullptr, nullptr);
    if (peer == INVALID_SOCKET) return 0;
    launcher->connections++;
    ServeConnection(launcher, peer);
    return 0;
}

static SOCKET ListenOnLoopback(int backlog, int *port, int wantedPort = 0) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return listener;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)wantedPort);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    int size = sizeof address;
    if (bind(listener, (sockaddr *)&address, sizeof address) != 0 ||
        listen(listener, backlog) != 0 ||
        getsockname(listener, (sockaddr *)&address, &size) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return listener;
}

// Connects without waiting; true when the connection completed at once,
// which is how a backlog that still has room answers on loopback.
static bool ConnectsAtOnce(int port, SOCKET *client) {
    *client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(*client, FIONBIO, &nonBlocking);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)port);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    connect(*client, (sockaddr *)&address, sizeof address);
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(*client, &writable);
    timeval limit = {0, 500000};
    return select(0, nullptr, &writable, nullptr, &limit) > 0;
}

bool StartLauncherOnPort(const LauncherScript &script, int port, ScriptedLauncher *launcher) {
    if (!WinsockReady()) return false;
    launcher->script = script;
    bool neverAccepts = script.action == LauncherNeverAccepts;
    launcher->listener = ListenOnLoopback(neverAccepts ? 0 : 4, &launcher->port, port);
    if (launcher->listener == INVALID_SOCKET) return false;
    if (neverAccepts) {
        // Fill the queue until a connection no longer completes: then the
        // host's connect waits as on a Launcher that never accepts.
        for (int i = 0; i < 16; i++) {
            SOCKET client;
            bool completed = ConnectsAtOnce(launcher->port, &client);
            launcher->fillers.push_back(client);
            if (!completed) break;
        }
    }
    launcher->thread = CreateThread(nullptr, 0, LauncherThread, launcher, 0, nullptr);
    return launcher->thread != nullptr;
}

bool StartLauncher(const LauncherScript &script, ScriptedLauncher *launcher) {
    return StartLauncherOnPort(script, 0, launcher);
}

void StopLauncherNow(ScriptedLauncher *launcher) {
    InterlockedExchange(&launcher->stopRequested, 1);
    if (launcher->thread) {
        WaitForSingleObject(launcher->thread, 40000);
        CloseHandle(launcher->thread);
        launcher->thread = nullptr;
    }
    // The fillers of a Launcher that never accepts are queued by design.
    if (launcher->script.action != LauncherNeverAccepts &&
        launcher->listener != INVALID_SOCKET && Readable(launcher->listener, 0)) {
        SOCKET peer = accept(launcher->listener, nullptr, nullptr);
        if (peer != INVALID_SOCKET) {
            launcher->connections++;
            if (Readable(peer, 1000)) ReceiveUntilQuiet(launcher, peer, 300);
            closesocket(peer);
        }
    }
    StopLauncher(launcher);
}

bool LauncherSawHostClose(const ScriptedLauncher &launcher) {
    return InterlockedCompareExchange(const_cast<volatile LONG *>(&launcher.hostClosed), 0, 0) != 0;
}

bool BeginConnect(int port, SOCKET *client) {
    if (!WinsockReady()) return false;
    *client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (*client == INVALID_SOCKET) return false;
    u_long nonBlocking = 1;
    ioctlsocket(*client, FIONBIO, &nonBlocking);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)port);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (connect(*client, (sockaddr *)&address, sizeof address) == 0) return true;
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

ConnectProgress CheckConnect(SOCKET client) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(client, &writable);
    FD_SET(client, &failed);
    timeval now = {0, 0};
    if (select(0, nullptr, &writable, &failed, &now) <= 0) return ConnectPending;
    return FD_ISSET(client, &failed) ? ConnectFailed : ConnectCompleted;
}

void StopLauncher(ScriptedLauncher *launcher) {
    if (launcher->thread) {
        WaitForSingleObject(launcher->thread, 40000);
        CloseHandle(launcher->thread);
        launcher->thread = nullptr;
    }
    for (SOCKET filler : launcher->fillers) closesocket(filler);
    launcher->fillers.clear();
    if (launcher->listener != INVALID_SOCKET) closesocket(launcher->listener);
    launcher->listener = INVALID_SOCKET;
}

int UnusedPort() {
    if (!WinsockReady()) return 0;
    int port = 0;
    SOCKET listener = ListenOnLoopback(1, &port);
    closesocket(listener);
    return port;
}
