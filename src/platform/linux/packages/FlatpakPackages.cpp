// flatpak's system installation: app/ID/current links to ARCH/BRANCH, whose "active"
// links to the deployed commit; its metadata names the application, and its own AppStream
// file lists the releases, newest first: the version `flatpak list` shows, which flatpak
// itself keeps (as a GVariant) in the deploy file, taken from the remote's copy of it.
#include <algorithm>

#include "platform/linux/packages/PackageFiles.h"
#include "platform/linux/packages/PackageReaders.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

// Translations make AppStream files large; the releases come after them.
constexpr size_t kMaxAppStream = 1 << 20;

// Where the next `<name` tag (not `<names`, nor one inside a comment) starts at or
// after `from`; npos when none.
size_t FindTag(std::string_view xml, std::string_view name, size_t from) {
    while ((from = xml.find('<', from)) != std::string_view::npos) {
        if (xml.compare(from, 4, "<!--") == 0) {
            from = xml.find("-->", from);
            if (from == std::string_view::npos) break;
            continue;
        }
        const size_t after = from + 1 + name.size();
        if (xml.compare(from + 1, name.size(), name) == 0 && after < xml.size() &&
            std::string_view(" \t\r\n/>").find(xml[after]) != std::string_view::npos)
            return from;
        ++from;
    }
    return std::string_view::npos;
}

// The tag starting at `at`, from its "<" to its ">" (the rest of the text if unclosed).
std::string_view TagAt(std::string_view xml, size_t at) {
    const size_t end = xml.find('>', at);
    return xml.substr(at, end == std::string_view::npos ? std::string_view::npos : end + 1 - at);
}

// The five predefined entities; AppStream files need no others.
std::string Unescape(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities)
            if (text.compare(i, entity.size(), entity) == 0) {
                plain += c, i += entity.size() - 1, replaced = true;
                break;
            }
        if (!replaced) plain += text[i];
    }
    return RecordText(plain);
}

std::string Attribute(std::string_view tag, std::string_view name) {
    for (size_t at = 0; (at = tag.find(name, at)) != std::string_view::npos; at += name.size()) {
        if (at == 0 || std::string_view(" \t\r\n").find(tag[at - 1]) == std::string_view::npos) continue;
        size_t quote = tag.find_first_not_of(" \t\r\n", at + name.size());
        if (quote == std::string_view::npos || tag[quote] != '=') continue;
        quote = tag.find_first_not_of(" \t\r\n", quote + 1);
        if (quote == std::string_view::npos || (tag[quote] != '"' && tag[quote] != '\'')) continue;
        const size_t end = tag.find(tag[quote], quote + 1);
        if (end != std::string_view::npos) return Unescape(tag.substr(quote + 1, end - quote - 1));
    }
    return {};
}

// The newest release's version: the first <release> of <releases>.
std::string ReleaseVersion(std::string_view xml) {
    const size_t releases = FindTag(xml, "releases", 0);
    if (releases == std::string_view::npos) return {};
    const std::string_view open = TagAt(xml, releases);
    if (open.ends_with("/>")) return {};
    const size_t release = FindTag(xml, "release", releases + open.size());
    const size_t close = xml.find("</releases", releases);
    if (release == std::string_view::npos || release > close) return {};
    return Attribute(TagAt(xml, release), "version");
}

// The text of the first untranslated <name> tag in [from, to): its C-locale value.
std::string Untranslated(std::string_view xml, std::string_view name, size_t from, size_t to) {
    for (size_t at = from; (at = FindTag(xml, name, at)) < to; ++at) {
        const std::string_view tag = TagAt(xml, at);
        if (tag.ends_with("/>") || tag.find("xml:lang") != std::string_view::npos) continue;
        const size_t end = xml.find('<', at + tag.size());
        if (end != std::string_view::npos) return Unescape(xml.substr(at + tag.size(), end - at - tag.size()));
    }
    return {};
}

// <developer_name>, or the newer <developer><name>.
std::string Developer(std::string_view xml) {
    std::string name = Untranslated(xml, "developer_name", 0, xml.size());
    const size_t developer = FindTag(xml, "developer", 0);
    if (name.empty() && developer != std::string_view::npos)
        name = Untranslated(xml, "name", developer, std::min(xml.find("</developer>", developer), xml.size()));
    return name;
}

// Whether the deployed commit's metadata says it is an application.
FileRead IsApplication(const std::string& metadata, bool& application) {
    application = false;
    return ReadFileLines(metadata, [&](std::string_view line, bool overlong) {
        application = !overlong && TrimBlanks(line) == "[Application]";
        return !application;
    });
}

}  // namespace

bool ReadFlatpakPackages(const std::string& root, PackageRecords& records) {
    const auto apps = ResolveUnderRoot(root, "", "var/lib/flatpak/app");
    if (!apps) return true;
    const auto ids = SortedFolderNames(root + *apps);
    if (!ids) return false;
    SourceRecords source(records);
    for (const auto& id : *ids) {
        if (source.Full()) break;
        // No current deploy yet (being installed), or a damaged link: not installed.
        const auto commit = ResolveUnderRoot(root, *apps, id + "/current/active");
        if (!commit) continue;
        bool application = false;
        const FileRead metadata = IsApplication(root + *commit + "/metadata", application);
        if (metadata == FileRead::Failed) return false;
        if (!application) continue;
        std::string xml;
        FileRead appStream = FileRead::Skipped;
        for (const std::string& file : {"files/share/metainfo/" + id + ".metainfo.xml",
                                        "files/share/appdata/" + id + ".appdata.xml"}) {
            if (const auto path = ResolveUnderRoot(root, *commit, file))
                appStream = ReadFileBytes(root + *path, kMaxAppStream, xml);
            if (appStream != FileRead::Skipped) break;
        }
        if (appStream == FileRead::Failed) return false;
        source.Add({id, id, ReleaseVersion(xml), Developer(xml)});
    }
    source.AppendTo(records);
    return true;
}

}  // namespace velmora
