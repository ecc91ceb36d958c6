#pragma once
// Everything the workers may ask of the operating system, passed in as one
// aggregate so tests can hand over a scripted platform.
#include "platform/Codec.h"
#include "platform/Files.h"
#include "platform/Host.h"
#include "platform/Version.h"

namespace velmora {

// Families are set by name (designated initializers), one line each, in every backend.
struct Platform {
    IVersion& version;
    IFiles& files;
    IHost& host;
    ICodec& codec;
};

// The real platform of this build (Win32 or Linux), created on first use.
Platform& DefaultPlatform();

}  // namespace velmora
