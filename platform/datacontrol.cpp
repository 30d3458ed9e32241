#include "platform/datacontrol.h"

#include <dirent.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace kovant::platform {

DataControl::~DataControl() {
  for (const Transfer& t : unread_) {
    if (t.fd >= 0) close(t.fd);
  }
  for (auto* offer : offers_) zwlr_data_control_offer_v1_destroy(offer);
  for (auto* s : {clipboardSource_, primarySource_}) {
    if (s) zwlr_data_control_source_v1_destroy(s);
  }
  if (device_) zwlr_data_control_device_v1_destroy(device_);
  if (manager_) zwlr_data_control_manager_v1_destroy(manager_);
}

bool DataControl::Bind(wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  if (manager_ || std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) != 0) return false;
  manager_ = static_cast<zwlr_data_control_manager_v1*>(
      wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, std::min(version, 2u)));
  return true;
}

void DataControl::Start(wl_seat* seat) {
  static constexpr zwlr_data_control_device_v1_listener kDeviceListener{DataOffer, Selection, DeviceFinished,
                                                                        PrimarySelection};
  device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat);
  zwlr_data_control_device_v1_add_listener(device_, &kDeviceListener, this);
}

zwlr_data_control_source_v1* DataControl::Offer() {
  static constexpr zwlr_data_control_source_v1_listener kSourceListener{Send, Cancelled};
  zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(manager_);
  for (const char* type : kWaylandTextTypes) zwlr_data_control_source_v1_offer(source, type);
  zwlr_data_control_source_v1_add_listener(source, &kSourceListener, this);
  return source;
}

void DataControl::SetText(const std::string& utf8) {
  text_ = utf8;
  // Replaced sources are cancelled by the compositor and destroyed then.
  clipboardSource_ = Offer();
  zwlr_data_control_device_v1_set_selection(device_, clipboardSource_);
  if (zwlr_data_control_device_v1_get_version(device_) >=
      ZWLR_DATA_CONTROL_DEVICE_V1_SET_PRIMARY_SELECTION_SINCE_VERSION) {
    primarySource_ = Offer();
    zwlr_data_control_device_v1_set_primary_selection(device_, primarySource_);
  }
}

// The compositor announces every selection, ours and others', as an offer;
// we read none, so each is let go once it is no longer current.
void DataControl::DataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  static_cast<DataControl*>(data)->offers_.push_back(offer);
}
void DataControl::KeepOnly(zwlr_data_control_offer_v1*& which, zwlr_data_control_offer_v1* offer) {
  which = offer;
  std::erase_if(offers_, [this](zwlr_data_control_offer_v1* o) {
    if (o == clipboardOffer_ || o == primaryOffer_) return false;
    zwlr_data_control_offer_v1_destroy(o);
    return true;
  });
}
void DataControl::Selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  auto* self = static_cast<DataControl*>(data);
  self->KeepOnly(self->clipboardOffer_, offer);
}
void DataControl::PrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  auto* self = static_cast<DataControl*>(data);
  self->KeepOnly(self->primaryOffer_, offer);
}
void DataControl::DeviceFinished(void* data, zwlr_data_control_device_v1*) {
  static_cast<DataControl*>(data)->finished_ = true;
}

void DataControl::Send(void* data, zwlr_data_control_source_v1*, const char*, int32_t fd) {
  auto* self = static_cast<DataControl*>(data);
  WriteAll(fd, self->text_);
  struct stat st {};
  if (self->read_ && fstat(fd, &st) == 0) {
    self->unread_.push_back({fd, static_cast<unsigned long>(st.st_ino), {}});
  } else {
    close(fd);
  }
  if (self->fetched_) self->fetched_();
}

namespace {

// The link a descriptor of the pipe shows in /proc.
std::string PipeLink(unsigned long inode) { return "pipe:[" + std::to_string(inode) + "]"; }

std::string LinkOf(const std::string& path) {
  char target[64];
  const ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// Where another process holds the pipe: /proc/PID/fd/N, or empty where
// none can be seen (another user's, or a sandbox).
std::string FindReaderEnd(unsigned long inode) {
  const std::string link = PipeLink(inode), self = std::to_string(getpid());
  std::string found;
  DIR* processes = opendir("/proc");
  if (!processes) return found;
  while (dirent* p = readdir(processes)) {
    if (p->d_name[0] < '1' || p->d_name[0] > '9' || self == p->d_name) continue;
    const std::string folder = std::string("/proc/") + p->d_name + "/fd";
    DIR* fds = opendir(folder.c_str());
    if (!fds) continue;
    while (dirent* f = readdir(fds)) {
      if (f->d_name[0] != '.' && LinkOf(folder + "/" + f->d_name) == link) found = folder + "/" + f->d_name;
    }
    closedir(fds);
    if (!found.empty()) break;
  }
  closedir(processes);
  return found;
}

}  // namespace

void DataControl::Poll() {
  std::erase_if(unread_, [this](Transfer& t) {
    if (t.fd >= 0) {
      int left = 0;
      pollfd p{t.fd, 0, 0};
      const bool gone = poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP));
      if (!gone && ioctl(t.fd, FIONREAD, &left) == 0 && left > 0) return false;
      // Read to the end: the reader sees the end once ours is closed, and
      // is done with the text once it has closed its own.
      if (!gone) t.readerEnd = FindReaderEnd(t.inode);
      close(t.fd);
      t.fd = -1;
    }
    if (!t.readerEnd.empty() && LinkOf(t.readerEnd) == PipeLink(t.inode)) return false;
    if (read_) read_();
    return true;
  });
}

void DataControl::Cancelled(void* data, zwlr_data_control_source_v1* source) {
  auto* self = static_cast<DataControl*>(data);
  if (source == self->clipboardSource_) self->clipboardSource_ = nullptr;
  if (source == self->primarySource_) self->primarySource_ = nullptr;
  zwlr_data_control_source_v1_destroy(source);
}

}  // namespace kovant::platform
