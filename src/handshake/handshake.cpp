/* One TCP exchange with the Launcher: connect to 127.0.0.1 on the handshake
 * port, send the token bytes, take one receive as the verdict.  Both waits
 * are bounded so that a Launcher that never accepts or never answers cannot
 * hold the host for ever. */
#include "handshake/handshake.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "handshake/reply.h"

static const long kConnectSeconds = 10;
static const long kReplySeconds = 10;

static const char kConnectFailedText[] =
    "Khong the ket noi den Launcher!\nVui long mo Launcher truoc khi choi game.";
static const char kNoReplyText[] = "Khong nhan duoc phan hoi tu Launcher!";
static const char kRejectedText[] = "Xac thuc that bai! Token khong hop le.";

static void ShowAuthBox(const char *text) {
    MessageBoxA(nullptr, text, "Loi Auth", MB_ICONERROR | MB_OK);
}

/* A blocking connect has no time limit of its own, so the connect runs
 * non-blocking and select bounds the wait; the socket is blocking again
 * afterwards. */
static bool ConnectWithin(SOCKET sock, const sockaddr_in &address, long seconds) {
    u_long nonBlocking = 1;
    if (ioctlsocket(sock, FIONBIO, &nonBlocking) != 0) return false;
    if (connect(sock, (const sockaddr *)&address, sizeof address) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(sock, &writable);
        FD_SET(sock, &failed);
        timeval limit = {seconds, 0};
        if (select(0, nullptr, &writable, &failed, &limit) <= 0) return false;
        /* Windows reports a refused connect in the except set, others as
         * writable with a pending error; check both. */
        if (FD_ISSET(sock, &failed) || !FD_ISSET(sock, &writable)) return false;
        int error = 0;
        int errorSize = sizeof error;
        if (getsockopt(sock, SOL_SOCKET, SO_ERROR, (char *)&error, &errorSize) != 0 || error != 0)
            return false;
    }
    nonBlocking = 0;
    return ioctlsocket(sock, FIONBIO, &nonBlocking) == 0;
}

/* One receive, after at most the given wait for data; 0 when none came. */
static int ReceiveWithin(SOCKET sock, char *buffer, int size, long seconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval limit = {seconds, 0};
    if (select(0, &readable, nullptr, nullptr, &limit) <= 0) return 0;
    return recv(sock, buffer, size, 0);
}

bool VerifyLauncherToken(const char *token, size_t tokenLength, int port) {
    WSADATA wsaData;
    if (WSAStartup(MAKEWORD(2, 2), &wsaData) != 0) {
        ShowAuthBox("WSAStartup failed!");
        return false;
    }
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET) {
        ShowAuthBox("Socket creation failed!");
        WSACleanup();
        return false;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)(port & 0xFFFF));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);

    if (!ConnectWithin(sock, address, kConnectSeconds)) {
        ShowAuthBox(kConnectFailedText);
        closesocket(sock);
        WSACleanup();
        return false;
    }
    send(sock, token, (int)tokenLength, 0);

    char reply[kReplyBufferSize] = {};
    int received = ReceiveWithin(sock, reply, kReplyBufferSize - 1, kReplySeconds);
    /* The connection is gone before the verdict, so the box never holds the
     * Launcher's socket open. */
    closesocket(sock);
    WSACleanup();

    switch (JudgeLauncherReply(received, reply)) {
    case ReplyAccepted:
        return true;
    case ReplyMissing:
        ShowAuthBox(kNoReplyText);
        return false;
    case ReplyRejected:
        ShowAuthBox(kRejectedText);
        return false;
    }
    return false;
}
