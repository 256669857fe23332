#include "devices/PulseDevices.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace auralis::platform {

namespace {

std::optional<std::string> textOf(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

// What the user is shown: the server's description, else the property, else the name.
std::string descriptionOf(const char* description, const pa_proplist* properties,
                          const char* name) {
  if (description != nullptr && *description != '\0') return description;
  if (properties != nullptr) {
    const char* described = pa_proplist_gets(properties, PA_PROP_DEVICE_DESCRIPTION);
    if (described != nullptr && *described != '\0') return described;
  }
  return name != nullptr ? name : "";
}

// The audio library reads the property alone, through the answer above.
std::string libraryNameOf(const pa_proplist* properties) {
  if (properties == nullptr) return "";
  return pa_proplist_gets(properties, PA_PROP_DEVICE_DESCRIPTION);
}

struct Listing {
  PulseServerDevices devices;
  int answersDue = 3;  // server, sinks, sources
  bool failed = false;
};

void onServerInfo(pa_context*, const pa_server_info* info, void* listing) {
  auto* l = static_cast<Listing*>(listing);
  if (info == nullptr) {
    l->failed = true;
    return;
  }
  takeServerDefaults(*info, l->devices);
  --l->answersDue;
}

template <typename Info>
void onDeviceInfo(const Info* info, int last, Listing& listing, std::vector<PulseDevice>& devices) {
  if (last < 0) {
    listing.failed = true;
  } else if (last > 0) {
    --listing.answersDue;
  } else if (info != nullptr) {
    devices.push_back(pulseDeviceOf(*info));
  }
}

void onSinkInfo(pa_context*, const pa_sink_info* info, int last, void* listing) {
  auto* l = static_cast<Listing*>(listing);
  onDeviceInfo(info, last, *l, l->devices.sinks);
}

void onSourceInfo(pa_context*, const pa_source_info* info, int last, void* listing) {
  auto* l = static_cast<Listing*>(listing);
  onDeviceInfo(info, last, *l, l->devices.sources);
}

void onContextState(pa_context* context, void* listing) {
  auto* l = static_cast<Listing*>(listing);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
      for (pa_operation* asked : {pa_context_get_server_info(context, &onServerInfo, l),
                                  pa_context_get_sink_info_list(context, &onSinkInfo, l),
                                  pa_context_get_source_info_list(context, &onSourceInfo, l)}) {
        if (asked == nullptr)
          l->failed = true;
        else
          pa_operation_unref(asked);
      }
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      l->failed = true;
      break;
    default:
      break;
  }
}

struct MainloopFree {
  void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextEnd {
  void operator()(pa_context* context) const {
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
};

}  // namespace

PulseDevice pulseDeviceOf(const pa_sink_info& info) {
  return {textOf(info.name), descriptionOf(info.description, info.proplist, info.name),
          libraryNameOf(info.proplist), info.sample_spec.channels, false};
}

PulseDevice pulseDeviceOf(const pa_source_info& info) {
  return {textOf(info.name), descriptionOf(info.description, info.proplist, info.name),
          libraryNameOf(info.proplist), info.sample_spec.channels,
          info.monitor_of_sink != PA_INVALID_INDEX};
}

void takeServerDefaults(const pa_server_info& info, PulseServerDevices& devices) {
  devices.defaultSink = textOf(info.default_sink_name);
  devices.defaultSource = textOf(info.default_source_name);
}

std::optional<PulseServerDevices> listPulseDevices(std::chrono::milliseconds answerTime) {
  const std::unique_ptr<pa_mainloop, MainloopFree> loop(pa_mainloop_new());
  if (!loop) return std::nullopt;
  const std::unique_ptr<pa_context, ContextEnd> context(
      pa_context_new(pa_mainloop_get_api(loop.get()), "Auralis"));
  if (!context) return std::nullopt;
  Listing listing;
  pa_context_set_state_callback(context.get(), &onContextState, &listing);
  if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return std::nullopt;

  const auto deadline = std::chrono::steady_clock::now() + answerTime;
  while (!listing.failed && listing.answersDue > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    if (pa_mainloop_prepare(loop.get(), static_cast<int>(left.count())) < 0 ||
        pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0)
      return std::nullopt;
  }
  if (listing.failed) return std::nullopt;
  return listing.devices;
}

bool audioLibraryCanList(const PulseServerDevices& devices) {
  const auto named = [](const PulseDevice& device) { return device.name.has_value(); };
  return devices.defaultSink && devices.defaultSource &&
         std::all_of(devices.sinks.begin(), devices.sinks.end(), named) &&
         std::all_of(devices.sources.begin(), devices.sources.end(), named);
}

}  // namespace auralis::platform
