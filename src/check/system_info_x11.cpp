#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "check/system_info.h"

namespace check {
namespace {

template <typename T>
std::unique_ptr<T, decltype(&std::free)> Own(T* reply) {
  return std::unique_ptr<T, decltype(&std::free)>(reply, &std::free);
}

bool HasExtension(xcb_connection_t* c, const char* name) {
  auto reply = Own(xcb_query_extension_reply(
      c, xcb_query_extension(c, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
  return reply && reply->present;
}

}  // namespace

bool X11Facts(bool* compositor, bool* virtualServer, bool* xwayland) {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return false;
  }
  const xcb_setup_t* setup = xcb_get_setup(c);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
  const std::string vendor(xcb_setup_vendor(setup), xcb_setup_vendor_length(setup));

  auto atom = Own(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, 12, "_NET_WM_CM_S0"), nullptr));
  *compositor = false;
  if (atom && atom->atom != XCB_ATOM_NONE) {
    auto owner =
        Own(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
    *compositor = owner && owner->owner != XCB_WINDOW_NONE;
  }
  *xwayland = HasExtension(c, "XWAYLAND");

  // A virtual server has no monitor behind its outputs: Xvfb names its one
  // output "screen", VNC servers say so in their vendor string.
  *virtualServer = vendor.find("VNC") != std::string::npos;
  auto resources = Own(xcb_randr_get_screen_resources_current_reply(
      c, xcb_randr_get_screen_resources_current(c, screen->root), nullptr));
  if (resources) {
    const xcb_randr_output_t* outputs =
        xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    bool allVirtual = count > 0;
    for (int i = 0; i < count; ++i) {
      auto info = Own(xcb_randr_get_output_info_reply(
          c, xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp), nullptr));
      if (!info) continue;
      const std::string name(
          reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
          static_cast<size_t>(xcb_randr_get_output_info_name_length(info.get())));
      if (name != "screen" && name.rfind("VNC", 0) != 0) allVirtual = false;
    }
    *virtualServer = *virtualServer || allVirtual;
  } else if (!HasExtension(c, "RANDR")) {
    *virtualServer = true;  // no outputs to speak of
  }
  xcb_disconnect(c);
  return true;
}

}  // namespace check
