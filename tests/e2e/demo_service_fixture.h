#pragma once
// Runs the demo service (tools/demo-service) on an ephemeral port for the life of one object,
// and reads the service's request log.
//   e2e::DemoService service;                 // or DemoService({"--delay-ms", "200"})
//   ASSERT_TRUE(service.running());
//   options.hosts.pointAllAt(service.host());
#include <httplib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace e2e {

class DemoService {
public:
    explicit DemoService(const std::vector<std::string>& extraArgs = {})
    {
        // The service ends when its standard input closes: if this process dies, so does it.
        std::vector<std::string> args = {CORVALE_DEMO_SERVICE, "--port", "0",
                                         "--until-stdin-closes"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        int in[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        if (pipe2(in, O_CLOEXEC) != 0) {
            close(out[0]);
            close(out[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(in[0]);
        stdinWriter_ = in[1];
        if (spawned != 0) {
            pid_ = -1;
            close(out[0]);
            return;
        }
        port_ = readPort(out[0]);
        close(out[0]);
    }
    ~DemoService()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (stdinWriter_ >= 0)
            close(stdinWriter_);
    }
    DemoService(const DemoService&) = delete;
    DemoService& operator=(const DemoService&) = delete;

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

    // Every request answered so far, oldest first, as "METHOD target status".
    std::vector<std::string> requests() const
    {
        std::vector<std::string> lines;
        httplib::Client client("127.0.0.1", port_);
        auto res = client.Get("/log");
        if (!res || res->status != 200)
            return lines;
        std::istringstream in(res->body);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("GET /log ", 0) != 0)
                lines.push_back(line);
        return lines;
    }
    // The targets of the result-page requests (/m?...) answered so far, oldest first.
    std::vector<std::string> searchTargets() const
    {
        std::vector<std::string> targets;
        for (const std::string& line : requests())
            if (line.rfind("GET /m?", 0) == 0)
                targets.push_back(line.substr(4, line.rfind(' ') - 4));
        return targets;
    }

private:
    // The first line is "listening on 127.0.0.1:PORT"; 0 when it does not come within 20 s.
    static int readPort(int fd)
    {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (line.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return 0;
            char buffer[256];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return 0;
            line.append(buffer, static_cast<size_t>(n));
        }
        const std::string prefix = "listening on 127.0.0.1:";
        const size_t at = line.find(prefix);
        return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + prefix.size());
    }

    pid_t pid_ = -1;
    int port_ = 0;
    int stdinWriter_ = -1; // held open for the service's life; closes with this process
};

} // namespace e2e
