// The link on Windows: a DDE server under the service and topic "KOVANT",
// written on the WM_DDE_* messages themselves (one hidden window answers
// WM_DDE_INITIATE, one hidden window serves each conversation), so DDEML
// clients and programs that post the messages directly are served alike.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/linkitems.h"

namespace kovant::platform {

inline constexpr const wchar_t* kDdeService = L"KOVANT";
inline constexpr const wchar_t* kDdeTopic = L"KOVANT";

// The item's name as clients use it ("Cmd", "DistName", "Addr(0)" ...).
std::wstring LinkItemName(LinkItem item);
// The item an atom names, its letter case ignored as DDE does.
LinkItem LinkItemOfAtom(ATOM atom);

// Text in a clipboard format the link speaks (CF_TEXT in code page 932,
// CF_UNICODETEXT) to UTF-8; nullopt when it is not valid text of that format
// or its UTF-8 is longer than kMaxLinkValueBytes. The text ends at its first
// NUL or at the end of the bytes.
std::optional<std::string> LinkTextToUtf8(UINT format, const void* bytes, size_t size);
// UTF-8 to the bytes of a format, NUL included; characters code page 932
// lacks become "?".
std::vector<char> Utf8ToLinkText(UINT format, const std::string& utf8);
inline bool IsLinkFormat(UINT format) { return format == CF_TEXT || format == CF_UNICODETEXT; }

class DdeLinkServer {
 public:
  // poke sets the text of an item; request reads it (UTF-8 both).
  using PokeFn = std::function<void(LinkItem, const std::string&)>;
  using RequestFn = std::function<std::string(LinkItem)>;
  DdeLinkServer(PokeFn poke, RequestFn request);
  // Ends every conversation with WM_DDE_TERMINATE.
  ~DdeLinkServer();
  DdeLinkServer(const DdeLinkServer&) = delete;
  DdeLinkServer& operator=(const DdeLinkServer&) = delete;

  // Starts answering on this thread, whose message loop then serves the
  // link; an error text when the window cannot be made, else empty.
  std::string Start();

  // The text of an item changed: clients with an advise link on it get the
  // new text (or, on a warm link, the notice).
  void Changed(LinkItem item);
  // The answer is in Addr(0) .. Addr(5).
  void Answered();

  std::size_t Conversations() const { return conversations_.size(); }

 private:
  struct AdviseLink {
    bool deferUpd = false;
    bool ackReq = false;
    bool awaitingAck = false;  // a WM_DDE_DATA with fAckReq not acknowledged yet
    bool changedMeanwhile = false;
    HGLOBAL inFlight = nullptr;  // ours again if the client refuses it
  };
  struct Conversation {
    HWND client = nullptr;
    bool terminating = false;  // we posted WM_DDE_TERMINATE first
    std::map<std::pair<LinkItem, UINT>, AdviseLink> advises;
  };

  static LRESULT CALLBACK ListenerProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK ConversationProc(HWND, UINT, WPARAM, LPARAM);
  void OnInitiate(HWND client, LPARAM lParam);
  void OnMessage(HWND self, UINT message, WPARAM wParam, LPARAM lParam);
  void OnRequest(HWND self, Conversation& c, LPARAM lParam);
  void OnPoke(HWND self, Conversation& c, LPARAM lParam);
  void OnAdvise(HWND self, Conversation& c, LPARAM lParam);
  void OnUnadvise(HWND self, Conversation& c, LPARAM lParam);
  void OnAck(HWND self, Conversation& c, LPARAM lParam);
  void OnTerminate(HWND self, Conversation& c);
  void SendAdvise(HWND self, Conversation& c, LinkItem item, UINT format, AdviseLink& link);
  bool PostAck(HWND self, Conversation& c, LPARAM packed);
  void Drop(HWND self);
  void DropDead();

  PokeFn poke_;
  RequestFn request_;
  HWND listener_ = nullptr;
  std::map<HWND, Conversation> conversations_;
  std::vector<HWND> dead_;
};

}  // namespace kovant::platform
