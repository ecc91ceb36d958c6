// The in-memory registry: a sequence of operations decoded from the input builds a
// tree and reads it through the Win32 calls and the component's readers. Every
// call answers a status; every handle opened is closed again.
#include <vector>

#include "FakePlatform.h"
#include "FuzzSupport.h"
#include "base/RuntimeError.h"
#include "registry/GetRegValue.h"
#include "registry/clsSoftWare.h"

using namespace velmora;

namespace {

std::string Name(FuzzedDataProvider& input) {
    // Mostly a few known names, so operations meet each other's keys and values.
    static const char* const known[] = {"", "A", "a", "B\\C", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                        "DisplayName", "x\\\\y\\", "\\"};
    if (input.ConsumeBool()) return known[input.ConsumeIntegralInRange<size_t>(0, std::size(known) - 1)];
    return input.ConsumeRandomLengthString(24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    testing::FakePlatform fake;
    RegistryKey* key = &fake.registry.LocalMachine();
    std::vector<RegKey> handles;
    const int32_t roots[] = {kHKeyClassesRoot, kHKeyCurrentUser, kHKeyLocalMachine, kHKeyUsers, 0, 0x1000};
    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange<int>(0, 10)) {
            case 0: key = &key->Add(Name(input)); break;
            case 1: key = &fake.registry.LocalMachine(); break;
            case 2: {
                const uint32_t type = input.ConsumeIntegralInRange<uint32_t>(0, 12);
                const std::string name = Name(input);
                key->SetValue(name, type, input.ConsumeRandomLengthString(64));
                break;
            }
            case 3: key->SetString(Name(input), input.ConsumeRandomLengthString(64)); break;
            case 4: key->SetDword(Name(input), input.ConsumeIntegral<uint32_t>()); break;
            case 5: key->openable = input.ConsumeBool(); break;
            case 6: {
                RegKey from = handles.empty() || input.ConsumeBool()
                                  ? static_cast<RegKey>(static_cast<uint32_t>(input.PickValueInArray(roots)))
                                  : handles[input.ConsumeIntegralInRange<size_t>(0, handles.size() - 1)];
                RegKey opened = 0;
                const std::string path = Name(input);
                if (fake.registry.RegOpenKeyA(from, input.ConsumeBool() ? nullptr : path.c_str(), opened) == kErrorSuccess)
                    handles.push_back(opened);
                break;
            }
            case 7: {
                if (handles.empty()) break;
                const RegKey h = handles[input.ConsumeIntegralInRange<size_t>(0, handles.size() - 1)];
                uint32_t type = 0;
                uint32_t dataSize = input.ConsumeIntegralInRange<uint32_t>(0, 128);
                std::vector<uint8_t> buffer(dataSize);
                const std::string name = Name(input);
                const bool sizeOnly = input.ConsumeBool();
                const int32_t status = fake.registry.RegQueryValueExA(h, name.c_str(), &type,
                                                                      sizeOnly ? nullptr : buffer.data(), &dataSize);
                if (status == kErrorSuccess && !sizeOnly && dataSize > buffer.size()) std::abort();
                break;
            }
            case 8:
            case 9: {
                if (handles.empty()) break;
                const RegKey h = handles[input.ConsumeIntegralInRange<size_t>(0, handles.size() - 1)];
                char name[64];
                uint32_t nameSize = input.ConsumeIntegralInRange<uint32_t>(0, sizeof name);
                const uint32_t given = nameSize;
                const uint32_t index = input.ConsumeIntegralInRange<uint32_t>(0, 8);
                const int32_t status = input.ConsumeBool() ? fake.registry.RegEnumKeyExA(h, index, name, nameSize)
                                                           : fake.registry.RegEnumValueA(h, index, name, nameSize);
                if (status == kErrorSuccess && nameSize >= given) std::abort();
                break;
            }
            case 10: {
                if (handles.empty()) break;
                const size_t at = input.ConsumeIntegralInRange<size_t>(0, handles.size() - 1);
                if (fake.registry.RegCloseKey(handles[at]) != kErrorSuccess) std::abort();
                handles.erase(handles.begin() + static_cast<ptrdiff_t>(at));
                break;
            }
        }
    }
    for (RegKey h : handles)
        if (fake.registry.RegCloseKey(h) != kErrorSuccess) std::abort();
    // The component's readers on the tree that came out.
    const std::string path = Name(input), value = Name(input);
    try {
        GetRegValue(fake, kHKeyLocalMachine, fake.AnsiToString(path), fake.AnsiToString(value));
        std::vector<String> names = {u"keep"};
        clsSoftWare(fake).GetComputerSoftWare(names);
    } catch (const RuntimeError&) {
    }
    if (fake.registry.OpenHandleCount() != 0) std::abort();
    return 0;
}
