#pragma once
// A SQLite database file read straight from its pages: one table's rows in rowid
// order, found through the schema table. Only for a file that alone holds the whole
// database (no write-ahead log or journal with content beside it); anything this
// reader does not know, or finds damaged, is refused rather than guessed at.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::sqlite {

// What the 100-byte header at the start of the file says.
struct FileHeader {
    uint32_t pageSize = 0;
    uint32_t usableSize = 0;  // the page less the bytes reserved at its end
    uint32_t pageCount = 0;
};

// The header of a file of `fileSize` bytes whose first bytes are `start`; nullopt
// unless it is one this reader knows: the magic, a page size sqlite allows, a whole
// number of pages that the header's own page count agrees with, UTF-8 text, and the
// fixed b-tree fractions.
std::optional<FileHeader> ParseFileHeader(std::string_view start, uint64_t fileSize);

// Fills `page` with page `number` (from 1), pageSize bytes; false when it cannot.
using PageReader = std::function<bool(uint32_t number, std::string& page)>;

// One value of a record; text and blobs point into the record.
struct Value {
    enum Kind { Null, Integer, Real, Text, Blob } kind = Null;
    int64_t integer = 0;
    std::string_view bytes;
};

// The values of a record (a row's payload); nullopt when it is malformed.
std::optional<std::vector<Value>> ParseRecord(std::string_view record);

// Calls visit(rowid, record) for each row of the table `name`, in rowid order, while
// it answers true. The table's CREATE statement must read `sql` exactly. False when the
// file is damaged or not laid out as expected: an unknown page type, a page outside the
// file or visited twice, a tree deeper than sqlite makes, rowids out of order.
bool ForEachRow(const FileHeader& header, const PageReader& read, std::string_view name, std::string_view sql,
                const std::function<bool(int64_t rowid, std::string_view record)>& visit);

}  // namespace velmora::sqlite
