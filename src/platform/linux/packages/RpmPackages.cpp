#include "platform/linux/packages/RpmPackages.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/linux/packages/PackageFiles.h"

namespace velmora {
namespace {

// rpm's tag numbers and flags (rpmtag.h, rpmts.h, rpmmacro.h, rpmlog.h): stable across
// every librpm soname.
constexpr int32_t kTagName = 1000, kTagVersion = 1001, kTagRelease = 1002, kTagEpoch = 1003;
constexpr int32_t kTagVendor = 1011, kTagPackager = 1015, kTagArch = 1022;
constexpr int kAllPackages = 0;  // RPMDBI_PACKAGES
// Neither digests nor signatures: checking them would load the keyring for every read.
constexpr int kNoChecks = (1 << 0) | (1 << 8) | (1 << 9) | (1 << 10) | (1 << 11) | (1 << 16) | (1 << 17) |
                          (1 << 18) | (1 << 19);
constexpr int kCommandLineLevel = -7;  // RMIL_CMDLINE
constexpr int kOnlyEmergencies = 1;    // RPMLOG_MASK(RPMLOG_EMERG): librpm's complaints stay off stderr

struct Rpm {
    int (*readConfigFiles)(const char*, const char*);
    int (*defineMacro)(void*, const char*, int);
    int (*popMacro)(void*, const char*);
    int (*logSetMask)(int);
    void* (*tsCreate)();
    int (*tsSetRootDir)(void*, const char*);
    int (*tsSetVSFlags)(void*, int);
    int (*tsOpenDB)(void*, int);
    void* (*tsFree)(void*);
    void* (*tsInitIterator)(void*, int, const void*, size_t);
    void* (*dbNextIterator)(void*);
    void* (*dbFreeIterator)(void*);
    const char* (*headerGetString)(void*, int32_t);
    uint64_t (*headerGetNumber)(void*, int32_t);
    int (*headerIsEntry)(void*, int32_t);
    bool before416;  // rpm 4.14 and 4.15 name their Berkeley DB reader "bdb", and have no "bdb_ro"
};

template <class F>
bool Bind(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
}

// librpm, loaded and configured on the first call that finds a database, and then
// kept for the life of the process: it sets up crypto libraries and atexit handlers
// that do not survive an unload. Null when the machine has no usable librpm.
const Rpm* LoadRpm() {
    static const Rpm* const loaded = []() -> const Rpm* {
        static Rpm rpm;
        for (const char* soname : {"librpm.so.10", "librpm.so.9", "librpm.so.8", "librpm.so"}) {
            rpm.before416 = std::strcmp(soname, "librpm.so.8") == 0;
            void* library = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
            if (!library) continue;
            // The macro and log calls live in librpmio, which dlsym reaches through librpm.
            const bool bound =
                Bind(library, "rpmReadConfigFiles", rpm.readConfigFiles) &&
                Bind(library, "rpmDefineMacro", rpm.defineMacro) && Bind(library, "rpmPopMacro", rpm.popMacro) &&
                Bind(library, "rpmlogSetMask", rpm.logSetMask) && Bind(library, "rpmtsCreate", rpm.tsCreate) &&
                Bind(library, "rpmtsSetRootDir", rpm.tsSetRootDir) &&
                Bind(library, "rpmtsSetVSFlags", rpm.tsSetVSFlags) && Bind(library, "rpmtsOpenDB", rpm.tsOpenDB) &&
                Bind(library, "rpmtsFree", rpm.tsFree) && Bind(library, "rpmtsInitIterator", rpm.tsInitIterator) &&
                Bind(library, "rpmdbNextIterator", rpm.dbNextIterator) &&
                Bind(library, "rpmdbFreeIterator", rpm.dbFreeIterator) &&
                Bind(library, "headerGetString", rpm.headerGetString) &&
                Bind(library, "headerGetNumber", rpm.headerGetNumber) &&
                Bind(library, "headerIsEntry", rpm.headerIsEntry);
            if (!bound) continue;  // not a librpm we know: left loaded, as any librpm is
            const int mask = rpm.logSetMask(kOnlyEmergencies);
            const bool configured = rpm.readConfigFiles(nullptr, nullptr) == 0;
            rpm.logSetMask(mask);
            return configured ? &rpm : nullptr;
        }
        return nullptr;
    }();
    return loaded;
}

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The backend that reads the database file in `folder`: named to librpm, so it never
// falls back to its default backend, which makes a new empty database when it finds none.
const char* Backend(const std::string& folder, bool before416) {
    if (IsFile(folder + "/rpmdb.sqlite")) return "sqlite";
    if (IsFile(folder + "/Packages.db")) return "ndb";
    return before416 ? "bdb" : "bdb_ro";
}

// Identity and age of the database's files: a database librpm failed on is not
// handed to it again until one changes, as librpm keeps memory of each failed open.
std::string Stamp(const std::string& folder) {
    std::string stamp = folder;
    for (const char* file : {"rpmdb.sqlite", "rpmdb.sqlite-wal", "rpmdb.sqlite-shm", "Packages", "Packages.db"}) {
        struct stat st;
        if (::stat((folder + "/" + file).c_str(), &st) != 0) continue;
        for (const auto n : {uint64_t(st.st_dev), uint64_t(st.st_ino), uint64_t(st.st_size),
                             uint64_t(st.st_mtim.tv_sec), uint64_t(st.st_mtim.tv_nsec)})
            stamp += " " + std::to_string(n);
        stamp += std::string(" ") + file;
    }
    return stamp;
}

// Another process holds rpm's transaction lock, found without taking any lock.
bool TransactionUnderWay(const std::string& folder) {
    const int fd = ::open((folder + "/.rpm.lock").c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct flock probe {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

std::string Text(const Rpm& rpm, void* header, int32_t tag) {
    const char* text = rpm.headerGetString(header, tag);
    return text ? text : "";
}

}  // namespace

std::string FindRpmDatabase(const std::string& root) {
    for (const char* place : {"var/lib/rpm", "usr/lib/sysimage/rpm"}) {
        const auto folder = ResolveUnderRoot(root, "", place);
        if (!folder) continue;
        for (const char* file : {"rpmdb.sqlite", "Packages", "Packages.db"})
            if (IsFile(root + *folder + "/" + file)) return "/" + *folder;
    }
    return {};
}

bool ReadRpmPackages(const std::string& root, std::vector<PackageRecord>& records) {
    const std::string dbpath = FindRpmDatabase(root);
    if (dbpath.empty()) return true;
    const std::string folder = root + dbpath.substr(1);
    // librpm expands macros in both paths; a "%" would make them name another place.
    if (root.find_first_of("%\n") != std::string::npos || dbpath.find_first_of("%\n") != std::string::npos)
        return false;
    // During a transaction librpm's Berkeley DB and ndb backends may wait on the writer's
    // own locks (ndb takes a shared flock); sqlite readers see what rpm has committed.
    if (!IsFile(folder + "/rpmdb.sqlite") && TransactionUnderWay(folder)) return false;
    if (records.size() >= kMaxInstalledPackages) return true;
    const Rpm* rpm = LoadRpm();
    if (!rpm) return false;
    const std::string stamp = Stamp(folder);

    std::error_code unknown;
    std::string rootDir = std::filesystem::absolute(root, unknown).string();
    if (unknown) return false;
    while (rootDir.size() > 1 && rootDir.back() == '/') rootDir.pop_back();

    // librpm's macros and log mask are global to the process.
    static std::mutex one;
    static std::string failed;
    const std::lock_guard<std::mutex> hold(one);
    if (stamp == failed) return false;
    const int mask = rpm->logSetMask(kOnlyEmergencies);
    rpm->defineMacro(nullptr, ("_dbpath " + dbpath).c_str(), kCommandLineLevel);
    rpm->defineMacro(nullptr, (std::string("_db_backend ") + Backend(folder, rpm->before416)).c_str(),
                     kCommandLineLevel);
    void* ts = rpm->tsCreate();
    bool read = false;
    if (ts && rpm->tsSetRootDir(ts, rootDir.c_str()) == 0) {
        rpm->tsSetVSFlags(ts, kNoChecks);
        // Read-only; through sqlite in WAL mode, as with `rpm -qa`, that still keeps the
        // -shm index beside the database (making -wal and -shm when absent), never the database.
        if (rpm->tsOpenDB(ts, O_RDONLY) == 0) {
            read = true;
            SourceRecords source(records);
            void* it = rpm->tsInitIterator(ts, kAllPackages, nullptr, 0);
            for (void* h; it && !source.Full() && (h = rpm->dbNextIterator(it));) {
                PackageRecord r;
                r.name = Text(*rpm, h, kTagName);
                if (r.name.empty() || r.name == "gpg-pubkey") continue;
                const std::string vr = Text(*rpm, h, kTagVersion) + "-" + Text(*rpm, h, kTagRelease);
                const std::string arch = Text(*rpm, h, kTagArch);
                r.key = r.name + "-" + vr + (arch.empty() ? "" : "." + arch);
                r.version = rpm->headerIsEntry(h, kTagEpoch)
                                ? std::to_string(rpm->headerGetNumber(h, kTagEpoch)) + ":" + vr
                                : vr;
                r.publisher = Text(*rpm, h, kTagVendor);
                if (r.publisher.empty()) r.publisher = Text(*rpm, h, kTagPackager);
                source.Add(std::move(r));
            }
            if (it) rpm->dbFreeIterator(it);
            source.AppendTo(records);
        }
    }
    if (ts) rpm->tsFree(ts);
    rpm->popMacro(nullptr, "_db_backend");
    rpm->popMacro(nullptr, "_dbpath");
    rpm->logSetMask(mask);
    failed = read ? std::string() : stamp;
    return read;
}

}  // namespace velmora
