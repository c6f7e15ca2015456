/* Opens the listening socket and bounds every wait on a socket. */
#include "listener.h"

#include <ws2tcpip.h>

bool OpenLoopbackListener(SOCKET *listener, int *port) {
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET) return false;
    /* Loopback only: bound to any address, the port would be open to the
     * network, and anyone able to reach it could try tokens. */
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    sockaddr_in bound = {};
    int boundSize = sizeof bound;
    /* Non-blocking, so that an accept after select cannot hang when the
     * waiting connection was reset in between. */
    u_long nonBlocking = 1;
    if (bind(sock, (const sockaddr *)&address, sizeof address) != 0 ||
        listen(sock, SOMAXCONN) != 0 ||
        getsockname(sock, (sockaddr *)&bound, &boundSize) != 0 ||
        ioctlsocket(sock, FIONBIO, &nonBlocking) != 0) {
        closesocket(sock);
        return false;
    }
    *listener = sock;
    *port = ntohs(bound.sin_port);
    return true;
}

int WaitReadable(SOCKET sock, unsigned long milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval limit;
    limit.tv_sec = (long)(milliseconds / 1000);
    limit.tv_usec = (long)(milliseconds % 1000) * 1000;
    int ready = select(0, &readable, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR) return -1;
    return ready > 0 ? 1 : 0;
}
