/* Serves the handshake window: accepts connections one at a time, gives
 * each a bounded read, and accepts the launch token once. */
#include "handshake_server.h"

#include <string.h>

#include "launch_token.h"
#include "listener.h"
#include "progress.h"
#include "token_compare.h"

static const ULONGLONG kWindowMilliseconds = 30000;
/* The host sends its token at once after connecting; a peer that has not
 * sent it by then is not the host, and must not keep the others waiting
 * (the host gives up on its reply after 10 s). */
static const unsigned long kReadMilliseconds = 2000;
/* select cannot wait on a process, so the wait for a connection is cut
 * into slices to notice a host that ends without connecting. */
static const unsigned long kPollMilliseconds = 250;
static const int kRequestCapacity = 256;

static const char kAcceptanceWord[] = "LINK_UP";
static const char kRefusalWord[] = "DENIED";

static bool HostHasEnded(HANDLE host) {
    return WaitForSingleObject(host, 0) != WAIT_TIMEOUT;
}

/* Reads until the token's length has arrived, the peer stops sending, or
 * the time is up; returns the number of bytes read. */
static int ReadRequest(SOCKET peer, char *buffer, int capacity, int wanted) {
    ULONGLONG givesUpAt = GetTickCount64() + kReadMilliseconds;
    int received = 0;
    while (received < wanted && received < capacity) {
        ULONGLONG now = GetTickCount64();
        if (now >= givesUpAt) break;
        if (WaitReadable(peer, (unsigned long)(givesUpAt - now)) != 1) break;
        int got = recv(peer, buffer + received, capacity - received, 0);
        if (got <= 0) break;
        received += got;
    }
    return received;
}

static void ReportRefusal(int received, bool matches) {
    if (matches)
        Progress("handshake refused: token already used");
    else if (received == 0)
        Progress("handshake refused: no token received");
    else
        Progress("handshake refused: wrong token (%d bytes)", received);
}

/* Reads one request, writes the verdict in one send and closes the
 * connection.  True when this connection was accepted. */
static bool AnswerPeer(SOCKET peer, const char *token, bool tokenSpent) {
    char request[kRequestCapacity] = {};
    int received = ReadRequest(peer, request, kRequestCapacity, kTokenLength);
    bool matches = TokensMatch(request, (size_t)received, sizeof request, token, kTokenLength);
    bool accepted = matches && !tokenSpent;
    const char *reply = accepted ? kAcceptanceWord : kRefusalWord;
    /* One send: the host takes only its first receive as the reply. */
    send(peer, reply, (int)strlen(reply), 0);
    shutdown(peer, SD_SEND);
    closesocket(peer);
    SecureZeroMemory(request, sizeof request);
    if (accepted)
        Progress("handshake accepted");
    else
        ReportRefusal(received, matches);
    return accepted;
}

bool ServeHandshake(SOCKET listener, const char *token, HANDLE host) {
    ULONGLONG closesAt = GetTickCount64() + kWindowMilliseconds;
    bool accepted = false;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= closesAt) break;
        ULONGLONG left = closesAt - now;
        unsigned long slice = left < kPollMilliseconds ? (unsigned long)left : kPollMilliseconds;
        int ready = WaitReadable(listener, slice);
        if (ready < 0) {
            Complain("waiting for a connection failed (error %d)", WSAGetLastError());
            break;
        }
        /* The host is looked at only when no connection waits, so that one
         * it made just before ending is still answered. */
        if (ready == 0) {
            if (HostHasEnded(host)) break;
            continue;
        }
        SOCKET peer = accept(listener, nullptr, nullptr);
        if (peer == INVALID_SOCKET) continue;
        if (AnswerPeer(peer, token, accepted)) accepted = true;
    }
    if (!accepted && !HostHasEnded(host))
        Progress("no valid token within %d s; no longer listening",
                 (int)(kWindowMilliseconds / 1000));
    return accepted;
}
