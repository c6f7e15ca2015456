/* The handshake's listening socket on the loopback address. */
#ifndef LAUNCHER_LISTENER_H
#define LAUNCHER_LISTENER_H

#include <winsock2.h>

/* Opens a non-blocking listener on 127.0.0.1 at a port the system picks and
 * stores it and its port.  Windows Sockets must be started. */
bool OpenLoopbackListener(SOCKET *listener, int *port);

#endif
