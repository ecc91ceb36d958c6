#pragma once
// Everything the workers may ask of the operating system, passed in as one
// aggregate so tests can hand over a scripted platform.
#include "platform/Codec.h"
#include "platform/Cpu.h"
#include "platform/Disk.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Host.h"
#include "platform/Libraries.h"
#include "platform/NetBios.h"
#include "platform/Registry.h"
#include "platform/Sockets.h"
#include "platform/SystemInfo.h"
#include "platform/Version.h"
#include "platform/Wave.h"

namespace velmora {

// Families are set by name (designated initializers), one line each, in every backend.
struct Platform {
    IVersion& version;
    IFiles& files;
    IHost& host;
    ICodec& codec;
    IDisk& disk;
    ILibraries& libraries;
    IDrives& drives;
    ICpu& cpu;
    IRegistry& registry;
    ISystemInfo& systemInfo;
    INetBios& netbios;
    ISockets& sockets;
    IWave& wave;
};

// The real platform of this build (Win32 or Linux), created on first use.
Platform& DefaultPlatform();

}  // namespace velmora
