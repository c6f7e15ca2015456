// A stand-in for GameHost.exe that the launcher starts in the tests.  It
// takes the token and port from its command line like the host, then
// follows fake_host.cfg beside it, one instruction a line:
//   send right|wrong|short|long|nothing   one connection: send, read reply
//   probe                                 try the port on other addresses
//   publish                               write "token port" to fake_host.ready
//   await NAME                            wait for the named event to be set
//   host NAME                             start NAME beside it as the real
//                                         host, write its process id to
//                                         fake_host.child, await its end and
//                                         take its exit code
//   exit N                                the exit code (default 0)
// and writes what it saw to fake_host.report beside it, one "key value"
// line each; byte strings are written with \xNN for anything but
// printable non-space ASCII.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Generous, yet bounded: the test must end even if the launcher never
// answers.
const DWORD kReplyMilliseconds = 15000;
// For the test to set the event or for the real host to be closed.
const DWORD kAwaitMilliseconds = 120000;

std::string report;

void Record(const std::string &key, const std::string &value) {
    report += key + " " + value + "\n";
}

std::string Escaped(const std::string &bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c > 0x20 && c < 0x7F && c != '\\') {
            text += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            text += hex;
        }
    }
    return text.empty() ? "-" : text;
}

std::string OwnFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    char *slash = strrchr(path, '\\');
    if (slash != nullptr) slash[1] = '\0';
    return path;
}

std::vector<std::string> ReadInstructions(const std::string &path) {
    std::vector<std::string> lines;
    FILE *file = fopen(path.c_str(), "r");
    if (file == nullptr) return lines;
    char line[256];
    while (fgets(line, sizeof line, file) != nullptr) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] != '\0') lines.push_back(line);
    }
    fclose(file);
    return lines;
}

std::string AddressText(const sockaddr_in &address) {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

bool ConnectTo(SOCKET sock, const char *ip, int port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)port);
    inet_pton(AF_INET, ip, &address.sin_addr);
    return connect(sock, (const sockaddr *)&address, sizeof address) == 0;
}

// Reads until the launcher closes, an error, or the bound; records the
// first receive (all the host ever reads) and the whole stream.
void ReadReply(SOCKET sock, const std::string &step) {
    std::string all;
    std::string first;
    bool firstSeen = false;
    std::string end = "timeout";
    ULONGLONG startedAt = GetTickCount64();
    ULONGLONG givesUpAt = startedAt + kReplyMilliseconds;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= givesUpAt) break;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(sock, &readable);
        ULONGLONG left = givesUpAt - now;
        timeval limit = {(long)(left / 1000), (long)(left % 1000) * 1000};
        if (select(0, &readable, nullptr, nullptr, &limit) <= 0) break;
        char buffer[256];
        int got = recv(sock, buffer, sizeof buffer, 0);
        if (got == 0) {
            end = "closed";
            break;
        }
        if (got < 0) {
            end = "error" + std::to_string(WSAGetLastError());
            break;
        }
        if (!firstSeen) first.assign(buffer, got);
        firstSeen = true;
        all.append(buffer, got);
    }
    Record("first" + step, Escaped(first));
    Record("reply" + step, Escaped(all));
    Record("end" + step, end);
    Record("ms" + step, std::to_string(GetTickCount64() - startedAt));
}

std::string RequestFor(const std::string &kind, const std::string &token) {
    if (kind == "right") return token;
    if (kind == "short") return token.substr(0, token.size() - 1);
    if (kind == "long") return token + "0";
    if (kind == "wrong") {
        // Same length, last byte changed: only the full compare can tell.
        std::string wrong = token;
        if (!wrong.empty()) wrong.back() = wrong.back() == '0' ? '1' : '0';
        return wrong;
    }
    return "";
}

void SendOne(const std::string &kind, const std::string &token, int port, int index) {
    std::string step = std::to_string(index);
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (!ConnectTo(sock, "127.0.0.1", port)) {
        Record("connect" + step, "failed" + std::to_string(WSAGetLastError()));
        closesocket(sock);
        return;
    }
    sockaddr_in peer = {};
    int peerSize = sizeof peer;
    getpeername(sock, (sockaddr *)&peer, &peerSize);
    Record("connect" + step, "ok");
    Record("peer" + step, AddressText(peer));
    std::string request = RequestFor(kind, token);
    if (!request.empty()) send(sock, request.data(), (int)request.size(), 0);
    ReadReply(sock, step);
    closesocket(sock);
}

// 127.0.0.2 reaches this machine's loopback like 127.0.0.1, and its
// network adapters' addresses reach it from outside: a listener bound to
// 127.0.0.1 alone refuses them all.
std::vector<std::string> OtherAddresses() {
    std::vector<std::string> addresses = {"127.0.0.2"};
    ULONG size = 16384;
    std::vector<char> buffer(size);
    IP_ADAPTER_ADDRESSES *adapters = (IP_ADAPTER_ADDRESSES *)buffer.data();
    ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    if (GetAdaptersAddresses(AF_INET, flags, nullptr, adapters, &size) != NO_ERROR)
        return addresses;
    for (IP_ADAPTER_ADDRESSES *a = adapters; a != nullptr; a = a->Next) {
        for (IP_ADAPTER_UNICAST_ADDRESS *u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &((sockaddr_in *)u->Address.lpSockaddr)->sin_addr, text,
                      sizeof text);
            if (strncmp(text, "127.", 4) != 0) addresses.push_back(text);
        }
    }
    return addresses;
}

void ProbeOtherAddresses(int port) {
    for (const std::string &ip : OtherAddresses()) {
        SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        bool connected = ConnectTo(sock, ip.c_str(), port);
        closesocket(sock);
        Record("probe", ip + (connected ? " connected" : " refused"));
    }
}

// Whole or not at all under its name: the test may look at any moment.
void WriteText(const std::string &path, const std::string &text) {
    std::string part = path + ".part";
    FILE *file = fopen(part.c_str(), "wb");
    if (file == nullptr) return;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void Await(const std::string &name) {
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name.c_str());
    if (event == nullptr) {
        Record("await", "no event " + name);
        return;
    }
    DWORD waited = WaitForSingleObject(event, kAwaitMilliseconds);
    CloseHandle(event);
    Record("await", waited == WAIT_OBJECT_0 ? "set" : "timeout");
}

// The real host, started in its folder with the launcher's arguments as the
// launcher itself would; the fake host only holds it back until told.
int RunHost(const std::string &folder, const std::string &name, const std::string &token,
            int port) {
    std::string path = folder + name;
    std::string commandLine = "\"" + path + "\" " + token + " " + std::to_string(port);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION host = {};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &host)) {
        Record("host", "not started " + std::to_string(GetLastError()));
        return 1;
    }
    WriteText(folder + "fake_host.child", std::to_string(host.dwProcessId));
    DWORD exitCode = 1;
    if (WaitForSingleObject(host.hProcess, kAwaitMilliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(host.hProcess, &exitCode);
    else
        Record("host", "did not end");
    Record("host", "exit " + std::to_string(exitCode));
    CloseHandle(host.hThread);
    CloseHandle(host.hProcess);
    return (int)exitCode;
}

}  // namespace

int main(int argc, char **argv) {
    std::string folder = OwnFolder();
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, directory);
    Record("argc", std::to_string(argc));
    Record("commandline", GetCommandLineA());
    Record("cwd", directory);
    std::string token = argc > 1 ? argv[1] : "";
    int port = argc > 2 ? atoi(argv[2]) : 0;
    Record("token", Escaped(token));
    Record("port", std::to_string(port));

    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    int exitCode = 0;
    int index = 0;
    for (const std::string &line : ReadInstructions(folder + "fake_host.cfg")) {
        if (line.rfind("send ", 0) == 0)
            SendOne(line.substr(5), token, port, index++);
        else if (line == "probe")
            ProbeOtherAddresses(port);
        else if (line == "publish")
            WriteText(folder + "fake_host.ready", token + " " + std::to_string(port));
        else if (line.rfind("await ", 0) == 0)
            Await(line.substr(6));
        else if (line.rfind("host ", 0) == 0)
            exitCode = RunHost(folder, line.substr(5), token, port);
        else if (line.rfind("exit ", 0) == 0)
            exitCode = atoi(line.c_str() + 5);
    }
    WSACleanup();
    WriteText(folder + "fake_host.report", report);
    return exitCode;
}
