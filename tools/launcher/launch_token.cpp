/* Makes the launch token from the system's random generator. */
#include "launch_token.h"

#include <windows.h>
/* Some SDKs' bcrypt.h (Wine's among them) declare the functions without C
 * linkage for C++; a second extern "C" costs nothing where they do. */
extern "C" {
#include <bcrypt.h>
}

bool MakeLaunchToken(char (&token)[kTokenLength + 1]) {
    static const char kHexDigits[] = "0123456789abcdef";
    unsigned char random[kTokenBytes];
    token[0] = '\0';
    /* The system-preferred generator needs no algorithm handle, so nothing
     * has to be opened or closed around the call. */
    NTSTATUS status = BCryptGenRandom(nullptr, random, sizeof random,
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    /* A negative status is a failure (not every SDK's bcrypt.h has the
     * BCRYPT_SUCCESS macro that says so). */
    if (status < 0) return false;
    for (int i = 0; i < kTokenBytes; i++) {
        token[2 * i] = kHexDigits[random[i] >> 4];
        token[2 * i + 1] = kHexDigits[random[i] & 0x0F];
    }
    token[kTokenLength] = '\0';
    SecureZeroMemory(random, sizeof random);
    return true;
}
