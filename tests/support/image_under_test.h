// Which build of the shipped programs a test run is about: the MinGW images
// beside the test programs, or the clang (MSVC mode) images in the msvc
// subfolder.  ctest names it in the environment (GAMEHOST_IMAGE=msvc);
// nothing else in the tests chooses.
#ifndef GAMEHOST_IMAGE_UNDER_TEST_H
#define GAMEHOST_IMAGE_UNDER_TEST_H

#include <string>

// "mingw" or "msvc".
std::string ImageKind();

// The name of the folder that holds the case folders of a run: "cases" for
// the MinGW build, "cases-msvc" for the other, so that both runs of one test
// may go on at once.
std::string CasesFolderName();

// The full path of a shipped program (GameHost.exe, launcher.exe) of the
// build under test.
std::string ImageUnderTest(const std::string &exeName);

#endif
