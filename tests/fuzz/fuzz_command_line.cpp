// Fuzzes the command-line rules: where the arguments begin past the
// program's name, and how the token and port words are split out of them,
// against a reference built on std::string searches.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_reference.h"
#include "startup/launch_words.h"

// Offset of the first argument byte: the name ends at the first byte of
// 0x20 or below outside double quotes, then every byte 0x01..0x20 is passed.
static size_t RefArgumentsOffset(const std::string &commandLine) {
    size_t i = 0;
    bool quoted = false;
    for (; i < commandLine.size(); i++) {
        unsigned char c = static_cast<unsigned char>(commandLine[i]);
        if (c == '"') {
            quoted = !quoted;
        } else if (c <= 0x20 && !quoted) {
            break;
        }
    }
    while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) <= 0x20) i++;
    return i;
}

static std::vector<std::string> RefWords(const std::string &arguments) {
    std::vector<std::string> words;
    size_t start = arguments.find_first_not_of(' ');
    while (start != std::string::npos) {
        size_t end = arguments.find(' ', start);
        words.push_back(arguments.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? end : arguments.find_first_not_of(' ', end);
    }
    return words;
}

// Splits arguments with the product and with the reference and insists on
// the same outcome, including that a refused split leaves both fields alone.
static void CheckSplit(const char *arguments) {
    const std::string untouchedToken = "\x01untouched";
    const int untouchedPort = 0x5a5a5a5a;
    static LaunchToken product;
    memcpy(product.bytes, untouchedToken.data(), untouchedToken.size());
    product.length = untouchedToken.size();
    int port = untouchedPort;
    bool split = SplitLaunchWords(arguments, &product, &port);
    std::string token(product.bytes, product.length);

    std::vector<std::string> words = RefWords(arguments);
    const std::string shown = Escaped(arguments);
    // A first word longer than the token buffer is refused, not cut.
    bool expectSplit = words.size() >= 2 && words[0].size() <= kLaunchTokenCapacity;
    FUZZ_CHECK(split == expectSplit, "\"%s\": split %d with %zu words", shown.c_str(), split,
               words.size());
    if (!split) {
        FUZZ_CHECK(token == untouchedToken && port == untouchedPort,
                   "\"%s\": refused split changed the fields to \"%s\" %d", shown.c_str(),
                   Escaped(token).c_str(), port);
        return;
    }
    FUZZ_CHECK(token == words[0], "\"%s\": token \"%s\", expected \"%s\"", shown.c_str(),
               Escaped(token).c_str(), Escaped(words[0]).c_str());
    FUZZ_CHECK(!token.empty() && token.find(' ') == std::string::npos &&
                   token.find('\0') == std::string::npos,
               "\"%s\": token \"%s\" is not one word", shown.c_str(), Escaped(token).c_str());
    RefNumber expected = RefReadNumber(words[1].c_str());
    FUZZ_CHECK(port == expected.value, "\"%s\": port %d, expected %d from \"%s\"", shown.c_str(),
               port, expected.value, Escaped(words[1]).c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzText text(data, size);
    const std::string commandLine(text.bytes);  // a C string ends at its first NUL

    const char *arguments = SkipProgramName(text.bytes);
    size_t expected = RefArgumentsOffset(commandLine);
    FUZZ_CHECK(arguments >= text.bytes && arguments <= text.bytes + commandLine.size(),
               "\"%s\": arguments outside the command line", Escaped(commandLine).c_str());
    FUZZ_CHECK(static_cast<size_t>(arguments - text.bytes) == expected,
               "\"%s\": arguments at %td, expected %zu", Escaped(commandLine).c_str(),
               arguments - text.bytes, expected);
    FUZZ_CHECK(*arguments == '\0' || static_cast<unsigned char>(*arguments) > 0x20,
               "\"%s\": arguments begin with a blank", Escaped(commandLine).c_str());

    // Both the arguments as the host sees them and the raw text as words, so
    // the splitter also meets leading control bytes and quotes.
    CheckSplit(arguments);
    CheckSplit(text.bytes);
    return 0;
}
