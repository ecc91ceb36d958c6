// The package databases beside dpkg's, each read under a scratch root: pacman's and
// flatpak's as the real tools write them (held against their own listings), apk's and
// snap's hand-written from their documented formats (apk-tools is not in Debian, and
// snapd needs systemd and squashfs mounts, so neither can make one here).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "PackageLines.h"
#include "Scratch.h"
#include "platform/linux/packages/PackageReaders.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::ScratchTree;
using testing::Shell;

// Paths of a tree and their bytes; "->target" makes a link, "fifo" a FIFO.
using Files = std::vector<std::pair<std::string, std::string>>;
Files operator+(Files a, const Files& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

void Lay(const ScratchTree& tree, const Files& files) {
    for (const auto& [path, bytes] : files) {
        const fs::path at = tree.path() / path;
        fs::create_directories(at.parent_path());
        if (bytes.starts_with("->"))
            fs::create_symlink(bytes.substr(2), at);
        else if (bytes == "fifo")
            ::mkfifo(at.c_str(), 0644);
        else
            tree.Write(path, bytes);
    }
}

// What a reader added, as PackageLines gives it; "failed" when it answered false.
std::vector<std::string> Listed(PackageReader read, const std::string& root) {
    PackageRecords records;
    if (!read(root, records)) return {records.empty() ? "failed" : "failed, yet added"};
    return testing::PackageLines(records);
}

struct Case {
    const char* label;
    Files files;
    std::vector<std::string> expected;
};

// Each case laid out over a copy of `base` (when given), then read.
void Check(PackageReader read, const std::vector<Case>& cases, const fs::path& base = {}) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchTree tree;
        if (!base.empty()) fs::copy(base, tree.path(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        Lay(tree, c.files);
        EXPECT_EQ(Listed(read, tree.root() + "/"), c.expected);
    }
}

bool Have(const std::string& tool) { return !Shell("command -v " + tool).empty(); }

// Packages packed as makepkg would (a zstd tar, .PKGINFO first), installed with pacman -U --dbonly.
constexpr const char* kMakePacmanDb = R"(set -e
W=$1 R=$1/root
mkdir -p $R/var/lib/pacman $R/var/cache/pacman/pkg $R/var/log $R/etc/pacman.d/gnupg $R/etc/pacman.d/hooks
printf '[options]\nSigLevel = Never\nLocalFileSigLevel = Never\n' >$W/pacman.conf
pack() {
  mkdir -p $W/$1/usr/share/$1 && echo $1 >$W/$1/usr/share/$1/file
  printf 'pkgname = %s\npkgver = %s\npackager = %s\narch = any\nsize = 3\n' $1 $2 "$3" >$W/$1/.PKGINFO
  (cd $W/$1 && bsdtar --zstd -cf $W/$1.pkg.tar.zst .PKGINFO usr)
}
pack hello 1:2.5.1-3 'Velmora Test <test@example.org>'
pack zlib 1.3-1 'Unknown Packager'
P="pacman --config $W/pacman.conf -r $R --dbpath $R/var/lib/pacman"
$P --cachedir $R/var/cache/pacman/pkg --logfile $R/var/log/pacman.log --gpgdir $R/etc/pacman.d/gnupg \
  --hookdir $R/etc/pacman.d/hooks -U --noconfirm --nodeps --dbonly $W/*.pkg.tar.zst >$W/log 2>&1
$P -Q)";

TEST(LinuxPackages, Pacman) {
    if (!Have("pacman") || !Have("bsdtar"))
        GTEST_SKIP() << "needs pacman and bsdtar (pacman-package-manager, libarchive-tools)";
    ScratchTree made;
    const auto script = made.Write("make.sh", kMakePacmanDb);
    ASSERT_EQ(Shell("sh " + script.string() + " " + made.root() + " 2>&1"), "hello 1:2.5.1-3\nzlib 1.3-1");
    const std::string l = "var/lib/pacman/local/", zlib = "zlib-1.3-1|zlib|1.3-1|Unknown Packager",
                      hello = "hello-1:2.5.1-3|hello|1:2.5.1-3|Velmora Test <test@example.org>";
    Check(ReadPacmanPackages,
          {{"as pacman wrote it", {}, {hello, zlib}},
           {"an entry without its desc yet, the lock held, damaged descs, odd links, a backslash",
            {{l + "half-1.0-1/files", "%FILES%\n"}, {"var/lib/pacman/db.lck", ""},
             {l + "cut-2-1/desc", "%NAME%\ncut\n\n%VERS"}, {l + "noname-1-1/desc", "%VERSION%\n1-1\n"},
             {l + "binary-1-1/desc", "\0\x01%NAME\n\xff\n"s},
             {l + "folder-1-1/desc/x", ""}, {l + "loop-1-1/desc", "->desc"}, {l + "zero-1-1/desc", "->/dev/zero"},
             {l + "fifo-1-1/desc", "fifo"}, {l + "back\\slash-1-1/desc", "%NAME%\nb\n\n%VERSION%\n1\n"}},
            {hello, zlib}},
           {"unknown keys, CR LF, a NUL, huge lines, no packager, no last LF",
            {{l + "odd-1-1/desc",
              "%NEW%\n" + std::string(100000, 'y') + "\n\n%NAME%\r\nodd\r\n\r\n%VERSION%\n1-1\n\n%URL%\nx"},
             {l + "nul-1-1/desc", "%NAME%\nnul\0tail\n\n%VERSION%\n1-1\n\n%PACKAGER%\n"s + std::string(5000, 'p')}},
            {hello, "nul-1-1|nul|1-1|", "odd-1-1|odd|1-1|", zlib}}},
          made.path() / "root");
}

std::string ApkStanza(const std::string& name, const std::string& version) {
    return "C:Q1abcdefghijklmnopqrstuvwxyz0=\nP:" + name + "\nV:" + version + "\nA:x86_64\nS:1234\nI:5678\n" +
           "T:a package\nL:MIT\no:" + name + "\nm:Natanael Copa <ncopa@alpinelinux.org>\nt:1700000000\nF:usr/bin\nR:" +
           name + "\nZ:Q1z=\n";
}

TEST(LinuxPackages, Apk) {
    const std::string db = "lib/apk/db/installed", m = "|Natanael Copa <ncopa@alpinelinux.org>";
    Check(ReadApkPackages,
          {{"in file order, the last stanza without its empty line; /lib before /usr/lib",
            {{db, ApkStanza("musl", "1.2.4-r2") + "\n" + ApkStanza("busybox", "1.36.1-r5")},
             {"usr/" + db, ApkStanza("wolfi", "1")}},
            {"musl|musl|1.2.4-r2" + m, "busybox|busybox|1.36.1-r5" + m}},
           {"only under /usr/lib", {{"usr/" + db, ApkStanza("wolfi-base", "1-r6")}},
            {"wolfi-base|wolfi-base|1-r6" + m}},
           {"no P:, a name again, a backslash, empty lines, huge lines, a NUL, CR LF, cut short",
            {{db, "V:1\n\n\n" + ApkStanza("a", "1-r0") + "\n" + ApkStanza("a", "2-r0") + "\n" + ApkStanza("b\\c", "1") +
                      "\nP:" + std::string(100000, 'n') + "\n\nP:big\nV:" + std::string(100000, '1') +
                      "\n\nP:nul\0x\r\nV:2-r0\r\n\r\nP:cut\nV:"s}},
            {"a|a|1-r0" + m, "big|big||", "nul|nul|2-r0|", "cut|cut||"}},
           {"a folder or a FIFO where the file would be", {{db + "/x", ""}, {"usr/" + db, "fifo"}}, {}}});
}

// One deployed application: app/ID/current -> ARCH/BRANCH, whose active -> the commit folder.
Files FlatpakApp(const std::string& id, const std::string& metadata = "[Application]\n", const std::string& file = "",
                 const std::string& xml = "", const std::string& current = "x86_64/stable") {
    const std::string at = "var/lib/flatpak/app/" + id + "/", commit = at + "x86_64/stable/c0/";
    Files files = {{at + "current", "->" + current}, {at + "x86_64/stable/active", "->c0"},
                   {commit + "metadata", metadata}};
    if (!file.empty()) files.push_back({commit + "files/share/" + file, xml});
    return files;
}

// A scratch system installation: a tiny runtime, then the application laid out in files/.
constexpr const char* kMakeFlatpakInstallation = R"(set -e
W=$1 R=org.velmora.Platform; cd $W
export HOME=$W/home XDG_DATA_HOME=$W/home XDG_CONFIG_HOME=$W/home XDG_CACHE_HOME=$W/home XDG_RUNTIME_DIR=$W/home \
  FLATPAK_SYSTEM_DIR=$W/root/var/lib/flatpak FLATPAK_CONFIG_DIR=$W/etc
mkdir -p home etc root/var/lib/flatpak rt/files rt/usr && chmod 700 home && A=$(flatpak --default-arch)
f() { flatpak "$@" >>log 2>&1; }
printf '[Runtime]\nname=%s\nruntime=%s/%s/1\nsdk=%s/%s/1\n' $R $R $A $R $A >rt/metadata
f build-export --runtime repo rt 1 && f build-update-repo repo
f remote-add --system --no-gpg-verify scratch file://$W/repo && f install --system -y --noninteractive scratch $R
f build-init app org.velmora.Hello $R $R 1 && cp -r files app/ && f build-finish app --command=true
f build-export repo app stable && f build-update-repo repo && f update --system -y --noninteractive --appstream
f install --system -y --noninteractive scratch org.velmora.Hello
flatpak list --system --app --columns=application,version | tr '\t' '|')";

TEST(LinuxPackages, Flatpak) {
    const std::string id = "org.velmora.Hello", hello = id + "|" + id + "|2.6|Velmora & Co";
    const std::string xml = "<component type=\"desktop-application\">\n <id>" + id + "</id>\n <name>Hello</name>\n"
                            " <summary>Says hello</summary>\n <developer_name xml:lang=\"de\">Prüfer</developer_name>\n"
                            " <developer_name>Velmora &amp; Co</developer_name>\n"
                            " <!-- <releases><release version=\"0\"/></releases> -->\n <releases>\n"
                            "  <release version=\"2.6\" timestamp=\"1767312000\"/>\n  <release version='2.4'/>\n"
                            " </releases>\n</component>\n";
    ScratchTree made;
    std::string why = "flatpak is not installed";
    if (Have("flatpak")) {
        made.Write("files/share/metainfo/" + id + ".metainfo.xml", xml);
        // flatpak list shows the version of the composed AppStream, which flatpak-builder would make.
        const auto composed =
            made.Write("files/share/app-info/xmls/" + id + ".xml", "<components>" + xml + "</components>");
        const auto script = made.Write("make.sh", kMakeFlatpakInstallation);
        const std::string listed = Shell("gzip " + composed.string() + " && sh " + script.string() + " " + made.root());
        why = "flatpak could not make an installation here: " + testing::ReadAll(made.path() / "log");
        if (fs::exists(made.path() / "root/var/lib/flatpak/app" / id / "current")) {
            EXPECT_EQ(listed, id + "|2.6");
            EXPECT_EQ(Listed(ReadFlatpakPackages, made.root() + "/root/"), std::vector<std::string>{hello});
            why.clear();
        }
    }
    // Hand-made trees in the same layout, for what a real flatpak does not leave behind.
    const std::string a = "var/lib/flatpak/app/", application = "[Application]\n";
    const std::string older = "<component><developer id=\"o\"><name>Old Maker</name></developer><releases><release\n"
                              " version=\"1.0&lt;beta&gt;\"><description><p>x</p></description></release></releases>";
    Check(ReadFlatpakPackages,
          {{"older appdata, <developer><name>, no releases; runtimes left out",
            FlatpakApp("org.old.App", application, "appdata/org.old.App.appdata.xml", older) +
                FlatpakApp("org.none.App", application, "metainfo/org.none.App.metainfo.xml",
                           "<releases/><release version=\"1\"/>") +
                FlatpakApp("org.runtime.InApp", "[Runtime]\n") +
                Files{{"var/lib/flatpak/runtime/org.P/x86_64/1/c0/metadata", "[Runtime]\n"}},
            {"org.none.App|org.none.App||", "org.old.App|org.old.App|1.0<beta>|Old Maker"}},
           {"being installed, an absolute link under the root, loops, links out of it, a backslash, a FIFO, a huge file",
            Files{{a + "org.no.Current/x86_64/stable/c0/metadata", application},
                  {a + "org.loop.App/current", "->../../loop"}, {"loop", "->" + a + "org.loop.App/current"},
                  {a + "org.up.App/current", "->../../../../../../../../proc/self"}} +
                FlatpakApp("org.abs.App", application, "metainfo/org.abs.App.metainfo.xml", xml,
                           "/" + a + "org.abs.App/x86_64/stable") +
                FlatpakApp("org.back\\slash") + FlatpakApp("org.fifo.App", "fifo") +
                FlatpakApp("org.huge.App", application, "metainfo/org.huge.App.metainfo.xml",
                           "<releases><release version=\"" + std::string(3 << 20, '9')),
            {"org.abs.App|org.abs.App|2.6|Velmora & Co", "org.huge.App|org.huge.App||"}}});
    if (!why.empty()) GTEST_SKIP() << "hand-made trees only: " << why;
}

// A mounted snap: snapd mounts each revision at /snap/NAME/REV and points current at the one in use.
Files SnapRevision(const std::string& name, const std::string& yaml, const std::string& current = "1") {
    return {{"snap/" + name + "/1/meta/snap.yaml", yaml}, {"snap/" + name + "/current", "->" + current}};
}

TEST(LinuxPackages, Snap) {
    const std::string nested = "\ndescription: |\n  name: not this\n  version: nor this\napps:\n  run:\n    x: y\n";
    Check(ReadSnapPackages,
          {{"plain, quoted and commented values; nested keys, bin and README left out",
            SnapRevision("lxd", "name: lxd\nversion: 5.21.1-2d13beb" + nested) +
                SnapRevision("core22", "name: 'core22'\nversion: '20240111'\n") +
                SnapRevision("firefox", "name: \"firefox\"\nversion: \"126.0\\\"1\\\\\"  # the build\n") +
                SnapRevision("hello", "# c\r\nversion: 2.10 # c\r\nname: 'it''s'\r\n") +
                SnapRevision("bin", "name: bin\nversion: 1\n") + Files{{"snap/README", "This directory...\n"}},
            {"core22|core22|20240111|", "firefox|firefox|126.0\"1\\|", "hello|it's|2.10|", "lxd|lxd|5.21.1-2d13beb|"}},
           {"no name, a dangling current, no current, damaged, an absolute current, a loop, a backslash",
            SnapRevision("noname", "version: 1" + nested) + SnapRevision("dangling", "", "2") +
                Files{{"snap/nocurrent/1/meta/snap.yaml", "name: x\n"}} +
                SnapRevision("damaged", std::string(100000, 'x') + "\n\0\xff: \x01\nname:\nversion\n  name: in\n"s) +
                SnapRevision("abs", "version: 7.0\n", "/snap/abs/1") + SnapRevision("loop", "", "../loop/current") +
                SnapRevision("back\\slash", "name: x\n"),
            {"abs|abs|7.0|", "damaged|damaged||", "noname|noname|1|"}}});
}

// Whether `read` answers false and adds nothing where it may not look: 0 when so, 1 when
// not, 2 when a test run as root (which reads everything) cannot become another user.
int ReadBlind(PackageReader read, const std::string& root) {
    const int blind = testing::InChild([&] {
        if (::geteuid() == 0 && !testing::BecomeNobody()) return 2;
        PackageRecords records;
        records.Add({});
        return !read(root, records) && records.size() == 1 ? 0 : 1;
    });
    return blind < 0 ? 1 : blind;
}

// What every reader promises: nothing of an absent source, nothing beyond the cap, nothing
// of a source it may not read, and the records already there left as they are.
TEST(LinuxPackages, EveryReaderKeepsToItsList) {
    auto desc = [](const std::string& n) {
        return Files{{"var/lib/pacman/local/" + n + "-1-1/desc", "%NAME%\n" + n + "\n\n%VERSION%\n1-1\n"}};
    };
    const std::string apk = ApkStanza("a", "1") + "\n" + ApkStanza("b", "1") + "\n" + ApkStanza("c", "1");
    const struct {
        PackageReader read;
        std::string listing;  // what, unreadable, makes the source unreadable
        Files three;
    } readers[] = {
        {ReadPacmanPackages, "var/lib/pacman/local", desc("a") + desc("b") + desc("c")},
        {ReadApkPackages, "lib/apk/db/installed", {{"lib/apk/db/installed", apk}}},
        {ReadFlatpakPackages, "var/lib/flatpak/app", FlatpakApp("org.a") + FlatpakApp("org.b") + FlatpakApp("org.c")},
        {ReadSnapPackages, "snap", SnapRevision("a", "version: 1\n") + SnapRevision("b", "") + SnapRevision("c", "")},
    };
    int blind = 0;
    for (const auto& r : readers) {
        SCOPED_TRACE(r.listing);
        ScratchTree tree;
        PackageRecords records;
        EXPECT_TRUE(r.read(tree.root() + "/", records));
        EXPECT_TRUE(records.empty());
        Lay(tree, r.three);
        for (size_t i = 0; i < kMaxInstalledPackages - 2; ++i) records.Add({"kept", "", "", ""});
        EXPECT_TRUE(r.read(tree.root() + "/", records));
        ASSERT_EQ(records.size(), kMaxInstalledPackages);
        EXPECT_EQ(records[kMaxInstalledPackages - 3].key, "kept");
        EXPECT_NE(records.back().key, "kept");
        fs::permissions(tree.path() / r.listing, fs::perms::none);
        blind = ReadBlind(r.read, tree.root() + "/");
        EXPECT_NE(blind, 1);
    }
    if (blind == 2) GTEST_SKIP() << "running as root, which reads everything, and cannot become another user here";
}

}  // namespace
}  // namespace velmora
