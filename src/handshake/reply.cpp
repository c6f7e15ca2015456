/* Judgement of the Launcher's one reply. */
#include "handshake/reply.h"

#include <string.h>

const char kAcceptanceWord[] = "LINK_UP";

LauncherReply JudgeLauncherReply(int received, const char *buffer) {
    if (received <= 0) return ReplyMissing;
    /* The last byte is never received into, so the text always ends in the
     * buffer; bytes after the first NUL do not count. */
    if (strncmp(buffer, kAcceptanceWord, kReplyBufferSize) == 0) return ReplyAccepted;
    return ReplyRejected;
}
