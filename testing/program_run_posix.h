// A program of this build started as a shell starts it, for what only a real process shows: how it
// ends on a signal, and what it does under a file size limit with SIGXFSZ at its default action
// (which FileSizeLimit, in-process, has to ignore).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

class StartedProgram {
 public:
  // Standard error goes to a pipe that wait() reads; standard output is /dev/null, and so is standard
  // input unless `input_pipe`, when it is a pipe that the test writes to through input().
  StartedProgram(const std::string& program, const std::vector<std::string>& arguments,
                 rlim_t file_size_limit = RLIM_INFINITY, bool input_pipe = false) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return;
    int input_ends[2] = {-1, -1};
    if (input_pipe && ::pipe(input_ends) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(pipe_ends[0]);
      // As a shell leaves them: every signal at its default action and none blocked.
      for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) ::signal(signal, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      const rlimit limit{file_size_limit, file_size_limit};
      if (file_size_limit != RLIM_INFINITY && ::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      ::dup2(pipe_ends[1], STDERR_FILENO);
      const int null = ::open("/dev/null", O_RDWR);
      if (input_pipe) {
        ::close(input_ends[1]);
        ::dup2(input_ends[0], STDIN_FILENO);
      } else {
        ::dup2(null, STDIN_FILENO);
      }
      ::dup2(null, STDOUT_FILENO);
      std::vector<char*> argv = {const_cast<char*>(program.c_str())};
      for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(pipe_ends[1]);
    err_ = pipe_ends[0];
    if (input_pipe) {
      ::close(input_ends[0]);
      in_ = input_ends[1];
    }
  }
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;
  ~StartedProgram() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    if (err_ >= 0) ::close(err_);
    if (in_ >= 0) ::close(in_);
  }

  pid_t pid() const { return pid_; }
  // The write end of standard input's pipe; -1 without one.
  int input() const { return in_; }

  // Waits for the end: the status as waitpid gives it, and standard error.
  int wait() {
    char buffer[4096];
    ssize_t length;
    while ((length = ::read(err_, buffer, sizeof buffer)) > 0) err.append(buffer, static_cast<std::size_t>(length));
    int status = -1;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    waited_ = true;
    return status;
  }

  std::string err;

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  int in_ = -1;
  bool waited_ = false;
};
