#include "tests/flood/flood_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/posix/posix_network.h"

namespace vindle::flood_test {

namespace {

constexpr std::uint16_t kPrinterPort = 3001;

}  // namespace

SimulatorProcess::SimulatorProcess(const std::vector<std::string>& arguments,
                                   const std::filesystem::path& logPath) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const std::string log = logPath.string();
    m_pid = ::fork();
    if (m_pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::dup2(fd, STDERR_FILENO);
        }
        ::execv(argv[0], argv.data());
        std::perror("exec");
        ::_exit(127);
    }
}

SimulatorProcess::~SimulatorProcess() {
    Stop();
}

bool SimulatorProcess::WaitUntilAnswering(Ipv4Address printer) const {
    PosixNetwork network;
    const auto socket = network.OpenUdpSocket();
    const std::uint8_t request[] = {2, 0, 0, 0, 0x1B, 0x6E, 0x21};
    for (int attempt = 0; attempt < 100 && socket; ++attempt) {
        socket->SendTo(printer, kPrinterPort, request, sizeof request);
        if (socket->WaitReadable({0, 50'000}) == 1) {
            std::uint8_t reply[64];
            Ipv4Address sender = 0;
            return socket->ReceiveFrom(reply, sizeof reply, sender) > 0;
        }
    }
    return false;
}

bool SimulatorProcess::Stop() {
    if (m_pid <= 0) {
        return false;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<FloodReport> ReadFloodReport(const std::filesystem::path& logPath) {
    std::ifstream file(logPath);
    std::string line;
    while (std::getline(file, line)) {
        FloodReport report;
        if (std::sscanf(line.c_str(),
                        "qarv-printer-sim: flood: %llu datagrams sent in %lf s (garbage %llu, "
                        "wrong head %llu, oversize %llu, old sequence %llu; %llu failed sends); "
                        "last at monotonic %lf s",
                        &report.sent, &report.seconds, &report.garbage, &report.wrongHead,
                        &report.oversize, &report.oldSequence, &report.failed,
                        &report.lastMonotonic) == 8) {
            return report;
        }
    }
    return std::nullopt;
}

double MonotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

long long UdpReceiveBufferDrops() {
    // Two "Udp:" lines: the field names, then their values.
    std::ifstream snmp("/proc/net/snmp");
    std::string line;
    std::vector<std::string> names;
    while (std::getline(snmp, line)) {
        if (line.rfind("Udp: ", 0) != 0) {
            continue;
        }
        std::istringstream fields(line.substr(5));
        std::vector<std::string> words;
        for (std::string word; fields >> word;) {
            words.push_back(word);
        }
        if (names.empty()) {
            names = words;
            continue;
        }
        for (std::size_t i = 0; i < names.size() && i < words.size(); ++i) {
            if (names[i] == "RcvbufErrors") {
                return std::atoll(words[i].c_str());
            }
        }
    }
    return -1;
}

long long ProcessStatusKib(const char* key) {
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(key) + ":";
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::atoll(line.c_str() + prefix.size());
        }
    }
    return -1;
}

bool ResetPeakResidentSize() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

}  // namespace vindle::flood_test
