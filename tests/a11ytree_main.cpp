// Prints the accessibility tree of a running application as a screen reader
// reads it over AT-SPI: one line per object, depth first,
// "depth<TAB>role<TAB>name<TAB>description<TAB>showing". Waits up to ten
// seconds for an application of that name to appear on the desktop.
#include <atspi/atspi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

std::string Take(gchar* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

void Walk(AtspiAccessible* object, int depth) {
  if (depth > 40) return;
  GError* error = nullptr;
  const std::string role = Take(atspi_accessible_get_role_name(object, &error));
  g_clear_error(&error);
  const std::string name = Take(atspi_accessible_get_name(object, &error));
  g_clear_error(&error);
  const std::string description = Take(atspi_accessible_get_description(object, &error));
  g_clear_error(&error);
  AtspiStateSet* states = atspi_accessible_get_state_set(object);
  const bool showing = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
  if (states) g_object_unref(states);
  std::printf("%d\t%s\t%s\t%s\t%d\n", depth, role.c_str(), name.c_str(), description.c_str(), showing ? 1 : 0);
  const int children = atspi_accessible_get_child_count(object, &error);
  g_clear_error(&error);
  for (int i = 0; i < children; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, &error);
    g_clear_error(&error);
    if (!child) continue;
    Walk(child, depth + 1);
    g_object_unref(child);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  if (atspi_init() < 0) return 2;
  const std::string wanted = argv[1];
  for (int attempt = 0; attempt < 100; ++attempt) {
    AtspiAccessible* desktop = atspi_get_desktop(0);
    GError* error = nullptr;
    const int apps = atspi_accessible_get_child_count(desktop, &error);
    g_clear_error(&error);
    for (int i = 0; i < apps; ++i) {
      AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, &error);
      g_clear_error(&error);
      if (!app) continue;
      const bool found = Take(atspi_accessible_get_name(app, &error)) == wanted;
      g_clear_error(&error);
      if (found) {
        // A window is there once the application has a child.
        if (atspi_accessible_get_child_count(app, &error) > 0) {
          Walk(app, 0);
          g_object_unref(app);
          g_object_unref(desktop);
          return 0;
        }
        g_clear_error(&error);
      }
      g_object_unref(app);
    }
    g_object_unref(desktop);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 1;
}
