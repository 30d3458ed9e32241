#include "platform/clipboardkeeper.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <wayland-client.h>

#include <cstring>
#include <memory>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include "platform/datacontrol.h"
#include "platform/files.h"

extern char** environ;

namespace kovant::platform {
namespace {

// Far above any address; below what one X request carries, so no
// incremental transfer is needed.
constexpr size_t kMaxKeptBytes = 64 * 1024;

bool ClipboardManagerRuns() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const bool runs = XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD_MANAGER", False)) != None;
  XCloseDisplay(display);
  return runs;
}

// A requestor may vanish before we answer: its errors are not ours.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The server's time now, as ICCCM wants for taking a selection.
Time ServerTime(Display* display, Window window) {
  XSelectInput(display, window, PropertyChangeMask);
  XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XEvent event;
  XWindowEvent(display, window, PropertyChangeMask, &event);
  return event.xproperty.time;
}

// The program's own name, as ps is to show the keeper: the file it runs
// from, not the link it is started through.
std::string ProgramName() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "kovant";
  std::string name(path, static_cast<size_t>(n));
  name = name.substr(name.rfind('/') + 1);
  if (const size_t deleted = name.find(" (deleted)"); deleted != std::string::npos) name.resize(deleted);
  return name.empty() ? "kovant" : name;
}

// Our environment without the launcher's activation token: it was ours to
// use once, and the keeper outlives it.
std::vector<char*> KeeperEnvironment() {
  std::vector<char*> out;
  for (char** e = environ; *e; ++e) {
    const std::string_view entry(*e);
    if (entry.starts_with("XDG_ACTIVATION_TOKEN=") || entry.starts_with("DESKTOP_STARTUP_ID=")) continue;
    out.push_back(*e);
  }
  out.push_back(nullptr);
  return out;
}

}  // namespace

void KeepClipboardAfterExit(const std::string& utf8, Session session) {
  if (utf8.empty() || utf8.size() > kMaxKeptBytes) return;
  if (session == Session::X11 && ClipboardManagerRuns()) return;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
  // Not our output: a script reading it would wait for the keeper's end.
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // Nothing of ours but the text: not the instance lock, not the bus.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  char self[] = "/proc/self/exe";
  std::string name = ProgramName();
  char argument[64];
  std::snprintf(argument, sizeof argument, "%s",
                session == Session::Wayland ? kKeepWaylandClipboardArgument : kKeepClipboardArgument);
  char* argv[] = {name.data(), argument, nullptr};
  std::vector<char*> environment = KeeperEnvironment();
  pid_t pid = 0;
  const bool started = posix_spawn(&pid, self, &actions, &attributes, argv, environment.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipeFds[0]);
  if (started) {
    // The text fits the pipe, so this does not wait on the keeper; if the
    // keeper is gone already the write fails rather than ending us.
    std::signal(SIGPIPE, SIG_IGN);
    WriteAll(pipeFds[1], utf8);
  }
  close(pipeFds[1]);
}

namespace {

// The text handed over on standard input; empty when there is none or too much.
std::string ReadKeptText() {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(0, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kMaxKeptBytes) return {};
  }
  return text;
}

// The seat and the data control of the keeper's own connection.
struct WaylandKeeper {
  wl_seat* seat = nullptr;
  DataControl control;

  static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* self = static_cast<WaylandKeeper*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat) {
      self->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else {
      self->control.Bind(registry, name, interface, version);
    }
  }
  static void GlobalRemove(void*, wl_registry*, uint32_t) {}
};

}  // namespace

int ServeWaylandClipboard() {
  const std::string text = ReadKeptText();
  if (text.empty()) return 1;
  std::signal(SIGPIPE, SIG_IGN);
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return 1;
  static const wl_registry_listener registryListener{WaylandKeeper::Global, WaylandKeeper::GlobalRemove};
  // On the heap: its objects go before the connection does.
  auto keeper = std::make_unique<WaylandKeeper>();
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registryListener, keeper.get());
  wl_display_roundtrip(display);
  int status = 1;
  if (keeper->seat && keeper->control.Bound()) {
    keeper->control.Start(keeper->seat);
    keeper->control.SetText(text);
    // Until another program sets the clipboard or the compositor goes away.
    while (keeper->control.Owns() && !keeper->control.Finished() && wl_display_dispatch(display) != -1) {
    }
    status = 0;
  }
  wl_seat* seat = keeper->seat;
  keeper.reset();
  if (seat) wl_seat_destroy(seat);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return status;
}

int ServeClipboard() {
  const std::string text = ReadKeptText();
  if (text.empty()) return 1;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XSetErrorHandler(IgnoreXError);
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
  const Atom clipboard = atom("CLIPBOARD"), targets = atom("TARGETS"), timestamp = atom("TIMESTAMP");
  const Atom utf8 = atom("UTF8_STRING");
  // STRING is Latin-1: offered only for a text that is ASCII alone.
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::vector<Atom> textTypes = {utf8, atom("text/plain;charset=utf-8"), atom("TEXT")};
  if (ascii) textTypes.insert(textTypes.end(), {XA_STRING, atom("text/plain")});
  const Time since = ServerTime(display, window);
  XSetSelectionOwner(display, clipboard, window, since);
  XSetSelectionOwner(display, XA_PRIMARY, window, since);
  if (XGetSelectionOwner(display, clipboard) != window) return 0;  // someone was quicker

  for (;;) {
    XEvent event;
    XNextEvent(display, &event);  // a lost server ends the process here
    if (event.type == SelectionClear && event.xselectionclear.selection == clipboard) break;
    if (event.type != SelectionRequest) continue;
    const XSelectionRequestEvent& request = event.xselectionrequest;
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    // Obsolete clients name no property: the target serves as one.
    reply.property = request.property != None ? request.property : request.target;
    bool served = true;
    if (request.target == targets) {
      std::vector<Atom> offered = {targets, timestamp};
      offered.insert(offered.end(), textTypes.begin(), textTypes.end());
      XChangeProperty(display, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered.data()), static_cast<int>(offered.size()));
    } else if (request.target == timestamp) {
      const long value = static_cast<long>(since);
      XChangeProperty(display, request.requestor, reply.property, XA_INTEGER, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&value), 1);
    } else if (std::find(textTypes.begin(), textTypes.end(), request.target) != textTypes.end()) {
      const Atom type = request.target == atom("TEXT") ? utf8 : request.target;
      XChangeProperty(display, request.requestor, reply.property, type, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    } else {
      served = false;
    }
    if (!served) reply.property = None;
    XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(display);
  }
  XCloseDisplay(display);
  return 0;
}

}  // namespace kovant::platform
