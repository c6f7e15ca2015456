/* How the Launcher's reply is judged.  No Windows calls: this builds natively
 * for the fuzzers. */
#ifndef GAMEHOST_REPLY_H
#define GAMEHOST_REPLY_H

enum LauncherReply {
    ReplyMissing,  /* nothing received: closed, failed or timed out */
    ReplyAccepted, /* exactly the acceptance word, up to the first NUL */
    ReplyRejected  /* anything else */
};

/* received: what the one receive returned (0 or less for nothing).
 * buffer: kReplyBufferSize bytes, zero-filled before the receive. */
LauncherReply JudgeLauncherReply(int received, const char *buffer);

const int kReplyBufferSize = 256;
extern const char kAcceptanceWord[];

#endif
