#pragma once
// The processor worker. Creation reads 13 identification leaves once; every answer
// is then decoded from that record, never from the processor again (except the
// repeated leaf-2 passes that CacheDescriptors needs, and Refresh(true)).
#include <cstdint>
#include <optional>
#include <vector>

#include "base/String.h"
#include "cpu/clsCpuId.h"
#include "platform/Platform.h"

namespace velmora {

// A currency-typed field: a signed 64-bit integer read as a number with four
// decimals (stored value = number x 10,000).
using Currency = int64_t;

// The vendor number of AMD in the vendor table; only AMD has brand and Opteron names.
inline constexpr int32_t kVendorAmd = 2;

class clsCpuInfo {
public:
    static constexpr int32_t kStdLeafCount = 4;  // leaves 0 to 3
    static constexpr int32_t kExtLeafCount = 9;  // leaves 0x80000000 to 0x80000008
    static constexpr int32_t kRecordLeafCount = kStdLeafCount + kExtLeafCount;
    static constexpr uint32_t kExtBase = 0x80000000u;

    explicit clsCpuInfo(Platform& platform);

    // The operations, in the order of the class's method table. `Standard` true
    // reads the standard leaves (leaf 1 for the signature), false the extended ones.
    int32_t ApicID();
    void BenchStart();
    // Raises Division by zero (11) when the counter frequency is 0, writing nothing;
    // Overflow (6) for a cycle count beyond the currency range, after fSeconds.
    void BenchStop(double& fSeconds, Currency& cCpuCycles);
    // The non-zero descriptor bytes of leaf 2 in reading order; element 0 is the
    // host's index 1. Below leaf level 2 the answer is the single byte 0.
    std::vector<uint8_t> CacheDescriptors();
    int32_t CpuBrand(bool Standard = false);
    String CpuBrandStr(bool Standard = false);
    std::optional<int32_t> CpuLogicalCount();  // no value when unidentified
    int32_t CpuFamily(bool Standard = false);
    int32_t CpuFamilyEx(bool Standard = false);
    String CpuFamilyStr(bool Standard = false);
    int32_t CpuModel(bool Standard = false);
    int32_t CpuModelEx(bool Standard = false);
    String CpuModelStr(bool Standard = false);
    int32_t CpuStepping(bool Standard = false);
    int32_t CpuType();
    String CpuTypeStr();
    bool Extended() { return LevelsExt_ != 0; }
    bool Feature(int32_t nType);
    // Upper-case hex, left-padded with zeros to nWidth, never cut. Widths above
    // kMaxHexPadWidth raise Out of memory (7) rather than allocate without bound.
    String HexPad(int32_t nValue, int32_t nWidth = 0);
    int32_t LevelsExt() { return LevelsExt_; }
    int32_t LevelsStd() { return LevelsStd_; }
    String NameStr();
    // nReg 0-3: leaf nReg; 4-12: leaf 0x80000000 + nReg - 4; any other does nothing.
    void LevelGet(int32_t nReg, uint32_t& eax, uint32_t& ebx, uint32_t& ecx, uint32_t& edx);
    void LevelSet(int32_t nReg, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx);
    String ManufacturerStr();
    void Refresh(bool bReReadCPU);
    int32_t SnStatus();
    String SnStr();
    bool Supported() { return LevelsStd_ != 0; }
    int32_t Vendor() { return LevelsStd_ < 1 ? 0 : Vendor_; }
    String VendorIdStr(bool Standard = false);
    int32_t xAddrBitsPhysical();
    int32_t xAddrBitsVirtual();
    int32_t xCache(int32_t Field);
    String xCacheAssocStr(int32_t nType);
    bool xPowerManagement(int32_t nType);

    static constexpr int32_t kMaxHexPadWidth = 65536;
    // The leaf that LevelGet/LevelSet address by `nReg`.
    static uint32_t LeafOfReg(int32_t nReg) {
        return nReg < kStdLeafCount ? static_cast<uint32_t>(nReg) : kExtBase + static_cast<uint32_t>(nReg - 4);
    }

private:
    // Four characters, one per byte from the lowest, each as the ANSI code page reads it.
    String RegisterStr(uint32_t value);
    // Bits high..low of a register, shifted down to bit 0: the one way fields are read.
    uint32_t Bits(uint32_t reg, int high, int low) const;
    bool Bit(uint32_t reg, int bit) const { return Bits(reg, bit, bit) == 1; }
    // The signature register (leaf 1's or leaf 0x80000001's eax), or nothing when
    // that leaf is not valid.
    std::optional<uint32_t> Signature(bool Standard) const;
    String OpteronName(uint32_t type, uint32_t number);

    Platform& platform_;
    int32_t LevelsStd_ = 0;
    int32_t LevelsExt_ = 0;
    int32_t Vendor_ = 0;
    Currency ClkStart_ = 0, ClkStop_ = 0;
    Currency PerfFreq_ = 0;
    Currency PerfStart_ = 0, PerfStop_ = 0;
    CpuRegs StdRegs_[kStdLeafCount];
    CpuRegs ExtRegs_[kExtLeafCount];
    clsCpuId CpuIdObj_;
};

}  // namespace velmora
