// The rpm reader against databases that rpm itself made in scratch roots, held
// against what rpm lists from them.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "PackageLines.h"
#include "Scratch.h"
#include "platform/linux/packages/RpmPackages.h"

// librpm 4.18 keeps the sqlite connection of a database it failed to open; the reader
// hands such a database to it once per change of its files, so the loss is bounded.
extern "C" const char* __lsan_default_suppressions() { return "leak:libsqlite3.so\n"; }

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::Shell;

// Runs the fixture maker; false (with why) when a tool it needs is missing.
bool MakeFixture(const std::string& arguments, std::string& missing) {
    const std::string command = "sh " VELMORA_RPM_FIXTURE " " + arguments + " 2>&1";
    missing = Shell(command + "; echo \" $?\"");
    const std::string status = missing.substr(missing.rfind(' ') + 1);
    if (status == "0") return true;
    if (status != "77") ADD_FAILURE() << command << ": " << missing;
    return false;
}

// rpm's own listing, as records "key|name|version|publisher", signing keys left out.
std::vector<std::string> RpmListing(const std::string& root, const std::string& dbpath) {
    const std::string format =
        "%{NAME}-%{VERSION}-%{RELEASE}%|ARCH?{.%{ARCH}}||%{NAME}|%|EPOCH?{%{EPOCH}:}|%{VERSION}-%{RELEASE}|"
        "%|VENDOR?{%{VENDOR}}:{%|PACKAGER?{%{PACKAGER}}|}|\\n";
    std::vector<std::string> lines;
    std::stringstream out(Shell("rpm --root '" + root + "' --dbpath " + dbpath + " -qa --qf '" + format +
                                "' 2>/dev/null | grep -v '^gpg-pubkey-'"));
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    return lines;
}

using testing::PackageLines;

std::vector<std::string> Read(const std::string& root, bool& ok) {
    PackageRecords records;
    ok = ReadRpmPackages(root + "/", records);
    return PackageLines(records);
}

// The sqlite file read alone holds the same records as librpm reads, when it can tell
// at all (`direct`); whatever it says, the reader as a whole answers as librpm does.
void ExpectBothWaysAgree(const std::string& root, const std::string& folder, bool direct) {
    PackageRecords alone, viaLibrpm;
    EXPECT_EQ(ReadRpmSqliteFile(folder, alone), direct) << folder;
    const bool ok = ReadRpmPackagesWithLibrpm(root + "/", viaLibrpm);
    if (direct) {
        EXPECT_EQ(PackageLines(alone), PackageLines(viaLibrpm)) << folder;
    }
    EXPECT_TRUE(alone.empty() || direct) << folder;
    bool read = false;
    EXPECT_EQ(Read(root, read), PackageLines(viaLibrpm)) << folder;
    EXPECT_EQ(read, ok) << folder;
}

// The Packages table's interior pages, those of them below its root, and its overflow
// pages, as sqlite's dbstat counts them; false where sqlite3 lacks dbstat.
bool Layout(const std::string& root, int (&pages)[3]) {
    const std::string counts = Shell("sqlite3 -readonly " + root + "/var/lib/rpm/rpmdb.sqlite \"SELECT "
                                     "total(pagetype = 'internal'), total(pagetype = 'internal' AND path <> '/'), "
                                     "total(pagetype = 'overflow') FROM dbstat WHERE name = 'Packages'\" 2>/dev/null");
    return std::sscanf(counts.c_str(), "%d.0|%d.0|%d.0", &pages[0], &pages[1], &pages[2]) == 3;
}

TEST(LinuxPackagesRpm, ReadsWhatRpmLists) {
    testing::ScratchTree scratch;
    const std::string sqlite = scratch.root() + "/sqlite", bdb = scratch.root() + "/bdb",
                      small = scratch.root() + "/small", pending = scratch.root() + "/pending";
    std::string why;
    // Enough packages for interior pages, and a header long enough for overflow pages.
    if (!MakeFixture("sqlite " + scratch.root() + "/work " + sqlite + " 150", why)) GTEST_SKIP() << why;
    for (const auto& [kind, root] : {std::pair{"bdb ", bdb}, {"relayout ", small}, {"pending ", pending}})
        if (!MakeFixture(kind + sqlite + " " + root, why)) GTEST_SKIP() << why;
    // Fedora 36+ and SUSE: the database in /usr/lib/sysimage/rpm, var/lib/rpm an absolute
    // link there, which must resolve inside the root and not on this machine.
    const std::string moved = scratch.root() + "/moved", bare = scratch.root() + "/bare",
                      elsewhere = scratch.root() + "/elsewhere";
    const auto place = [&](const std::string& root, const std::string& folder, const char* link) {
        fs::create_directories(fs::path(root + folder).parent_path());
        fs::copy(sqlite + "/var/lib/rpm", root + folder);
        if (!link) return;
        fs::create_directories(root + "/var/lib");
        fs::create_directory_symlink(link, root + "/var/lib/rpm");
    };
    place(moved, "/usr/lib/sysimage/rpm", "/usr/lib/sysimage/rpm");
    place(bare, "/usr/lib/sysimage/rpm", nullptr);
    place(elsewhere, "/srv/rpm", "../../srv/db/../rpm");
    fs::rename(elsewhere + "/srv/rpm", elsewhere + "/srv/db");
    fs::create_directory_symlink("/srv/db", elsewhere + "/srv/rpm");

    const auto listed = RpmListing(sqlite, "/var/lib/rpm");
    for (const char* line : {"velprobe-beta-0.9-1.noarch|velprobe-beta|2:0.9-1|",
                             "velprobe-vendor-1.2.3-4.noarch|velprobe-vendor|1.2.3-4|Probe Vendor Inc.",
                             "velprobe-packager-1.2.3-4.noarch|velprobe-packager|1.2.3-4|Pat Packager <pat@example.org>",
                             "velprobe-odd+name_x.y-1.2.3-4.noarch|velprobe-odd+name_x.y|1.2.3-4|"})
        EXPECT_NE(std::find(listed.begin(), listed.end(), line), listed.end()) << line;
    const struct {
        std::string root, dbpath;
        bool direct;   // the sqlite file alone tells
        size_t erased;  // packages fewer than in `sqlite`
    } cases[] = {{sqlite, "/var/lib/rpm", true, 0},          {bdb, "/var/lib/rpm", false, 0},
                 {moved, "/usr/lib/sysimage/rpm", true, 0}, {bare, "/usr/lib/sysimage/rpm", true, 0},
                 {elsewhere, "/srv/db", true, 0},           {small, "/var/lib/rpm", true, 0},
                 {pending, "/var/lib/rpm", false, 1}};
    for (const auto& c : cases) {
        bool ok = false;
        const auto got = Read(c.root, ok);
        EXPECT_TRUE(ok) << c.root;
        EXPECT_EQ(FindRpmDatabase(c.root + "/"), c.dbpath) << c.root;
        EXPECT_EQ(got, RpmListing(c.root, c.dbpath)) << c.root;
        EXPECT_EQ(got.size(), listed.size() - c.erased) << c.root;
        ExpectBothWaysAgree(c.root, c.root + c.dbpath, c.direct);
    }
    // The fixtures hold what they are made for: interior pages, two levels of them in
    // small pages, and a header on a chain of overflow pages.
    int large[3], deeper[3];
    if (!Layout(sqlite, large) || !Layout(small, deeper)) GTEST_SKIP() << "sqlite3 has no dbstat to check the layout";
    EXPECT_TRUE(large[0] > 0 && large[2] > 1) << large[0] << " interior, " << large[2] << " overflow";
    EXPECT_GT(deeper[1], 0);
}

TEST(LinuxPackagesRpm, AbsentOrDamagedDatabases) {
    testing::ScratchTree scratch;
    const std::string real = scratch.root() + "/real";
    std::string why;
    const bool made = MakeFixture("sqlite " + scratch.root() + "/work " + real, why);
    const std::string garbage(70000, '\x8e');
    const struct {
        const char* label;
        const char* file;  // under var/lib/rpm
        std::string bytes;
    } cases[] = {{"empty folder", nullptr, ""},
                 {"garbage sqlite", "rpmdb.sqlite", garbage},
                 {"empty sqlite", "rpmdb.sqlite", ""},
                 {"garbage Berkeley DB", "Packages", garbage},
                 {"garbage ndb", "Packages.db", garbage},
                 {"half a real database", "rpmdb.sqlite",
                  made ? testing::ReadAll(real + "/var/lib/rpm/rpmdb.sqlite").substr(0, 65536) : garbage}};
    for (const auto& c : cases) {
        testing::ScratchTree root;
        root.Folder("var/lib/rpm");
        if (c.file) root.Write(std::string("var/lib/rpm/") + c.file, c.bytes);
        PackageRecords records;
        records.Add({"kept", "kept", "", ""});
        for (int twice = 0; twice < 2; ++twice) {
            const bool ok = ReadRpmPackages(root.root() + "/", records);
            EXPECT_TRUE(!c.file ? ok : true) << c.label;
            EXPECT_EQ(records.size(), 1u) << c.label;  // nothing read, and nothing of before lost
        }
        // No database made beside it, as librpm does where it finds none of its own (sqlite's
        // -wal and -shm beside a WAL-mode file are every reader's, rpm -qa's too).
        size_t files = 0;
        for (const auto& f : fs::directory_iterator(root.path() / "var/lib/rpm")) {
            const std::string name = f.path().filename().string();
            files += !name.ends_with("-wal") && !name.ends_with("-shm");
        }
        EXPECT_EQ(files, c.file ? 1u : 0u) << c.label;
    }
    if (!made) GTEST_SKIP() << why;
    // Damage only the pages tell of: the Packages tree's interior root made its own last
    // child, and the file cut in half with its header's page count cut to match.
    const std::string file = real + "/var/lib/rpm/rpmdb.sqlite", bytes = testing::ReadAll(file);
    const auto poke = [](std::string& b, size_t at, size_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (24 - 8 * i));
    };
    const size_t page = size_t(uint8_t(bytes[16])) << 8 | uint8_t(bytes[17]), root = std::stoul(Shell(
        "sqlite3 -readonly " + file + " \"SELECT rootpage FROM sqlite_master WHERE name = 'Packages'\""));
    ASSERT_EQ(bytes.at((root - 1) * page), '\x05') << "the Packages tree's root is not an interior page";
    std::string looped = bytes, cut = bytes.substr(0, bytes.size() / page / 2 * page);
    poke(looped, (root - 1) * page + 8, root);
    poke(cut, 28, cut.size() / page);
    for (const auto& damaged : {looped, cut}) {
        testing::ScratchTree copy;
        copy.Write("var/lib/rpm/rpmdb.sqlite", damaged);
        ExpectBothWaysAgree(copy.root(), copy.root() + "/var/lib/rpm", false);
    }
    // Headers librpm refuses, each alone in a copy: a huge data length, one cut short,
    // one with a byte too many. The other packages are still read.
    for (const char* blob : {"x'0000ffff7fffffff'", "substr(blob, 1, 37)", "CAST(blob || x'00' AS BLOB)"}) {
        testing::ScratchTree copy;
        const auto damaged = copy.Write("var/lib/rpm/rpmdb.sqlite", bytes).string();
        Shell("sqlite3 " + damaged + " \"UPDATE Packages SET blob = " + blob + " WHERE hnum = 1\"");
        bool ok = false;
        const auto got = Read(copy.root(), ok);
        EXPECT_TRUE(ok) << blob;
        EXPECT_EQ(got, RpmListing(copy.root(), "/var/lib/rpm")) << blob;
        EXPECT_EQ(got.size(), 4u) << blob;
        ExpectBothWaysAgree(copy.root(), copy.root() + "/var/lib/rpm", false);
    }
}

// rpm holds an fcntl write lock on .rpm.lock for a whole transaction; another
// process must hold it, as locks of one's own process are never in the way.
TEST(LinuxPackagesRpm, NoWaitUnderTheTransactionLock) {
    testing::ScratchTree scratch;
    const std::string sqlite = scratch.root() + "/sqlite", bdb = scratch.root() + "/bdb";
    std::string why;
    if (!MakeFixture("sqlite " + scratch.root() + "/work " + sqlite, why) ||
        !MakeFixture("bdb " + sqlite + " " + bdb, why))
        GTEST_SKIP() << why;
    for (const auto& root : {sqlite, bdb}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            const int fd = ::open((root + "/var/lib/rpm/.rpm.lock").c_str(), O_RDWR | O_CREAT, 0644);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            const char done = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &done, 1);
            ::pause();
            ::_exit(0);
        }
        char done = 'n';
        (void)!::read(ready[0], &done, 1);
        const auto start = std::chrono::steady_clock::now();
        bool ok = false;
        const auto got = Read(root, ok);
        const auto took = std::chrono::steady_clock::now() - start;
        PackageRecords alone;  // the file alone cannot tell what the writer is doing
        const bool told = ReadRpmSqliteFile(root + "/var/lib/rpm", alone);
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        ASSERT_EQ(done, 'y') << root;
        EXPECT_LT(took, std::chrono::seconds(5)) << root;  // a wait would last as long as the holder
        // sqlite readers see what is committed; Berkeley DB is left for later.
        if (root == sqlite)
            EXPECT_TRUE(ok && got == RpmListing(root, "/var/lib/rpm") && !told) << root;
        else
            EXPECT_FALSE(ok || !got.empty()) << root;
    }
}

// rpm leaves its sqlite database in WAL mode; without the -shm file beside it, a user
// who may not make one cannot open it through sqlite (nor can rpm -qa): librpm says
// "cannot be read", never an empty list, while the file alone, with no log beside
// it, still tells every package.
TEST(LinuxPackagesRpm, UnprivilegedWithoutShm) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to read as another user";
    testing::ScratchTree scratch;
    const std::string root = scratch.root() + "/root";
    std::string why;
    if (!MakeFixture("sqlite " + scratch.root() + "/work " + root, why)) GTEST_SKIP() << why;
    const size_t listed = RpmListing(root, "/var/lib/rpm").size();  // which makes the -shm again
    fs::remove(root + "/var/lib/rpm/rpmdb.sqlite-shm");
    fs::remove(root + "/var/lib/rpm/rpmdb.sqlite-wal");
    fs::permissions(scratch.path(), fs::perms::others_exec, fs::perm_options::add);
    const int read = testing::InChild([&] {
        PackageRecords records, none;
        const bool dropped = testing::BecomeNobody();
        const bool refused = !ReadRpmPackagesWithLibrpm(root + "/", none) && none.empty();
        return !dropped || !refused || !ReadRpmPackages(root + "/", records) ? 255 : int(records.size());
    });
    ASSERT_GE(read, 0) << "the child did not exit";
    EXPECT_EQ(size_t(read), listed);
}

}  // namespace
}  // namespace velmora
