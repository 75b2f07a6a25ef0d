#include "app/verify/control_totals.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>

#include "app/report/conversion_report.h"
#include "app/report/report_text.h"
#include "common/non_copyable.h"
#include "common/paths.h"
#include "db/engine/field_text.h"
#include "db/engine/xbase/xbase.h"
#include "legacy/legacy_alias.h"
#include "legacy/legacy_table.h"

namespace ks {
namespace {

// The document kinds the run gives the converted legacy types, stated here once more on
// purpose: a control that borrowed the run's own mapping would repeat its faults.
constexpr std::pair<int, int> kKinds[] = {{1, 50}, {2, 60}, {4, 80}, {5, 40}, {6, 20}};
constexpr int kPaymentKind = 10;
constexpr int kNoteType = 4;  // its goods lines hold the count 1

bool Converted(int type) {
  return std::any_of(std::begin(kKinds), std::end(kKinds), [type](const auto& k) { return k.first == type; });
}

// The legacy type of a stored kind; a kind the run never writes stays apart from every
// legacy type as its negative.
int TypeOfKind(int kind) {
  for (const auto& [type, stored] : kKinds) {
    if (stored == kind) return type;
  }
  return -kind;
}

const char kSkipped[] = "пропущенные записи: ";
const char kOverflow[] = "значения шире поля, записаны звёздочками";
const char kNoteLines[] = "строки документов вида 4: количество 1";
const char kLinesWithoutDocument[] = "строки товаров без документа: количество не записано";

// ---- amounts --------------------------------------------------------------------------

// A value in millionths, or exact when wider.
struct Amount {
  int64_t units = 0;
  std::optional<ExactDecimal> wide;  // rare: not made for every value

  void AddTo(DecimalSum& sum) const { wide ? sum.Add(*wide) : sum.AddUnits(units); }
};

// A legacy double as the run stores it; fits is false for the asterisks.
struct LegacyAmount : Amount {
  bool fits = true;
};

// Legacy doubles as the run stores them. Prices and counts repeat a lot, so the last
// answers are kept by the value's bits: the same double always rounds the same way.
class StoredValues {
 public:
  LegacyAmount operator()(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Entry& entry = entries_[(bits ^ (bits >> 29)) % kEntries];
    LegacyAmount a;
    if (entry.used && entry.bits == bits) {
      a.units = entry.units;
      return a;
    }
    a.fits = StoredUnits(value, kFloatFieldWidth, kFloatFieldDecimals, a.units);
    if (!a.fits) {
      a.wide = RoundedExactly(value, kFloatFieldDecimals);
      return a;
    }
    entry = {bits, a.units, true};
    return a;
  }

 private:
  static constexpr size_t kEntries = 4093;
  struct Entry {
    uint64_t bits = 0;
    int64_t units = 0;
    bool used = false;
  };
  std::vector<Entry> entries_ = std::vector<Entry>(kEntries);
};

// A number field of the new base as it reads: blanks and asterisks add nothing (the
// asterisks are what the legacy side explains), a number too long for millionths adds its
// exact value.
Amount Read(const char* text, int len) {
  Amount a;
  if (FieldUnits(text, len, a.units)) return a;
  if (ExactDecimal exact; ExactDecimal::Parse(std::string_view(text, len), exact)) a.wide = exact;
  return a;
}

class Tally {
 public:
  void Legacy(const Amount& a) { a.AddTo(legacy_); }
  void Target(const Amount& a) { a.AddTo(target_); }
  void LegacyOne() { legacy_.AddUnits(kOne); }
  void TargetOne() { target_.AddUnits(kOne); }
  void Explain(std::string_view reason, const Amount& a) {
    Reason& r = Find(reason);
    ++r.count;
    a.AddTo(r.amount);
  }
  void ExplainOne(std::string_view reason) {
    Amount one;
    one.units = kOne;
    Explain(reason, one);
  }

  ControlTotal Item(int stage, const char* figure, std::optional<int> kind, std::optional<int> year) const {
    ControlTotal item{stage, figure, kind, year, legacy_.Value(), target_.Value(), {}};
    for (const Reason& r : reasons_) item.explanations.push_back({r.text, r.count, r.amount.Value()});
    return item;
  }

 private:
  static constexpr int64_t kOne = 1000000;
  struct Reason {
    std::string text;
    int64_t count = 0;
    DecimalSum amount;
  };
  Reason& Find(std::string_view text) {
    for (Reason& r : reasons_) {
      if (r.text == text) return r;
    }
    reasons_.push_back(Reason{std::string(text), 0, {}});
    return reasons_.back();
  }

  DecimalSum legacy_, target_;
  std::vector<Reason> reasons_;  // in the order first met
};

struct DocumentTallies {
  Tally count, sum, tax;
};

using Group = std::pair<int, int>;  // legacy type (or 0 for payment orders), year

// The year of a date as the run stores it: 0 for no date, which is also what a date beyond
// the four-digit years is stored as.
int YearOf(DateTime date) {
  if (date.value == 0) return 0;
  int year = 0, month = 0, day = 0;
  DecodeDate(date, year, month, day);
  return year < 1 || year > 9999 ? 0 : year;
}

int YearOfField(const char* text) {
  int year = 0;
  for (int i = 0; i < 4; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    year = year * 10 + (text[i] - '0');
  }
  return year;
}

// ---- the legacy side ------------------------------------------------------------------

// A legacy table opened by its name alone, apart from the run's tables and their declared
// fields. A field that an older database lacks reads blank, as the run's structure probe
// makes it read; looking for it here spares the probe's pass over every table.
class LegacySource : NonCopyable {
 public:
  LegacySource(const std::string& directory, const char* table_name) : table_(table_name) {
    table_.SetDirectory(directory);
    table_.SetTableName(table_name);
    table_.Open();
  }
  ~LegacySource() { table_.Close(); }

  struct Field {
    const TLegacyField* field;  // null when the table lacks it
    int32_t Integer() const { return field ? field->AsInteger() : 0; }
    double Float() const { return field ? field->AsFloat() : 0; }
    bool Boolean() const { return field ? field->AsBoolean() : false; }
    DateTime Date() const { return field ? field->AsDateTime() : DateTime{}; }
  };
  Field FieldByName(const char* name) {
    return {table_.FieldExists(name) ? &table_.FieldByName(name) : nullptr};
  }
  int RecordCount() const { return table_.RecordCount(); }

  template <typename Visit>
  void ForEach(Visit visit) {
    for (table_.First(); !table_.Eof(); table_.Next()) visit();
  }

 private:
  TLegacyTable table_;
};

// ---- the new side ---------------------------------------------------------------------

class TargetTable : NonCopyable {
 public:
  TargetTable(Code4* engine, const std::string& directory, const std::string& file) {
    const std::string path = FindFileIgnoringCase(directory, file);
    if (!path.empty()) data_ = d4open(engine, path.c_str());
    code4errorCode(engine, 0);
  }
  ~TargetTable() {
    if (data_ != nullptr) d4close(data_);
  }

  // Live records, as any dBASE reader counts them.
  int64_t Records() {
    int64_t records = 0;
    ForEach([&records] { ++records; });
    return records;
  }

  struct Field {
    const char* text = nullptr;  // in the record buffer, which every record is read into
    int len = 0;
  };
  // A field of the open table; null text when it has none.
  Field FieldByName(const char* name) const {
    Field4* f = data_ ? d4field(data_, name) : nullptr;
    if (f == nullptr) return {};
    return {f4str(f), static_cast<int>(f4len(f))};
  }

  template <typename Visit>
  void ForEach(Visit visit) {
    if (data_ == nullptr) return;
    for (int rc = d4top(data_); rc == 0 && d4eof(data_) <= 0; rc = d4skip(data_, 1)) {
      if (d4deleted(data_) == 0) visit();
    }
  }

 private:
  Data4* data_ = nullptr;
};

int IntegerOf(const TargetTable::Field& field) {
  int64_t units = 0;
  if (field.text == nullptr || !FieldUnits(field.text, field.len, units)) return 0;
  return static_cast<int>(units / 1000000);
}

Amount AmountOf(const TargetTable::Field& field) { return field.text ? Read(field.text, field.len) : Amount{}; }

// ---- the totals -----------------------------------------------------------------------

class Totals : NonCopyable {
 public:
  Totals(const std::string& legacy_directory, const std::string& database_directory, const ConversionReport& report)
      : legacy_directory_(legacy_directory), directory_(WithTrailingDelimiter(database_directory)), report_(report),
        engine_(code4initP()) {}
  ~Totals() { code4initUndo(engine_); }

  ControlTotals Compute() {
    ReferenceBooks();
    LegacyDocuments();
    LegacyPayments();
    LegacyGoods();
    TargetDocuments();
    TargetGoods();
    EmitDocuments();
    EmitPayments();
    result_.items.push_back(goods_count_.Item(11, "COUNT", {}, {}));
    result_.items.push_back(goods_price_.Item(11, "GOODS.PRICE", {}, {}));
    result_.items.push_back(goods_count_field_.Item(11, "GOODS.FCOUNT", {}, {}));
    return std::move(result_);
  }

 private:
  void ReferenceBooks() {
    const struct {
      int stage;
      const char* source;
      const char* target;
    } kBooks[] = {{2, "Group", "tGroup.dbf"}, {3, "Country", "COUNTRY.dbf"}, {4, "FirmRef", "Firm.dbf"},
                  {5, "Model", "MODEL.dbf"},  {6, "vol", "tVolume.dbf"},    {7, "People", "PEOPLE.dbf"},
                  {8, "Template", "TMPLT.dbf"}};
    for (const auto& book : kBooks) {
      ControlTotal item{book.stage, "COUNT", {}, {},
                        ExactDecimal::FromInteger(LegacySource(legacy_directory_, book.source).RecordCount()),
                        ExactDecimal::FromInteger(TargetTable(engine_, directory_, book.target).Records()), {}};
      // What the run skipped, by its own count and reason.
      for (const StageCounts& stage : report_.Stages()) {
        if (stage.number != book.stage) continue;
        for (const auto& [reason, count] : stage.skipped) {
          item.explanations.push_back({kSkipped + SkipReasonText(reason), count, ExactDecimal::FromInteger(count)});
        }
      }
      result_.items.push_back(std::move(item));
    }
  }

  void LegacyDocuments() {
    LegacySource table(legacy_directory_, "Document");
    const LegacySource::Field id = table.FieldByName("DocumentID"), type_doc = table.FieldByName("TypeDoc"),
                              date = table.FieldByName("Date"), summa = table.FieldByName("Summa"),
                              nal_value = table.FieldByName("nalvalue"), nal_type = table.FieldByName("naltype");
    document_types_.reserve(table.RecordCount());
    table.ForEach([&] {
      const int type = type_doc.Integer();
      document_types_.emplace_back(id.Integer(), type);
      DocumentTallies& group = documents_[{type, YearOf(date.Date())}];
      const double tax = nal_value.Float();
      const LegacyAmount sum = stored_(summa.Float());
      const LegacyAmount signed_tax = stored_(nal_type.Boolean() ? -tax : tax);
      for (DocumentTallies* t : {&group, &whole_documents_}) {
        t->count.LegacyOne();
        t->sum.Legacy(sum);
        t->tax.Legacy(signed_tax);
        if (!Converted(type)) {
          const std::string reason = kSkipped + SkipReasonText("TypeDoc " + std::to_string(type) + " (not converted)");
          t->count.ExplainOne(reason);
          t->sum.Explain(reason, sum);
          t->tax.Explain(reason, signed_tax);
          continue;
        }
        if (!sum.fits) t->sum.Explain(kOverflow, sum);
        if (!signed_tax.fits) t->tax.Explain(kOverflow, signed_tax);
      }
    });
    // FindKey finds the first of equal identifiers; a stable sort keeps it first.
    std::stable_sort(document_types_.begin(), document_types_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }

  void LegacyPayments() {
    LegacySource table(legacy_directory_, "Main");
    const LegacySource::Field date = table.FieldByName("DocDate"), sum = table.FieldByName("Sum");
    table.ForEach([&] {
      DocumentTallies& group = payments_[{0, YearOf(date.Date())}];
      const LegacyAmount amount = stored_(sum.Float());
      for (DocumentTallies* t : {&group, &whole_payments_}) {
        t->count.LegacyOne();
        t->sum.Legacy(amount);
        if (!amount.fits) t->sum.Explain(kOverflow, amount);
      }
    });
  }

  // The legacy type of a document, as the run's look-up by primary key finds it. The lines
  // of one document stand together, so the last answer is kept.
  std::optional<int> DocumentType(int32_t id) {
    if (last_lookup_ && last_lookup_->first == id) return last_lookup_->second;
    last_lookup_ = {id, FindDocumentType(id)};
    return last_lookup_->second;
  }
  std::optional<int> FindDocumentType(int32_t id) const {
    const auto it = std::lower_bound(document_types_.begin(), document_types_.end(), id,
                                     [](const auto& entry, int32_t key) { return entry.first < key; });
    if (it == document_types_.end() || it->first != id) return std::nullopt;
    return it->second;
  }

  void LegacyGoods() {
    LegacySource table(legacy_directory_, "FULLSTORAGE");
    const LegacySource::Field doc_id = table.FieldByName("DocID"), price = table.FieldByName("Price"),
                              count = table.FieldByName("Count");
    table.ForEach([&] {
      goods_count_.LegacyOne();
      const LegacyAmount line_price = stored_(price.Float());
      goods_price_.Legacy(line_price);
      if (!line_price.fits) goods_price_.Explain(kOverflow, line_price);

      const LegacyAmount quantity = stored_(count.Float());
      goods_count_field_.Legacy(quantity);
      const std::optional<int> type = DocumentType(doc_id.Integer());
      if (!type) {
        goods_count_field_.Explain(kLinesWithoutDocument, quantity);
      } else if (*type == kNoteType) {
        Amount less_one;  // what the count 1 leaves out: Count - 1
        less_one.units = quantity.units - 1000000;
        if (quantity.wide) less_one.wide = *quantity.wide - ExactDecimal::FromInteger(1);
        goods_count_field_.Explain(kNoteLines, less_one);
      } else if (!quantity.fits) {
        goods_count_field_.Explain(kOverflow, quantity);
      }
    });
  }

  void TargetDocuments() {
    TargetTable doc(engine_, directory_, "DOC.dbf");
    const TargetTable::Field ftype = doc.FieldByName("FTYPE"), fdate = doc.FieldByName("FDATE"),
                             fsum = doc.FieldByName("FSUM"), nsp = doc.FieldByName("NSP");
    doc.ForEach([&] {
      const int kind = IntegerOf(ftype);
      const int year = fdate.text && fdate.len == 8 ? YearOfField(fdate.text) : 0;
      const Amount sum = AmountOf(fsum);
      if (kind == kPaymentKind) {
        for (DocumentTallies* t : {&payments_[{0, year}], &whole_payments_}) {
          t->count.TargetOne();
          t->sum.Target(sum);
        }
        return;
      }
      const Amount tax = AmountOf(nsp);
      for (DocumentTallies* t : {&documents_[{TypeOfKind(kind), year}], &whole_documents_}) {
        t->count.TargetOne();
        t->sum.Target(sum);
        t->tax.Target(tax);
      }
    });
  }

  void TargetGoods() {
    TargetTable goods(engine_, directory_, "GOODS.dbf");
    const TargetTable::Field price = goods.FieldByName("PRICE"), fcount = goods.FieldByName("FCOUNT");
    goods.ForEach([&] {
      goods_count_.TargetOne();
      goods_price_.Target(AmountOf(price));
      goods_count_field_.Target(AmountOf(fcount));
    });
  }

  void EmitDocuments() {
    auto& items = result_.items;
    items.push_back(whole_documents_.count.Item(9, "COUNT", {}, {}));
    items.push_back(whole_documents_.sum.Item(9, "DOC.FSUM", {}, {}));
    items.push_back(whole_documents_.tax.Item(9, "DOC.NSP", {}, {}));
    for (const auto& [group, t] : documents_) {
      items.push_back(t.count.Item(9, "COUNT", group.first, group.second));
      items.push_back(t.sum.Item(9, "DOC.FSUM", group.first, group.second));
      items.push_back(t.tax.Item(9, "DOC.NSP", group.first, group.second));
    }
  }

  void EmitPayments() {
    auto& items = result_.items;
    items.push_back(whole_payments_.count.Item(10, "COUNT", {}, {}));
    items.push_back(whole_payments_.sum.Item(10, "DOC.FSUM", {}, {}));
    for (const auto& [group, t] : payments_) {
      items.push_back(t.count.Item(10, "COUNT", {}, group.second));
      items.push_back(t.sum.Item(10, "DOC.FSUM", {}, group.second));
    }
  }

  std::string legacy_directory_;
  std::string directory_;
  const ConversionReport& report_;
  Code4* engine_;
  ControlTotals result_;

  std::vector<std::pair<int32_t, int>> document_types_;  // DocumentID, TypeDoc; by identifier
  std::optional<std::pair<int32_t, std::optional<int>>> last_lookup_;
  StoredValues stored_;
  std::map<Group, DocumentTallies> documents_, payments_;
  DocumentTallies whole_documents_, whole_payments_;
  Tally goods_count_, goods_price_, goods_count_field_;
};

}  // namespace

ExactDecimal ControlTotal::Explained() const {
  ExactDecimal sum;
  for (const ControlExplanation& e : explanations) sum += e.amount;
  return sum;
}

bool ControlTotals::Clean() const {
  return std::all_of(items.begin(), items.end(), [](const ControlTotal& item) { return item.Unexplained().IsZero(); });
}

ControlTotals ComputeControlTotals(const std::string& legacy_directory, const std::string& database_directory,
                                   const ConversionReport& report) {
  return Totals(legacy_directory, database_directory, report).Compute();
}

}  // namespace ks
