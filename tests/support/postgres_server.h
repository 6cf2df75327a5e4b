// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A PostgreSQL server of a test's own: a new cluster in a temporary folder (initdb),
// started with pg_ctl, listening on a Unix socket in that folder only (no TCP port), run
// as the system user postgres when the test runs as root (the server refuses to run as
// root), as the caller otherwise. Quick to start (no fsync, small buffers); stopped and
// removed with all it holds when the object goes.
//
//   if (!PostgresServer::programsFound()) GTEST_SKIP() << "no PostgreSQL server programs";
//   PostgresServer server;                 // throws when it cannot start
//   std::string uri = server.uri();        // postgresql:///records?host=…&user=palor
#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace palor::test {

class PostgresServer {
 public:
  // The folder of initdb and pg_ctl (the newest version's), empty when there is none.
  static std::string programFolder() {
    std::vector<std::string> folders;
    glob_t found{};
    if (::glob("/usr/lib/postgresql/*/bin", 0, nullptr, &found) == 0)
      for (std::size_t i = 0; i < found.gl_pathc; ++i) {
        const std::string folder = found.gl_pathv[i];
        if (::access((folder + "/initdb").c_str(), X_OK) == 0 &&
            ::access((folder + "/pg_ctl").c_str(), X_OK) == 0)
          folders.push_back(folder);
      }
    ::globfree(&found);
    // Version numbers as numbers: 9.6 before 15.
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
      return std::stod(a.substr(20)) < std::stod(b.substr(20));
    });
    return folders.empty() ? std::string() : folders.back();
  }
  static bool programsFound() { return !programFolder().empty(); }

  explicit PostgresServer(const std::string& database = "records")
      : programs_(programFolder()), folder_("palor-postgres") {
    if (programs_.empty()) throw std::runtime_error("no PostgreSQL server programs");
    asPostgres_ = ::geteuid() == 0;
    data_ = folder_.path("data");
    socket_ = folder_.path("run");
    log_ = socket_ + "/server.log";  // written by the server's user
    for (const std::string& dir : {data_, socket_}) {
      ::mkdir(dir.c_str(), 0700);
      if (asPostgres_) {
        const passwd* postgres = ::getpwnam("postgres");
        if (!postgres) throw std::runtime_error("running as root, but there is no user postgres");
        if (::chown(dir.c_str(), postgres->pw_uid, postgres->pw_gid) != 0)
          throw std::runtime_error("cannot give " + dir + " to the user postgres");
      }
    }
    if (asPostgres_) ::chmod(socket_.c_str(), 0755);
    if (run({programs_ + "/initdb", "-D", data_, "-U", kUser, "-A", "trust", "-E", "UTF8",
             "--no-locale", "--no-sync"},
            asPostgres_) != 0)
      throw std::runtime_error("initdb failed: " + logText());
    std::ofstream(data_ + "/postgresql.conf", std::ios::app)
        << "\n# A test's own server: a socket in its folder only, no durability, little memory.\n"
           "listen_addresses = ''\n"
           "unix_socket_directories = '"
        << socket_
        << "'\n"
           "fsync = off\n"
           "synchronous_commit = off\n"
           "full_page_writes = off\n"
           "shared_buffers = 16MB\n"
           "max_connections = 30\n";
    if (!start()) throw std::runtime_error("the server did not start: " + logText());
    if (!createDatabase(database)) throw std::runtime_error("createdb failed: " + logText());
    database_ = database;
  }
  ~PostgresServer() {
    if (running_)
      run({programs_ + "/pg_ctl", "-D", data_, "-m", "immediate", "-w", "stop"}, asPostgres_);
  }
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  // The connection URI of `database` (the one made at start when none is named).
  std::string uri(const std::string& database = {}) const {
    return "postgresql:///" + (database.empty() ? database_ : database) + "?host=" + socket_ +
           "&user=" + kUser;
  }
  bool createDatabase(const std::string& name) {
    return run({programs_ + "/createdb", "-h", socket_, "-U", kUser, name}, false) == 0;
  }
  bool stop() {
    const bool stopped =
        run({programs_ + "/pg_ctl", "-D", data_, "-m", "fast", "-w", "stop"}, asPostgres_) == 0;
    running_ = running_ && !stopped;
    return stopped;
  }
  bool start() {
    running_ = run({programs_ + "/pg_ctl", "-D", data_, "-l", log_, "-w", "-t", "60", "start"},
                   asPostgres_) == 0;
    return running_;
  }
  // What the server and its programs wrote.
  std::string logText() const {
    std::ostringstream text;
    text << std::ifstream(log_).rdbuf() << std::ifstream(folder_.path("programs.log")).rdbuf();
    return text.str();
  }

 private:
  static constexpr const char* kUser = "palor";

  // Runs a program to its end, as postgres when asked, its output in the folder's log.
  int run(std::vector<std::string> arguments, bool asPostgres) const {
    if (asPostgres) arguments.insert(arguments.begin(), {"runuser", "-u", "postgres", "--"});
    const std::string output = folder_.path("programs.log");
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
      const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
      }
      const int null = ::open("/dev/null", O_RDONLY);
      if (null >= 0) ::dup2(null, 0);
      if (::chdir(folder_.path().c_str()) != 0) ::_exit(126);
      std::vector<char*> argv;
      for (std::string& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string programs_;
  TempFolder folder_;
  std::string data_, socket_, log_, database_;
  bool asPostgres_ = false;
  bool running_ = false;
};

}  // namespace palor::test
