// The flat calls: a null handle is a no-op, and each catches everything, logs one line and returns
// its failure value.

#include "component.h"

#include <jotter/jotter.h>

#include <exception>
#include <new>

namespace {

template <class R, class Body>
R guarded(const char* what, R failure, Body&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    OvraPrintfTextA("soundmix: %s failed: %s", what, e.what());
  } catch (...) {
    OvraPrintfTextA("soundmix: %s failed", what);
  }
  return failure;
}

template <class Body>
void guardedVoid(const char* what, OvraMusicComponent* c, Body&& body) {
  if (!c) return;
  guarded(what, false, [&] {
    body(*c);
    return true;
  });
}

template <class R, class Body>
R guardedOn(const char* what, OvraMusicComponent* c, R failure, Body&& body) {
  if (!c) return failure;
  return guarded(what, failure, [&] { return body(*c); });
}

}  // namespace

extern "C" {

OvraMusicComponent* OvraInitializeMusicComponent(OvraMusicNotify notify, void* user,
                                                 void* /*parentWindow*/) {
  return guarded<OvraMusicComponent*>("creating a music component", nullptr, [&] {
    OvraInitializeCodecs(OvraLogTextW);
    return new OvraMusicComponent(notify, user);
  });
}

void OvraDeinitializeMusicComponent(OvraMusicComponent* component) {
  guardedVoid("destroying a music component", component, [](OvraMusicComponent& c) { delete &c; });
}

TMusicElement* OvraAddMusicElement(const char* path, OvraMusicComponent* component) {
  return guardedOn<TMusicElement*>("adding a clip", component, nullptr,
                                   [&](OvraMusicComponent& c) { return c.add(path, nullptr); });
}

bool OvraAddMusicElementEx(const TMusicElement* element, OvraMusicComponent* component) {
  return guardedOn("adding a clip", component, false, [&](OvraMusicComponent& c) {
    const TMusicElement zeros{};
    const TMusicElement& settings = element ? *element : zeros;
    return c.add(settings.szFileName, &settings) != nullptr;
  });
}

void OvraDeleteMusicElement(std::uint32_t id, OvraMusicComponent* component) {
  guardedVoid("deleting a clip", component, [&](OvraMusicComponent& c) { c.remove(id); });
}

bool OvraUpdateMusicElement(std::uint32_t id, const TMusicElement* element,
                            OvraMusicComponent* component) {
  if (!element) return false;
  return guardedOn("updating a clip", component, false,
                   [&](OvraMusicComponent& c) { return c.update(id, *element); });
}

void OvraMusicElementChanged(OvraMusicComponent* component) {
  guardedVoid("applying a clip change", component, [](OvraMusicComponent& c) { c.changed(); });
}

std::int64_t OvraGetMixAudioLength(OvraMusicComponent* component) {
  return guardedOn<std::int64_t>("measuring the mix", component, 0,
                                 [](OvraMusicComponent& c) { return c.length(); });
}

void OvraMixBlankValidate(std::uint8_t keepLeadingBlank, OvraMusicComponent* component) {
  guardedVoid("setting the leading blank", component,
              [&](OvraMusicComponent& c) { c.keepLeadingBlank(keepLeadingBlank != 0); });
}

void OvraSetMixParameter(std::int32_t sampleRate, std::int32_t channels,
                         OvraMusicComponent* component) {
  guardedVoid("setting the output format", component,
              [&](OvraMusicComponent& c) { c.setFormat(sampleRate, channels); });
}

bool OvraPlayMixAudio(OvraMusicComponent* component) {
  return guardedOn("playing the mix", component, false,
                   [](OvraMusicComponent& c) { return c.play(); });
}

void OvraPauseMixAudio(OvraMusicComponent* component) {
  guardedVoid("pausing the mix", component, [](OvraMusicComponent& c) { c.pause(); });
}

bool OvraSeekMixAudio(std::int64_t position, OvraMusicComponent* component) {
  return guardedOn("seeking the mix", component, false,
                   [&](OvraMusicComponent& c) { return c.seek(position); });
}

void OvraStopMixAudio(OvraMusicComponent* component) {
  guardedVoid("stopping the mix", component, [](OvraMusicComponent& c) { c.stopPlayback(); });
}

bool OvraStartMixAudio(const char* path, OvraMusicComponent* component, std::int32_t bitRate,
                       std::int32_t outputFormat) {
  return guardedOn("starting to encode the mix", component, false, [&](OvraMusicComponent& c) {
    return c.startEncoding(path, bitRate, outputFormat);
  });
}

bool OvraCancelMixAudio(OvraMusicComponent* component) {
  return guardedOn("cancelling the encoding", component, false,
                   [](OvraMusicComponent& c) { return c.cancelEncoding(); });
}

bool OvraStartGetMixAudio(OvraMusicComponent* component) {
  return guardedOn("starting to pull the mix", component, false,
                   [](OvraMusicComponent& c) { return c.startPulling(); });
}

bool OvraGetNextMixAudio(tagAudioFrame* frame, OvraMusicComponent* component) {
  if (!frame) return false;
  return guardedOn("pulling the mix", component, false,
                   [&](OvraMusicComponent& c) { return c.pull(*frame); });
}

}  // extern "C"
