// The document archive: the document headers with their property lists, and the goods
// lines of the documents.

#include <algorithm>

#include "app/run/conversion_run.h"
#include "app/converter.h"
#include "app/run/doc_columns.h"
#include "app/run/legacy_marks.h"
#include "app/run/property_list.h"
#include "app/run/stage_frame.h"
#include "app/run/stage_target.h"

namespace ks {
namespace {

// Legacy document types and the document kinds they become.
constexpr int32_t kInvoiceType = 1;
constexpr int32_t kBillType = 2;
constexpr int32_t kNoteType = 4;
constexpr int32_t kActType = 5;
constexpr int32_t kTaxType = 6;

int32_t KindOf(int32_t type_doc) {
  switch (type_doc) {
    case kInvoiceType: return 50;
    case kBillType: return 60;
    case kNoteType: return 80;
    case kActType: return 40;
    case kTaxType: return 20;
    default: return 0;  // not copied
  }
}

// The text up to, not including, the first CR; the whole text when it holds none.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\r')); }

}  // namespace

void ConversionRun::CopyDocuments() {
  StageFrame frame(context_, "Начало копирования архива документов", "Копирование архива документов успешно завершено");
  TLegacyTable& source = main_.legacy.tblDocument;
  frame.Begin(source);
  StageTarget docs(frame, main_.cbtDocCommon);

  const TLegacyField& document_id = source.FieldByName("DocumentID");
  const TLegacyField& type_doc = source.FieldByName("TypeDoc");
  const TLegacyField& type_naklad = source.FieldByName("TypeNaklad");
  const TLegacyField& date = source.FieldByName("Date");
  const TLegacyField& note = source.FieldByName("Note");
  const TLegacyField& number = source.FieldByName("Number");
  const TLegacyField& sender = source.FieldByName("SenderID");
  const TLegacyField& people = source.FieldByName("PeopleID");
  const TLegacyField& partner = source.FieldByName("FirmPID");
  const TLegacyField& memo_pok = source.FieldByName("MemoPok");
  const TLegacyField& memo_plat = source.FieldByName("MemoPlat");
  const TLegacyField& summa = source.FieldByName("Summa");
  const TLegacyField& nal_value = source.FieldByName("nalvalue");
  const TLegacyField& nal_type = source.FieldByName("naltype");
  const TLegacyField& nds = source.FieldByName("NDS");
  const TLegacyField& nds_alloc = source.FieldByName("NDSAlloc");
  const TLegacyField& base_number = source.FieldByName("BaseNumber");
  const TLegacyField& base_date = source.FieldByName("BaseDate");

  DocColumns doc(docs);
  TargetField& nsp = docs.FieldByName("NSP");
  TargetField& people_id = docs.FieldByName("PEOPLEID");

  frame.Walk(source, [&](int) {
    const int32_t id = document_id.AsInteger();
    legacy_document_maximum_ = std::max(legacy_document_maximum_, id);
    const int32_t type = type_doc.AsInteger();
    const int32_t kind = KindOf(type);
    if (kind == 0) return frame.Skip("TypeDoc " + std::to_string(type) + " (not converted)");
    document_maximum_ = std::max(document_maximum_, id);
    frame.NoteIdentifier(id);

    const double tax = nal_value.AsFloat();
    docs.Append();
    doc.SetHeader({.uid = id,
                   .date = date.AsDateTime(),
                   .number = number.AsString(),
                   .firm = sender.AsInteger(),
                   .partner = partner.AsInteger(),
                   .sum = summa.AsFloat(),
                   .uses_sales_tax = tax > 0});
    nsp.SetAsFloat(nal_type.AsBoolean() ? -tax : tax);
    people_id.SetAsInteger(people.AsInteger());
    doc.SetHomeCurrency();

    doc.ftype.SetAsInteger(kind);
    PropertyList properties;
    switch (type) {
      case kInvoiceType:
        properties.Add("BASIS=", EncodeString(note.AsString()))
            .Add("CAPTION=", EncodeString(type_naklad.AsString()));
        break;
      case kBillType:
        properties.Add("BASENUM=", EncodeString(base_number.AsString()))
            .Add("BASEDATE=", EncodeDateTime(base_date.AsDateTime()))
            .Add("ADDSTR=", EncodeString(note.AsString()))
            .Add("FIRMPROP=", EncodeString(memo_pok.AsString()))
            .Add("PARTPROP=", EncodeString(memo_plat.AsString()));
        break;
      case kNoteType:
        properties.Add("NOTE=", EncodeString(memo_pok.AsString()));
        break;
      case kActType:
        properties.Add("NOTE=", EncodeString(note.AsString()))
            .Add("FIRMPROP=", EncodeString(memo_plat.AsString()))
            .Add("PARTPROP=", EncodeString(memo_pok.AsString()));
        break;
      case kTaxType: {
        const double rate_value = nds.AsFloat();
        properties.Add("PRICE=", EncodeFloat(summa.AsFloat()))
            .Add("NDS=", EncodeFloat(nds_alloc.AsBoolean() ? -rate_value : rate_value))
            .Add("BASIS=", EncodeString(note.AsString()))
            .Add("SOLID=", EncodeBoolean(!nds.IsNull()))
            .Add("TAXPART=", EncodeString(FirstLine(memo_plat.AsString())));
        // The parties of a tax document stand the other way round.
        doc.firm.SetAsInteger(partner.AsInteger());
        doc.partner.SetAsInteger(sender.AsInteger());
        break;
      }
    }
    doc.fcomplex.SetAsString(properties.Text());
    docs.Post();
  });
  frame.Finish();
}

void ConversionRun::CopyGoods() {
  StageFrame frame(context_, "Начало копирования товаров", "Копирование товаров успешно завершено");
  TLegacyTable& source = main_.legacy.tblFullstorage;
  TLegacyTable& documents = main_.legacy.tblDocument;
  frame.Begin(source);
  StageTarget goods(frame, main_.cbtGoods);

  const TLegacyField& doc_id = source.FieldByName("DocID");
  const TLegacyField& model_id = source.FieldByName("ModelID");
  const TLegacyField& price = source.FieldByName("Price");
  const TLegacyField& nds = source.FieldByName("NDS");
  const TLegacyField& nds_alloc = source.FieldByName("NDSAlloc");
  const TLegacyField& count = source.FieldByName("Count");
  const TLegacyField& vol_id = source.FieldByName("VolID");
  const TLegacyField& group_id = source.FieldByName("GroupID");
  const TLegacyField& country_id = source.FieldByName("countryid");
  const TLegacyField& declaration = source.FieldByName("numdeclar");
  const TLegacyField& document_type = documents.FieldByName("TypeDoc");
  ConversionReport& report = frame.Report();

  TargetField& docid = goods.FieldByName("DOCID");
  TargetField& modid = goods.FieldByName("MODID");
  TargetField& price_field = goods.FieldByName("PRICE");
  TargetField& nds_field = goods.FieldByName("NDS");
  TargetField& fcount = goods.FieldByName("FCOUNT");
  TargetField& volid = goods.FieldByName("VOLID");
  TargetField& grpid = goods.FieldByName("GRPID");
  TargetField& cntryid = goods.FieldByName("CNTRYID");
  TargetField& gtd = goods.FieldByName("GTD");

  frame.Walk(source, [&](int) {
    const int32_t document = doc_id.AsInteger();
    const double rate = nds.AsFloat();
    const int32_t group = group_id.AsInteger();
    const int32_t country = country_id.AsInteger();
    goods.Append();
    docid.SetAsInteger(document);
    modid.SetAsInteger(model_id.AsInteger());
    price_field.SetAsFloat(price.AsFloat());
    nds_field.SetAsFloat(nds_alloc.AsBoolean() ? -rate : rate);
    if (documents.FindKey(document)) {
      const int32_t type = document_type.AsInteger();
      fcount.SetAsFloat(type == kNoteType ? 1.0 : count.AsFloat());
      if (KindOf(type) == 0) report.NoteLineOfSkippedDocument(document);
    } else {
      report.NoteLineWithoutDocument(document);
    }
    volid.SetAsInteger(vol_id.AsInteger());
    if (group != kNoGroup) grpid.SetAsInteger(group);
    if (country != kNoCountry) cntryid.SetAsInteger(country);
    gtd.SetAsString(declaration.AsString());
    goods.Post();
  });
  frame.Finish();
}

}  // namespace ks
