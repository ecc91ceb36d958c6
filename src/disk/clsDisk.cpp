// The identity code and the SMART identification of the first IDE drive.
#include "disk/clsDisk.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "base/RuntimeError.h"
#include "text/Text.h"

namespace velmora {
namespace {

constexpr char kIdentityLibrary[] = "Corvel.dll";
constexpr size_t kCodeLength = 16;
constexpr int kSerialLength = 20;
constexpr size_t kSerialOffset = 20;  // IDENTIFY words 10-19
constexpr size_t kSerialListSize = 41;
constexpr size_t kIntegrityByte = 510;  // IDENTIFY word 255: signature, then checksum
constexpr uint8_t kIntegritySignature = 0xA5;

// The version answer: GETVERSIONOUTPARAMS and one more reserved word, 28 bytes.
struct VersionAnswer {
    GetVersionOutParams params;
    uint32_t reserved = 0;
};
static_assert(sizeof(VersionAnswer) == 28);

// Closes a device on every path once it was opened.
class OpenDevice {
public:
    OpenDevice(IDisk& disk, DeviceHandle handle) : disk_(disk), handle_(handle) {}
    ~OpenDevice() {
        if (handle_ != kInvalidDevice && handle_ != 0) disk_.CloseHandle(handle_);
    }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;

private:
    IDisk& disk_;
    DeviceHandle handle_;
};

class LoadedLibrary {
public:
    LoadedLibrary(ILibraries& libraries, LibraryHandle library) : libraries_(libraries), library_(library) {}
    ~LoadedLibrary() {
        if (library_) libraries_.FreeLibrary(library_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

private:
    ILibraries& libraries_;
    LibraryHandle library_;
};

struct DeviceMapSentence {
    uint8_t present;
    uint8_t atapi;
    const char16_t* atapiSentence;
    const char16_t* ideSentence;
};

constexpr DeviceMapSentence kDeviceMapSentences[] = {
    {0x01, 0x10, u"ATAPI device is attached to primary controller, drive 0.",
     u"IDE device is attached to primary controller, drive 0."},
    {0x02, 0x20, u"ATAPI device is attached to primary controller, drive 1.",
     u"IDE device is attached to primary controller, drive 1."},
    {0x04, 0x40, u"ATAPI device is attached to secondary controller, drive 0.",
     u"IDE device is attached to secondary controller, drive 0."},
    {0x08, 0x80, u"ATAPI device is attached to secondary controller, drive 1.",
     u"IDE device is attached to secondary controller, drive 1."},
};

// The NT device name sits in an 80-character field and is passed with its blanks;
// Windows ignores trailing blanks in a device name.
std::string PaddedDeviceName(const char* name) {
    std::string padded(name);
    padded.resize(80, ' ');
    return padded;
}

}  // namespace

void SwapBytes(SerialBytes& list, int n) {
    for (int i = 0; i + 1 < n && static_cast<size_t>(i + 1) < list.size(); i += 2) std::swap(list[i], list[i + 1]);
}

String BytesToString(Platform& platform, const SerialBytes& list, int n) {
    std::string bytes;
    for (int i = 0; i <= n && static_cast<size_t>(i) < list.size() && list[i] != 0; ++i)
        bytes.push_back(static_cast<char>(list[i]));
    return platform.codec.AnsiToString(bytes);
}

String IdentifySerial(Platform& platform, std::span<const uint8_t, kIdentifyBytes> data) {
    // Virtual-disk drivers answer IDENTIFY with success and random bytes, which
    // must not become an identity that changes from start to start.
    if (data[kIntegrityByte] == kIntegritySignature) {
        uint8_t sum = 0;
        for (const uint8_t byte : data) sum += byte;
        if (sum != 0) return String();
    }
    // The list has always had 41 elements; the serial fills 0-19 and 20 ends it.
    SerialBytes serial(kSerialListSize, 0);
    std::copy_n(data.begin() + kSerialOffset, kSerialLength, serial.begin());
    SwapBytes(serial, kSerialLength);
    const auto end = std::find(serial.begin(), serial.end(), 0);
    if (!std::all_of(serial.begin(), end, [](uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; })) return String();
    return Trim(BytesToString(platform, serial, kSerialLength));
}

String GetIdeDeviceMap(uint8_t map) {
    String text;
    for (const auto& s : kDeviceMapSentences)
        if (map & s.present) text += (map & s.atapi) ? s.atapiSentence : s.ideSentence;
    return text;
}

String clsDisk::SmartSerial(const char* device, uint32_t access, uint32_t shareMode, uint32_t disposition,
                            bool in9X) {
    IDisk& disk = platform_.disk;
    const DeviceHandle handle = disk.CreateFileA(device, access, shareMode, disposition);
    if (in9X && handle == 0) return String();
    OpenDevice open(disk, handle);

    VersionAnswer version;
    if (!disk.DeviceIoControl(handle, kSmartGetVersion, nullptr, 0, &version, sizeof version)) return String();
    const uint32_t capabilities = version.params.fCapabilities;
    if (!(capabilities & kCapAtaIdCmd)) return String();
    String answer;
    if (in9X) {
        answer = GetIdeDeviceMap(version.params.bIDEDeviceMap);
        if (capabilities & kCapDeviceMapOnly) return answer;
    }

    SendCmdInParams command;
    command.cBufferSize = kIdentifyBytes;
    command.irDriveRegs.bSectorCountReg = 1;
    command.irDriveRegs.bSectorNumberReg = 1;
    command.irDriveRegs.bDriveHeadReg = 0xA0;  // master device of the channel
    command.irDriveRegs.bCommandReg = kAtaIdentifyDevice;
    command.bDriveNumber = 0;
    SendCmdOutParams reply;
    if (!disk.DeviceIoControl(handle, kSmartRcvDriveData, &command, sizeof command, &reply, sizeof reply))
        return answer;
    // Untrusted data is no serial on 9x too, not the device map of a failed request:
    // a drive answering random bytes would otherwise flip between the two codes.
    return IdentifySerial(platform_, reply.bBuffer);
}

String clsDisk::GetSmartSerialIn9X() { return SmartSerial("\\\\.\\Smartvsd", 0, 0, kCreateNew, true); }

String clsDisk::GetSmartSerialInNT() {
    return SmartSerial(PaddedDeviceName("\\\\.\\PhysicalDrive0").c_str(), kGenericRead | kGenericWrite,
                       kFileShareRead | kFileShareWrite, kOpenExisting, false);
}

// The outside library writes the code in place into `blanks` blanks; its return
// value means nothing. A missing library or export fails the identity request.
String clsDisk::AskIdentityLibrary(const char* exportName, size_t blanks) {
    ILibraries& libraries = platform_.libraries;
    const LibraryHandle library = libraries.LoadLibraryA(kIdentityLibrary);
    if (library == nullptr) throw RuntimeError(static_cast<int32_t>(Err::FileNotFound), u"File not found: Corvel.dll");
    LoadedLibrary loaded(libraries, library);
    const ProcAddress entry = libraries.GetProcAddress(library, exportName);
    if (entry == nullptr) Raise(Err::EntryPointNotFound);
    std::vector<char> buffer(blanks + 1, ' ');
    buffer[blanks] = '\0';
    reinterpret_cast<IdCodeExport>(entry)(buffer.data());
    return Trim(platform_.codec.AnsiToString(std::string_view(buffer.data(), blanks)));
}

String clsDisk::GetComputerIdCode() {
    try {
        OsVersionInfoA info;
        info.dwOSVersionInfoSize = sizeof info;
        platform_.version.GetVersionExA(info);
        String code;
        if (info.dwPlatformId == kPlatformWin32Windows) {
            code = GetSmartSerialIn9X();
            if (code.empty()) code = AskIdentityLibrary("GetComputerIdCodeIn9X", 60);
        } else if (DisksAnswerAsNt(info.dwPlatformId)) {
            code = GetSmartSerialInNT();
            if (code.empty()) code = AskIdentityLibrary("GetComputerIdCodeInNT", 17);
        }
        // Cut first, then clean: removed characters shorten the code below 16.
        if (code.size() > kCodeLength) code.resize(kCodeLength);
        for (const char16_t removed : {u'\0', u'-', u'%', u'$', u'#', u'@'})
            code = ReplaceAll(code, StringView(&removed, 1), u"", Compare::Text);
        return code;
    } catch (const std::exception&) {
        return String();  // the operation's own trap: a drive or library that fails gives no code, not an error
    }
}

}  // namespace velmora
