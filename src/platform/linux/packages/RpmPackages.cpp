#include "platform/linux/packages/RpmPackages.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string_view>

#include "platform/linux/packages/PackageFiles.h"
#include "platform/linux/packages/RpmHeader.h"
#include "platform/linux/packages/SqliteFile.h"

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

// The record of one header, as both ways of reading make it; none for a header
// that is not a program (no name, or a signing key).
void AddRecord(const RpmHeaderFields& h, SourceRecords& source) {
    if (h.name.empty() || h.name == "gpg-pubkey") return;
    const std::string vr = h.version + "-" + h.release;
    source.Add({h.name + "-" + vr + (h.arch.empty() ? "" : "." + h.arch), h.name,
                h.epoch ? std::to_string(*h.epoch) + ":" + vr : vr, h.vendor.empty() ? h.packager : h.vendor});
}

// The table rpm's sqlite backend makes, as its schema records it: any other is not
// one this reader knows.
constexpr std::string_view kPackagesTable =
    "CREATE TABLE 'Packages' (hnum INTEGER PRIMARY KEY AUTOINCREMENT,blob BLOB NOT NULL)";

// The Packages table's rows, in hnum order as librpm iterates them, into `source`;
// false when the file or any header in it is one this reader does not vouch for.
bool ReadPackagesTable(const sqlite::FileHeader& header, const sqlite::PageReader& read, SourceRecords& source) {
    bool sound = true;
    const bool walked = sqlite::ForEachRow(header, read, "Packages", kPackagesTable, [&](int64_t, std::string_view row) {
        // hnum is the rowid itself, which the record keeps as NULL.
        const auto values = sqlite::ParseRecord(row);
        std::optional<RpmHeaderFields> fields;
        sound = values && values->size() == 2 && (*values)[0].kind == sqlite::Value::Null &&
                (*values)[1].kind == sqlite::Value::Blob && (fields = ParseRpmHeader((*values)[1].bytes));
        if (!sound) return false;
        AddRecord(*fields, source);
        return !source.Full();
    });
    return walked && sound;
}

// What tells whether the database file changed while it was read.
struct FileState {
    struct stat st {};
    std::string header;
    bool operator==(const FileState& o) const {
        return st.st_dev == o.st.st_dev && st.st_ino == o.st.st_ino && st.st_size == o.st.st_size &&
               st.st_mtim.tv_sec == o.st.st_mtim.tv_sec && st.st_mtim.tv_nsec == o.st.st_mtim.tv_nsec &&
               st.st_ctim.tv_sec == o.st.st_ctim.tv_sec && st.st_ctim.tv_nsec == o.st.st_ctim.tv_nsec &&
               header == o.header;
    }
};

bool ReadAt(int fd, std::string& bytes, size_t size, uint64_t offset) {
    bytes.resize(size);
    for (size_t done = 0; done < size;) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size - done, off_t(offset + done));
        if (got <= 0) return false;
        done += size_t(got);
    }
    return true;
}

// The file at `path` as `fd` has it open, with its header (which holds sqlite's
// change counter); false when the path names another file now.
bool State(const std::string& path, int fd, FileState& state) {
    struct stat named;
    return ::fstat(fd, &state.st) == 0 && S_ISREG(state.st.st_mode) && ::stat(path.c_str(), &named) == 0 &&
           named.st_dev == state.st.st_dev && named.st_ino == state.st.st_ino && ReadAt(fd, state.header, 100, 0);
}

// An absent or empty file.
bool Empty(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) && st.st_size == 0;
}

// Nothing that the file does not hold yet: no log of committed transactions waiting
// to be copied in, no journal of one cut short, no transaction under way.
bool Settled(const std::string& folder) {
    return Empty(folder + "/rpmdb.sqlite-wal") && Empty(folder + "/rpmdb.sqlite-journal") &&
           !TransactionUnderWay(folder);
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

bool ReadRpmPackagesWithLibrpm(const std::string& root, PackageRecords& records) {
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
                RpmHeaderFields fields{Text(*rpm, h, kTagName),   Text(*rpm, h, kTagVersion),
                                       Text(*rpm, h, kTagRelease), Text(*rpm, h, kTagArch),
                                       Text(*rpm, h, kTagVendor),  Text(*rpm, h, kTagPackager), std::nullopt};
                if (rpm->headerIsEntry(h, kTagEpoch)) fields.epoch = rpm->headerGetNumber(h, kTagEpoch);
                AddRecord(fields, source);
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

bool ReadRpmSqliteBytes(std::string_view file, PackageRecords& records) {
    const auto header = sqlite::ParseFileHeader(file, file.size());
    if (!header) return false;
    const auto read = [&](uint32_t number, std::string& page) {
        page.assign(file.substr(size_t(number - 1) * header->pageSize, header->pageSize));
        return true;
    };
    SourceRecords source(records);
    if (!ReadPackagesTable(*header, read, source)) return false;
    source.AppendTo(records);
    return true;
}

bool ReadRpmSqliteFile(const std::string& folder, PackageRecords& records) {
    const std::string path = folder + "/rpmdb.sqlite";
    if (!Settled(folder)) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    FileState before, after;
    SourceRecords source(records);
    bool read = false;
    if (State(path, fd, before)) {
        const auto header = sqlite::ParseFileHeader(before.header, uint64_t(before.st.st_size));
        const auto page = [&](uint32_t number, std::string& bytes) {
            return ReadAt(fd, bytes, header->pageSize, uint64_t(number - 1) * header->pageSize);
        };
        // Whatever moved meanwhile (a checkpoint, a new log, a file renamed over this
        // one, a transaction begun) leaves the answer to librpm.
        read = header && ReadPackagesTable(*header, page, source) && State(path, fd, after) && before == after &&
               Settled(folder);
    }
    ::close(fd);
    if (read) source.AppendTo(records);
    return read;
}

bool ReadRpmPackages(const std::string& root, PackageRecords& records) {
    const std::string dbpath = FindRpmDatabase(root);
    if (!dbpath.empty() && ReadRpmSqliteFile(root + dbpath.substr(1), records)) return true;
    return ReadRpmPackagesWithLibrpm(root, records);
}

}  // namespace velmora
