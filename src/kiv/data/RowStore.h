#pragma once

// The rows of one query as a record set keeps them: by column, in native
// types, in blocks of 4096 rows. Private to the data layer (the drivers fill
// it, the record set reads it).

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/data/Criteria.h"  // Cell
#include "kiv/data/Driver.h"    // ColumnInfo
#include "kiv/runtime/Variant.h"

namespace kiv {

class RowStore;

// How a column keeps its values. Integer keeps a 64-bit integer and gives it
// back as the subtype its column type calls for (Integer for the small
// kinds when it fits, else Long when it fits, else Double); Double,
// Currency (scaled), Date (serial) and Boolean keep their value; Text and
// Binary keep their bytes in one buffer per block; Any keeps a Variant.
enum class ColumnKind : std::uint8_t {
  Integer,
  Double,
  Currency,
  Date,
  Boolean,
  Text,
  Binary,
  Any
};

// The kind of a column and, for Integer, whether its small kinds apply.
struct ColumnShape {
  ColumnKind kind = ColumnKind::Any;
  bool smallInteger = false;
};
ColumnShape ShapeOf(const ColumnInfo& column);

// One block of rows: one StoredColumn per column. A value the column's kind
// cannot give back exactly (SQLite keeps any value in any column; a text a
// date column cannot read) is kept as an odd value, a Variant beside the
// native ones, so every value reads back as the driver decoded it.
struct StoredColumn {
  std::vector<std::uint64_t> words;   // Integer, Double, Currency, Date: the value's bits
  std::vector<std::uint8_t> flags;    // Boolean
  std::vector<std::uint32_t> ends;    // Text, Binary: where each row's bytes end
  std::string bytes;                  // Text, Binary
  std::vector<Variant> values;        // Any
  std::vector<std::uint64_t> nulls;   // bitmap; empty while the block has no Null
  std::vector<std::uint64_t> oddMap;  // bitmap; empty while the block has no odd value
  std::vector<std::pair<std::uint32_t, Variant>> odd;  // by row
};

struct RowBlock {
  std::uint32_t rows = 0;
  std::vector<StoredColumn> columns;
};

// Builds blocks from decoded values: one call per column of a row, in
// column order, then endRow(). The value calls name the Variant subtype the
// driver decoded, so the store gives back exactly that subtype.
class BlockWriter {
 public:
  explicit BlockWriter(std::vector<ColumnShape> shapes);

  void null();
  void int16(std::int16_t v);
  void int32(std::int32_t v);
  void dbl(double v);
  void currency(Currency v);
  void date(double serial);
  void boolean(bool v);
  void text(std::string_view v);
  void bytes(const std::uint8_t* data, std::size_t size);
  // Any Variant (dispatched to the calls above; other subtypes kept as they are).
  void variant(const Variant& v);

  // Ends the row; true when the block is full.
  bool endRow();
  std::uint32_t rows() const { return block_ ? block_->rows : 0; }
  // The block built so far (nullptr when it has no rows); the next row starts a new block.
  std::unique_ptr<RowBlock> take();

 private:
  StoredColumn& column();
  void start();
  void placeholder(StoredColumn& c, ColumnKind kind);
  void oddValue(Variant v);

  std::vector<ColumnShape> shapes_;
  std::unique_ptr<RowBlock> block_;
  std::size_t column_ = 0;
  std::vector<std::size_t> bytesHint_;  // text bytes of each column in the last block taken
};

// Reads the rest of a store's rows: a driver's unfinished statement.
class RowReader {
 public:
  virtual ~RowReader() = default;
  // Appends rows to the store (RowStore::append) until it holds `rows` rows
  // or the result has ended (RowStore::finish) or failed (RowStore::fail).
  virtual void fetch(RowStore& store, std::size_t rows) = 0;
};

class RowStore {
 public:
  static constexpr unsigned kBlockShift = 12;
  static constexpr std::uint32_t kBlockRows = 1u << kBlockShift;

  explicit RowStore(std::vector<ColumnInfo> columns);
  ~RowStore();
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  // A complete store of a driver's whole result.
  static std::shared_ptr<RowStore> FromResult(ResultSet result);

  const std::vector<ColumnInfo>& columns() const { return columns_; }
  // For a driver that names base tables late (Driver::describeColumns).
  std::vector<ColumnInfo>& mutableColumns() { return columns_; }
  BlockWriter writer() const { return BlockWriter(shapes_); }

  // The rows held so far, and whether they are all the result has.
  std::size_t rows() const { return rows_; }
  bool complete() const { return complete_; }
  // The error reading stopped on (null while it has not).
  const std::exception_ptr& error() const { return error_; }
  // Reads (or waits for) rows until `rows` are held or the result has no
  // more. When reading stopped on an error before that, raises it, with
  // the number of rows that were read.
  void fetch(std::size_t rows);
  void fetchAll() { fetch(SIZE_MAX); }

  // A value of a held row.
  Cell cell(std::uint32_t row, int column) const;
  void read(std::uint32_t row, int column, Variant& out) const;

  // Reads whole rows of a store, one after another: the columns of a block
  // are looked up once for all of its rows (a walk reads millions).
  class Cursor {
   public:
    // Reads the listed columns (count of them) of a held row into out.
    void readRow(const RowStore& store, std::uint32_t row, const std::int32_t* columns,
                 std::size_t count, Variant* out);
    // Forgets what it looked up: call it before reading another store or
    // other columns.
    void reset() { store_ = nullptr; }

   private:
    struct Column {
      ColumnKind kind = ColumnKind::Any;
      bool smallInteger = false;
      bool plain = false;  // no Null and no odd value in the block: the arrays tell all
      const StoredColumn* stored = nullptr;
      const std::uint64_t* words = nullptr;
      const std::uint8_t* flags = nullptr;
      const std::uint32_t* ends = nullptr;
      const char* bytes = nullptr;
    };
    void lookUp(const RowStore& store, std::size_t block, const std::int32_t* columns,
                std::size_t count);

    const RowStore* store_ = nullptr;
    std::size_t block_ = 0;
    std::vector<Column> columns_;
  };
  Variant value(std::uint32_t row, int column) const {
    Variant v;
    read(row, column, v);
    return v;
  }

  // Filled by drivers: blocks in order (each full but the last), then
  // finish() or fail(); a reader for rows not read yet.
  void append(std::unique_ptr<RowBlock> block);
  void finish();
  void fail(std::exception_ptr error);
  void setReader(std::shared_ptr<RowReader> reader) { reader_ = std::move(reader); }

 private:
  std::vector<ColumnInfo> columns_;
  std::vector<ColumnShape> shapes_;
  std::vector<std::unique_ptr<RowBlock>> blocks_;
  std::size_t rows_ = 0;
  bool complete_ = false;
  std::exception_ptr error_;
  std::shared_ptr<RowReader> reader_;
};

}  // namespace kiv
