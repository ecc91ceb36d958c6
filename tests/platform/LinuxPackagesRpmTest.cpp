// The rpm reader against databases that rpm itself made in scratch roots, held
// against what rpm lists from them.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

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

std::vector<std::string> Read(const std::string& root, bool& ok) {
    std::vector<PackageRecord> records;
    ok = ReadRpmPackages(root + "/", records);
    std::vector<std::string> lines;
    for (const auto& r : records) lines.push_back(r.key + "|" + r.name + "|" + r.version + "|" + r.publisher);
    return lines;
}

TEST(LinuxPackagesRpm, ReadsWhatRpmLists) {
    testing::ScratchTree scratch;
    const std::string sqlite = scratch.root() + "/sqlite", bdb = scratch.root() + "/bdb";
    std::string why;
    if (!MakeFixture("sqlite " + scratch.root() + "/work " + sqlite, why)) GTEST_SKIP() << why;
    if (!MakeFixture("bdb " + sqlite + " " + bdb, why)) GTEST_SKIP() << why;
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
    } cases[] = {{sqlite, "/var/lib/rpm"}, {bdb, "/var/lib/rpm"}, {moved, "/usr/lib/sysimage/rpm"},
                 {bare, "/usr/lib/sysimage/rpm"}, {elsewhere, "/srv/db"}};
    for (const auto& c : cases) {
        bool ok = false;
        const auto got = Read(c.root, ok);
        EXPECT_TRUE(ok) << c.root;
        EXPECT_EQ(FindRpmDatabase(c.root + "/"), c.dbpath) << c.root;
        EXPECT_EQ(got, RpmListing(c.root, c.dbpath)) << c.root;
        EXPECT_EQ(got.size(), listed.size()) << c.root;
    }
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
        std::vector<PackageRecord> records{{"kept", "kept", "", ""}};
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
    // Three of the five packages with headers that must be refused: a huge data length,
    // one cut short, one with a byte too many. The other two are still read.
    Shell("sqlite3 " + real + "/var/lib/rpm/rpmdb.sqlite \"UPDATE Packages SET blob = CASE hnum "
          "WHEN 1 THEN x'0000ffff7fffffff' WHEN 2 THEN substr(blob, 1, 37) ELSE CAST(blob || x'00' AS BLOB) END "
          "WHERE hnum < 4\"");
    bool ok = false;
    const auto got = Read(real, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, RpmListing(real, "/var/lib/rpm"));
    EXPECT_EQ(got.size(), 2u);
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
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        ASSERT_EQ(done, 'y') << root;
        EXPECT_LT(took, std::chrono::seconds(5)) << root;  // a wait would last as long as the holder
        // sqlite readers see what is committed; Berkeley DB is left for later.
        if (root == sqlite)
            EXPECT_TRUE(ok && got == RpmListing(root, "/var/lib/rpm")) << root;
        else
            EXPECT_FALSE(ok || !got.empty()) << root;
    }
}

// rpm leaves its sqlite database in WAL mode; without the -shm file beside it, a user
// who may not make one cannot open it (nor can rpm -qa): that is "cannot be read",
// never an empty list.
TEST(LinuxPackagesRpm, UnprivilegedWithoutShm) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to read as another user";
    testing::ScratchTree scratch;
    const std::string root = scratch.root() + "/root";
    std::string why;
    if (!MakeFixture("sqlite " + scratch.root() + "/work " + root, why)) GTEST_SKIP() << why;
    fs::remove(root + "/var/lib/rpm/rpmdb.sqlite-shm");
    fs::remove(root + "/var/lib/rpm/rpmdb.sqlite-wal");
    fs::permissions(scratch.path(), fs::perms::others_exec, fs::perm_options::add);
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<PackageRecord> records;
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 3 : ReadRpmPackages(root + "/", records) ? (records.empty() ? 2 : 1) : 0);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit " << status;
}

}  // namespace
}  // namespace velmora
