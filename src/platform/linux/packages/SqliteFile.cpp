#include "platform/linux/packages/SqliteFile.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/packages/PackageFiles.h"

namespace velmora::sqlite {
namespace {

constexpr size_t kFileHeaderSize = 100;
constexpr int kMaxDepth = 20;  // sqlite's own cursors go no deeper
constexpr uint8_t kTableInterior = 0x05, kTableLeaf = 0x0D;

// sqlite's variable-length integer: up to nine bytes, the ninth giving all its eight bits.
bool Varint(std::string_view b, size_t& at, uint64_t& value) {
    value = 0;
    for (int i = 0; i < 9; ++i) {
        if (at >= b.size()) return false;
        const uint8_t c = uint8_t(b[at++]);
        if (i == 8) {
            value = value << 8 | c;
            return true;
        }
        value = value << 7 | (c & 0x7f);
        if (!(c & 0x80)) return true;
    }
    return true;
}

// One walk over the file's b-trees: every page is taken at most once, so a loop or a
// page claimed twice ends it, and no walk reads more pages than the file has.
class Walker {
public:
    using Visit = std::function<bool(int64_t rowid, std::string_view record)>;

    Walker(const FileHeader& header, const PageReader& read)
        : header_(header), read_(read), seen_(size_t(header.pageCount) + 1) {}

    // Each row of the table tree rooted at `root`, in order; false when damaged.
    bool Walk(uint32_t root, const Visit& visit) {
        stopped_ = any_ = false;
        return Tree(root, 0, visit);
    }

private:
    bool Load(uint32_t number, std::string& page) {
        if (number == 0 || number > header_.pageCount || seen_[number]) return false;
        seen_[number] = true;
        return read_(number, page) && page.size() == header_.pageSize;
    }

    bool Tree(uint32_t number, int depth, const Visit& visit) {
        std::string bytes;
        if (depth > kMaxDepth || !Load(number, bytes)) return false;
        const std::string_view page(bytes.data(), header_.usableSize);
        const size_t at = number == 1 ? kFileHeaderSize : 0;  // page 1 starts with the file's header
        const bool leaf = uint8_t(page[at]) == kTableLeaf;
        if (!leaf && uint8_t(page[at]) != kTableInterior) return false;
        const uint32_t cells = BigEndian16(page, at + 3);
        const size_t pointers = at + (leaf ? 8 : 12), content = pointers + 2 * size_t(cells);
        if (content > page.size()) return false;
        for (uint32_t i = 0; i < cells && !stopped_; ++i) {
            size_t cell = BigEndian16(page, pointers + 2 * i);
            if (cell < content || cell >= page.size()) return false;
            uint64_t key = 0, size = 0;
            if (!leaf) {
                size_t after = cell + 4;
                if (after > page.size() || !Varint(page, after, key)) return false;
                if (!Tree(BigEndian32(page, cell), depth + 1, visit)) return false;
                continue;
            }
            if (!Varint(page, cell, size) || !Varint(page, cell, key)) return false;
            const int64_t rowid = int64_t(key);
            if (any_ && rowid <= last_) return false;
            any_ = true;
            last_ = rowid;
            if (!Payload(page, cell, size)) return false;
            stopped_ = !visit(rowid, payload_);
        }
        return leaf || stopped_ || Tree(BigEndian32(page, at + 8), depth + 1, visit);
    }

    // A leaf cell's payload of `size` bytes from `at`: what fits on the page, then the
    // overflow pages' chain (each a next-page number and usable - 4 bytes of payload).
    bool Payload(std::string_view page, size_t at, uint64_t size) {
        const uint64_t usable = header_.usableSize, maxLocal = usable - 35;
        if (size <= maxLocal) {
            if (at + size > page.size()) return false;
            payload_.assign(page.substr(at, size));
            return true;
        }
        const uint64_t minLocal = (usable - 12) * 32 / 255 - 23;
        uint64_t local = minLocal + (size - minLocal) % (usable - 4);
        if (local > maxLocal) local = minLocal;
        // Never more than the file could hold, so a damaged size allocates nothing.
        if (at + local + 4 > page.size() || size > uint64_t(header_.pageCount) * usable) return false;
        payload_.assign(page.substr(at, local));
        uint32_t next = BigEndian32(page, at + local);
        for (uint64_t left = size - local; left > 0;) {
            if (!Load(next, overflow_)) return false;
            const uint64_t take = std::min(left, usable - 4);
            payload_.append(overflow_, 4, take);
            left -= take;
            next = BigEndian32(overflow_, 0);
        }
        return next == 0;
    }

    const FileHeader& header_;
    const PageReader& read_;
    std::vector<bool> seen_;
    std::string payload_, overflow_;
    bool stopped_ = false, any_ = false;
    int64_t last_ = 0;
};

}  // namespace

std::optional<FileHeader> ParseFileHeader(std::string_view start, uint64_t fileSize) {
    if (start.size() < kFileHeaderSize || std::memcmp(start.data(), "SQLite format 3", 16) != 0) return std::nullopt;
    FileHeader header;
    const uint32_t size = BigEndian16(start, 16);
    header.pageSize = size == 1 ? 65536 : size;
    if (header.pageSize < 512 || header.pageSize > 65536 || (header.pageSize & (header.pageSize - 1)))
        return std::nullopt;
    // Format versions: 1 for a rollback journal, 2 for write-ahead logging; a later one
    // would be refused by sqlite itself.
    for (const size_t version : {18, 19})
        if (start[version] != 1 && start[version] != 2) return std::nullopt;
    header.usableSize = header.pageSize - uint8_t(start[20]);
    if (header.usableSize < 480 || start[21] != 64 || start[22] != 32 || start[23] != 32) return std::nullopt;
    if (fileSize == 0 || fileSize % header.pageSize || fileSize / header.pageSize > UINT32_MAX) return std::nullopt;
    // The page count in the header is sqlite's own only while the change counter and
    // the version-valid-for number agree; a file that disagrees with it is not whole.
    header.pageCount = BigEndian32(start, 28);
    if (header.pageCount != fileSize / header.pageSize || BigEndian32(start, 24) != BigEndian32(start, 92)) return std::nullopt;
    const uint32_t schemaFormat = BigEndian32(start, 44), utf8 = 1;
    if (schemaFormat < 1 || schemaFormat > 4 || BigEndian32(start, 56) != utf8) return std::nullopt;
    return header;
}

std::optional<std::vector<Value>> ParseRecord(std::string_view record) {
    size_t at = 0;
    uint64_t headerSize = 0;
    if (!Varint(record, at, headerSize) || headerSize < at || headerSize > record.size()) return std::nullopt;
    const std::string_view types = record.substr(0, headerSize);
    std::vector<Value> values;
    for (size_t body = headerSize; at < types.size();) {
        uint64_t type = 0, size = 0;
        if (!Varint(types, at, type)) return std::nullopt;
        Value value;
        static constexpr uint8_t kIntegerSizes[] = {0, 1, 2, 3, 4, 6, 8};
        if (type >= 1 && type <= 6) {
            value.kind = Value::Integer;
            size = kIntegerSizes[type];
        } else if (type == 7) {
            value.kind = Value::Real;
            size = 8;
        } else if (type == 8 || type == 9) {
            value.kind = Value::Integer;
            value.integer = int64_t(type - 8);
        } else if (type >= 12) {
            value.kind = type % 2 ? Value::Text : Value::Blob;
            size = (type - 12) / 2;
        } else if (type != 0) {
            return std::nullopt;  // 10 and 11 are reserved
        }
        if (size > record.size() - body) return std::nullopt;
        value.bytes = record.substr(body, size);
        if (value.kind == Value::Integer && size) {
            uint64_t bits = uint8_t(value.bytes[0]) & 0x80 ? ~uint64_t(0) : 0;  // sign-extended
            for (const char c : value.bytes) bits = bits << 8 | uint8_t(c);
            value.integer = int64_t(bits);
        }
        body += size;
        values.push_back(value);
    }
    return values;
}

bool ForEachRow(const FileHeader& header, const PageReader& read, std::string_view name, std::string_view sql,
                const std::function<bool(int64_t rowid, std::string_view record)>& visit) {
    Walker walker(header, read);
    // The schema table, rooted in page 1: type, name, tbl_name, rootpage, sql.
    uint32_t root = 0;
    bool bad = false;
    const bool walked = walker.Walk(1, [&](int64_t, std::string_view record) {
        const auto row = ParseRecord(record);
        bad = !row || row->size() < 5 || (*row)[0].kind != Value::Text || (*row)[1].kind != Value::Text;
        if (bad || (*row)[0].bytes != "table" || (*row)[1].bytes != name) return !bad;
        const Value &page = (*row)[3], &statement = (*row)[4];
        bad = root || page.kind != Value::Integer || page.integer < 2 || page.integer > header.pageCount ||
              statement.kind != Value::Text || statement.bytes != sql;
        root = uint32_t(page.integer);
        return !bad;
    });
    return walked && !bad && root && walker.Walk(root, visit);
}

}  // namespace velmora::sqlite
