// The clipboard through a wlroots compositor's data control: set without
// having the focus, which Qt's clipboard cannot, and answered from whatever
// loop dispatches the connection. The desktop of the running program and
// the keeper that serves the text after it ends share it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;
struct zwlr_data_control_offer_v1;

namespace kovant::platform {

// The text types offered to clipboard readers.
inline constexpr const char* kWaylandTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT",
                                                    "STRING"};

class DataControl {
 public:
  DataControl() = default;
  DataControl(const DataControl&) = delete;
  DataControl& operator=(const DataControl&) = delete;
  ~DataControl();

  // Binds the manager as the registry announces it; true when it was that.
  bool Bind(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
  bool Bound() const { return manager_ != nullptr; }
  // Takes the seat's clipboard device; once the manager is bound.
  void Start(wl_seat* seat);

  // Offers the text as the clipboard and, where the compositor has one, the
  // primary selection. The caller flushes or round-trips.
  void SetText(const std::string& utf8);
  const std::string& Text() const { return text_; }
  // Whether the clipboard still holds the text we last set.
  bool Owns() const { return clipboardSource_ != nullptr; }
  // Whether the compositor has ended our device.
  bool Finished() const { return finished_; }
  // Told each time a reader has been handed the text.
  void OnFetched(std::function<void()> fetched) { fetched_ = std::move(fetched); }
  // Told each time a reader has read all it was handed and closed its end
  // (where its process can be seen; else once it has read the text). Our
  // end stays open until the reader has read the text, Poll closes it.
  void OnRead(std::function<void()> read) { read_ = std::move(read); }
  // Closes the pipes whose readers have read everything, and tells of the
  // readers that have closed theirs.
  void Poll();
  bool Unread() const { return !unread_.empty(); }

 private:
  zwlr_data_control_source_v1* Offer();
  void KeepOnly(zwlr_data_control_offer_v1*& which, zwlr_data_control_offer_v1* offer);

  static void DataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
  static void Selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
  static void PrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
  static void DeviceFinished(void* data, zwlr_data_control_device_v1*);
  static void Send(void* data, zwlr_data_control_source_v1*, const char*, int32_t fd);
  static void Cancelled(void* data, zwlr_data_control_source_v1* source);

  zwlr_data_control_manager_v1* manager_ = nullptr;
  zwlr_data_control_device_v1* device_ = nullptr;
  zwlr_data_control_source_v1* clipboardSource_ = nullptr;
  zwlr_data_control_source_v1* primarySource_ = nullptr;
  std::vector<zwlr_data_control_offer_v1*> offers_;
  zwlr_data_control_offer_v1* clipboardOffer_ = nullptr;
  zwlr_data_control_offer_v1* primaryOffer_ = nullptr;
  std::string text_;
  bool finished_ = false;
  std::function<void()> fetched_;
  std::function<void()> read_;
  // A pipe written to a reader: ours until it has read the text, then
  // watched through the reader's own descriptor until it closes it.
  struct Transfer {
    int fd = -1;  // ours, -1 once closed
    unsigned long inode = 0;
    std::string readerEnd;  // /proc/PID/fd/N of the reader; empty when not seen
  };
  std::vector<Transfer> unread_;
};

}  // namespace kovant::platform
