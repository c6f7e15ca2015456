/* Serves the handshake window: watches every connection at once from one
 * thread, gives each a read bound of its own from its accept, and accepts
 * the launch token once. */
#include "handshake_server.h"

#include <string.h>

#include "launch_token.h"
#include "progress.h"
#include "token_compare.h"

static const ULONGLONG kWindowMilliseconds = 30000;
/* The host sends its token at once after connecting; a peer that has not
 * sent it by then is not the host.  The bound runs from each connection's
 * own accept, and no connection waits on another's, so however many
 * silent peers there are, the host's verdict comes as soon as its token
 * is in (the host gives up on its reply after 10 s). */
static const ULONGLONG kReadMilliseconds = 2000;
/* select cannot wait on a process, so the waits are cut into slices to
 * notice a host that ends without connecting. */
static const ULONGLONG kPollMilliseconds = 250;
static const int kRequestCapacity = 256;
/* One select watches at most FD_SETSIZE sockets (64 unless defined
 * otherwise before winsock2.h), and the listener is one of them.  When
 * every place is taken, the oldest connection is answered early to make
 * room: the newest is the likeliest to be the host, whose token comes at
 * once, while waiting in the backlog instead would let a steady stream of
 * silent peers keep the host out. */
static const int kConnectionCapacity = FD_SETSIZE - 1;

static const char kAcceptanceWord[] = "LINK_UP";
static const char kRefusalWord[] = "DENIED";

struct Connection {
    SOCKET peer;
    ULONGLONG givesUpAt;
    int received;
    char request[kRequestCapacity];
};

struct HandshakeServer {
    SOCKET listener;
    const char *token;
    HANDLE host;
    bool listening;
    bool accepted;
    int open;
    /* In the order of their accepts: the first is the oldest. */
    Connection connections[kConnectionCapacity];
};

static bool HostHasEnded(HANDLE host) {
    return WaitForSingleObject(host, 0) != WAIT_TIMEOUT;
}

static void ReportRefusal(int received, bool matches) {
    if (matches)
        Progress("handshake refused: token already used");
    else if (received == 0)
        Progress("handshake refused: no token received");
    else
        Progress("handshake refused: wrong token (%d bytes)", received);
}

/* Judges what the connection has sent so far, writes the verdict in one
 * send, closes the connection and frees its place. */
static void AnswerConnection(HandshakeServer *server, int index) {
    Connection *connection = &server->connections[index];
    bool matches = TokensMatch(connection->request, (size_t)connection->received,
                               sizeof connection->request, server->token, kTokenLength);
    bool accepted = matches && !server->accepted;
    const char *reply = accepted ? kAcceptanceWord : kRefusalWord;
    /* One send: the host takes only its first receive as the reply. */
    send(connection->peer, reply, (int)strlen(reply), 0);
    shutdown(connection->peer, SD_SEND);
    closesocket(connection->peer);
    if (accepted) {
        server->accepted = true;
        Progress("handshake accepted");
    } else {
        ReportRefusal(connection->received, matches);
    }
    SecureZeroMemory(connection, sizeof *connection);
    server->open--;
    memmove(connection, connection + 1, (size_t)(server->open - index) * sizeof *connection);
    SecureZeroMemory(&server->connections[server->open], sizeof *connection);
}

/* Takes what has arrived; true when the request is complete: the token's
 * length is in, the buffer is full, or the peer stopped sending. */
static bool ReadMore(Connection *connection) {
    int room = kRequestCapacity - connection->received;
    int got = recv(connection->peer, connection->request + connection->received, room, 0);
    if (got > 0) {
        connection->received += got;
        return connection->received >= kTokenLength || connection->received >= kRequestCapacity;
    }
    return got == 0 || WSAGetLastError() != WSAEWOULDBLOCK;
}

static void AcceptOne(HandshakeServer *server, ULONGLONG now) {
    SOCKET peer = accept(server->listener, nullptr, nullptr);
    /* A connection reset between the select and the accept is gone. */
    if (peer == INVALID_SOCKET) return;
    /* Explicitly, rather than trusting every stack to pass it on from the
     * listener: a blocking recv would hold all the others up. */
    u_long nonBlocking = 1;
    if (ioctlsocket(peer, FIONBIO, &nonBlocking) != 0) {
        closesocket(peer);
        return;
    }
    if (server->open == kConnectionCapacity) {
        Progress("more than %d connections at once: the oldest is answered now",
                 kConnectionCapacity);
        AnswerConnection(server, 0);
    }
    Connection *connection = &server->connections[server->open++];
    connection->peer = peer;
    connection->givesUpAt = now + kReadMilliseconds;
    connection->received = 0;
}

/* How long the next select may wait: until the first connection's bound,
 * the end of the window or the next look at the host, whichever is first. */
static timeval NextWait(const HandshakeServer *server, ULONGLONG now, ULONGLONG closesAt) {
    ULONGLONG wait = kPollMilliseconds;
    if (server->listening && closesAt - now < wait) wait = closesAt - now;
    for (int i = 0; i < server->open; i++) {
        ULONGLONG givesUpAt = server->connections[i].givesUpAt;
        ULONGLONG left = givesUpAt > now ? givesUpAt - now : 0;
        if (left < wait) wait = left;
    }
    timeval limit;
    limit.tv_sec = (long)(wait / 1000);
    limit.tv_usec = (long)(wait % 1000) * 1000;
    return limit;
}

/* Every connection whose request is complete or whose time is up gets its
 * verdict; the others keep their places. */
static void ServeConnections(HandshakeServer *server, const fd_set &readable, ULONGLONG now) {
    int i = 0;
    while (i < server->open) {
        Connection *connection = &server->connections[i];
        bool complete = FD_ISSET(connection->peer, &readable) && ReadMore(connection);
        if (complete || now >= connection->givesUpAt)
            AnswerConnection(server, i);
        else
            i++;
    }
}

static void RefuseAll(HandshakeServer *server) {
    while (server->open > 0) AnswerConnection(server, 0);
}

bool ServeHandshake(SOCKET listener, const char *token, HANDLE host) {
    HandshakeServer server = {};
    server.listener = listener;
    server.token = token;
    server.host = host;
    server.listening = true;
    ULONGLONG closesAt = GetTickCount64() + kWindowMilliseconds;
    /* After the window or the host's end, no new connection is taken, but
     * those already taken still get their verdict at their own bound. */
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= closesAt) server.listening = false;
        if (!server.listening && server.open == 0) break;
        fd_set readable;
        FD_ZERO(&readable);
        if (server.listening) FD_SET(listener, &readable);
        for (int i = 0; i < server.open; i++) FD_SET(server.connections[i].peer, &readable);
        timeval limit = NextWait(&server, now, closesAt);
        if (select(0, &readable, nullptr, nullptr, &limit) == SOCKET_ERROR) {
            Complain("waiting for a connection failed (error %d)", WSAGetLastError());
            RefuseAll(&server);
            break;
        }
        now = GetTickCount64();
        /* Requests before accepts, so that a token already in is answered
         * before a new connection could take its place. */
        ServeConnections(&server, readable, now);
        if (!server.listening) continue;
        /* The host is looked at only when no connection waits, so that one
         * it made just before ending is still answered. */
        if (FD_ISSET(listener, &readable))
            AcceptOne(&server, now);
        else if (HostHasEnded(host))
            server.listening = false;
    }
    if (!server.accepted && !HostHasEnded(host))
        Progress("no valid token within %d s; no longer listening",
                 (int)(kWindowMilliseconds / 1000));
    return server.accepted;
}
