#pragma once
// A muted video decodes no sound: once the engine knows the file's streams, every sound stream
// is switched off, so that no sound is decoded and a machine without a sound output plays the
// picture all the same.
#include "video/media_foundation.h"

// Deselects every audio stream of the engine's source and applies the selection. S_OK: at least
// one was deselected; S_FALSE: the source has no audio stream; E_NOINTERFACE: the engine has no
// stream selection (IMFMediaEngineEx); any other failure is the engine's own (E_NOTIMPL: it
// cannot select streams, as Wine 8's). The caller plays the video whatever the answer: without
// the selection the engine decodes the sound as it always did.
[[nodiscard]] HRESULT deselectAudioStreams(IMFMediaEngine& engine) noexcept;
