// Drives the pointer of a wlroots compositor through one virtual pointer
// for as long as it runs, as a user would with a mouse. Reads commands
// from stdin, one a line, and answers each with "ok" once it is sent:
//   move X Y     to a point of the layout, in logical units
//   down | up    the left button
#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/wlroots/virtual_pointer.h"
#include "platform/wlroots/wayland_client.h"

int main() {
  std::unique_ptr<WaylandClient> client = WaylandClient::Connect(5000);
  if (!client || !client->pointerManager()) {
    std::fprintf(stderr, "pointer_driver: no wlroots compositor with a virtual pointer\n");
    return 1;
  }
  VirtualPointer pointer(*client);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "move") {
      double x = 0, y = 0;
      words >> x >> y;
      client->TakeEvents();
      pointer.MoveTo({x, y}, client->Layout().Extent());
    } else if (command == "down" || command == "up") {
      pointer.Button(BTN_LEFT, command == "down");
    }
    // Answered once the compositor has taken it in.
    if (wl_display_roundtrip(client->display()) < 0) return 1;
    std::printf("ok\n");
    std::fflush(stdout);
  }
  return 0;
}
