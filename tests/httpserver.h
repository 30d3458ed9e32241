// An HTTP server of the test's own on the loopback address, serving fixed
// answers by path: for the update, from the command line and the window.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace kovant::test {

struct Answer {
  std::string head;  // status line and headers, without the blank line
  std::string body;
  bool silent = false;   // keep the connection, never answer
  size_t perSecond = 0;  // the body, after the head, this many bytes a second; 0: at once
};

// Serves fixed answers by path, one connection at a time.
class HttpServer {
 public:
  explicit HttpServer(std::map<std::string, Answer> routes) : routes_(std::move(routes)) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    ::listen(listen_, 16);
    thread_ = std::thread([this] { Run(); });
  }
  ~HttpServer() {
    stop_ = true;
    thread_.join();
    for (int fd : held_) close(fd);
    close(listen_);
  }
  std::string Url(const std::string& folder) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + folder;
  }

 private:
  void Run() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string request;
      char buf[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
      }
      const size_t a = request.find(' ') + 1, b = request.find(' ', a);
      const std::string path = request.substr(a, b - a);
      auto it = routes_.find(path);
      Answer answer = it != routes_.end() ? it->second : Answer{"HTTP/1.1 404 Not Found", "<html>not here</html>"};
      if (answer.silent) {
        held_.push_back(fd);
        continue;
      }
      std::string head = answer.head + "\r\nConnection: close\r\n";
      if (head.find("Content-Length") == std::string::npos) {
        head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
      }
      Send(fd, head + "\r\n", 0);
      Send(fd, answer.body, answer.perSecond);
      close(fd);
    }
  }

  // Writes all, or in pieces with pauses between them to keep to
  // perSecond, until the client hangs up or the server stops.
  void Send(int fd, const std::string& all, size_t perSecond) {
    const size_t piece = perSecond ? std::max<size_t>(1, perSecond / 10) : all.size();
    for (size_t done = 0; done < all.size() && !stop_;) {
      ssize_t n = send(fd, all.data() + done, std::min(piece, all.size() - done), MSG_NOSIGNAL);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
      if (perSecond) std::this_thread::sleep_for(std::chrono::milliseconds(1000 * piece / perSecond));
    }
  }

  std::map<std::string, Answer> routes_;
  int listen_ = -1, port_ = 0;
  std::vector<int> held_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kovant::test
