#include "devices/ModuleDevices.h"

#include <cstdio>
#include <cstdlib>

#include "devices/MidiPortLister.h"
#include "platform/ProgramModule.h"

namespace auralis::platform {

namespace {

// The devices' module's entry points; none when it cannot be loaded.
struct LoadedModule {
  MakeSystemDeviceFn make = nullptr;
  ListMidiPortsFn listMidiPorts = nullptr;
};

LoadedModule loadModule() {
  const std::string path =
      programModulePath(AURALIS_DEVICE_MODULE_FROM_PROGRAM, AURALIS_DEVICE_MODULE_BUILT);
  std::string why;
  const std::vector<void*> entries =
      loadProgramModule(path, {kMakeSystemDeviceSymbol, kListMidiPortsSymbol}, why);
  if (entries.empty()) {
    std::fprintf(stderr, "auralis: the audio and MIDI devices could not be loaded: %s\n",
                 why.c_str());
    return {};
  }
  return {reinterpret_cast<MakeSystemDeviceFn>(entries[0]),
          reinterpret_cast<ListMidiPortsFn>(entries[1])};
}

const LoadedModule& deviceModule() {
  static const LoadedModule loaded = loadModule();
  return loaded;
}

// A copy of the program started to list the MIDI ports does so once the module is loaded, and
// ends. The module's own check, made while it loads, must not see the request: a JACK client
// opened inside dlopen() waits for ever on the loader's lock.
[[maybe_unused]] const bool listerLoaded = [] {
  const char* asked = std::getenv(kMidiListerVariable);
  if (asked == nullptr) return false;
  const std::string direction = asked;
  unsetenv(kMidiListerVariable);
  const LoadedModule& module = deviceModule();
  setenv(kMidiListerVariable, direction.c_str(), 1);
  if (module.listMidiPorts != nullptr) module.listMidiPorts();
  return true;
}();

}  // namespace

template <typename Device>
Device* ModuleDevice<Device>::get() const {
  std::call_once(made_, [this] {
    if (const MakeSystemDeviceFn make = deviceModule().make)
      device_.reset(static_cast<Device*>(make(static_cast<int>(kind_))));
  });
  return device_.get();
}

int ModuleMidiOut::deviceCount() {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->deviceCount() : 0;
}

std::string ModuleMidiOut::deviceName(int device) {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->deviceName(device) : std::string();
}

int ModuleMidiOut::open(int device, DoneFn onDone) {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->open(device, std::move(onDone)) : kMidiError;
}

int ModuleMidiOut::setTimeDivision(int ticksPerQuarterNote) {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->setTimeDivision(ticksPerQuarterNote) : kMidiError;
}

int ModuleMidiOut::out(MidiStreamHeader* header) {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->out(header) : kMidiError;
}

int ModuleMidiOut::stop() {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->stop() : kMidiError;
}

int ModuleMidiOut::close() {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->close() : kMidiError;
}

void ModuleMidiOut::setDeviceLostFn(LostFn onLost) {
  if (MidiOutStream* d = device_.get()) d->setDeviceLostFn(std::move(onLost));
}

int ModuleMidiOut::reconnect() {
  MidiOutStream* d = device_.get();
  return d != nullptr ? d->reconnect() : kMidiError;
}

std::vector<std::string> ModuleSoundInput::deviceNames() {
  SoundInput* d = device_.get();
  return d != nullptr ? d->deviceNames() : std::vector<std::string>();
}

bool ModuleSoundInput::supportsFormat(int device, const WaveFormat& format) {
  SoundInput* d = device_.get();
  return d != nullptr && d->supportsFormat(device, format);
}

bool ModuleSoundInput::open(int device, const WaveFormat& format, DataFn onData) {
  SoundInput* d = device_.get();
  return d != nullptr && d->open(device, format, std::move(onData));
}

void ModuleSoundInput::prepare(CaptureHeader* header) {
  if (SoundInput* d = device_.get()) d->prepare(header);
}

void ModuleSoundInput::unprepare(CaptureHeader* header) {
  if (SoundInput* d = device_.get()) d->unprepare(header);
}

void ModuleSoundInput::addBuffer(CaptureHeader* header) {
  if (SoundInput* d = device_.get()) d->addBuffer(header);
}

void ModuleSoundInput::start() {
  if (SoundInput* d = device_.get()) d->start();
}

void ModuleSoundInput::stop() {
  if (SoundInput* d = device_.get()) d->stop();
}

void ModuleSoundInput::close() {
  if (SoundInput* d = device_.get()) d->close();
}

bool ModuleSoundInput::isOpen() const {
  const SoundInput* d = device_.get();
  return d != nullptr && d->isOpen();
}

void ModuleSoundInput::setDeviceLostFn(LostFn onLost) {
  if (SoundInput* d = device_.get()) d->setDeviceLostFn(std::move(onLost));
}

bool ModuleSoundInput::reconnect() {
  SoundInput* d = device_.get();
  return d != nullptr && d->reconnect();
}

bool ModuleSoundInput::requeuesWithoutBlocking() const {
  const SoundInput* d = device_.get();
  return d != nullptr && d->requeuesWithoutBlocking();
}

std::vector<std::string> ModuleMidiInput::deviceNames() {
  MidiInput* d = device_.get();
  return d != nullptr ? d->deviceNames() : std::vector<std::string>();
}

int ModuleMidiInput::open(int device, MessageFn onMessage) {
  MidiInput* d = device_.get();
  return d != nullptr ? d->open(device, std::move(onMessage)) : kMidiError;
}

int ModuleMidiInput::start() {
  MidiInput* d = device_.get();
  return d != nullptr ? d->start() : kMidiError;
}

void ModuleMidiInput::stop() {
  if (MidiInput* d = device_.get()) d->stop();
}

void ModuleMidiInput::close() {
  if (MidiInput* d = device_.get()) d->close();
}

bool ModuleMidiInput::isOpen() const {
  const MidiInput* d = device_.get();
  return d != nullptr && d->isOpen();
}

void ModuleMidiInput::setDeviceLostFn(LostFn onLost) {
  if (MidiInput* d = device_.get()) d->setDeviceLostFn(std::move(onLost));
}

int ModuleMidiInput::reconnect() {
  MidiInput* d = device_.get();
  return d != nullptr ? d->reconnect() : kMidiError;
}

void ModuleFeedbackSoundPlayer::playSync(const std::uint8_t* wave, std::size_t bytes) {
  if (FeedbackSoundPlayer* d = device_.get()) d->playSync(wave, bytes);
}

template class ModuleDevice<MidiOutStream>;
template class ModuleDevice<SoundInput>;
template class ModuleDevice<MidiInput>;
template class ModuleDevice<FeedbackSoundPlayer>;

}  // namespace auralis::platform
