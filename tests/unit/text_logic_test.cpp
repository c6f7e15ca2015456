// The pure text logic: command-line words, the port conversion, settings
// lines, the names of the new settings files and the judgement of the
// Launcher's reply.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "handshake/reply.h"
#include "settings/new_file_names.h"
#include "settings/settings_lines.h"
#include "startup/launch_words.h"
#include "startup/saturated_int.h"

TEST(SkipProgramName, EndsNameAtFirstUnquotedBlankAndSkipsBlanksAfterIt) {
    struct Case {
        const char *commandLine;
        const char *arguments;
    } cases[] = {
        {"GameHost.exe tok 5000", "tok 5000"},
        {"\"C:\\Game Folder\\GameHost.exe\" tok 5000", "tok 5000"},
        {"C:\\a\"b c\"d\\GameHost.exe tok", "tok"},  // quotes mid-name
        {"GameHost.exe\ttok 5000", "tok 5000"},      // tab after the name is skipped
        {"GameHost.exe \t \x01\x1f tok", "tok"},      // any control byte after the name
        {"GameHost.exe", ""},
        {"GameHost.exe    ", ""},
        {"\"unterminated name tok 5000", ""},
        {"", ""},
        {"G\xe9H\xffost.exe tok", "tok"},             // high bytes belong to the name
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.commandLine);
        EXPECT_STREQ(c.arguments, SkipProgramName(c.commandLine));
    }
}

TEST(SplitLaunchWords, SplitsAtSpacesOnly) {
    struct Case {
        const char *arguments;
        bool split;
        const char *token;
        int port;
    } cases[] = {
        {"tok 5000", true, "tok", 5000},
        {"   tok    5000   ", true, "tok", 5000},
        {"tok 5000 third words", true, "tok", 5000},
        {"\"tok\" 5000", true, "\"tok\"", 5000},  // quotes stay in the word
        {"a\\\"b 7", true, "a\\\"b", 7},
        {"tok\t5000", false, "", 0},  // a tab does not separate
        {"tok \t 5000", true, "tok", 0},  // the port word ends at its space
        {"tok 12ab", true, "tok", 12},
        {"tok abc", true, "tok", 0},
        {"tok -5", true, "tok", -5},
        {"tok 99999999999", true, "tok", 2147483647},
        {"tok -99999999999", true, "tok", -2147483647 - 1},
        {"tok", false, "", 0},
        {"   ", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        static LaunchToken token;
        token.length = 0;
        int port = 0;
        EXPECT_EQ(c.split, SplitLaunchWords(c.arguments, &token, &port));
        EXPECT_EQ(c.token, std::string(token.bytes, token.length));
        EXPECT_EQ(c.port, port);
    }
}

// The longest token a command line can carry fits byte for byte; a longer
// word, which only a caller other than the system can hand over, is refused
// rather than cut.
TEST(SplitLaunchWords, TakesTokensUpToTheBufferAndRefusesLonger) {
    for (size_t length : {kLaunchTokenCapacity - 1, kLaunchTokenCapacity, kLaunchTokenCapacity + 1}) {
        SCOPED_TRACE(length);
        std::string word(length, 'x');
        word[length - 1] = '\xff';
        std::string arguments = word + " 5000";
        static LaunchToken token;
        token.length = 0;
        int port = 0;
        bool fits = length <= kLaunchTokenCapacity;
        EXPECT_EQ(fits, SplitLaunchWords(arguments.c_str(), &token, &port));
        EXPECT_EQ(fits ? word : std::string(), std::string(token.bytes, token.length));
        EXPECT_EQ(fits ? 5000 : 0, port);
    }
}

TEST(ReadSaturatedInt, ReadsLikeAtoiAndSaturates) {
    struct Case {
        const char *text;
        bool digits;
        int value;
    } cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"  \t\n\v\f\r42", true, 42},
        {"+42", true, 42},
        {"-42", true, -42},
        {"42abc", true, 42},
        {"- 42", false, 0},
        {"+-42", false, 0},
        {"", false, 0},
        {"abc", false, 0},
        {"2147483647", true, 2147483647},
        {"2147483648", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"-2147483649", true, -2147483647 - 1},
        {"99999999999999999999999999999999999999", true, 2147483647},
        {"0000000000000000000000000000000000000012", true, 12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        int value = 123;
        EXPECT_EQ(c.digits, ReadSaturatedInt(c.text, &value));
        EXPECT_EQ(c.value, value);
    }
}

TEST(SettingsLines, JudgesWidthAndHeightLines) {
    struct Case {
        const char *line;
        const char *key;
        bool matches;
        int value;
    } cases[] = {
        {"width=900\n", "width", true, 900},
        {"width= 900\n", "width", true, 900},
        {"width=900px\n", "width", true, 900},
        {"width=-5\n", "width", true, -5},
        {"width=99999999999\n", "width", true, 2147483647},
        {"Width=900\n", "width", false, 0},
        {" width=900\n", "width", false, 0},
        {"width =900\n", "width", false, 0},
        {"width900\n", "width", false, 0},
        {"widths=900\n", "width", false, 0},
        {"height=\n", "height", false, 0},
        {"height=700\r\n", "height", true, 700},
        {"height=700", "height", true, 700},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        int value = 0;
        EXPECT_EQ(c.matches, ReadSettingsValue(c.line, c.key, &value));
        EXPECT_EQ(c.value, value);
    }
}

TEST(SettingsLines, InUseHonoursMinimumsWhileKeptTakesEveryValue) {
    const char *lines[] = {"game_version=0.9\n", "width=900\n", "height=700\n",
                           "width=640\n",        "height=599\n", "other=1\n"};
    WindowSize inUse = {1080, 820};
    WindowSize kept = {0, 0};
    for (const char *line : lines) TakeSizeInUse(line, &inUse);
    kept = inUse;
    for (const char *line : lines) TakeSizeToKeep(line, &kept);
    EXPECT_EQ(900, inUse.width);
    EXPECT_EQ(700, inUse.height);
    EXPECT_EQ(640, kept.width);
    EXPECT_EQ(599, kept.height);
}

TEST(SettingsLines, MinimumsAreInclusive) {
    WindowSize size = {1080, 820};
    TakeSizeInUse("width=800", &size);
    TakeSizeInUse("height=600", &size);
    EXPECT_EQ(800, size.width);
    EXPECT_EQ(600, size.height);
    TakeSizeInUse("width=799", &size);
    TakeSizeInUse("height=599", &size);
    EXPECT_EQ(800, size.width);
    EXPECT_EQ(600, size.height);
}

TEST(NewFileNames, MakesOneNamePerProcessBesideTheSettings) {
    char path[64];
    ASSERT_TRUE(MakeNewFilePath("C:\\Game\\TRNW.conf", 4242, path, sizeof path));
    EXPECT_STREQ("C:\\Game\\TRNW.conf.4242.new", path);
    ASSERT_TRUE(MakeNewFilePath("TRNW.conf", 4294967295ul, path, sizeof path));
    EXPECT_STREQ("TRNW.conf.4294967295.new", path);
    EXPECT_FALSE(MakeNewFilePath("TRNW.conf", 0, path, sizeof path)) << "0 names no process";
    // "TRNW.conf.4242.new" is 18 bytes and its NUL.
    EXPECT_TRUE(MakeNewFilePath("TRNW.conf", 4242, path, 19));
    EXPECT_FALSE(MakeNewFilePath("TRNW.conf", 4242, path, 18));
}

TEST(NewFileNames, ReadsBackOnlyTheNamesItMakes) {
    struct Case {
        const char *fileName;
        bool ours;
        unsigned long processId;
    } cases[] = {
        {"TRNW.conf.4242.new", true, 4242},
        {"trnw.CONF.8.NEW", true, 8},  // the file system ignores letter case
        {"TRNW.conf.4294967295.new", true, 4294967295ul},
        {"TRNW.conf.new", true, 0},  // the one name of earlier versions
        {"TRNW.conf.4294967296.new", false, 0},  // beyond 32 bits
        {"TRNW.conf.99999999999.new", false, 0},
        {"TRNW.conf.0.new", false, 0},
        {"TRNW.conf.042.new", false, 0},
        {"TRNW.conf.-4.new", false, 0},
        {"TRNW.conf.+4.new", false, 0},
        {"TRNW.conf.4 .new", false, 0},
        {"TRNW.conf.4x.new", false, 0},
        {"TRNW.conf..new", false, 0},
        {"TRNW.conf.4242.new.bak", false, 0},
        {"TRNW.conf.4242", false, 0},
        {"TRNW.conf", false, 0},
        {"TRNW.conf4242.new", false, 0},
        {"XTRNW.conf.4242.new", false, 0},
        {"TRNW.cfg.4242.new", false, 0},
        {"", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fileName);
        unsigned long processId = 77;
        EXPECT_EQ(c.ours, ReadNewFileName(c.fileName, "TRNW.conf", &processId));
        if (c.ours) {
            EXPECT_EQ(c.processId, processId);
        }
    }
}

TEST(JudgeLauncherReply, AcceptsOnlyTheExactWordUpToTheFirstNul) {
    struct Case {
        const char *bytes;
        int length;
        LauncherReply verdict;
    } cases[] = {
        {"LINK_UP", 7, ReplyAccepted},
        {"LINK_UP\0trailing", 16, ReplyAccepted},
        {"LINK_UP\r\n", 9, ReplyRejected},
        {"LINK_UP\n", 8, ReplyRejected},
        {"LINK_UP ", 8, ReplyRejected},
        {" LINK_UP", 8, ReplyRejected},
        {"link_up", 7, ReplyRejected},
        {"LINK_", 5, ReplyRejected},
        {"DENIED", 6, ReplyRejected},
        {"\0LINK_UP", 8, ReplyRejected},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.bytes, c.length));
        char buffer[kReplyBufferSize] = {};
        memcpy(buffer, c.bytes, c.length);
        EXPECT_EQ(c.verdict, JudgeLauncherReply(c.length, buffer));
    }
}

TEST(JudgeLauncherReply, NothingReceivedIsMissing) {
    char buffer[kReplyBufferSize] = {};
    memcpy(buffer, "LINK_UP", 7);  // stale bytes must not count
    EXPECT_EQ(ReplyMissing, JudgeLauncherReply(0, buffer));
    EXPECT_EQ(ReplyMissing, JudgeLauncherReply(-1, buffer));
}

TEST(JudgeLauncherReply, FullBufferOfGarbageIsRejected) {
    char buffer[kReplyBufferSize] = {};
    memset(buffer, 'L', kReplyBufferSize - 1);
    EXPECT_EQ(ReplyRejected, JudgeLauncherReply(kReplyBufferSize - 1, buffer));
}
