// The package databases beside dpkg's, each read under a scratch root: pacman's and
// flatpak's as the real tools write them (held against their own listings), apk's and
// snap's hand-written from their documented formats (apk-tools is not in Debian, and
// snapd needs systemd and squashfs mounts, so neither can make one here).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "Scratch.h"
#include "platform/linux/packages/PackageReaders.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::ReadAll;
using testing::ScratchTree;
using testing::Shell;

// What a reader added, one "key|name|version|publisher" a record; "failed" when it answered false.
std::vector<std::string> Listed(PackageReader read, const std::string& root) {
    std::vector<PackageRecord> records;
    if (!read(root, records)) return records.empty() ? std::vector<std::string>{"failed"} : std::vector<std::string>{"failed, yet added"};
    std::vector<std::string> lines;
    for (const auto& r : records) lines.push_back(r.key + "|" + r.name + "|" + r.version + "|" + r.publisher);
    return lines;
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

void Link(const ScratchTree& tree, const std::string& target, const std::string& relative) {
    fs::create_directories((tree.path() / relative).parent_path());
    fs::create_symlink(target, tree.path() / relative);
}

bool Have(const std::string& tools) { return Shell("for t in " + tools + "; do command -v $t; done | wc -l") ==
                                             std::to_string(std::count(tools.begin(), tools.end(), ' ') + 1); }

struct Case {
    const char* label;
    std::function<void(const ScratchTree&)> make;
    std::vector<std::string> expected;
};

// pacman -U --dbonly with packages packed as makepkg would (bsdtar, zstd, .PKGINFO first).
constexpr const char* kPacmanInstall = R"(set -e
W=$1; R=$W/root; mkdir -p $R/var/lib/pacman $R/var/cache/pacman/pkg $R/var/log $R/etc/pacman.d/gnupg $R/etc/pacman.d/hooks $W/pk
printf '[options]\nSigLevel = Never\nLocalFileSigLevel = Never\n' > $W/pacman.conf
pack() {
  d=$W/src/$1; mkdir -p $d/usr/share/$1; echo $1 > $d/usr/share/$1/file
  printf 'pkgname = %s\npkgbase = %s\npkgver = %s\npkgdesc = a test\nbuilddate = 1700000000\npackager = %s\nsize = 3\narch = any\n' "$1" "$1" "$2" "$3" > $d/.PKGINFO
  (cd $d && bsdtar --zstd -cf $W/pk/$1.pkg.tar.zst .PKGINFO usr)
}
pack hello 1:2.5.1-3 'Velmora Test <test@example.org>'
pack zlib 1.3-1 'Someone Else <else@example.org>'
pack lib32-glibc 2.38-7 'Unknown Packager'
pacman --config $W/pacman.conf -r $R --dbpath $R/var/lib/pacman --cachedir $R/var/cache/pacman/pkg --logfile $R/var/log/pacman.log \
  --gpgdir $R/etc/pacman.d/gnupg --hookdir $R/etc/pacman.d/hooks -U --noconfirm --nodeps --dbonly $W/pk/*.pkg.tar.zst >$W/log 2>&1
pacman --config $W/pacman.conf -r $R --dbpath $R/var/lib/pacman -Q)";

TEST(LinuxPackages, Pacman) {
    if (!Have("pacman bsdtar")) GTEST_SKIP() << "needs pacman and bsdtar (pacman-package-manager, libarchive-tools)";
    ScratchTree made;
    const std::string listed = Shell("sh " + made.Write("install.sh", kPacmanInstall).string() + " " + made.root() + " 2>&1");
    const std::string local = "root/var/lib/pacman/local/";
    ASSERT_TRUE(fs::exists(made.path() / local / "ALPM_DB_VERSION")) << listed;
    const std::vector<std::string> real = {"hello-1:2.5.1-3|hello|1:2.5.1-3|Velmora Test <test@example.org>",
                                           "lib32-glibc-2.38-7|lib32-glibc|2.38-7|Unknown Packager",
                                           "zlib-1.3-1|zlib|1.3-1|Someone Else <else@example.org>"};
    auto plus = [&](std::vector<std::string> more) {
        more.insert(more.begin(), real.begin(), real.end());
        std::sort(more.begin(), more.end());
        return more;
    };
    const Case cases[] = {
        {"as pacman wrote it", [](const ScratchTree&) {}, real},
        {"entry folder without its desc yet, lock held",
         [&](const ScratchTree& t) {
             t.Folder(local + "half-1.0-1");
             t.Write("root/var/lib/pacman/db.lck", "");
         },
         real},
        {"damaged descs",
         [&](const ScratchTree& t) {
             t.Write(local + "cut-2-1/desc", "%NAME%\ncut\n\n%VERS");
             t.Write(local + "noname-1-1/desc", "%VERSION%\n1-1\n\n");
             t.Write(local + "binary-1-1/desc", "\0\x01%NAME\n\xff\n"s);
             t.Write(local + "desc-a-folder-1-1/desc/x", "");
         },
         real},
        {"unknown keys, CR LF, NUL and huge lines, no packager, last line without LF",
         [&](const ScratchTree& t) {
             t.Write(local + "odd-1-1/desc", "%NEWKEY%\nx\n" + std::string(100000, 'y') + "\n\n%NAME%\r\nodd\r\n\r\n"
                                             "%VERSION%\n1-1\n\n%DESC%\nno packager\n\n%URL%\nhttps://x");
             t.Write(local + "nul-1-1/desc", "%NAME%\nnul\0tail\n\n%VERSION%\n1-1\n"s);
             t.Write(local + "long-1-1/desc", "%NAME%\nlong\n\n%VERSION%\n1-1\n\n%PACKAGER%\n" + std::string(5000, 'p'));
         },
         plus({"odd-1-1|odd|1-1|", "nul-1-1|nul|1-1|", "long-1-1|long|1-1|"})},
        {"odd links: a loop, to /dev/zero, outside the tree; a backslash in the folder",
         [&](const ScratchTree& t) {
             Link(t, "desc", local + "loop-1-1/desc");
             Link(t, "/dev/zero", local + "zero-1-1/desc");
             Link(t, "/nonexistent/desc", local + "away-1-1/desc");
             t.Write(local + "back\\slash-1-1/desc", "%NAME%\nback\\slash\n\n%VERSION%\n1-1\n");
         },
         real},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchTree copy;
        fs::copy(made.path() / "root", copy.path() / "root", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        c.make(copy);
        EXPECT_EQ(Listed(ReadPacmanPackages, copy.root() + "/root/"), c.expected);
    }
    // pacman lists by name; the reader in folder order (the same for these names).
    std::vector<std::string> ours;
    for (const auto& line : Listed(ReadPacmanPackages, made.root() + "/root/")) {
        const size_t name = line.find('|') + 1, version = line.find('|', name) + 1;
        ours.push_back(line.substr(name, version - 1 - name) + " " + line.substr(version, line.find('|', version) - version));
    }
    EXPECT_EQ(SortedLines(listed), ours);
}

std::string ApkStanza(const std::string& name, const std::string& version) {
    return "C:Q1abcdefghijklmnopqrstuvwxyz0=\nP:" + name + "\nV:" + version +
           "\nA:x86_64\nS:1234\nI:5678\nT:a package\nU:https://example.org\nL:MIT\no:" + name +
           "\nm:Natanael Copa <ncopa@alpinelinux.org>\nt:1700000000\nF:usr/bin\nR:" + name + "\nZ:Q1zz=\n";
}

TEST(LinuxPackages, Apk) {
    const std::string db = "lib/apk/db/installed";
    const std::string copa = "|Natanael Copa <ncopa@alpinelinux.org>";
    const Case cases[] = {
        {"none", [](const ScratchTree&) {}, {}},
        {"stanzas in file order, the last without its empty line",
         [&](const ScratchTree& t) { t.Write(db, ApkStanza("musl", "1.2.4-r2") + "\n" + ApkStanza("busybox", "1.36.1-r5")); },
         {"musl|musl|1.2.4-r2" + copa, "busybox|busybox|1.36.1-r5" + copa}},
        {"under usr/lib, and /lib preferred when both",
         [&](const ScratchTree& t) {
             t.Write("usr/" + db, ApkStanza("wolfi-base", "1-r6"));
             t.Write(db, ApkStanza("alpine-base", "3.19.0-r0"));
         },
         {"alpine-base|alpine-base|3.19.0-r0" + copa}},
        {"only under usr/lib", [&](const ScratchTree& t) { t.Write("usr/" + db, ApkStanza("wolfi-base", "1-r6")); },
         {"wolfi-base|wolfi-base|1-r6" + copa}},
        {"stanza without P:, a repeated name, a backslash, extra empty lines",
         [&](const ScratchTree& t) {
             t.Write(db, "V:1\nm:nobody\n\n\n\n" + ApkStanza("a", "1-r0") + "\n" + ApkStanza("a", "2-r0") + "\n" +
                             ApkStanza("b\\c", "1-r0") + "\n" + "P:bare\n");
         },
         {"a|a|1-r0" + copa, "bare|bare||"}},
        {"huge lines, a NUL, CR LF, a stanza cut short",
         [&](const ScratchTree& t) {
             t.Write(db, "P:" + std::string(100000, 'n') + "\nV:1\n\nP:big\nV:" + std::string(100000, '1') +
                             "\nR:" + std::string(1 << 20, 'f') + "\n\n" + "P:nul\0x\r\nV:2-r0\r\n\r\nP:cut\nV:"s);
         },
         {"big|big||", "nul|nul|2-r0|", "cut|cut||"}},
        {"a folder or a FIFO where the file would be",
         [&](const ScratchTree& t) {
             t.Folder(db);
             t.Folder("usr/lib/apk/db");
             ::mkfifo((t.path() / ("usr/" + db)).c_str(), 0644);
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchTree tree;
        c.make(tree);
        EXPECT_EQ(Listed(ReadApkPackages, tree.root() + "/"), c.expected);
    }
}

// A system installation in a scratch folder: a tiny runtime, then the applications the
// caller laid out under src/ID (files/...), each exported, installed and finally listed.
constexpr const char* kFlatpakInstall = R"(set -e
W=$1; shift; cd $W
export HOME=$W/home XDG_DATA_HOME=$W/home/share XDG_CONFIG_HOME=$W/home/config XDG_CACHE_HOME=$W/home/cache \
  XDG_RUNTIME_DIR=$W/run FLATPAK_SYSTEM_DIR=$W/root/var/lib/flatpak FLATPAK_CONFIG_DIR=$W/etc
mkdir -p $HOME $XDG_RUNTIME_DIR $W/etc $FLATPAK_SYSTEM_DIR rt/files rt/usr; chmod 700 $XDG_RUNTIME_DIR
A=$(flatpak --default-arch)
printf '[Runtime]\nname=org.velmora.Platform\nruntime=org.velmora.Platform/%s/1\nsdk=org.velmora.Platform/%s/1\n' $A $A >rt/metadata
flatpak build-export --runtime repo rt 1 >log 2>&1
flatpak build-update-repo repo >>log 2>&1
flatpak remote-add --system --no-gpg-verify scratch file://$W/repo >>log 2>&1
flatpak install --system -y --noninteractive scratch org.velmora.Platform >>log 2>&1
for id; do
  flatpak build-init build/$id $id org.velmora.Platform org.velmora.Platform 1 >>log 2>&1
  cp -r src/$id/. build/$id/
  flatpak build-finish build/$id --command=true >>log 2>&1
  flatpak build-export repo build/$id stable >>log 2>&1
done
flatpak build-update-repo repo >>log 2>&1
flatpak update --system -y --noninteractive --appstream >>log 2>&1
flatpak install --system -y --noninteractive scratch "$@" >>log 2>&1
flatpak list --system --app --columns=application,version | tr '\t' '|')";

std::string Metainfo(const std::string& id, const std::string& developer, const std::string& releases) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<component type=\"desktop-application\">\n  <id>" + id +
           "</id>\n  <name>Test</name>\n  <name xml:lang=\"de\">Prüfung</name>\n" + developer +
           "  <summary>A test</summary>\n  <!-- <releases><release version=\"0.0\"/></releases> -->\n  <releases>\n" +
           releases + "  </releases>\n</component>\n";
}

TEST(LinuxPackages, Flatpak) {
    const std::string hello = "org.velmora.Hello", plain = "org.velmora.Plain";
    const std::string helloXml = Metainfo(hello, "  <developer_name xml:lang=\"de\">Velmora Prüfer</developer_name>\n"
                                                 "  <developer_name>Velmora &amp; Co</developer_name>\n",
                                          "    <release version=\"2.6\" date=\"2026-01-02\"/>\n"
                                          "    <release version='2.4'/>\n");
    std::string why = "flatpak is not installed";
    ScratchTree made;
    if (Have("flatpak")) {
        made.Write("src/" + hello + "/files/share/metainfo/" + hello + ".metainfo.xml", helloXml);
        // What flatpak list shows comes from the composed AppStream, as flatpak-builder makes it.
        made.Write("src/" + hello + "/files/share/app-info/xmls/" + hello + ".xml",
                   "<components version=\"0.8\" origin=\"flatpak\"><component type=\"desktop\"><id>" + hello +
                       "</id><name>Test</name><summary>A test</summary><releases><release version=\"2.6\" timestamp=\"1767312000\"/></releases>"
                       "</component></components>\n");
        Shell("gzip " + (made.path() / "src" / hello / "files/share/app-info/xmls" / (hello + ".xml")).string());
        made.Write("src/" + plain + "/files/bin/plain", "#!/bin/sh\n");
        const std::string listed = Shell("sh " + made.Write("install.sh", kFlatpakInstall).string() + " " +
                                         made.root() + " " + hello + " " + plain + " 2>&1");
        const std::vector<std::string> ours = Listed(ReadFlatpakPackages, made.root() + "/root/");
        if (fs::exists(made.path() / "root/var/lib/flatpak/app" / plain / "current")) {
            // flatpak list leaves an empty last column out, separator and all.
            EXPECT_EQ(SortedLines(listed), (std::vector<std::string>{hello + "|2.6", plain}));
            EXPECT_EQ(ours, (std::vector<std::string>{hello + "|" + hello + "|2.6|Velmora & Co", plain + "|" + plain + "||"}));
        } else {
            why = "flatpak could not make an installation here: " + ReadAll(made.path() / "log").substr(0, 2000);
        }
    }
    // Hand-made trees in the same layout, for what a real flatpak does not leave behind.
    const std::string apps = "var/lib/flatpak/app/";
    auto deploy = [&](const ScratchTree& t, const std::string& id, const std::string& metadata, const std::string& file,
                      const std::string& xml) {
        const std::string commit = apps + id + "/x86_64/stable/0123abcd";
        t.Write(commit + "/metadata", metadata + "name=" + id + "\nruntime=org.velmora.Platform/x86_64/1\n");
        if (!file.empty()) t.Write(commit + "/files/share/" + file, xml);
        Link(t, "0123abcd", apps + id + "/x86_64/stable/active");
        Link(t, "x86_64/stable", apps + id + "/current");
    };
    const std::string app = "[Application]\n";
    const std::string older = Metainfo("org.old.App", "  <developer id=\"x\">\n    <name>Old Maker</name>\n  </developer>\n",
                                       "    <release\n      version=\"1.0&lt;beta&gt;\" date=\"2020-01-01\">\n"
                                       "      <description><p>first</p></description>\n    </release>\n");
    const Case cases[] = {
        {"none", [](const ScratchTree&) {}, {}},
        {"older appdata, a <developer><name>, no releases, runtimes left out",
         [&](const ScratchTree& t) {
             deploy(t, "org.old.App", app, "appdata/org.old.App.appdata.xml", older);
             deploy(t, "org.no.Releases", app, "metainfo/org.no.Releases.metainfo.xml", Metainfo("org.no.Releases", "", ""));
             t.Write("var/lib/flatpak/runtime/org.velmora.Platform/x86_64/1/0123/metadata", "[Runtime]\n");
             deploy(t, "org.runtime.InApp", "[Runtime]\n", "", "");
         },
         {"org.no.Releases|org.no.Releases||", "org.old.App|org.old.App|1.0<beta>|Old Maker"}},
        {"being installed: no current, no active, no metadata yet",
         [&](const ScratchTree& t) {
             t.Folder(apps + "org.a.NoCurrent/x86_64/stable/0123abcd");
             Link(t, "x86_64/stable", apps + "org.b.NoActive/current");
             t.Folder(apps + "org.b.NoActive/x86_64/stable");
             t.Folder(apps + "org.c.NoMetadata/x86_64/stable/0123abcd/files");
             Link(t, "0123abcd", apps + "org.c.NoMetadata/x86_64/stable/active");
             Link(t, "x86_64/stable", apps + "org.c.NoMetadata/current");
         },
         {}},
        {"absolute links taken under the root, loops and links out of it",
         [&](const ScratchTree& t) {
             deploy(t, "org.abs.App", app, "metainfo/org.abs.App.metainfo.xml", helloXml);
             fs::remove(t.path() / apps / "org.abs.App/current");
             Link(t, "/" + apps + "org.abs.App/x86_64/stable", apps + "org.abs.App/current");
             Link(t, "../../loop", apps + "org.loop.App/current");
             Link(t, "var/lib/flatpak/app/org.loop.App/current", "loop");
             Link(t, "../../../../../../../../proc/self", apps + "org.up.App/current");
             Link(t, "/proc/self/cwd", apps + "org.zero.App/current");
         },
         {"org.abs.App|org.abs.App|2.6|Velmora & Co"}},
        {"a backslash in the ID, a huge metainfo, a FIFO as metadata",
         [&](const ScratchTree& t) {
             deploy(t, "org.back\\slash", app, "", "");
             deploy(t, "org.huge.App", app, "metainfo/org.huge.App.metainfo.xml",
                    "<component><releases><release version=\"" + std::string(3 << 20, '9'));
             deploy(t, "org.fifo.App", app, "", "");
             const fs::path metadata = t.path() / apps / "org.fifo.App/x86_64/stable/0123abcd/metadata";
             fs::remove(metadata);
             ::mkfifo(metadata.c_str(), 0644);
         },
         {"org.huge.App|org.huge.App||"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchTree tree;
        c.make(tree);
        EXPECT_EQ(Listed(ReadFlatpakPackages, tree.root() + "/"), c.expected);
    }
    if (!Have("flatpak") || !fs::exists(made.path() / "root/var/lib/flatpak/app" / plain / "current"))
        GTEST_SKIP() << "hand-made trees only: " << why;
}

std::string SnapYaml(const std::string& name, const std::string& version) {
    return "name: " + name + "\nversion: " + version + "\nsummary: a test\ndescription: |\n  name: not this\n"
           "  version: nor this\napps:\n  " + name + ":\n    command: bin/run\n";
}

TEST(LinuxPackages, Snap) {
    // snapd mounts each revision at /snap/NAME/REV and points current at the one in use.
    auto snap = [](const ScratchTree& t, const std::string& folder, const std::string& yaml) {
        t.Write("snap/" + folder + "/1234/meta/snap.yaml", yaml);
        Link(t, "1234", "snap/" + folder + "/current");
    };
    const Case cases[] = {
        {"none", [](const ScratchTree&) {}, {}},
        {"plain, quoted and commented values; bin and README left out",
         [&](const ScratchTree& t) {
             snap(t, "lxd", SnapYaml("lxd", "5.21.1-2d13beb"));
             snap(t, "core22", SnapYaml("'core22'", "'20240111'"));
             snap(t, "firefox", SnapYaml("\"firefox\"", "\"126.0\\\"1\\\\\"  # the build"));
             snap(t, "hello", "# a comment\r\nversion: 2.10 # comment\r\nname: 'it''s'\r\n");
             t.Write("snap/bin/lxc", "#!/bin/sh\n");
             t.Write("snap/README", "This directory presents installed snap packages.\n");
             snap(t, "bin", SnapYaml("bin", "1"));
         },
         {"core22|core22|20240111|", "firefox|firefox|126.0\"1\\|", "hello|it's|2.10|", "lxd|lxd|5.21.1-2d13beb|"}},
        {"no name in the yaml, no yaml, no current, a damaged yaml",
         [&](const ScratchTree& t) {
             snap(t, "noname", "version: 1\n");
             t.Folder("snap/noyaml/1/meta");
             Link(t, "1", "snap/noyaml/current");
             t.Write("snap/nocurrent/1/meta/snap.yaml", SnapYaml("nocurrent", "1"));
             snap(t, "damaged", std::string(100000, 'x') + "\n\0\xff: \x01\nname:\nversion\n  name: indented\n"s);
         },
         {"damaged|damaged||", "noname|noname|1|"}},
        {"absolute current under the root, a loop, a backslash",
         [&](const ScratchTree& t) {
             t.Write("snap/abs/7/meta/snap.yaml", SnapYaml("abs", "7.0"));
             Link(t, "/snap/abs/7", "snap/abs/current");
             Link(t, "../loop/current", "snap/loop/current");
             snap(t, "back\\slash", SnapYaml("x", "1"));
         },
         {"abs|abs|7.0|"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchTree tree;
        c.make(tree);
        EXPECT_EQ(Listed(ReadSnapPackages, tree.root() + "/"), c.expected);
    }
}

// Whether `read` answers false and adds nothing where it may not look: 0 when so, 1 when
// not, 2 when a root test process cannot become another user (root reads everything).
int ReadBlind(PackageReader read, const std::string& root) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        std::vector<PackageRecord> records(1);
        const bool ok = read(root, records);
        ::_exit(!ok && records.size() == 1 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// What every reader promises: nothing beyond the cap, nothing of an unreadable source,
// the records already there left as they are.
TEST(LinuxPackages, EveryReaderKeepsToItsList) {
    const struct {
        const char* source;
        PackageReader read;
        std::string folder;  // the listing or file whose loss makes the source unreadable
        std::function<void(const ScratchTree&, int)> make;
    } readers[] = {
        {"pacman", ReadPacmanPackages, "var/lib/pacman/local",
         [](const ScratchTree& t, int i) {
             const std::string n = "p" + std::to_string(i);
             t.Write("var/lib/pacman/local/" + n + "-1-1/desc", "%NAME%\n" + n + "\n\n%VERSION%\n1-1\n");
         }},
        {"apk", ReadApkPackages, "lib/apk/db/installed",
         [](const ScratchTree& t, int i) {
             const fs::path db = t.path() / "lib/apk/db/installed";
             fs::create_directories(db.parent_path());
             std::ofstream(db, std::ios::app) << ApkStanza("a" + std::to_string(i), "1-r0") << "\n";
         }},
        {"flatpak", ReadFlatpakPackages, "var/lib/flatpak/app",
         [](const ScratchTree& t, int i) {
             const std::string id = "org.f" + std::to_string(i), at = "var/lib/flatpak/app/" + id;
             t.Write(at + "/x86_64/stable/c/metadata", "[Application]\nname=" + id + "\n");
             Link(t, "c", at + "/x86_64/stable/active");
             Link(t, "x86_64/stable", at + "/current");
         }},
        {"snap", ReadSnapPackages, "snap",
         [](const ScratchTree& t, int i) {
             const std::string name = "s" + std::to_string(i);
             t.Write("snap/" + name + "/1/meta/snap.yaml", SnapYaml(name, "1"));
             Link(t, "1", "snap/" + name + "/current");
         }},
    };
    if (ReadBlind([](const std::string&, std::vector<PackageRecord>&) { return false; }, "") == 2)
        GTEST_SKIP() << "running as root, which reads everything, and cannot become another user here";
    for (const auto& r : readers) {
        SCOPED_TRACE(r.source);
        ScratchTree tree;
        for (int i = 0; i < 3; ++i) r.make(tree, i);
        std::vector<PackageRecord> records(kMaxInstalledPackages - 2, PackageRecord{"kept", "", "", ""});
        EXPECT_TRUE(r.read(tree.root() + "/", records));
        ASSERT_EQ(records.size(), kMaxInstalledPackages);
        EXPECT_EQ(records.front().key, "kept");
        EXPECT_NE(records.back().key, "kept");
        fs::permissions(tree.path() / r.folder, fs::perms::none);
        EXPECT_EQ(ReadBlind(r.read, tree.root() + "/"), 0);
    }
}

}  // namespace
}  // namespace velmora
