#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// A program started with extra environment variables, its standard output and error captured.
class TChildProcess {
public:
    TChildProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {}) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);

        std::vector<std::string> argStore{program};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        std::vector<std::string> envStore;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            if (!env.contains(entry.substr(0, entry.find('='))))
                envStore.push_back(entry);
        }
        for (const auto& [key, value] : env)
            envStore.push_back(key + "=" + value);
        std::vector<char*> envp;
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const int rc =
            posix_spawn(&Pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            throw std::runtime_error("cannot start " + program);
        }
        Out_ = out[0];
    }
    ~TChildProcess() {
        if (Pid_ > 0 && !Exited_) {
            ::kill(Pid_, SIGKILL);
            ::waitpid(Pid_, nullptr, 0);
        }
        ::close(Out_);
    }
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    void Signal(int signal) { ::kill(Pid_, signal); }
    pid_t Pid() const { return Pid_; }

    // Waits for the exit; -1 when it does not end in time (it is then killed at destruction).
    int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            Drain(20);
            int status = 0;
            if (::waitpid(Pid_, &status, WNOHANG) == Pid_) {
                Exited_ = true;
                while (Drain(0)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return -1;
    }

    // Output so far (reads what is waiting).
    const std::string& Output() {
        while (Drain(0)) {
        }
        return Output_;
    }

private:
    bool Drain(int waitMs) {
        pollfd p{Out_, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(Out_, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        Output_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t Pid_ = -1;
    int Out_ = -1;
    bool Exited_ = false;
    std::string Output_;
};
