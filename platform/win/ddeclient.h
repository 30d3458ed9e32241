// A DDEML client of the link: what kovant-link.exe and the tests use to
// poke, request and watch the items of a running program.
#pragma once

#include <windows.h>

#include <ddeml.h>

#include <string>

namespace kovant::platform {

class DdeClient {
 public:
  // DDEML's Unicode entry points or its ANSI ones (as older programs use).
  enum class Api { Unicode, Ansi };
  explicit DdeClient(Api api = Api::Unicode);
  ~DdeClient();
  DdeClient(const DdeClient&) = delete;
  DdeClient& operator=(const DdeClient&) = delete;

  // Each returns an error text, empty on success.
  std::string Connect(const std::wstring& service, const std::wstring& topic);
  std::string Poke(const std::string& item, const std::string& utf8, UINT format, DWORD timeoutMs);
  std::string Request(const std::string& item, UINT format, DWORD timeoutMs, std::string* utf8);
  // A warm link: the server tells when the item changes, without its text.
  std::string StartAdvise(const std::string& item, UINT format, DWORD timeoutMs);
  // Runs the thread's messages until a notice of an advise link arrives;
  // false when none came within the time.
  bool WaitAdvise(DWORD timeoutMs);
  void Disconnect();

 private:
  static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ topic, HSZ item, HDDEDATA data, ULONG_PTR,
                                    ULONG_PTR);
  HSZ Handle(const std::string& ascii);
  std::string Failure(const char* what);

  Api api_;
  DWORD inst_ = 0;
  HCONV conv_ = nullptr;
  int notices_ = 0;
};

}  // namespace kovant::platform
