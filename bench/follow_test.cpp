// The game window follows the host through many moves and resizes: the
// bench's following figure as a regression test, at a smaller count and
// with no timing in it.
#include "bench_support.h"

#include <gtest/gtest.h>

class Follow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartBenchLauncher(&launcher));
    }

    void TearDown() override {
        EndHost(&hosted);
        StopBenchLauncher(&launcher);
    }

    BenchLauncher launcher;
    HostedGame hosted;
};

TEST_F(Follow, GameCoversClientAreaAfterEachOf100RandomMovesAndResizes) {
    std::string folder = BinDirectory() + "bench-cases\\Follow\\";
    ASSERT_TRUE(PrepareHostFolder(folder, "lifetime_ms=120000\n"));
    ASSERT_TRUE(StartHost(folder, launcher.port, &hosted));
    ASSERT_TRUE(WaitForAdoption(&hosted, 30000)) << "the game window was not adopted and laid over the host";

    // SetWindowPos from another process is carried out on the host's thread
    // before it returns, and the host refits the game inside it, so the
    // game's rect is final the moment the call returns: no waiting here.
    FollowResult result = FollowMoves(hosted.hostWindow, hosted.game.window, RandomHostMoves(100, 4711));
    EXPECT_EQ(result.moves, 100);
    EXPECT_EQ(result.hostMisplaced, 0) << "the host was not placed where it was asked";
    EXPECT_EQ(result.mismatches, 0) << "first at " << result.firstMismatch;
}
