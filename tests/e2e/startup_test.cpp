// The start-up gate: which command lines reach the Launcher, which are
// refused, and what the user sees in each case.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

const char kRefusalText[] = "Game phai duoc khoi dong tu Launcher!\nVui long mo Launcher de choi.";

TEST(Startup, AcceptedHandshakeOpensWindowAndCloseExitsZero) {
    ScriptedLauncher launcher;
    ASSERT_TRUE(StartLauncher(LauncherScript{}, &launcher));
    HostCase hostCase;
    ASSERT_TRUE(PrepareHostFolder(CurrentTestName(), &hostCase));
    ASSERT_TRUE(StartHost(&hostCase, LaunchArguments("token123", launcher.port)));
    HWND window = WaitForHostWindow(hostCase);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("Tarnwick", WindowText(window));
    EXPECT_EQ(0, CloseHostAndWait(&hostCase, window));
    StopLauncher(&launcher);
    EXPECT_EQ("token123", launcher.received);
    EndProcess(&hostCase.host);
}

TEST(Startup, EmptyArgumentsShowRefusalBoxAndExitOne) {
    HostCase hostCase;
    ASSERT_TRUE(PrepareHostFolder(CurrentTestName(), &hostCase));
    ASSERT_TRUE(StartHost(&hostCase, ""));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitForMessageBox(hostCase.host.id, kEventWaitMs, &box));
    EXPECT_EQ("Loi", box.caption);
    EXPECT_EQ(kRefusalText, box.text);
    EXPECT_EQ(nullptr, box.owner);
    DismissMessageBox(box.box);
    DWORD code = 0;
    EXPECT_TRUE(WaitForExit(hostCase.host, kEventWaitMs, &code));
    EXPECT_EQ(1u, code);
    EndProcess(&hostCase.host);
}

}  // namespace
