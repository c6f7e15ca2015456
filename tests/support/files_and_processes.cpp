// Case folders, file bytes and the processes a test starts.
#include "image_under_test.h"
#include "test_support.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>

std::string BinDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

std::string CurrentTestName() {
    const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "case";
    for (char &c : name)
        if (c == '/' || c == '\\' || c == ':') c = '_';
    return name;
}

static void RemoveTree(const std::string &folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string MakeCaseFolder(const std::string &name) {
    std::string cases = BinDirectory() + CasesFolderName() + "\\";
    CreateDirectoryA(cases.c_str(), nullptr);
    std::string folder = cases + name + "\\";
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool WriteFileBytes(const std::string &path, const std::string &bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = (DWORD)std::min<size_t>(bytes.size() - done, 1 << 20);
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    CloseHandle(file);
    return ok;
}

bool ReadFileBytes(const std::string &path, std::string *bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes->append(buffer, read);
    CloseHandle(file);
    return true;
}

bool FileExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FilesNamedAfterSettings(const std::string &folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "TRNW.conf.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    // The wildcard's ".*" also matches the settings file itself, as a
    // name without an extension.
    do {
        if (lstrcmpiA(entry.cFileName, "TRNW.conf") != 0) names.push_back(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

bool CopyFromBin(const std::string &binFile, const std::string &folder,
                 const std::string &asName) {
    return CopyFileA((BinDirectory() + binFile).c_str(), (folder + asName).c_str(), FALSE) != 0;
}

bool StartProcess(const std::string &exePath, const std::string &commandLine,
                  const std::string &folder, int showCommand, StartedProcess *started) {
    *started = StartedProcess{};
    started->job = CreateJobObjectA(nullptr, nullptr);
    if (started->job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(started->job, JobObjectExtendedLimitInformation, &limits,
                                sizeof limits);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = (WORD)showCommand;
    }
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION info = {};
    // Suspended until it is in the job, so that whatever it starts is too.
    // Platform limit: under Wine, with many processes starting at once, a
    // new process now and then dies in Wine's own start-up, before any of
    // its code runs, and CreateProcessA fails with ERROR_INTERNAL_ERROR;
    // such a start is made again, and said so.
    bool created = false;
    for (int attempt = 0; attempt < 3 && !created; attempt++) {
        created = CreateProcessA(exePath.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                 nullptr, folder.c_str(), &startup, &info) != 0;
        if (created || GetLastError() != ERROR_INTERNAL_ERROR) break;
        printf("[ platform ] %s died in Wine's start-up (CreateProcessA: error %lu); started again\n",
               exePath.c_str(), GetLastError());
        fflush(stdout);
    }
    if (!created) {
        DWORD error = GetLastError();
        if (started->job) CloseHandle(started->job);
        started->job = nullptr;
        SetLastError(error);
        return false;
    }
    if (started->job) AssignProcessToJobObject(started->job, info.hProcess);
    ResumeThread(info.hThread);
    started->process = info.hProcess;
    started->thread = info.hThread;
    started->id = info.dwProcessId;
    return true;
}

bool WaitForExit(const StartedProcess &started, DWORD milliseconds, DWORD *exitCode) {
    if (WaitForSingleObject(started.process, milliseconds) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(started.process, exitCode);
    return true;
}

void EndProcess(StartedProcess *started) {
    if (started->process) {
        TerminateProcess(started->process, 99);
        WaitForSingleObject(started->process, 5000);
        CloseHandle(started->process);
    }
    if (started->thread) CloseHandle(started->thread);
    if (started->job) {
        TerminateJobObject(started->job, 99);
        CloseHandle(started->job);
    }
    *started = StartedProcess{};
}

bool IsProcessRunning(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return false;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

std::vector<DWORD> ProcessesNamed(const std::string &exeName) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0) found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

bool WaitUntil(const std::function<bool()> &condition, DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= milliseconds) return condition();
        Sleep(20);
    }
}
