#include "kiv/data/RowStore.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "kiv/data/AdoTypes.h"
#include "kiv/runtime/Error.h"

namespace kiv {
namespace {

constexpr std::uint32_t kMask = RowStore::kBlockRows - 1;
constexpr std::size_t kBitmapWords = RowStore::kBlockRows / 64;

inline bool Bit(const std::vector<std::uint64_t>& map, std::uint32_t i) {
  return (map[i >> 6] >> (i & 63)) & 1;
}

inline void SetBit(std::vector<std::uint64_t>& map, std::uint32_t i) {
  if (map.empty()) map.assign(kBitmapWords, 0);
  map[i >> 6] |= std::uint64_t{1} << (i & 63);
}

bool FitsInt16(std::int64_t v) {
  return v >= std::numeric_limits<std::int16_t>::min() &&
         v <= std::numeric_limits<std::int16_t>::max();
}

bool FitsInt32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() &&
         v <= std::numeric_limits<std::int32_t>::max();
}

// The subtype an Integer column gives a stored integer.
VarType IntegerSubtype(std::int64_t v, bool small) {
  if (small && FitsInt16(v)) return VarType::Integer;
  return FitsInt32(v) ? VarType::Long : VarType::Double;
}

const Variant& OddValue(const StoredColumn& c, std::uint32_t i) {
  const auto it = std::lower_bound(c.odd.begin(), c.odd.end(), i,
                                   [](const auto& e, std::uint32_t row) { return e.first < row; });
  return it->second;
}

std::string_view BytesOf(const StoredColumn& c, std::uint32_t i) {
  const std::uint32_t begin = i == 0 ? 0 : c.ends[i - 1];
  return std::string_view(c.bytes.data() + begin, c.ends[i] - begin);
}

template <class V>
void ShrinkIfLoose(V& v) {
  if (v.capacity() > v.size() + v.size() / 8 + 16) v.shrink_to_fit();
}

}  // namespace

ColumnShape ShapeOf(const ColumnInfo& column) {
  const std::int32_t t = column.type;
  if (IsIntegerType(t))
    return {ColumnKind::Integer, t == adSmallInt || t == adTinyInt || t == adUnsignedTinyInt};
  if (NumericAsCurrency(column)) return {ColumnKind::Currency};
  if (t == adSingle || t == adDouble || t == adNumeric || t == adDecimal || t == adVarNumeric)
    return {ColumnKind::Double};
  if (t == adBoolean) return {ColumnKind::Boolean};
  if (IsDateType(t)) return {ColumnKind::Date};
  if (IsTextType(t)) return {ColumnKind::Text};
  if (IsBinaryType(t)) return {ColumnKind::Binary};
  return {ColumnKind::Any};
}

// --- BlockWriter -------------------------------------------------------------

BlockWriter::BlockWriter(std::vector<ColumnShape> shapes) : shapes_(std::move(shapes)) {}

void BlockWriter::start() {
  block_ = std::make_unique<RowBlock>();
  block_->columns.resize(shapes_.size());
  // The first block grows as rows come (a lookup of one row stays small);
  // later blocks of a large result take their full size at once, and their
  // text about as much as the block before held.
  if (bytesHint_.empty()) return;
  for (std::size_t i = 0; i < shapes_.size(); ++i) {
    StoredColumn& c = block_->columns[i];
    switch (shapes_[i].kind) {
      case ColumnKind::Integer:
      case ColumnKind::Double:
      case ColumnKind::Currency:
      case ColumnKind::Date:
        c.words.reserve(RowStore::kBlockRows);
        break;
      case ColumnKind::Boolean:
        c.flags.reserve(RowStore::kBlockRows);
        break;
      case ColumnKind::Text:
      case ColumnKind::Binary:
        c.ends.reserve(RowStore::kBlockRows);
        if (bytesHint_[i] > 0) c.bytes.reserve(bytesHint_[i] + bytesHint_[i] / 16);
        break;
      case ColumnKind::Any:
        c.values.reserve(RowStore::kBlockRows);
        break;
    }
  }
}

StoredColumn& BlockWriter::column() {
  if (!block_) start();
  return block_->columns[column_];
}

void BlockWriter::placeholder(StoredColumn& c, ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Integer:
    case ColumnKind::Double:
    case ColumnKind::Currency:
    case ColumnKind::Date:
      c.words.push_back(0);
      break;
    case ColumnKind::Boolean:
      c.flags.push_back(0);
      break;
    case ColumnKind::Text:
    case ColumnKind::Binary:
      c.ends.push_back(static_cast<std::uint32_t>(c.bytes.size()));
      break;
    case ColumnKind::Any:
      break;
  }
}

void BlockWriter::oddValue(Variant v) {
  StoredColumn& c = column();
  const ColumnKind kind = shapes_[column_].kind;
  if (kind == ColumnKind::Any) {
    c.values.push_back(std::move(v));
  } else {
    SetBit(c.oddMap, block_->rows);
    c.odd.emplace_back(block_->rows, std::move(v));
    placeholder(c, kind);
  }
  ++column_;
}

void BlockWriter::null() {
  StoredColumn& c = column();
  const ColumnKind kind = shapes_[column_].kind;
  if (kind == ColumnKind::Any) {
    c.values.emplace_back(kNull);
  } else {
    SetBit(c.nulls, block_->rows);
    placeholder(c, kind);
  }
  ++column_;
}

void BlockWriter::int16(std::int16_t v) {
  const ColumnShape s = shapes_[column_];
  if (s.kind == ColumnKind::Integer && s.smallInteger) {
    column().words.push_back(static_cast<std::uint64_t>(std::int64_t{v}));
    ++column_;
  } else {
    oddValue(Variant(v));
  }
}

void BlockWriter::int32(std::int32_t v) {
  const ColumnShape s = shapes_[column_];
  if (s.kind == ColumnKind::Integer && IntegerSubtype(v, s.smallInteger) == VarType::Long) {
    column().words.push_back(static_cast<std::uint64_t>(std::int64_t{v}));
    ++column_;
  } else {
    oddValue(Variant(v));
  }
}

void BlockWriter::dbl(double v) {
  const ColumnShape s = shapes_[column_];
  if (s.kind == ColumnKind::Double) {
    column().words.push_back(std::bit_cast<std::uint64_t>(v));
    ++column_;
    return;
  }
  // An integer column gives a whole number past 32 bits back as a Double.
  if (s.kind == ColumnKind::Integer && v == std::trunc(v) && std::fabs(v) < 9.2e18) {
    const auto i = static_cast<std::int64_t>(v);
    if (!FitsInt32(i) && static_cast<double>(i) == v) {
      column().words.push_back(static_cast<std::uint64_t>(i));
      ++column_;
      return;
    }
  }
  oddValue(Variant(v));
}

void BlockWriter::currency(Currency v) {
  if (shapes_[column_].kind == ColumnKind::Currency) {
    column().words.push_back(static_cast<std::uint64_t>(v.scaled));
    ++column_;
  } else {
    oddValue(Variant(v));
  }
}

void BlockWriter::date(double serial) {
  if (shapes_[column_].kind == ColumnKind::Date) {
    column().words.push_back(std::bit_cast<std::uint64_t>(serial));
    ++column_;
  } else {
    oddValue(Variant(DateTime{serial}));
  }
}

void BlockWriter::boolean(bool v) {
  if (shapes_[column_].kind == ColumnKind::Boolean) {
    column().flags.push_back(v ? 1 : 0);
    ++column_;
  } else {
    oddValue(Variant(v));
  }
}

void BlockWriter::text(std::string_view v) {
  if (shapes_[column_].kind == ColumnKind::Text) {
    StoredColumn& c = column();
    c.bytes.append(v);
    c.ends.push_back(static_cast<std::uint32_t>(c.bytes.size()));
    ++column_;
  } else {
    oddValue(Variant(v));
  }
}

void BlockWriter::bytes(const std::uint8_t* data, std::size_t size) {
  if (shapes_[column_].kind == ColumnKind::Binary) {
    StoredColumn& c = column();
    c.bytes.append(reinterpret_cast<const char*>(data), size);
    c.ends.push_back(static_cast<std::uint32_t>(c.bytes.size()));
    ++column_;
  } else {
    oddValue(Variant(Bytes(data, data + size)));
  }
}

void BlockWriter::variant(const Variant& v) {
  switch (v.type()) {
    case VarType::Null:
      return null();
    case VarType::Integer:
      return int16(v.integer());
    case VarType::Long:
      return int32(v.lng());
    case VarType::Double:
      return dbl(v.dbl());
    case VarType::Currency:
      return currency(v.currency());
    case VarType::Date:
      return date(v.date().serial);
    case VarType::Boolean:
      return boolean(v.boolean());
    case VarType::String:
      return text(v.string());
    case VarType::ByteArray:
      return bytes(v.bytes().data(), v.bytes().size());
    default:
      return oddValue(v);
  }
}

bool BlockWriter::endRow() {
  if (!block_) start();  // a row of no columns
  column_ = 0;
  return ++block_->rows == RowStore::kBlockRows;
}

std::unique_ptr<RowBlock> BlockWriter::take() {
  if (!block_ || block_->rows == 0) return nullptr;
  auto block = std::move(block_);
  bytesHint_.assign(shapes_.size(), 0);
  for (std::size_t i = 0; i < block->columns.size(); ++i) {
    StoredColumn& c = block->columns[i];
    bytesHint_[i] = c.bytes.size();
    ShrinkIfLoose(c.bytes);
    if (block->rows < RowStore::kBlockRows) {
      ShrinkIfLoose(c.words);
      ShrinkIfLoose(c.flags);
      ShrinkIfLoose(c.ends);
      ShrinkIfLoose(c.values);
    }
    ShrinkIfLoose(c.odd);
  }
  return block;
}

// --- RowStore --------------------------------------------------------------------

RowStore::RowStore(std::vector<ColumnInfo> columns) : columns_(std::move(columns)) {
  shapes_.reserve(columns_.size());
  for (const auto& c : columns_)
    shapes_.push_back(ShapeOf(c));
}

RowStore::~RowStore() = default;

std::shared_ptr<RowStore> RowStore::FromResult(ResultSet result) {
  auto store = std::make_shared<RowStore>(std::move(result.columns));
  BlockWriter writer = store->writer();
  const std::size_t rows = result.rowCount();
  const std::size_t columns = store->columns().size();
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c)
      writer.variant(result.at(r, c));
    if (writer.endRow()) store->append(writer.take());
  }
  if (auto last = writer.take()) store->append(std::move(last));
  store->finish();
  return store;
}

void RowStore::append(std::unique_ptr<RowBlock> block) {
  if (!block || block->rows == 0) return;
  rows_ += block->rows;
  blocks_.push_back(std::move(block));
}

void RowStore::finish() {
  complete_ = true;
  reader_.reset();
}

void RowStore::fail(std::exception_ptr error) {
  error_ = std::move(error);
  reader_.reset();
}

void RowStore::fetch(std::size_t rows) {
  while (rows_ < rows && !complete_ && !error_) {
    const std::shared_ptr<RowReader> reader = reader_;  // fetch may drop it
    if (!reader) {
      complete_ = true;
      break;
    }
    const std::size_t before = rows_;
    reader->fetch(*this, rows);
    if (rows_ == before && !complete_ && !error_)
      fail(std::make_exception_ptr(
          Error(err::ProviderError, "Recordset", "The rows of the record set stopped coming.")));
  }
  if (rows_ >= rows || !error_) return;
  try {
    std::rethrow_exception(error_);
  } catch (const Error& e) {
    throw Error(e.number(), e.source(),
                e.description() + " (reading the rows stopped there; the record set holds the " +
                    std::to_string(rows_) + " rows read before)");
  }
}

Cell RowStore::cell(std::uint32_t row, int column) const {
  const StoredColumn& c = blocks_[row >> kBlockShift]->columns[static_cast<std::size_t>(column)];
  const std::uint32_t i = row & kMask;
  const ColumnShape s = shapes_[static_cast<std::size_t>(column)];
  if (s.kind == ColumnKind::Any) return CellOf(c.values[i]);
  Cell out;
  if (!c.nulls.empty() && Bit(c.nulls, i)) return out;  // Null
  if (!c.oddMap.empty() && Bit(c.oddMap, i)) return CellOf(OddValue(c, i));
  switch (s.kind) {
    case ColumnKind::Integer: {
      const auto v = static_cast<std::int64_t>(c.words[i]);
      out.type = IntegerSubtype(v, s.smallInteger);
      out.number = static_cast<double>(v);
      break;
    }
    case ColumnKind::Double:
      out.type = VarType::Double;
      out.number = std::bit_cast<double>(c.words[i]);
      break;
    case ColumnKind::Currency:
      out.type = VarType::Currency;
      out.scaled = static_cast<std::int64_t>(c.words[i]);
      out.number = Currency{out.scaled}.ToDouble();
      break;
    case ColumnKind::Date:
      out.type = VarType::Date;
      out.number = std::bit_cast<double>(c.words[i]);
      break;
    case ColumnKind::Boolean:
      out.type = VarType::Boolean;
      out.number = c.flags[i] ? -1.0 : 0.0;
      break;
    case ColumnKind::Text:
      out.type = VarType::String;
      out.text = BytesOf(c, i);
      break;
    case ColumnKind::Binary:
      out.type = VarType::ByteArray;  // compared by nothing but presence
      break;
    case ColumnKind::Any:
      break;
  }
  return out;
}

namespace {

[[gnu::always_inline]] inline void ReadStored(const StoredColumn& c, ColumnShape s, std::uint32_t i,
                                              Variant& out) {
  if (s.kind == ColumnKind::Any) {
    out = c.values[i];
    return;
  }
  if (c.nulls.data() && Bit(c.nulls, i)) {
    out.assign(kNull);
    return;
  }
  if (c.oddMap.data() && Bit(c.oddMap, i)) {
    out = OddValue(c, i);
    return;
  }
  switch (s.kind) {
    case ColumnKind::Integer: {
      const auto v = static_cast<std::int64_t>(c.words[i]);
      switch (IntegerSubtype(v, s.smallInteger)) {
        case VarType::Integer:
          out.assign(static_cast<std::int16_t>(v));
          break;
        case VarType::Long:
          out.assign(static_cast<std::int32_t>(v));
          break;
        default:
          out.assign(static_cast<double>(v));
          break;
      }
      break;
    }
    case ColumnKind::Double:
      out.assign(std::bit_cast<double>(c.words[i]));
      break;
    case ColumnKind::Currency:
      out.assign(Currency{static_cast<std::int64_t>(c.words[i])});
      break;
    case ColumnKind::Date:
      out.assign(DateTime{std::bit_cast<double>(c.words[i])});
      break;
    case ColumnKind::Boolean:
      out.assign(c.flags[i] != 0);
      break;
    case ColumnKind::Text:
      out.assignText(BytesOf(c, i));
      break;
    case ColumnKind::Binary: {
      const std::string_view b = BytesOf(c, i);
      out = Variant(Bytes(b.begin(), b.end()));
      break;
    }
    case ColumnKind::Any:
      break;
  }
}

}  // namespace

void RowStore::read(std::uint32_t row, int column, Variant& out) const {
  const auto col = static_cast<std::size_t>(column);
  ReadStored(blocks_[row >> kBlockShift]->columns[col], shapes_[col], row & kMask, out);
}

void RowStore::Cursor::lookUp(const RowStore& store, std::size_t block, const std::int32_t* columns,
                              std::size_t count) {
  const RowBlock& b = *store.blocks_[block];
  columns_.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    const auto col = static_cast<std::size_t>(columns[k]);
    const StoredColumn& c = b.columns[col];
    const ColumnShape s = store.shapes_[col];
    columns_[k] = Column{s.kind,
                         s.smallInteger,
                         s.kind != ColumnKind::Any && c.nulls.empty() && c.oddMap.empty(),
                         &c,
                         c.words.data(),
                         c.flags.data(),
                         c.ends.data(),
                         c.bytes.data()};
  }
  store_ = &store;
  block_ = block;
}

void RowStore::Cursor::readRow(const RowStore& store, std::uint32_t row,
                               const std::int32_t* columns, std::size_t count, Variant* out) {
  const std::size_t block = row >> kBlockShift;
  if (store_ != &store || block_ != block || columns_.size() != count)
    lookUp(store, block, columns, count);
  const std::uint32_t i = row & kMask;
  for (std::size_t k = 0; k < count; ++k) {
    const Column& c = columns_[k];
    if (!c.plain) {
      const auto col = static_cast<std::size_t>(columns[k]);
      ReadStored(*c.stored, store.shapes_[col], i, out[k]);
      continue;
    }
    switch (c.kind) {
      case ColumnKind::Integer: {
        const auto v = static_cast<std::int64_t>(c.words[i]);
        if (c.smallInteger && FitsInt16(v))
          out[k].assign(static_cast<std::int16_t>(v));
        else if (FitsInt32(v))
          out[k].assign(static_cast<std::int32_t>(v));
        else
          out[k].assign(static_cast<double>(v));
        break;
      }
      case ColumnKind::Double:
        out[k].assign(std::bit_cast<double>(c.words[i]));
        break;
      case ColumnKind::Currency:
        out[k].assign(Currency{static_cast<std::int64_t>(c.words[i])});
        break;
      case ColumnKind::Date:
        out[k].assign(DateTime{std::bit_cast<double>(c.words[i])});
        break;
      case ColumnKind::Boolean:
        out[k].assign(c.flags[i] != 0);
        break;
      case ColumnKind::Text: {
        const std::uint32_t begin = i == 0 ? 0 : c.ends[i - 1];
        out[k].assignText(std::string_view(c.bytes + begin, c.ends[i] - begin));
        break;
      }
      case ColumnKind::Binary:
      case ColumnKind::Any:
        ReadStored(*c.stored, store.shapes_[static_cast<std::size_t>(columns[k])], i, out[k]);
        break;
    }
  }
}

}  // namespace kiv
