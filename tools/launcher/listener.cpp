/* Opens the listening socket. */
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
