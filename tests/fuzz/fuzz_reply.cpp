// Fuzzes the judgement of the Launcher's reply: the fuzz input is what the
// one receive delivered, placed as the host places it, in a zero-filled
// buffer of which the last byte is never written.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_reference.h"
#include "handshake/reply.h"

static const char *Name(LauncherReply reply) {
    switch (reply) {
        case ReplyMissing: return "missing";
        case ReplyAccepted: return "accepted";
        case ReplyRejected: return "rejected";
    }
    return "out of range";
}

// The rule from scratch: nothing received is missing; otherwise the text up
// to the first NUL must be the acceptance word and nothing else.
static LauncherReply RefJudge(int received, const char *buffer) {
    if (received <= 0) return ReplyMissing;
    std::string text(buffer, strnlen(buffer, kReplyBufferSize));
    return text == "LINK_UP" ? ReplyAccepted : ReplyRejected;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Heap block of exactly the buffer's size: a read past it is an ASan
    // report, not a silent look at the next stack slot.
    char *buffer = static_cast<char *>(malloc(kReplyBufferSize));
    memset(buffer, 0, kReplyBufferSize);
    size_t received = size < kReplyBufferSize - 1 ? size : kReplyBufferSize - 1;
    memcpy(buffer, data, received);
    const std::string shown = Escaped(std::string(buffer, received));

    // What the receive returned, then the failure values a receive can return
    // with the same buffer contents (a closed peer, an error, a time-out).
    const int outcomes[] = {static_cast<int>(received), 0, -1, INT_MIN};
    for (int outcome : outcomes) {
        LauncherReply got = JudgeLauncherReply(outcome, buffer);
        LauncherReply expected = RefJudge(outcome, buffer);
        FUZZ_CHECK(got == expected, "received %d of \"%s\": %s, expected %s", outcome,
                   shown.c_str(), Name(got), Name(expected));
    }
    FUZZ_CHECK(strcmp(kAcceptanceWord, "LINK_UP") == 0, "acceptance word is \"%s\"",
               kAcceptanceWord);
    free(buffer);
    return 0;
}
